#include "plugin/mailbox/MailboxPaths.h"

#include <cstring>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

// Position of the last real '\' of a Shift-JIS path, or nullptr.
const char* lastSeparator(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; p && *p; ++p) {
        if (isSjisLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\')
            last = p;
    }
    return last;
}

// Whether "\<name>" occurs at a real separator of the path.
bool holdsComponentPrefix(const char* path, const char* name) {
    size_t length = strlen(name);
    for (const char* p = path; *p; ++p) {
        if (isSjisLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' && strncmp(p + 1, name, length) == 0)
            return true;
    }
    return false;
}

bool formatPath(PathBuffer& out, const char* root, const char* relative, const char* suffix) {
    if (!formatBuffer(out, "%s%s%s", root ? root : "", relative ? relative : "", suffix)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

FolderKind classifyFolderPath(const char* folderPath) {
    if (!lastSeparator(folderPath) || holdsComponentPrefix(folderPath, "Trash.box"))
        return Trash;
    if (holdsComponentPrefix(folderPath, "Inbox.box"))
        return Inbox;
    if (holdsComponentPrefix(folderPath, "Outbox.box"))
        return Outbox;
    return UserFolder;
}

const char* lastPathComponent(const char* path) {
    const char* separator = lastSeparator(path);
    return separator ? separator + 1 : nullptr;
}

bool formatMessageFilePath(const char* root, const char* entry, PathBuffer& out) {
    return formatPath(out, root, entry, ".qpm");
}

bool formatMessageListPath(const char* root, const char* folder, PathBuffer& out) {
    bool trash = classifyFolderPath(folder) == Trash;
    return formatPath(out, root, folder, trash ? "\\Trash.box" : "\\Entry.lst");
}

bool formatFolderTestPath(const char* root, const char* folder, PathBuffer& out) {
    bool trash = classifyFolderPath(folder) == Trash;
    return formatPath(out, root, folder, trash ? "" : "\\Entry.ini");
}

}  // namespace corvane
