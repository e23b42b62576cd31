#include "plugin/distribute/DistributeDialog.h"

#include <process.h>

#include <cstdlib>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ExceptionGuard.h"
#include "plugin/common/StrUtil.h"
#include "plugin/common/WorkerThread.h"
#include "plugin/distribute/DistributionWorker.h"
#include "plugin/folders/MessageReading.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/HistoryFile.h"
#include "plugin/mailbox/MailboxFiles.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleMatching.h"

namespace corvane {

namespace {

const char kForcedEndText[] =
    "ウィンドウが閉じられようとしていますが\n振り分けプログラム(thread)が動作中かつ中断指示に応じないのため\n"
    "強制終了させました(Quillpost32の再起動をお勧めします)";

// The one distribute dialog of the process. A second dialog opened while it runs (the lock is
// re-entrant on the window thread) ends at once: both would share the record's work buffer.
struct DistributeState {
    HWND dialog = nullptr;
    HWND folderWindow = nullptr;
    HANDLE worker = nullptr;  // ours to wait on and close
    HANDLE cancelEvent = nullptr;
    int movedCount = 0;
    bool closing = false;
};

DistributeState g_state;

unsigned __stdcall workerEntry(void* dialog) {
    distributionWorker(static_cast<HWND>(dialog));
    return 0;
}

void endRun(HWND dialog) {
    if (g_state.worker)
        CloseHandle(g_state.worker);
    if (g_state.cancelEvent)
        CloseHandle(g_state.cancelEvent);
    g_state = DistributeState();
    EndDialog(dialog, 1);
}

// A terminated worker released nothing: take back the record's work buffer and the compiled
// expressions, so that the record holds nothing of the dead run.
void reclaimRun(FolderContext* context) {
    if (!context)
        return;
    std::free(context->workBuffer);
    context->workBuffer = nullptr;
    releaseRules(context->rules);
}

void closeRun(HWND dialog) {
    if (g_state.closing)
        return;
    g_state.closing = true;
    FolderContext* context = folderRegistry().find(g_state.folderWindow);
    if (terminateUnlessEnded(g_state.worker)) {
        reclaimRun(context);
        ShowErrorBox(dialog, kForcedEndText);
    }
    if (context && context->reportResult) {
        char text[1024];
        formatBuffer(text, "%d件振り分けました", g_state.movedCount);
        ShowInfoBox(dialog, text);
    }
    endRun(dialog);
}

void refuseStart(HWND dialog, const char* text) {
    ShowErrorBox(g_state.folderWindow, text);
    g_state = DistributeState();
    EndDialog(dialog, 1);
}

void startRun(HWND dialog) {
    if (g_state.dialog) {
        EndDialog(dialog, 1);
        return;
    }
    g_state = DistributeState();
    g_state.dialog = dialog;
    g_state.folderWindow = GetParent(dialog);
    FolderContext* context = folderRegistry().find(g_state.folderWindow);
    if (!context) {
        g_state = DistributeState();
        EndDialog(dialog, 1);
        return;
    }
    int checked = checkRuleDestinations(*context);
    if (checked == 0) {
        refuseStart(dialog, "振り分け条件がありません");
        return;
    }
    if (checked < 0) {
        char text[1024];
        formatBuffer(text,
                     "条件%d番目の振り分け先フォルダが存在しません.\n別のグループフォルダに移動されたか削除された可能性が"
                     "あります. 条件を見直してください.",
                     -checked);
        refuseStart(dialog, text);
        return;
    }
    g_state.movedCount = 0;
    g_state.cancelEvent = CreateEventA(nullptr, FALSE, FALSE, kCancelEventName);
    g_state.worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, workerEntry, dialog, 0, nullptr));
    // Without a worker nobody would ask the dialog to close.
    if (!g_state.worker)
        endRun(dialog);
}

void onCommand(HWND dialog, int id) {
    if (id == IDOK || id == IDCANCEL)
        return;
    if (id == IDC_PROGRESS_CANCEL && threadRunning(g_state.worker)) {
        if (g_state.cancelEvent)
            SetEvent(g_state.cancelEvent);
        return;
    }
    closeRun(dialog);
}

void moveMail(const char* entry, const DistributeRule* rule) {
    if (!entry || !rule)
        return;
    if (hostApi().APAMoveMail(entry, rule->destIsTrash ? nullptr : rule->destFolder))
        ++g_state.movedCount;
}

void copyCurrentFolder(char* out) {
    // A path that does not fit is no rule's destination; a cut one could be another folder's.
    if (!copyString(out, PathBufferSize, hostApi().APAFolderGetCurrentFolder(g_state.folderWindow)))
        out[0] = '\0';
}

void writeRunHistory(const MoveList* moves) {
    FolderContext* context = folderRegistry().find(g_state.folderWindow);
    if (context && moves)
        writeHistory(context->accountDir, context->folderWindow, *moves);
}

}  // namespace

int checkRuleDestinations(const FolderContext& context) {
    for (size_t i = 0; i < context.rules.size(); ++i)
        if (!folderExists(context.rules[i].destFolder))
            return -static_cast<int>(i + 1);
    return static_cast<int>(context.rules.size());
}

namespace {

INT_PTR handleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG && dialog != g_state.dialog)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        startRun(dialog);
        return TRUE;
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        closeRun(dialog);
        return TRUE;
    case WM_DIST_MOVEMAIL:
        moveMail(reinterpret_cast<const char*>(wParam), reinterpret_cast<const DistributeRule*>(lParam));
        return TRUE;
    case WM_DIST_GETSELECTION:
        if (wParam)
            collectSelectedEntries(g_state.folderWindow, *reinterpret_cast<SelectedEntries*>(wParam));
        return TRUE;
    case WM_DIST_LOADLIST:
        if (wParam)
            *reinterpret_cast<char**>(wParam) = readMessageList(g_state.folderWindow);
        return TRUE;
    case WM_DIST_WRITEHISTORY:
        writeRunHistory(reinterpret_cast<const MoveList*>(wParam));
        return TRUE;
    case WM_DIST_GETFOLDER:
        if (wParam)
            copyCurrentFolder(reinterpret_cast<char*>(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK DistributeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded(static_cast<INT_PTR>(TRUE), [&] { return handleMessage(dialog, message, wParam, lParam); });
}

}  // namespace corvane
