#include "tools/check/TextDisplay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plugin/common/StrUtil.h"
#include "tools/check/Charset.h"

namespace corvane {

namespace {

bool isTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

void appendHex(std::string& out, unsigned char c) {
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isJisCharset(const std::string& charset) {
    return compareNoCase(charset.c_str(), "iso-2022-jp") == 0;
}

// ISO-2022-JP turned into Shift-JIS: JIS X 0208 rows map onto Shift-JIS arithmetically, the
// Windows extension rows included, so no table and no platform converter are needed.
bool jisToShiftJis(const std::string& text, std::string& out) {
    enum Mode { Ascii, Kanji, Kana } mode = Ascii;
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0x1B) {
            std::string sequence = text.substr(i + 1, 2);
            if (sequence == "$B" || sequence == "$@")
                mode = Kanji;
            else if (sequence == "(B" || sequence == "(J")
                mode = Ascii;
            else if (sequence == "(I")
                mode = Kana;
            else
                return false;
            i += 2;
            continue;
        }
        if (c >= 0x80)
            return false;
        if (mode == Ascii || c < 0x21 || c > 0x7E) {
            out += static_cast<char>(c);
        } else if (mode == Kana) {
            out += static_cast<char>(c + 0x80);
        } else {
            if (i + 1 >= text.size())
                return false;
            unsigned char c2 = static_cast<unsigned char>(text[++i]);
            if (c2 < 0x21 || c2 > 0x7E)
                return false;
            unsigned s1 = ((c + 1u) >> 1) + (c <= 0x5E ? 0x70u : 0xB0u);
            unsigned s2 = c2 + ((c & 1) ? (c2 >= 0x60 ? 0x20u : 0x1Fu) : 0x7Eu);
            out += static_cast<char>(s1);
            out += static_cast<char>(s2);
        }
    }
    return true;
}

bool toShiftJis(const std::string& charset, const std::string& text, std::string& out) {
    if (isJisCharset(charset))
        return jisToShiftJis(text, out);
    return convertToShiftJis(charset, text, out);
}

// Decodes every run that starts with an ISO-2022-JP designation (ESC $ B, ESC $ @, ESC ( J,
// ESC ( I) up to the return to ASCII (ESC ( B) or the end.
std::string decodeJisRuns(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t escape = text.find('\x1B', pos);
        if (escape == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        out.append(text, pos, escape - pos);
        size_t back = text.find("\x1B(B", escape);
        size_t end = back == std::string::npos ? text.size() : back + 3;
        std::string run = text.substr(escape, end - escape);
        if (back == std::string::npos)
            run += "\x1B(B";
        std::string decoded;
        if (jisToShiftJis(run, decoded)) {
            out += decoded;
        } else {
            out.append(text, escape, end - escape);
        }
        pos = end;
    }
    return out;
}

// One encoded word "=?charset?X?text?=" at pos: its decoded Shift-JIS text and its end.
bool decodeEncodedWord(const std::string& text, size_t pos, std::string& decoded, size_t& end) {
    if (text.compare(pos, 2, "=?") != 0)
        return false;
    size_t q1 = text.find('?', pos + 2);
    if (q1 == std::string::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?')
        return false;
    size_t close = text.find("?=", q1 + 3);
    if (close == std::string::npos)
        return false;
    std::string charset = text.substr(pos + 2, q1 - pos - 2);
    size_t star = charset.find('*');
    if (star != std::string::npos)
        charset.resize(star);
    char encoding = static_cast<char>(foldAscii(static_cast<unsigned char>(text[q1 + 1])));
    std::string payload = text.substr(q1 + 3, close - q1 - 3);
    if (payload.find_first_of(" \t") != std::string::npos)
        return false;
    std::string bytes;
    if (encoding == 'b') {
        if (!decodeBase64(payload, bytes))
            return false;
    } else if (encoding == 'q') {
        bytes = decodeQuotedWord(payload);
    } else {
        return false;
    }
    if (!toShiftJis(charset, bytes, decoded))
        return false;
    end = close + 2;
    return true;
}

}  // namespace

bool decodeBase64(const std::string& text, std::string& out) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const char* found = c ? strchr(kAlphabet, c) : nullptr;
        if (!found)
            return false;
        buffer = (buffer << 6) | static_cast<unsigned>(found - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return true;
}

std::string decodeQuotedWord(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            out += ' ';
        } else if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string displayBytes(const char* data, size_t length, size_t limit) {
    std::string out;
    size_t shown = limit && limit < length ? limit : length;
    size_t i = 0;
    while (i < shown) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (isSjisLeadByte(c)) {
            if (i + 1 < length && isTrailByte(static_cast<unsigned char>(data[i + 1]))) {
                if (i + 2 > shown)
                    break;
                out.append(data + i, 2);
                i += 2;
            } else {
                appendHex(out, c);
                ++i;
            }
            continue;
        }
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD)
            appendHex(out, c);
        else
            out += static_cast<char>(c);
        ++i;
    }
    if (i < length)
        out += "…";
    return out;
}

std::string displayBytes(const std::string& text, size_t limit) {
    return displayBytes(text.data(), text.size(), limit);
}

std::string decodeHeaderForDisplay(const std::string& raw, size_t limit) {
    std::string out;
    size_t pos = 0;
    bool lastWasWord = false;
    std::string pendingBlank;
    while (pos < raw.size()) {
        std::string decoded;
        size_t end = 0;
        if (decodeEncodedWord(raw, pos, decoded, end)) {
            if (!lastWasWord)
                out += pendingBlank;
            pendingBlank.clear();
            out += decoded;
            pos = end;
            lastWasWord = true;
            continue;
        }
        if (raw[pos] == ' ' || raw[pos] == '\t') {
            pendingBlank += raw[pos++];
            continue;
        }
        size_t next = raw.find("=?", pos + 1);
        size_t blank = raw.find_first_of(" \t", pos);
        size_t stop = std::min(next == std::string::npos ? raw.size() : next,
                               blank == std::string::npos ? raw.size() : blank);
        out += pendingBlank;
        pendingBlank.clear();
        out += decodeJisRuns(raw.substr(pos, stop - pos));
        pos = stop;
        lastWasWord = false;
    }
    out += pendingBlank;
    return displayBytes(out, limit);
}

}  // namespace corvane
