#include "plugin/text/MessageDecoder.h"

#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/text/CharsetConversion.h"

namespace corvane {

namespace {

constexpr size_t kScratchCapacity = kMessageReadCap + 8;
constexpr size_t kMaxCharsetName = 64;
constexpr size_t kMaxBoundary = 200;

struct Work {
    TextSink& out;
    char* scratch;
    int parts = 0;
    int textParts = 0;
};

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

struct Base64Values {
    signed char of[256];
    constexpr Base64Values() : of() {
        for (int c = 0; c < 256; ++c)
            of[c] = -1;
        for (int i = 0; i < 26; ++i) {
            of['A' + i] = static_cast<signed char>(i);
            of['a' + i] = static_cast<signed char>(26 + i);
        }
        for (int i = 0; i < 10; ++i)
            of['0' + i] = static_cast<signed char>(52 + i);
        of[static_cast<int>('+')] = 62;
        of[static_cast<int>('/')] = 63;
    }
};
constexpr Base64Values kBase64;

int base64Value(char c) {
    return kBase64.of[static_cast<unsigned char>(c)];
}

bool isBlank(char c, bool folds) {
    return c == ' ' || c == '\t' || (folds && (c == '\r' || c == '\n'));
}

bool allBlank(const char* p, const char* end, bool folds) {
    for (; p < end; ++p)
        if (!isBlank(*p, folds))
            return false;
    return true;
}

// Base64 as a body carries it: characters outside the alphabet are skipped, padding that
// completes a group ends the data, and a last incomplete group gives the bytes it holds.
size_t decodeBase64Body(const char* p, const char* end, char* out) {
    size_t n = 0;
    unsigned bits = 0;
    int count = 0;
    while (p < end) {
        if (count == 0 && end - p >= 4) {
            int a = base64Value(p[0]), b = base64Value(p[1]), c = base64Value(p[2]), d = base64Value(p[3]);
            if ((a | b | c | d) >= 0) {
                unsigned group = static_cast<unsigned>(a << 18 | b << 12 | c << 6 | d);
                out[n] = static_cast<char>(group >> 16);
                out[n + 1] = static_cast<char>(group >> 8);
                out[n + 2] = static_cast<char>(group);
                n += 3;
                p += 4;
                continue;
            }
        }
        if (*p == '=' && count >= 2)
            break;
        int v = base64Value(*p++);
        if (v < 0)
            continue;
        bits = bits << 6 | static_cast<unsigned>(v);
        if (++count == 4) {
            out[n++] = static_cast<char>(bits >> 16);
            out[n++] = static_cast<char>(bits >> 8);
            out[n++] = static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2)
        out[n++] = static_cast<char>(bits >> 4);
    else if (count == 3) {
        out[n++] = static_cast<char>(bits >> 10);
        out[n++] = static_cast<char>(bits >> 2);
    }
    return n;
}

// Base64 of an encoded word: only the alphabet, then at most the padding that completes the
// last group (which may be missing). False when the text is not that.
bool decodeBase64Word(const char* p, const char* end, char* out, size_t* length) {
    const char* data = end;
    while (data > p && data[-1] == '=')
        --data;
    size_t count = static_cast<size_t>(data - p);
    if (count % 4 == 1 || static_cast<size_t>(end - data) > 2)
        return false;
    for (const char* q = p; q < data; ++q)
        if (base64Value(*q) < 0)
            return false;
    *length = decodeBase64Body(p, data, out);
    return true;
}

// Quoted-printable: "=XX" gives the byte, a soft line break disappears, any other "=" stays.
// In an encoded word ("Q"), "_" is a blank.
size_t decodeQuotedPrintable(const char* p, const char* end, bool word, char* out) {
    size_t n = 0;
    while (p < end) {
        if (*p == '=' && end - p >= 3 && hexValue(p[1]) >= 0 && hexValue(p[2]) >= 0) {
            out[n++] = static_cast<char>(hexValue(p[1]) << 4 | hexValue(p[2]));
            p += 3;
        } else if (!word && *p == '=' && end - p >= 2 && p[1] == '\n') {
            p += 2;
        } else if (!word && *p == '=' && end - p >= 3 && p[1] == '\r' && p[2] == '\n') {
            p += 3;
        } else {
            out[n++] = word && *p == '_' ? ' ' : *p;
            ++p;
        }
    }
    return n;
}

struct EncodedWord {
    Charset charset = Charset::Unknown;
    char encoding = 0;
    const char* text = nullptr;
    const char* textEnd = nullptr;
    const char* end = nullptr;
};

// Remembers the last encoded text that ran into a blank or the end without "?=", so that
// the words starting inside it fail at once and a long header stays linear.
struct WordScan {
    const char* from = nullptr;
    const char* failedAt = nullptr;
};

// What stands at an "=?": no encoded word; a word that closes but is refused (unknown
// charset), which is passed over whole; or a word to decode.
enum class WordForm { None, Refused, Word };

// Parses "=?charset?B?text?=" (or Q, either case) at p; the text holds no blank.
WordForm parseWord(const char* p, const char* end, WordScan& scan, EncodedWord* word) {
    const char* charset = p + 2;
    const char* q = charset;
    while (q < end && *q != '?' && !isBlank(*q, true) && q - charset <= static_cast<ptrdiff_t>(kMaxCharsetName))
        ++q;
    if (q == charset || end - q < 3 || *q != '?' || q[2] != '?')
        return WordForm::None;
    char encoding = static_cast<char>(q[1] & ~0x20);
    if (encoding != 'B' && encoding != 'Q')
        return WordForm::None;
    const char* text = q + 3;
    if (text >= scan.from && text < scan.failedAt)
        return WordForm::None;
    const char* close = text;
    while (close + 1 < end && !(close[0] == '?' && close[1] == '=') && !isBlank(*close, true))
        ++close;
    if (close + 1 >= end || close[0] != '?') {
        scan.from = text;
        scan.failedAt = close;
        return WordForm::None;
    }
    word->charset = charsetByName(charset, static_cast<size_t>(q - charset));
    word->encoding = encoding;
    word->text = text;
    word->textEnd = close;
    word->end = close + 2;
    return word->charset != Charset::Unknown ? WordForm::Word : WordForm::Refused;
}

bool decodeWordText(const EncodedWord& word, char* out, size_t* length) {
    if (word.encoding == 'B')
        return decodeBase64Word(word.text, word.textEnd, out, length);
    *length = decodeQuotedPrintable(word.text, word.textEnd, true, out);
    return true;
}

// The first place at or after p where the two bytes first and second stand together, or null.
const char* findPair(const char* p, const char* end, char first, char second) {
    while (p + 1 < end) {
        p = static_cast<const char*>(memchr(p, first, static_cast<size_t>(end - p - 1)));
        if (!p)
            return nullptr;
        if (p[1] == second)
            return p;
        ++p;
    }
    return nullptr;
}

const char* findWordStart(const char* p, const char* end) {
    return findPair(p, end, '=', '?');
}

// The bytes of adjacent encoded words in one charset, gathered in the scratch buffer and
// converted together, so that a character split between two words comes out whole.
struct Pending {
    Charset charset = Charset::Unknown;
    size_t length = 0;
};

void flushPending(Pending& pending, Work& w) {
    if (pending.length)
        convertText(pending.charset, w.scratch, pending.length, Controls::Header, w.out);
    pending.length = 0;
}

// One header field or value: encoded words decoded, the blanks between adjacent ones (with
// folds, when folds is set) dropped, and the raw text between them converted by what the
// whole text looks like: ISO-2022-JP when it holds its escapes, UTF-8 by looksLikeUtf8,
// otherwise as it stands.
void decodeHeaderText(const char* p, size_t n, bool folds, Work& w) {
    const char* end = p + n;
    Charset raw = hasIso2022JpEscape(p, n) ? Charset::Iso2022Jp
                : looksLikeUtf8(p, n) ? Charset::Utf8 : Charset::AsItStands;
    Pending pending;
    WordScan scan;
    const char* rawStart = p;
    bool afterWord = false;
    for (const char* q = p; (q = findWordStart(q, end)) != nullptr;) {
        EncodedWord word;
        WordForm form = parseWord(q, end, scan, &word);
        if (form == WordForm::None) {
            ++q;
            continue;
        }
        size_t decoded = 0;
        if (form == WordForm::Refused || pending.length + static_cast<size_t>(word.textEnd - word.text) > kScratchCapacity ||
            !decodeWordText(word, w.scratch + pending.length, &decoded)) {
            q = word.end;  // stays as it stands; an "=?" inside it starts no word
            continue;
        }
        bool adjacent = afterWord && allBlank(rawStart, q, folds);
        if (!adjacent || word.charset != pending.charset) {
            size_t gathered = pending.length;
            flushPending(pending, w);
            memmove(w.scratch, w.scratch + gathered, decoded);
        }
        if (!adjacent)
            convertText(raw, rawStart, static_cast<size_t>(q - rawStart), Controls::Raw, w.out);
        pending.charset = word.charset;
        pending.length += decoded;
        afterWord = true;
        q = rawStart = word.end;
    }
    flushPending(pending, w);
    convertText(raw, rawStart, static_cast<size_t>(end - rawStart), Controls::Raw, w.out);
}

const char* findLineEnd(const char* p, const char* end) {
    return findPair(p, end, '\r', '\n');
}

// The end of the field that starts at field: the "\r\n" after its last continuation line,
// or end.
const char* fieldEnd(const char* field, const char* end) {
    for (const char* p = field;;) {
        const char* crlf = findLineEnd(p, end);
        if (!crlf)
            return end;
        if (crlf + 2 < end && (crlf[2] == ' ' || crlf[2] == '\t')) {
            p = crlf + 2;
            continue;
        }
        return crlf;
    }
}

// A line break in a decoded field that a blank does not follow would start a header line or
// end the header block: bare CR and LF of the raw text can meet that way once an escape
// sequence or an empty encoded word between them is gone. Its CR becomes a blank.
void blankNewLines(TextSink& out, size_t from) {
    char* text = out.data();
    size_t end = out.length();
    for (size_t i = from; i + 1 < end; ++i)
        if (text[i] == '\r' && text[i + 1] == '\n' && !(i + 2 < end && isBlank(text[i + 2], false)))
            text[i] = ' ';
}

// Where a field's value starts: after the first colon of its first line; null when that line
// holds none.
const char* valueStart(const char* field, const char* fieldStop) {
    const char* lineStop = findLineEnd(field, fieldStop);
    if (!lineStop)
        lineStop = fieldStop;
    const void* colon = memchr(field, ':', static_cast<size_t>(lineStop - field));
    return colon ? static_cast<const char*>(colon) + 1 : nullptr;
}

// Each field on its own: its name as it stands, its value decoded, so decoded text never
// starts a header line (a forged "=?...?Q?From:_...?=" line stays as written). A field whose
// first line has no colon is no header field and stays as it stands. A fold between adjacent
// encoded words goes with the blanks around it, every other line break stays.
void decodeHeaderBlock(const char* p, const char* end, Work& w) {
    for (const char* field = p; field < end;) {
        const char* fieldStop = fieldEnd(field, end);
        const char* value = valueStart(field, fieldStop);
        if (!value)
            value = fieldStop;
        w.out.append(field, static_cast<size_t>(value - field));
        size_t from = w.out.length();
        decodeHeaderText(value, static_cast<size_t>(fieldStop - value), true, w);
        blankNewLines(w.out, from);
        if (fieldStop == end)
            break;
        w.out.append("\r\n", 2);
        field = fieldStop + 2;
    }
}

struct Range {
    const char* begin;
    const char* end;
};

// The value of the first field of the header range whose line starts with name, unfolded
// with single blanks, at most kHeaderValueSize - 1 bytes of it.
bool fieldValue(Range headers, const char* name, char (&value)[kHeaderValueSize]) {
    size_t nameLength = strlen(name);
    for (const char* line = headers.begin; line < headers.end;) {
        const char* stop = fieldEnd(line, headers.end);
        if (static_cast<size_t>(stop - line) >= nameLength && compareNoCase(line, name, nameLength) == 0) {
            TextSink sink(value, kHeaderValueSize);
            for (const char* p = line + nameLength; p < stop; ++p) {
                if (*p == '\r' && p + 1 < stop && p[1] == '\n') {
                    sink.put(' ');
                    for (p += 2; p < stop && isBlank(*p, false);)
                        ++p;
                    --p;
                } else {
                    sink.put(*p);
                }
            }
            sink.finish();
            return true;
        }
        line = stop + 2;
    }
    return false;
}

enum class Kind { Text, Multipart, Other };
enum class Transfer { Identity, Base64, QuotedPrintable };

struct ContentType {
    Kind kind = Kind::Text;
    bool digest = false;
    bool hasCharset = false;
    Charset charset = Charset::Unknown;
    char boundary[kMaxBoundary + 1] = {};
    size_t boundaryLength = 0;
};

const char* skipBlanks(const char* p) {
    while (isBlank(*p, true))
        ++p;
    return p;
}

bool tokenIs(const char* p, size_t length, const char* word) {
    return strlen(word) == length && compareNoCase(p, word, length) == 0;
}

// One parameter value at p (quoted or a token) copied into out (capacity cap); returns what
// follows it.
const char* parameterValue(const char* p, char* out, size_t cap, size_t* length) {
    TextSink sink(out, cap);
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {
            if (*p == '\\' && p[1])
                ++p;
            sink.put(*p);
        }
        if (*p == '"')
            ++p;
    } else {
        for (; *p && *p != ';' && !isBlank(*p, true); ++p)
            sink.put(*p);
    }
    *length = sink.finish();
    return p;
}

// An RFC 2231 value (charset'language'text with %XX escapes) made its text, in place.
size_t extendedValue(char* value, size_t length) {
    const char* first = static_cast<const char*>(memchr(value, '\'', length));
    const char* second = first ? static_cast<const char*>(memchr(first + 1, '\'', length - static_cast<size_t>(first + 1 - value))) : nullptr;
    if (!second)
        return length;
    size_t n = 0;
    for (size_t i = static_cast<size_t>(second + 1 - value); i < length; ++i) {
        if (value[i] == '%' && i + 2 < length && hexValue(value[i + 1]) >= 0 && hexValue(value[i + 2]) >= 0) {
            value[n++] = static_cast<char>(hexValue(value[i + 1]) << 4 | hexValue(value[i + 2]));
            i += 2;
        } else {
            value[n++] = value[i];
        }
    }
    return n;
}

void parseParameters(const char* p, ContentType& type) {
    while ((p = strchr(p, ';')) != nullptr) {
        p = skipBlanks(p + 1);
        const char* name = p;
        while (*p && *p != '=' && *p != ';' && !isBlank(*p, true))
            ++p;
        size_t nameLength = static_cast<size_t>(p - name);
        p = skipBlanks(p);
        if (*p != '=')
            continue;
        p = skipBlanks(p + 1);
        char value[kHeaderValueSize];
        size_t length = 0;
        p = parameterValue(p, value, sizeof value, &length);
        if (nameLength > 1 && name[nameLength - 1] == '*') {
            --nameLength;
            length = extendedValue(value, length);
        }
        if (tokenIs(name, nameLength, "charset")) {
            type.hasCharset = true;
            type.charset = charsetByName(value, length);
        } else if (tokenIs(name, nameLength, "boundary") && length <= kMaxBoundary) {
            memcpy(type.boundary, value, length);
            type.boundaryLength = length;
        }
    }
}

// The type a Content-Type value names; a value that is no type/subtype counts as text/plain
// (its parameters still count).
ContentType parseContentType(const char* value) {
    ContentType type;
    const char* p = skipBlanks(value);
    const char* major = p;
    while (*p && *p != '/' && *p != ';' && !isBlank(*p, true))
        ++p;
    if (*p != '/') {
        parseParameters(p, type);
        return type;
    }
    size_t majorLength = static_cast<size_t>(p - major);
    const char* minor = ++p;
    while (*p && *p != ';' && !isBlank(*p, true))
        ++p;
    if (p == minor) {
        parseParameters(p, type);
        return type;
    }
    type.kind = tokenIs(major, majorLength, "text") ? Kind::Text
              : tokenIs(major, majorLength, "multipart") ? Kind::Multipart : Kind::Other;
    type.digest = tokenIs(minor, static_cast<size_t>(p - minor), "digest");
    parseParameters(p, type);
    return type;
}

Transfer transferOf(Range headers) {
    char value[kHeaderValueSize];
    if (!fieldValue(headers, "Content-Transfer-Encoding:", value))
        return Transfer::Identity;
    const char* p = skipBlanks(value);
    size_t length = 0;
    while (p[length] && !isBlank(p[length], true) && p[length] != ';')
        ++length;
    return tokenIs(p, length, "base64") ? Transfer::Base64
         : tokenIs(p, length, "quoted-printable") ? Transfer::QuotedPrintable : Transfer::Identity;
}

// The transfer encoding undone and the charset converted; a part without charset is taken as
// ISO-2022-JP when it holds its escapes, as UTF-8 by looksLikeUtf8, else as it stands.
void decodeTextBody(Range body, Transfer transfer, const ContentType& type, Work& w) {
    const char* bytes = body.begin;
    size_t n = static_cast<size_t>(body.end - body.begin);
    if (n > kScratchCapacity)
        n = kScratchCapacity;
    if (transfer == Transfer::Base64)
        n = decodeBase64Body(body.begin, body.begin + n, w.scratch);
    else if (transfer == Transfer::QuotedPrintable)
        n = decodeQuotedPrintable(body.begin, body.begin + n, false, w.scratch);
    if (transfer != Transfer::Identity)
        bytes = w.scratch;
    Charset charset = type.charset == Charset::Unknown ? Charset::AsItStands : type.charset;
    if (!type.hasCharset)
        charset = hasIso2022JpEscape(bytes, n) ? Charset::Iso2022Jp
                : looksLikeUtf8(bytes, n) ? Charset::Utf8 : Charset::AsItStands;
    if (w.textParts++ > 0)
        w.out.append("\r\n", 2);
    convertText(charset, bytes, n, Controls::Body, w.out);
}

struct Delimiter {
    const char* line = nullptr;   // where its "--" starts
    const char* after = nullptr;  // where the next part starts
    bool closing = false;
};

// The first delimiter line ("--" boundary, "--" for the last one, blanks, line end) at or
// after from that stands at the start of a line of the range.
bool findDelimiter(const char* from, Range range, const ContentType& type, Delimiter* d) {
    const char* b = type.boundary;
    size_t bl = type.boundaryLength;
    for (const char* p = from; range.end - p >= static_cast<ptrdiff_t>(bl + 2);) {
        p = static_cast<const char*>(memchr(p, '-', static_cast<size_t>(range.end - p)));
        if (!p || range.end - p < static_cast<ptrdiff_t>(bl + 2))
            return false;
        bool lineStart = p == range.begin || (p - range.begin >= 2 && p[-2] == '\r' && p[-1] == '\n');
        if (!lineStart || p[1] != '-' || memcmp(p + 2, b, bl) != 0) {
            ++p;
            continue;
        }
        const char* q = p + 2 + bl;
        bool closing = range.end - q >= 2 && q[0] == '-' && q[1] == '-';
        if (closing)
            q += 2;
        while (q < range.end && isBlank(*q, false))
            ++q;
        if (q == range.end || (range.end - q >= 2 && q[0] == '\r' && q[1] == '\n')) {
            *d = Delimiter{p, q == range.end ? q : q + 2, closing};
            return true;
        }
        ++p;
    }
    return false;
}

void decodeEntity(Range headers, Range body, int depth, bool digestParent, Work& w);

// A part's header block and body: split at its first empty line; a part that starts with
// the line end has no header.
void decodePart(Range part, int depth, bool digest, Work& w) {
    const char* split = part.begin;
    Range headers{part.begin, part.begin};
    if (!(part.end - split >= 2 && split[0] == '\r' && split[1] == '\n')) {
        const char* crlf = split;
        while ((crlf = findLineEnd(crlf, part.end)) != nullptr && !(part.end - crlf >= 4 && crlf[2] == '\r' && crlf[3] == '\n'))
            crlf += 2;
        split = crlf ? crlf + 2 : part.end;
        headers.end = crlf ? crlf : part.end;
    }
    Range body{split + (split < part.end ? 2 : 0), part.end};
    if (body.begin > part.end)
        body.begin = part.end;
    decodeEntity(headers, body, depth, digest, w);
}

// The parts between the delimiters (a delimiter right after another makes no part); false
// when the body holds no delimiter at all.
bool decodeMultipart(Range body, const ContentType& type, int depth, Work& w) {
    Delimiter d;
    if (!findDelimiter(body.begin, body, type, &d))
        return false;
    while (!d.closing && w.parts < MessageDecoder::kMaxParts) {
        Delimiter next;
        bool more = findDelimiter(d.after, body, type, &next);
        const char* partEnd = more ? next.line - 2 : body.end;
        if (partEnd > d.after) {
            ++w.parts;
            decodePart(Range{d.after, partEnd}, depth + 1, type.digest, w);
        }
        if (!more)
            break;
        d = next;
    }
    return true;
}

void decodeEntity(Range headers, Range body, int depth, bool digestParent, Work& w) {
    char value[kHeaderValueSize];
    ContentType type;
    if (fieldValue(headers, "Content-Type:", value))
        type = parseContentType(value);
    else if (digestParent)
        type.kind = Kind::Other;
    if (type.kind == Kind::Multipart) {
        if (depth >= MessageDecoder::kMaxDepth)
            return;
        if (type.boundaryLength && decodeMultipart(body, type, depth, w))
            return;
        type = ContentType{};
    }
    if (type.kind == Kind::Text)
        decodeTextBody(body, transferOf(headers), type, w);
}

}  // namespace

MessageDecoder::MessageDecoder()
    : text_(new char[kTextCapacity]), scratch_(new char[kScratchCapacity]) {}

const char* MessageDecoder::decodeMessage(const char* text, size_t* length) {
    TextSink out(text_.get(), kTextCapacity);
    Work w{out, scratch_.get()};
    size_t total = strlen(text);
    if (total > kMessageReadCap)
        total = kMessageReadCap;
    size_t headerLength = headerBlockEnd(text);
    if (headerLength > total)
        headerLength = total;
    decodeHeaderBlock(text, text + headerLength, w);
    if (headerLength + 4 <= total) {
        out.append("\r\n\r\n", 4);
        Range headers{text, text + headerLength};
        decodeEntity(headers, Range{text + headerLength + 4, text + total}, 0, false, w);
    }
    *length = out.finish();
    return text_.get();
}

size_t MessageDecoder::decodeHeaderValue(const char* raw, size_t length, char (&value)[kHeaderValueSize]) {
    TextSink out(value, kHeaderValueSize);
    Work w{out, scratch_.get()};
    if (length > kScratchCapacity)
        length = kScratchCapacity;
    decodeHeaderText(raw, length, false, w);
    return out.finish();
}

}  // namespace corvane
