#include "plugin/mailbox/MailboxFiles.h"

#include <windows.h>

#include "plugin/hostapi/HostApi.h"

namespace corvane {

namespace {

const char* mailboxRoot() {
    HostApi& host = hostApi();
    return host.module ? host.APAGetMailbox() : nullptr;
}

}  // namespace

bool folderExists(const char* folderPath) {
    PathBuffer path;
    const char* root = mailboxRoot();
    if (!root || !formatFolderTestPath(root, folderPath ? folderPath : "", path))
        return false;
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool messageFilePath(const char* entryName, PathBuffer& out) {
    out[0] = '\0';
    const char* root = mailboxRoot();
    return root && entryName && formatMessageFilePath(root, entryName, out);
}

bool messageListPath(const char* folderPath, PathBuffer& out) {
    out[0] = '\0';
    const char* root = mailboxRoot();
    return root && folderPath && formatMessageListPath(root, folderPath, out);
}

}  // namespace corvane
