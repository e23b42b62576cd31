// The folder tree read from the host's real files through the private-profile functions.
#pragma once

#include "plugin/mailbox/FolderTree.h"

namespace corvane {

class ProfileFolderTreeSource : public FolderTreeSource {
public:
    std::string readProfileString(const char* file, const char* section, const char* key) const override;
    // Relative to the mailbox root that the host reports.
    bool toMailboxRelative(const char* fullDir, PathBuffer& out) const override;
};

// listAccountFolders over the account's files on disk.
void listAccountFoldersOnDisk(FolderList& list, const char* accountDir);

}  // namespace corvane
