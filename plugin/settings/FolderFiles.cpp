#include "plugin/settings/FolderFiles.h"

#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

FolderMessages readFolderMessages(const std::string& root, const std::string& folder) {
    PathBuffer path;
    char* list = formatMessageListPath(root.c_str(), folder.c_str(), path) ? readWholeFile(path) : nullptr;
    FolderMessages messages = listFolderMessages(list, folder);
    freeText(list);
    return messages;
}

MessageFileReader::MessageFileReader(const std::string& root) : root_(root), buffer_(kWorkBufferSize) {}

const char* MessageFileReader::read(const std::string& entry) {
    PathBuffer path;
    if (!formatMessageFilePath(root_.c_str(), entry.c_str(), path))
        return nullptr;
    return readFileStart(path, buffer_.data());
}

}  // namespace corvane
