// The message decoder on hostile messages: the decoded text stays in its buffer, holds no NUL,
// and decoding never starts a header line or makes a line break in a header value; the profile
// round trip is stable once applied.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/text/Cp932.h"
#include "plugin/text/MessageDecoder.h"

using namespace corvane;

namespace {

// Line breaks that start a header line: those no blank or tab follows.
size_t countFieldStarts(const char* text, size_t length) {
    size_t count = 0;
    for (size_t i = 0; i + 1 < length; ++i)
        count += text[i] == '\r' && text[i + 1] == '\n' && !(i + 2 < length && (text[i + 2] == ' ' || text[i + 2] == '\t'));
    return count;
}

void checkMessage(MessageDecoder& decoder, const std::string& text) {
    size_t length = 0;
    const char* out = decoder.decodeMessage(text.c_str(), &length);
    if (length >= MessageDecoder::kTextCapacity || strlen(out) != length)
        abort();
    size_t rawHeader = headerBlockEnd(text.c_str());
    size_t header = headerBlockEnd(out);
    if (countFieldStarts(out, header) > countFieldStarts(text.c_str(), rawHeader))
        abort();
    std::string headerOnly = text.substr(0, rawHeader);
    if (strstr(decoder.decodeMessage(headerOnly.c_str(), &length), "\r\n\r\n"))
        abort();
}

void checkValue(MessageDecoder& decoder, const std::string& text) {
    char value[kHeaderValueSize];
    size_t raw = strlen(text.c_str());
    size_t length = decoder.decodeHeaderValue(text.c_str(), raw, value);
    if (length >= kHeaderValueSize || strlen(value) != length)
        abort();
    bool rawBreaks = memchr(text.c_str(), '\r', raw) || memchr(text.c_str(), '\n', raw);
    if (!rawBreaks && (memchr(value, '\r', length) || memchr(value, '\n', length)))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageDecoder decoder;
    std::string text(reinterpret_cast<const char*>(data), size);
    checkMessage(decoder, text);
    checkValue(decoder, text.substr(0, kHeaderValueSize - 1));
    std::string once = cp932::profileRoundTrip(text.data(), text.size());
    if (cp932::profileRoundTrip(once.data(), once.size()) != once)
        abort();
    return 0;
}
