// Reading the host's files: a file in an account directory by name, and any file read whole
// into one NUL-terminated text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/text/MessageReadCap.h"

namespace corvane {

// The path of a file in an account directory (which ends with a backslash); false (out empty)
// when it would not fit.
bool accountFilePath(const char* accountDir, const char* fileName, PathBuffer& out);

// The work buffer that holds the most of a message a run reads, with its terminator.
constexpr size_t kWorkBufferSize = kMessageReadCap + 1;

// Reads a file into a NUL-terminated text. With a buffer given, the text goes there and is
// read to at most kMessageReadCap bytes whatever cap says (the buffer must hold
// kWorkBufferSize bytes); otherwise a new allocation of size + 1 bytes is made, which the
// caller frees with freeText. With cap, at most kMessageReadCap bytes are read. Returns null
// when the file cannot be opened or sized, the allocation fails or fewer bytes arrive than
// asked; a read call that fails outright gives an empty text. length, when given, receives
// the number of bytes read, and fileSize the file's true size.
char* readWholeFile(const char* path, char* buffer, bool cap, size_t* length = nullptr, uint64_t* fileSize = nullptr);
void freeText(char* text);

}  // namespace corvane
