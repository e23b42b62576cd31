// Classification of folder paths and the paths of the files inside the host's mailbox.
// Platform-free: the mailbox root is passed in by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

enum FolderKind : int32_t {
    Inbox = 1,
    Trash = 2,
    Outbox = 3,
    ParentFolder = 4,  // never given by classifyFolderPath
    UserFolder = 5,
};

// Every path the plug-in forms goes into a buffer of this size (259 bytes and the NUL).
constexpr size_t PathBufferSize = 260;
typedef char PathBuffer[PathBufferSize];

// Paths are read as Shift-JIS: a second byte 0x5C inside a double-byte character is no
// separator. A path without any '\' (the empty path included) is the trash folder.
FolderKind classifyFolderPath(const char* folderPath);

// The text after the last '\' (empty when the path ends with one); nullptr without any '\'.
const char* lastPathComponent(const char* path);

// Each former writes root + the relative part into out. When the path would exceed 259 bytes
// it returns false and leaves out empty, so that no shortened path is ever used.

// root + entry + ".qpm": the file of one message.
bool formatMessageFilePath(const char* root, const char* entry, PathBuffer& out);

// root + folder + "\Trash.box" for the trash, else root + folder + "\Entry.lst".
bool formatMessageListPath(const char* root, const char* folder, PathBuffer& out);

// What tells that a folder exists: its own directory for the trash, else its settings file
// root + folder + "\Entry.ini".
bool formatFolderTestPath(const char* root, const char* folder, PathBuffer& out);

}  // namespace corvane
