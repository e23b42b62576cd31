// The five folder icons of the settings dialogs, indexed by FolderKind - 1.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace corvane {

constexpr int kFolderIconCount = 5;

// Loads the icons from the plug-in's resources (shared icons, never destroyed).
void loadFolderIcons();

// The icon of a folder kind, or none for a kind outside Inbox .. UserFolder.
HICON folderIcon(int kind);

// An image list of the five icons in that order (16x16, 4-bit colour with mask), or none.
HIMAGELIST createFolderImageList();

}  // namespace corvane
