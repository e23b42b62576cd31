// The thread of an undo and the private messages by which it reaches its progress dialog.
#pragma once

#include <windows.h>

namespace corvane {

// Sent by the worker; the dialog answers each with 1.
enum : UINT {
    WM_UNDO_LOADHISTORY = WM_APP + 4,  // wParam where to store the history text (char**)
    WM_UNDO_MOVEBACK = WM_APP + 5,     // wParam entry name or none, lParam folder or none (trash)
    WM_UNDO_COUNT = WM_APP + 6,        // wParam record count (int*), lParam go-ahead flag (BYTE*)
};

// Counts and confirms through the dialog, then moves every recorded message back. Ends by
// posting WM_CLOSE to the dialog.
void undoWorker(HWND dialog);

}  // namespace corvane
