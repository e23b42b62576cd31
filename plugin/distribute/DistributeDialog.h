#pragma once

#include <windows.h>

#include "plugin/folders/FolderRegistry.h"

namespace corvane {

// The distribute command: the progress dialog (resource 108 of instance) modal over the folder
// window, with a sorting run in it.
void runDistribute(HINSTANCE instance, HWND folderWindow);

// The rule count when every rule's destination folder exists, else minus the position
// (counted from 1) of the first rule whose destination is gone.
int checkRuleDestinations(const FolderContext& context);

}  // namespace corvane
