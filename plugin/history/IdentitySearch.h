// Finding the message a run recorded by its identity among a folder's messages. Platform-free:
// the files are reached through MessageFiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "plugin/history/MessageIdentity.h"

namespace corvane {

// A mailbox's message files by entry name ("folder\key") and folders' message lists.
class MessageFiles {
public:
    virtual ~MessageFiles() = default;
    // The folder's message-list text; false when it cannot be read.
    virtual bool readList(const std::string& folder, std::string& text) = 0;
    // The true size of the entry's message file; false when there is none.
    virtual bool fileSize(const std::string& entry, uint64_t& size) = 0;
    // The first bytes of the entry's message file, as many as an identity covers, into buffer
    // (grown as needed, kept by the caller for the next call): read of them, and the true size.
    virtual bool readHead(const std::string& entry, std::vector<char>& buffer, size_t& read, uint64_t& size) = 0;
};

// One search per undo: each folder's message list is read once, at its first record, and its
// entries indexed by file size, so that the cost grows with records plus folder size. A
// candidate's bytes are read only when its size is the identity's.
class IdentitySearch {
public:
    // The most entries of a folder's message list that a search looks through.
    static constexpr size_t kBound = 100000;

    explicit IdentitySearch(MessageFiles& files) : files_(files) {}

    // The one entry of folder that holds the identified message; empty when none does, when
    // more than one does, or when the list holds more entries than the search looks at (one
    // found among them might not be the only one).
    std::string find(const std::string& folder, const MessageIdentity& identity);

    // Whether the entry's file holds the identified message.
    bool holds(const std::string& entry, const MessageIdentity& identity);

private:
    struct FolderIndex {
        bool complete = false;  // the list was read and held no more entries than the bound
        std::map<uint64_t, std::vector<std::string>> bySize;
    };
    const FolderIndex& indexOf(const std::string& folder);
    bool holdsRead(const std::string& entry, const MessageIdentity& identity);

    MessageFiles& files_;
    std::map<std::string, FolderIndex> folders_;
    std::vector<char> buffer_;
};

}  // namespace corvane
