// A folder's messages read straight from the mailbox's files, as a run reads them, for the
// settings sheet's workers, which do not ask the host.
#pragma once

#include <string>
#include <vector>

#include "plugin/rules/RuleTry.h"

namespace corvane {

// The folder's entries and unread marks from its message list; none when it cannot be read.
FolderMessages readFolderMessages(const std::string& root, const std::string& folder);

// One message at a time, at most 64 KB, into a buffer of the run's size.
class MessageFileReader {
public:
    explicit MessageFileReader(const std::string& root);
    // The message text, valid until the next read, or null when it cannot be read.
    const char* read(const std::string& entry);

private:
    std::string root_;
    std::vector<char> buffer_;
};

}  // namespace corvane
