#include "tools/check/Disk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

std::string slashes(const std::string& path) {
    std::string out = path;
    for (size_t i = 0; i < out.size(); ++i) {
        if (isSjisLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
            ++i;
            continue;
        }
        if (out[i] == '\\')
            out[i] = '/';
    }
    return out;
}

bool statPath(const std::string& path, struct stat& info) {
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The path with '/' separators, each component that does not exist as written replaced by
// the first name of its directory that equals it without regard to ASCII case.
std::string resolve(const std::string& path) {
    std::string native = slashes(path);
    struct stat info;
    if (native.empty() || statPath(native, info))
        return native;
    std::string done;
    size_t pos = 0;
    if (native[0] == '/') {
        done = "/";
        pos = 1;
    }
    while (pos <= native.size()) {
        size_t end = native.find('/', pos);
        if (end == std::string::npos)
            end = native.size();
        std::string part = native.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty())
            continue;
        std::string candidate = done + part;
        if (!statPath(candidate, info)) {
            for (const std::string& name : directoryNames(done.empty() ? "." : done)) {
                if (compareNoCase(name.c_str(), part.c_str()) == 0) {
                    candidate = done + name;
                    break;
                }
            }
        }
        done = candidate;
        if (end < native.size())
            done += '/';
    }
    return done;
}

}  // namespace

ReadStatus readDiskFile(const std::string& path, std::string& out, size_t cap) {
    out.clear();
    std::string native = resolve(path);
    struct stat info;
    if (!statPath(native, info) || S_ISDIR(info.st_mode))
        return ReadStatus::Missing;
    FILE* file = fopen(native.c_str(), "rb");
    if (!file)
        return ReadStatus::Failed;
    return readOpenFile(file, out, cap);
}

bool diskPathExists(const std::string& path) {
    struct stat info;
    return statPath(resolve(path), info);
}

bool diskIsDirectory(const std::string& path) {
    struct stat info;
    return statPath(resolve(path), info) && S_ISDIR(info.st_mode);
}

std::vector<std::string> listDiskFiles(const std::string& directory, const char* suffix) {
    std::vector<std::string> files;
    std::string native = resolve(directory);
    size_t suffixLength = std::char_traits<char>::length(suffix);
    for (const std::string& name : directoryNames(native)) {
        struct stat info;
        if (name.size() < suffixLength ||
            compareNoCase(name.c_str() + name.size() - suffixLength, suffix) != 0)
            continue;
        if (statPath(native + "/" + name, info) && S_ISREG(info.st_mode))
            files.push_back(name);
    }
    return files;
}

std::vector<std::string> listDiskDirectories(const std::string& directory) {
    std::vector<std::string> dirs;
    std::string native = resolve(directory);
    for (const std::string& name : directoryNames(native)) {
        struct stat info;
        if (statPath(native + "/" + name, info) && S_ISDIR(info.st_mode))
            dirs.push_back(name);
    }
    return dirs;
}

std::string nativeDiskPath(const std::string& path) {
    return resolve(path);
}

std::string mailboxRootFromArgument(const std::string& argument) {
    std::string root = argument.empty() ? std::string(".") : argument;
    if (root.back() != '/' && root.back() != '\\')
        root += '/';
    return root;
}

}  // namespace corvane
