// What a sorting run reads: the selected entry names from the host, the folder's message list
// and each message file, straight from the host's mailbox.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/mailbox/AccountFiles.h"
#include "plugin/windows/FolderRegistry.h"

namespace corvane {

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
// no buffer or the file cannot be read. length and fileSize as for readFileStart.
bool readMessage(FolderContext& context, const char* entryName, size_t* length = nullptr, uint64_t* fileSize = nullptr);

}  // namespace corvane
