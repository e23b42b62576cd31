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

namespace {

// The file opened for reading, and its true size; an empty handle when it cannot be opened or
// sized.
UniqueFile openSized(const char* path, ULONGLONG& size) {
    size = 0;
    if (!path)
        return UniqueFile();
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER trueSize;
    if (!file || !GetFileSizeEx(file.get(), &trueSize) || trueSize.QuadPart < 0)
        return UniqueFile();
    size = static_cast<ULONGLONG>(trueSize.QuadPart);
    return file;
}

// Reads the first size bytes of the file into text (size + 1 bytes) and terminates them;
// false when fewer arrive. A read call that fails outright leaves text empty.
bool readInto(HANDLE file, char* text, DWORD size, size_t* length) {
    text[0] = '\0';
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD got = 0;
    if (!ReadFile(file, text, size, &got, nullptr))
        return true;
    if (got != size)
        return false;
    text[got] = '\0';
    if (length)
        *length = got;
    return true;
}

}  // namespace

char* readWholeFile(const char* path, size_t* length) {
    if (length)
        *length = 0;
    ULONGLONG size = 0;
    UniqueFile file = openSized(path, size);
    if (!file || size > kLargestWholeFile)
        return nullptr;
    char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!text)
        return nullptr;
    if (readInto(file.get(), text, static_cast<DWORD>(size), length))
        return text;
    std::free(text);
    return nullptr;
}

bool readWholeFile(const char* path, std::string& bytes) {
    size_t length = 0;
    char* text = readWholeFile(path, &length);
    if (!text)
        return false;
    try {
        bytes.assign(text, length);
    } catch (...) {
        freeText(text);
        throw;
    }
    freeText(text);
    return true;
}

char* readFileStart(const char* path, char* buffer, size_t* length, uint64_t* fileSize) {
    if (length)
        *length = 0;
    if (fileSize)
        *fileSize = 0;
    ULONGLONG size = 0;
    UniqueFile file = buffer ? openSized(path, size) : UniqueFile();
    if (!file)
        return nullptr;
    if (fileSize)
        *fileSize = size;
    DWORD most = static_cast<DWORD>(size < kMessageReadCap ? size : kMessageReadCap);
    return readInto(file.get(), buffer, most, length) ? buffer : nullptr;
}

void freeText(char* text) {
    std::free(text);
}

}  // namespace corvane
