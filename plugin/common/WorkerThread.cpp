#include "plugin/common/WorkerThread.h"

namespace corvane {

bool threadRunning(HANDLE thread) {
    DWORD code = 0;
    return thread && (!GetExitCodeThread(thread, &code) || code == STILL_ACTIVE);
}

bool terminateUnlessEnded(HANDLE thread) {
    if (!threadRunning(thread) || WaitForSingleObject(thread, kWorkerWaitMs) != WAIT_TIMEOUT)
        return false;
    TerminateThread(thread, 0);
    return true;
}

}  // namespace corvane
