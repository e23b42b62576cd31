// Any text split as a host rule: nothing is written past the three buffers, and a split rule
// joined again with its colons doubled splits into the same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/rules/HostRuleParse.h"
#include "plugin/rules/RuleText.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string value(reinterpret_cast<const char*>(data), size);
    char header[1024], text[1024];
    PathBuffer folder;
    if (!parseHostRule(value.c_str(), header, text, folder)) {
        if (header[0] || text[0] || folder[0])
            abort();
        return 0;
    }
    if (strnlen(header, sizeof header) >= sizeof header || strnlen(text, sizeof text) >= sizeof text ||
        strnlen(folder, sizeof folder) >= sizeof folder)
        abort();

    std::string joined = escapeColons(header) + ": " + escapeColons(text) + ": " + folder;
    char header2[1024], text2[1024];
    PathBuffer folder2;
    if (!parseHostRule(joined.c_str(), header2, text2, folder2) || strcmp(header, header2) != 0 ||
        strcmp(text, text2) != 0 || strcmp(folder, folder2) != 0)
        abort();
    return 0;
}
