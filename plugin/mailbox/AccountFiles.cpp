#include "plugin/mailbox/AccountFiles.h"

#include <windows.h>

#include <cstdlib>

#include "plugin/common/StrUtil.h"
#include "plugin/common/WinHandle.h"

namespace corvane {

namespace {

// Anything larger is no file of the host's that the plug-in reads whole.
constexpr ULONGLONG kLargestWholeFile = 0x7FFFFFF0;

}  // namespace

bool accountFilePath(const char* accountDir, const char* fileName, PathBuffer& out) {
    if (formatBuffer(out, "%s%s", accountDir, fileName))
        return true;
    out[0] = '\0';
    return false;
}

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

}  // namespace corvane
