#include "plugin/text/CharsetConversion.h"

#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/text/Cp932.h"

namespace corvane {

namespace {

using Byte = unsigned char;

bool sameName(const char* name, size_t length, const char* known) {
    return strlen(known) == length && compareNoCase(name, known, length) == 0;
}

bool isControl(char32_t c, Controls controls) {
    if (controls == Controls::Raw || c >= 0x20)
        return false;
    return controls == Controls::Header || !(c == '\t' || c == '\r' || c == '\n');
}

void putUnicode(char32_t c, Controls controls, TextSink& out) {
    if (isControl(c, controls))
        out.put(' ');
    else
        out.putCode(cp932::fromUnicode(c));
}

// A double-byte Shift-JIS code, in the code page's chosen form; the replacement when the
// two bytes form no character.
[[gnu::always_inline]] inline void putSjisPair(Byte lead, Byte trail, TextSink& out) {
    out.putCode(cp932::chosenForm(lead, trail));
}

// How many bytes from p on copy unchanged: ASCII other than the controls that this
// conversion makes blanks.
size_t plainRun(const Byte* p, size_t n, Controls controls) {
    size_t i = 0;
    if (controls == Controls::Raw) {
        while (i < n && p[i] < 0x80)
            ++i;
        return i;
    }
    bool keepBreaks = controls == Controls::Body;
    while (i < n && p[i] < 0x80 && (p[i] >= 0x20 || (keepBreaks && (p[i] == '\t' || p[i] == '\r' || p[i] == '\n'))))
        ++i;
    return i;
}

// The Shift-JIS code of JIS X 0208 row and cell bytes (each 0x21-0x7E).
[[gnu::always_inline]] inline void putJisPair(Byte j1, Byte j2, TextSink& out) {
    auto lead = static_cast<Byte>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    auto trail = static_cast<Byte>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
    putSjisPair(lead, trail, out);
}

void convertSingleBytes(bool latin1, const Byte* p, size_t n, Controls controls, TextSink& out) {
    for (size_t i = 0; i < n; ++i) {
        size_t run = plainRun(p + i, n - i, controls);
        if (run) {
            out.append(reinterpret_cast<const char*>(p + i), run);
            i += run;
            if (i == n)
                break;
        }
        if (p[i] < 0x80 || latin1)
            putUnicode(p[i], controls, out);
        else
            out.put(cp932::kReplacement);
    }
}

// Length of the valid UTF-8 sequence at p (at most n bytes) and its character; 0 when the
// bytes there do not form one.
size_t utf8Sequence(const Byte* p, size_t n, char32_t* c) {
    Byte b = p[0];
    size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                  : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || length > n)
        return 0;
    char32_t value = length == 1 ? b : b & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *c = value;
    return length;
}

void convertUtf8(const Byte* p, size_t n, Controls controls, TextSink& sink) {
    TextSink out = sink;  // kept in registers: no byte written can alias it
    const unsigned short* table = cp932::reverseTable();
    for (size_t i = 0; i < n;) {
        if (size_t run = plainRun(p + i, n - i, controls)) {
            out.append(reinterpret_cast<const char*>(p + i), run);
            i += run;
            continue;
        }
        if ((p[i] & 0xF0) == 0xE0 && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
            char32_t c = (p[i] & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
                out.putCode(table[c] ? table[c] : -1);
                i += 3;
                continue;
            }
        }
        char32_t c = 0;
        size_t length = utf8Sequence(p + i, n - i, &c);
        if (length == 0) {
            out.put(cp932::kReplacement);
            ++i;
            continue;
        }
        putUnicode(c, controls, out);
        i += length;
    }
    sink = out;
}

void convertShiftJis(const Byte* p, size_t n, Controls controls, TextSink& sink) {
    TextSink out = sink;  // kept in registers: no byte written can alias it
    for (size_t i = 0; i < n; ++i) {
        if (size_t run = plainRun(p + i, n - i, controls)) {
            out.append(reinterpret_cast<const char*>(p + i), run);
            i += run - 1;
            continue;
        }
        if (isSjisLeadByte(p[i])) {
            int code = i + 1 < n ? cp932::chosenForm(p[i], p[i + 1]) : -1;
            out.putCode(code);
            i += code >= 0;
        } else if (char32_t c = cp932::singleToUnicode(p[i])) {
            putUnicode(c, controls, out);
        } else {
            out.put(cp932::kReplacement);
        }
    }
    sink = out;
}

void convertEucJp(const Byte* p, size_t n, Controls controls, TextSink& sink) {
    TextSink out = sink;  // kept in registers: no byte written can alias it
    for (size_t i = 0; i < n;) {
        Byte b = p[i];
        if (b < 0x80) {
            putUnicode(b, controls, out);
            i += 1;
        } else if (b == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
            out.put(static_cast<char>(p[i + 1]));
            i += 2;
        } else if (b == 0x8F && i + 2 < n && p[i + 1] >= 0xA1 && p[i + 2] >= 0xA1) {
            out.put(cp932::kReplacement);  // JIS X 0212: no code-page-932 form here
            i += 3;
        } else if (b >= 0xA1 && b <= 0xFE && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xFE) {
            putJisPair(static_cast<Byte>(b - 0x80), static_cast<Byte>(p[i + 1] - 0x80), out);
            i += 2;
        } else {
            out.put(cp932::kReplacement);
            i += 1;
        }
    }
    sink = out;
}

enum class JisMode { Ascii, Kanji, Katakana, Unsupported };

// The mode an escape sequence at p selects, and its length; 0 when p holds none.
size_t jisEscape(const Byte* p, size_t n, JisMode* mode) {
    if (n >= 3 && p[1] == '(' && (p[2] == 'B' || p[2] == 'J' || p[2] == 'I')) {
        *mode = p[2] == 'I' ? JisMode::Katakana : JisMode::Ascii;
        return 3;
    }
    if (n >= 3 && p[1] == '$' && (p[2] == 'B' || p[2] == '@')) {
        *mode = JisMode::Kanji;
        return 3;
    }
    if (n >= 4 && p[1] == '$' && p[2] == '(' && p[3] >= 0x40 && p[3] <= 0x7E) {
        *mode = p[3] == 'B' || p[3] == '@' ? JisMode::Kanji : JisMode::Unsupported;
        return 4;
    }
    return 0;
}

void convertIso2022Jp(const Byte* p, size_t n, Controls controls, TextSink& sink) {
    TextSink out = sink;  // kept in registers: no byte written can alias it
    JisMode mode = JisMode::Ascii;
    for (size_t i = 0; i < n;) {
        Byte b = p[i];
        if (mode == JisMode::Ascii && b != 0x1B) {
            size_t run = plainRun(p + i, n - i, controls);
            if (const void* escape = memchr(p + i, 0x1B, run))
                run = static_cast<size_t>(static_cast<const Byte*>(escape) - (p + i));
            if (run) {
                out.append(reinterpret_cast<const char*>(p + i), run);
                i += run;
                continue;
            }
        }
        if (mode == JisMode::Kanji && b >= 0x21 && b <= 0x7E && i + 1 < n && p[i + 1] >= 0x21 && p[i + 1] <= 0x7E) {
            putJisPair(b, p[i + 1], out);
            i += 2;
            continue;
        }
        size_t escape = b == 0x1B ? jisEscape(p + i, n - i, &mode) : 0;
        if (escape) {
            i += escape;
        } else if (mode != JisMode::Ascii && b >= 0x21 && b <= 0x7E) {
            bool pair = mode != JisMode::Katakana;
            if (pair && (i + 1 >= n || p[i + 1] < 0x21 || p[i + 1] > 0x7E)) {
                out.put(cp932::kReplacement);
                i += 1;
                continue;
            }
            if (mode == JisMode::Kanji)
                putJisPair(b, p[i + 1], out);
            else if (mode == JisMode::Katakana)
                out.putCode(b <= 0x5F ? b + 0x80 : -1);
            else
                out.put(cp932::kReplacement);
            i += pair ? 2 : 1;
        } else {
            if (b >= 0x80 && controls == Controls::Raw)
                out.put(static_cast<char>(b));
            else if (b >= 0x80)
                out.put(cp932::kReplacement);
            else
                putUnicode(b, controls, out);
            i += 1;
        }
    }
    sink = out;
}

void copyAsItStands(const char* text, size_t length, Controls controls, TextSink& out) {
    if (controls == Controls::Raw) {
        out.append(text, length);
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        auto b = static_cast<Byte>(text[i]);
        out.put(isControl(b, controls) ? ' ' : text[i]);
    }
}

}  // namespace

Charset charsetByName(const char* name, size_t length) {
    if (const void* star = memchr(name, '*', length))
        length = static_cast<size_t>(static_cast<const char*>(star) - name);
    static const struct { const char* name; Charset charset; } kNames[] = {
        {"iso-2022-jp", Charset::Iso2022Jp}, {"csiso2022jp", Charset::Iso2022Jp},
        {"shift_jis", Charset::ShiftJis}, {"shift-jis", Charset::ShiftJis},
        {"sjis", Charset::ShiftJis}, {"x-sjis", Charset::ShiftJis},
        {"windows-31j", Charset::ShiftJis}, {"cp932", Charset::ShiftJis},
        {"ms932", Charset::ShiftJis}, {"csshiftjis", Charset::ShiftJis},
        {"euc-jp", Charset::EucJp}, {"x-euc-jp", Charset::EucJp},
        {"utf-8", Charset::Utf8}, {"utf8", Charset::Utf8},
        {"us-ascii", Charset::Ascii}, {"ascii", Charset::Ascii},
        {"iso-8859-1", Charset::Latin1}, {"iso_8859-1", Charset::Latin1},
        {"latin1", Charset::Latin1}, {"latin-1", Charset::Latin1},
    };
    for (const auto& known : kNames)
        if (sameName(name, length, known.name))
            return known.charset;
    return Charset::Unknown;
}

size_t TextSink::wholeCharacters(const char* text, size_t room) {
    size_t take = 0;
    for (;;) {
        size_t width = isSjisLeadByte(static_cast<Byte>(text[take])) ? 2 : 1;
        if (take + width > room)
            return take;
        take += width;
    }
}

bool looksLikeUtf8(const char* text, size_t length) {
    auto p = reinterpret_cast<const Byte*>(text);
    bool longSequence = false;
    for (size_t i = 0; i < length;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t c = 0;
        size_t n = utf8Sequence(p + i, length - i, &c);
        if (n == 0)
            return false;
        longSequence = longSequence || n >= 3;
        i += n;
    }
    return longSequence;
}

bool hasIso2022JpEscape(const char* text, size_t length) {
    const char* end = text + length;
    for (const char* p = text; (p = static_cast<const char*>(memchr(p, 0x1B, end - p))) != nullptr; ++p) {
        if (end - p >= 3 && ((p[1] == '$' && (p[2] == 'B' || p[2] == '@')) || (p[1] == '(' && p[2] == 'I')))
            return true;
    }
    return false;
}

void convertText(Charset charset, const char* text, size_t length, Controls controls, TextSink& out) {
    auto p = reinterpret_cast<const Byte*>(text);
    switch (charset) {
    case Charset::Ascii: convertSingleBytes(false, p, length, controls, out); break;
    case Charset::Latin1: convertSingleBytes(true, p, length, controls, out); break;
    case Charset::Utf8: convertUtf8(p, length, controls, out); break;
    case Charset::ShiftJis: convertShiftJis(p, length, controls, out); break;
    case Charset::EucJp: convertEucJp(p, length, controls, out); break;
    case Charset::Iso2022Jp: convertIso2022Jp(p, length, controls, out); break;
    case Charset::AsItStands:
    case Charset::Unknown: copyAsItStands(text, length, controls, out); break;
    }
}

}  // namespace corvane
