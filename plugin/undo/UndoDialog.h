#pragma once

#include <windows.h>

namespace corvane {

// The undo command: the progress dialog (resource 108 of instance) modal over the folder
// window, with an undo of the account's last run in it.
void runUndo(HINSTANCE instance, HWND folderWindow);

}  // namespace corvane
