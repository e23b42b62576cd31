#include "plugin/distribute/MessageReading.h"

#include <cstring>
#include <new>

#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

void collectSelectedEntries(HWND folderWindow, SelectedEntries& out) {
    HostApi& host = hostApi();
    for (const char* name = host.APAFolderGetSelectEntry(folderWindow, TRUE); name;
         name = host.APAFolderGetSelectEntry(folderWindow, FALSE)) {
        size_t length = strnlen(name, PathBufferSize);
        if (length >= PathBufferSize)
            continue;
        try {
            out.names.emplace_back(name, length);
        } catch (const std::bad_alloc&) {
        }
    }
}

char* readMessageList(HWND folderWindow) {
    PathBuffer path;
    if (!messageListPath(hostApi().APAFolderGetCurrentFolder(folderWindow), path))
        return nullptr;
    return readWholeFile(path);
}

bool readMessage(FolderContext& context, const char* entryName, size_t* length, uint64_t* fileSize) {
    PathBuffer path;
    if (!context.workBuffer || !messageFilePath(entryName, path))
        return false;
    return readFileStart(path, context.workBuffer, length, fileSize) != nullptr;
}

}  // namespace corvane
