// The thread of one sorting run and the private messages by which it reaches its progress
// dialog: every host call and every box is made by the dialog on the host's window thread.
#pragma once

#include <windows.h>

namespace corvane {

// Sent by the worker; the dialog answers each with 1.
enum : UINT {
    WM_DIST_MOVEMAIL = WM_APP + 0,      // wParam entry name, lParam the matched DistributeRule
    WM_DIST_GETSELECTION = WM_APP + 1,  // wParam the worker's empty SelectedEntries
    WM_DIST_LOADLIST = WM_APP + 2,      // wParam where to store the message-list text (char**)
    WM_DIST_WRITEHISTORY = WM_APP + 3,  // wParam the run's MoveList
    WM_DIST_GETFOLDER = WM_APP + 7,     // wParam the worker's PathBuffer for the current folder
};

// Name of the auto-reset event that the dialog signals to cancel a run.
extern const char kCancelEventName[];

// One sorting run for the folder window that owns the dialog. Ends by posting WM_CLOSE to the
// dialog, whatever happened.
void distributionWorker(HWND dialog);

}  // namespace corvane
