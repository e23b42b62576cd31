// Reading the host's files: a file in an account directory by name, and any file read whole
// into one NUL-terminated text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/text/MessageReadCap.h"

namespace corvane {

// The path of a file in an account directory (which ends with a backslash); false (out empty)
// when it would not fit.
bool accountFilePath(const char* accountDir, const char* fileName, PathBuffer& out);

// The work buffer that holds the most of a message a run reads, with its terminator.
constexpr size_t kWorkBufferSize = kMessageReadCap + 1;

// The two readers below return null when the file cannot be opened or sized or fewer bytes
// arrive than asked; a read call that fails outright gives an empty text. length, when given,
// receives the number of bytes read.

// Reads the whole file into a new NUL-terminated allocation of its size + 1 bytes, which the
// caller frees with freeText; null also when the allocation fails.
char* readWholeFile(const char* path, size_t* length = nullptr);
// The same into bytes; false when the file cannot be read whole.
bool readWholeFile(const char* path, std::string& bytes);
// Reads the start of a file, at most kMessageReadCap bytes, into buffer (kWorkBufferSize bytes)
// and terminates it; returns buffer (null also without one). fileSize, when given, receives the
// file's true size.
char* readFileStart(const char* path, char* buffer, size_t* length = nullptr, uint64_t* fileSize = nullptr);
void freeText(char* text);

}  // namespace corvane
