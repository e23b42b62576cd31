// The host's folder tree of one account, read from its settings files, as the flat list that
// the settings dialogs offer. Platform-free: the profile reads and the mailbox root come from
// a FolderTreeSource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

struct FolderEntry {
    char path[260] = {};    // relative to the mailbox root, no trailing '\'
    char title[1024] = {};  // the name shown to the user
    int32_t kind = 0;       // a FolderKind
    uint8_t hasSubfolders = 0;
    int32_t depth = 0;      // 1 for the account's own folders
};

// Entries in display order: each folder followed by everything below it.
typedef std::vector<FolderEntry> FolderList;

// At most this many folders are looked at in one walk, so that order strings that name
// folders again and again cannot make the walk endless.
constexpr size_t kMaxFolderVisits = 10000;

class FolderTreeSource {
public:
    virtual ~FolderTreeSource() = default;
    // Section key of a private-profile file; empty when absent.
    virtual std::string readProfileString(const char* file, const char* section, const char* key) const = 0;
    // fullDir relative to the mailbox root (see the free function below).
    virtual bool toMailboxRelative(const char* fullDir, PathBuffer& out) const = 0;
};

// The part of fullDir after root (compared without regard to ASCII case) up to its last '\'.
// Fails, leaving out empty, when fullDir does not lie below root or the result would not fit.
bool toMailboxRelative(const char* root, const char* fullDir, PathBuffer& out);

// Appends the folders named by order below prefix (a directory ending with '\') and,
// recursively, their subfolders, at depth + 1. A folder is listed only when every file the
// plug-in forms inside it (Entry.ini, Entry.lst) stays within a path buffer; deeper levels
// would be longer still, so the nesting ends there as well.
void enumerateFolders(FolderList& list, int depth, const char* prefix, const char* order,
                      const FolderTreeSource& source);

// The whole tree of the account in accountDir (ending with '\'), in the order of its
// "Account.ini"; "IOT" when that gives none.
void listAccountFolders(FolderList& list, const char* accountDir, const FolderTreeSource& source);

}  // namespace corvane
