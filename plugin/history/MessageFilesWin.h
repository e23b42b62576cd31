// The mailbox's message files and message lists as the host keeps them on disk.
#pragma once

#include "plugin/history/IdentitySearch.h"

namespace corvane {

class MessageFilesWin final : public MessageFiles {
public:
    bool readList(const std::string& folder, std::string& text) override;
    bool fileSize(const std::string& entry, uint64_t& size) override;
    bool readHead(const std::string& entry, std::vector<char>& buffer, size_t& read, uint64_t& size) override;
};

}  // namespace corvane
