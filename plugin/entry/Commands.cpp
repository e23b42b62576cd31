#include <windows.h>
#include <commctrl.h>

#include "plugin/common/ExceptionGuard.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/distribute/DistributeRun.h"
#include "plugin/entry/Plugin.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/undo/UndoRun.h"

namespace corvane {

namespace {

// The frame both commands share: nothing while the host is busy; otherwise the command's
// progress dialog, modal over the folder window, for as long as the command's lock is held.
void runCommand(HWND folderWindow, CRITICAL_SECTION& lock, void (*command)(HINSTANCE, HWND)) {
    PluginState& state = pluginState();
    if (!hostApi().module || !state.locksCreated)
        return;
    if (hostApi().APAIsBusy())
        return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    EnterCriticalSection(&lock);
    command(moduleInstance(), folderWindow);
    LeaveCriticalSection(&lock);
}

}  // namespace

void WINAPI onDistributeCommand(HWND folderWindow, LPARAM) {
    guarded([folderWindow] { runCommand(folderWindow, pluginState().distributeLock, runDistribute); });
}

void WINAPI onUndoCommand(HWND folderWindow, LPARAM) {
    guarded([folderWindow] { runCommand(folderWindow, pluginState().undoLock, runUndo); });
}

}  // namespace corvane
