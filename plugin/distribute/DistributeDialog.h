#pragma once

#include <windows.h>

#include "plugin/windows/FolderRegistry.h"

namespace corvane {

// The distribute command: the progress dialog (resource 108 of instance) modal over the folder
// window, with a sorting run in it.
void runDistribute(HINSTANCE instance, HWND folderWindow);

}  // namespace corvane
