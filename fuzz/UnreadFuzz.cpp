// Unread lookup: the one-pass lookup of many entries must give exactly the answers of the
// plain search entry by entry. Input: list text, NUL, then entry names separated by NULs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/mailbox/UnreadIndex.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    const std::string& list = parts[0];
    std::vector<const char*> entries;
    for (size_t i = 1; i < parts.size() && entries.size() < 32; ++i)
        entries.push_back(parts[i].c_str());
    std::vector<bool> flags = findUnreadEntries(list.c_str(), entries.data(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (flags[i] != isUnread(list.c_str(), entries[i])) {
            fprintf(stderr, "unread lookups differ for entry %zu\n", i);
            abort();
        }
    }
    return 0;
}
