#include "plugin/history/IdentitySearch.h"

#include "plugin/history/MessageListKeys.h"

namespace corvane {

bool IdentitySearch::holds(const std::string& entry, const MessageIdentity& identity) {
    uint64_t size = 0;
    size_t read = 0;
    return files_.fileSize(entry, size) && size == identity.size && files_.readHead(entry, buffer_, read, size) &&
           sameMessage(identity, buffer_.data(), read, size);
}

std::string IdentitySearch::find(const std::string& folder, const MessageIdentity& identity) {
    std::string list;
    if (!files_.readList(folder, list))
        return std::string();
    std::vector<std::string> keys = messageListKeys(list, kBound + 1);
    if (keys.size() > kBound)
        return std::string();
    std::string found;
    for (const std::string& key : keys) {
        std::string entry = folder + "\\" + key;
        if (!holds(entry, identity))
            continue;
        if (!found.empty())
            return std::string();
        found = entry;
    }
    return found;
}

}  // namespace corvane
