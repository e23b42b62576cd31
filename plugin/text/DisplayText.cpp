#include "plugin/text/DisplayText.h"

#include <cstdio>
#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/text/MessageDecoder.h"

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

}  // namespace

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
    static MessageDecoder decoder;
    return decodeHeaderForDisplay(decoder, raw, limit);
}

std::string decodeHeaderForDisplay(MessageDecoder& decoder, const std::string& raw, size_t limit) {
    char value[kHeaderValueSize];
    size_t length = decoder.decodeHeaderValue(raw.data(), raw.size(), value);
    return displayBytes(value, length, limit);
}

}  // namespace corvane
