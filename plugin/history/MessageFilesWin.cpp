#include "plugin/history/MessageFilesWin.h"

#include <windows.h>

#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

}  // namespace

bool MessageFilesWin::readList(const std::string& folder, std::string& text) {
    PathBuffer path;
    return fitsPath(folder) && messageListPath(folder.c_str(), path) && readWholeFile(path, text);
}

bool MessageFilesWin::fileSize(const std::string& entry, uint64_t& size) {
    PathBuffer path;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!fitsPath(entry) || !messageFilePath(entry.c_str(), path) ||
        !GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool MessageFilesWin::readHead(const std::string& entry, std::vector<char>& buffer, size_t& read, uint64_t& size) {
    PathBuffer path;
    if (buffer.size() < kWorkBufferSize)
        buffer.resize(kWorkBufferSize);
    read = 0;
    return fitsPath(entry) && messageFilePath(entry.c_str(), path) &&
           readFileStart(path, buffer.data(), &read, &size) != nullptr;
}

}  // namespace corvane
