#include "tools/check/Disk.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

std::vector<WIN32_FIND_DATAA> findAll(const std::string& directory) {
    std::vector<WIN32_FIND_DATAA> found;
    std::string pattern = directory;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            found.push_back(data);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

}  // namespace

ReadStatus readDiskFile(const std::string& path, std::string& out, size_t cap) {
    out.clear();
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ReadStatus::Missing;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return ReadStatus::Failed;
    return readOpenFile(file, out, cap);
}

bool diskPathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool diskIsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> listDiskFiles(const std::string& directory, const char* suffix) {
    std::vector<std::string> files;
    size_t suffixLength = strlen(suffix);
    for (const WIN32_FIND_DATAA& data : findAll(directory)) {
        std::string name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() >= suffixLength &&
            compareNoCase(name.c_str() + name.size() - suffixLength, suffix) == 0)
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> listDiskDirectories(const std::string& directory) {
    std::vector<std::string> dirs;
    for (const WIN32_FIND_DATAA& data : findAll(directory))
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            dirs.push_back(data.cFileName);
    std::sort(dirs.begin(), dirs.end());
    return dirs;
}

std::string nativeDiskPath(const std::string& path) {
    return path;
}

std::string mailboxRootFromArgument(const std::string& argument) {
    std::string root = argument.empty() ? std::string(".") : argument;
    for (char& c : root)
        if (c == '/')
            c = '\\';
    if (root.back() != '\\')
        root += '\\';
    return root;
}

}  // namespace corvane
