// What a sorting run reads: the selected entry names from the host, the folder's message list
// and each message file, straight from the host's mailbox.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/binding/FolderRegistry.h"

namespace corvane {

// The most of a message that a run reads and compares, and the work buffer that holds it with
// its terminator.
constexpr size_t kMessageReadCap = 0x10000;
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

// The entry names the host reports as selected in the folder window, in its order. A name
// longer than 259 bytes, or one that cannot be copied for want of memory, is left out of the
// run: its message stays where it is.
struct SelectedEntries {
    std::vector<std::string> names;
    size_t count() const { return names.size(); }
};

void collectSelectedEntries(HWND folderWindow, SelectedEntries& out);

// The message list of the folder that the window shows, read whole; null when it cannot be
// read. Free it with freeText.
char* readMessageList(HWND folderWindow);

// Reads the entry's message file, capped, into the context's work buffer; false when there is
// no buffer or the file cannot be read. length and fileSize as for readWholeFile.
bool readMessage(FolderContext& context, const char* entryName, size_t* length = nullptr, uint64_t* fileSize = nullptr);

}  // namespace corvane
