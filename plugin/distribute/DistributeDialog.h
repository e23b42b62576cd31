#pragma once

#include <windows.h>

#include "plugin/folders/FolderRegistry.h"

namespace corvane {

// Dialog procedure of the distribute command's progress dialog (resource 108).
INT_PTR CALLBACK DistributeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The rule count when every rule's destination folder exists, else minus the position
// (counted from 1) of the first rule whose destination is gone.
int checkRuleDestinations(const FolderContext& context);

}  // namespace corvane
