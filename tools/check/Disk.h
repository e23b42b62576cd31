// The checker's access to the host's mailbox files. Paths are the host's: mailbox root joined
// with folder paths and entry names that use '\' as the separator. On Linux each '\' (outside
// a double-byte Shift-JIS character) stands for '/', and a component that is not found as
// written is looked up without regard to ASCII case, as Windows finds it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the file into out, at most cap bytes when cap is not 0. Missing: no such file or it is
// a directory; Failed: it exists but could not be read.
ReadStatus readDiskFile(const std::string& path, std::string& out, size_t cap = 0);

// Reads an open file to its end (or cap bytes when cap is not 0) into out, and closes it.
ReadStatus readOpenFile(FILE* file, std::string& out, size_t cap);

// Whether a file or directory exists at the path (what GetFileAttributesA tells).
bool diskPathExists(const std::string& path);
bool diskIsDirectory(const std::string& path);

// Names of the files in a directory whose names end with suffix (compared without regard to
// case), sorted; empty when the directory cannot be read.
std::vector<std::string> listDiskFiles(const std::string& directory, const char* suffix);

// Names of the subdirectories of a directory, sorted.
std::vector<std::string> listDiskDirectories(const std::string& directory);

// The path as the system names it, for messages.
std::string nativeDiskPath(const std::string& path);

// The user's mailbox root argument made into a root the path formers can join to: ending with
// the host separator.
std::string mailboxRootFromArgument(const std::string& argument);

}  // namespace corvane
