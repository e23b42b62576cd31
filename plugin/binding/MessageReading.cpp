#include "plugin/binding/MessageReading.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/common/WinHandle.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

namespace {

// Anything larger is no file of the host's that the plug-in reads whole.
constexpr ULONGLONG kLargestWholeFile = 0x7FFFFFF0;

}  // namespace

char* readWholeFile(const char* path, char* buffer, bool cap, size_t* length, uint64_t* fileSize) {
    if (length)
        *length = 0;
    if (fileSize)
        *fileSize = 0;
    if (!path)
        return nullptr;
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    LARGE_INTEGER trueSize;
    if (!GetFileSizeEx(file.get(), &trueSize) || trueSize.QuadPart < 0)
        return nullptr;
    ULONGLONG size = static_cast<ULONGLONG>(trueSize.QuadPart);
    if (fileSize)
        *fileSize = size;
    if ((cap || buffer) && size > kMessageReadCap)
        size = kMessageReadCap;
    if (size > kLargestWholeFile)
        return nullptr;
    char* text = buffer;
    if (!text) {
        text = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
        if (!text)
            return nullptr;
    }
    text[0] = '\0';
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
    DWORD got = 0;
    if (!ReadFile(file.get(), text, static_cast<DWORD>(size), &got, nullptr))
        return text;
    if (got != size) {
        if (!buffer)
            std::free(text);
        return nullptr;
    }
    text[got] = '\0';
    if (length)
        *length = got;
    return text;
}

void freeText(char* text) {
    std::free(text);
}

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
    return readWholeFile(path, nullptr, false);
}

bool readMessage(FolderContext& context, const char* entryName, size_t* length, uint64_t* fileSize) {
    PathBuffer path;
    if (!context.workBuffer || !messageFilePath(entryName, path))
        return false;
    return readWholeFile(path, context.workBuffer, true, length, fileSize) != nullptr;
}

}  // namespace corvane
