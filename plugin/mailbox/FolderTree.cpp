#include "plugin/mailbox/FolderTree.h"

#include <cstring>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

// The longest name of a file the plug-in opens inside a folder directory: "Entry.ini",
// "Entry.lst", "Trash.box".
constexpr size_t kFolderFileNameLength = 9;

struct SpecialFolder {
    char letter;
    const char* directory;
    const char* title;
    FolderKind kind;
};

const SpecialFolder kSpecialFolders[] = {
    {'I', "Inbox.box\\", "郵便受け", Inbox},
    {'O', "Outbox.box\\", "送信箱", Outbox},
    {'T', "Trash.box\\", "ごみ箱", Trash},
};

class FolderWalk {
public:
    FolderWalk(FolderList& list, const FolderTreeSource& source) : list_(list), source_(source) {}

    void enumerate(int depth, const char* prefix, const char* order);

private:
    void addSpecial(const SpecialFolder& folder, int level, const char* prefix);
    void addUserFolder(const char (&id)[4], int level, const char* prefix);
    bool formDirectory(PathBuffer& directory, const char* prefix, const char* name, const char* id);
    bool appendEntry(FolderEntry& entry, const char* directory);

    FolderList& list_;
    const FolderTreeSource& source_;
    size_t visitsLeft_ = kMaxFolderVisits;
};

// prefix + name (with "%03s" id, padded with '0' on the left) + "\"; false when the folder's
// files would not fit a path buffer.
bool FolderWalk::formDirectory(PathBuffer& directory, const char* prefix, const char* name, const char* id) {
    bool formed = id ? formatBuffer(directory, "%sUser%.*s%s.box\\", prefix, static_cast<int>(3 - strlen(id)),
                                    "000", id)
                     : formatBuffer(directory, "%s%s", prefix, name);
    return formed && strlen(directory) + kFolderFileNameLength < PathBufferSize;
}

bool FolderWalk::appendEntry(FolderEntry& entry, const char* directory) {
    if (!source_.toMailboxRelative(directory, entry.path))
        return false;
    list_.push_back(entry);
    return true;
}

void FolderWalk::addSpecial(const SpecialFolder& folder, int level, const char* prefix) {
    PathBuffer directory;
    if (!formDirectory(directory, prefix, folder.directory, nullptr))
        return;
    FolderEntry entry;
    copyString(entry.title, folder.title);
    entry.kind = folder.kind;
    entry.depth = level;
    appendEntry(entry, directory);
}

void FolderWalk::addUserFolder(const char (&id)[4], int level, const char* prefix) {
    PathBuffer directory, entryFile;
    if (!formDirectory(directory, prefix, nullptr, id) || !formatBuffer(entryFile, "%sEntry.ini", directory))
        return;
    FolderEntry entry;
    std::string subOrder;
    if (source_.readProfileString(entryFile, "Property", "Type") == "Subfolder") {
        entry.hasSubfolders = 1;
        subOrder = source_.readProfileString(entryFile, "Property", "Order");
    }
    std::string title = source_.readProfileString(entryFile, "Property", "Title");
    if (!title.empty())
        copyString(entry.title, title.c_str());
    else
        formatBuffer(entry.title, "不明なフォルダ(%s)", id);
    entry.kind = entry.hasSubfolders ? ParentFolder : UserFolder;
    entry.depth = level;
    appendEntry(entry, directory);
    if (entry.hasSubfolders)
        enumerate(level, directory, subOrder.c_str());
}

void FolderWalk::enumerate(int depth, const char* prefix, const char* order) {
    const int level = depth + 1;
    const char* p = order ? order : "";
    while (*p && visitsLeft_ > 0) {
        --visitsLeft_;
        const SpecialFolder* special = nullptr;
        for (const SpecialFolder& folder : kSpecialFolders)
            if (*p == folder.letter)
                special = &folder;
        if (special) {
            addSpecial(*special, level, prefix);
            ++p;
            continue;
        }
        char id[4] = {};
        size_t length = strnlen(p, 3);
        memcpy(id, p, length);
        addUserFolder(id, level, prefix);
        p += length;
    }
}

}  // namespace

bool toMailboxRelative(const char* root, const char* fullDir, PathBuffer& out) {
    out[0] = '\0';
    if (!root || !fullDir)
        return false;
    size_t rootLength = strlen(root);
    if (compareNoCase(fullDir, root, rootLength) != 0)
        return false;
    const char* afterLast = lastPathComponent(fullDir);
    if (!afterLast || static_cast<size_t>(afterLast - fullDir) <= rootLength)
        return false;
    size_t length = static_cast<size_t>(afterLast - 1 - fullDir) - rootLength;
    if (!copyBytes(out, fullDir + rootLength, length)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

void enumerateFolders(FolderList& list, int depth, const char* prefix, const char* order,
                      const FolderTreeSource& source) {
    FolderWalk(list, source).enumerate(depth, prefix ? prefix : "", order);
}

void listAccountFolders(FolderList& list, const char* accountDir, const FolderTreeSource& source) {
    if (!accountDir)
        accountDir = "";
    PathBuffer accountFile;
    std::string order;
    if (formatBuffer(accountFile, "%sAccount.ini", accountDir))
        order = source.readProfileString(accountFile, "Property", "Order");
    if (order.empty())
        order = "IOT";
    enumerateFolders(list, 0, accountDir, order.c_str(), source);
}

}  // namespace corvane
