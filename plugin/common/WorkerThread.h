// The worker threads of the progress dialogs, seen from the dialog: started with
// _beginthreadex so that the handle stays the dialog's to wait on and close.
#pragma once

#include <windows.h>

namespace corvane {

// How long a dialog that is being closed waits for its worker to end by itself.
constexpr DWORD kWorkerWaitMs = 30000;

// Whether the thread has not ended yet; a handle that cannot be asked counts as running.
bool threadRunning(HANDLE thread);

// Waits up to kWorkerWaitMs for a running thread to end and ends it by force when it does not;
// true when it had to.
bool terminateUnlessEnded(HANDLE thread);

}  // namespace corvane
