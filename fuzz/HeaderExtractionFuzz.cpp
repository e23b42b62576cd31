// Header extraction on hostile messages: never overruns the value, and what it finds is one
// unfolded value of fewer than 1024 bytes within the header block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/text/HeaderExtraction.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    size_t nameLength = data[0] % 24;
    if (nameLength > size - 1)
        nameLength = size - 1;
    std::string name(reinterpret_cast<const char*>(data + 1), nameLength);
    std::string text(reinterpret_cast<const char*>(data + 1 + nameLength), size - 1 - nameLength);
    size_t end = headerBlockEnd(text.c_str());
    if (end > strlen(text.c_str()))
        abort();
    char value[kHeaderValueSize];
    memset(value, 0x5A, sizeof value);
    bool found = extractHeaderValue(text.c_str(), name.c_str(), value);
    size_t length = strnlen(value, sizeof value);
    if (length >= sizeof value || (!found && length != 0))
        abort();
    if (found && (strstr(value, "\r\n") || length > end))
        abort();
    return 0;
}
