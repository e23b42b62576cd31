#include "plugin/mailbox/FolderTreeWin.h"

#include <windows.h>

#include "plugin/hostapi/HostApi.h"

namespace corvane {

std::string ProfileFolderTreeSource::readProfileString(const char* file, const char* section,
                                                       const char* key) const {
    char value[1024] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
    return value;
}

bool ProfileFolderTreeSource::toMailboxRelative(const char* fullDir, PathBuffer& out) const {
    const char* root = hostApi().module ? hostApi().APAGetMailbox() : nullptr;
    return corvane::toMailboxRelative(root, fullDir, out);
}

void listAccountFoldersOnDisk(FolderList& list, const char* accountDir) {
    listAccountFolders(list, accountDir, ProfileFolderTreeSource());
}

}  // namespace corvane
