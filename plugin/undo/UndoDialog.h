#pragma once

#include <windows.h>

namespace corvane {

// Dialog procedure of the undo command's progress dialog (resource 108).
INT_PTR CALLBACK UndoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace corvane
