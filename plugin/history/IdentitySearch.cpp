#include "plugin/history/IdentitySearch.h"

#include "plugin/history/MessageListKeys.h"

namespace corvane {

bool IdentitySearch::holds(const std::string& entry, const MessageIdentity& identity) {
    uint64_t size = 0;
    return files_.fileSize(entry, size) && size == identity.size && holdsRead(entry, identity);
}

bool IdentitySearch::holdsRead(const std::string& entry, const MessageIdentity& identity) {
    uint64_t size = 0;
    size_t read = 0;
    return files_.readHead(entry, buffer_, read, size) && sameMessage(identity, buffer_.data(), read, size);
}

// The folder's entries by the size their files had when the list was first read in this undo:
// one read of the list and one size look-up per entry, however many records the folder has.
const IdentitySearch::FolderIndex& IdentitySearch::indexOf(const std::string& folder) {
    auto known = folders_.find(folder);
    if (known != folders_.end())
        return known->second;
    FolderIndex index;
    std::string list;
    if (files_.readList(folder, list)) {
        std::vector<std::string> keys = messageListKeys(list, kBound + 1);
        index.complete = keys.size() <= kBound;
        for (size_t i = 0; index.complete && i < keys.size(); ++i) {
            std::string entry = folder + "\\" + keys[i];
            uint64_t size = 0;
            if (files_.fileSize(entry, size))
                index.bySize[size].push_back(std::move(entry));
        }
    }
    return folders_.emplace(folder, std::move(index)).first->second;
}

std::string IdentitySearch::find(const std::string& folder, const MessageIdentity& identity) {
    const FolderIndex& index = indexOf(folder);
    auto candidates = index.bySize.find(identity.size);
    if (!index.complete || candidates == index.bySize.end())
        return std::string();
    std::string found;
    // A file that changed size since the index was made no longer holds the message.
    for (const std::string& entry : candidates->second) {
        if (!holds(entry, identity))
            continue;
        if (!found.empty())
            return std::string();
        found = entry;
    }
    return found;
}

}  // namespace corvane
