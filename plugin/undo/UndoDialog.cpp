#include "plugin/undo/UndoDialog.h"

#include <process.h>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ExceptionGuard.h"
#include "plugin/common/StrUtil.h"
#include "plugin/common/WorkerThread.h"
#include "plugin/folders/FolderRegistry.h"
#include "plugin/folders/MessageReading.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/HistoryFile.h"
#include "plugin/resources/resource.h"
#include "plugin/undo/UndoWorker.h"

namespace corvane {

namespace {

const char kForcedEndText[] =
    "ウィンドウが閉じられようとしていますが\n振り分けプログラム(thread)が動作中かつ中断指示に応じないのため\n"
    "強制終了させました(Windowsの再起動をお勧めします)";

// The one undo dialog of the process; a second one opened while it runs ends at once.
struct UndoState {
    HWND dialog = nullptr;
    HWND folderWindow = nullptr;
    HANDLE worker = nullptr;  // ours to wait on and close
    int restoredCount = -1;
    int failedCount = 0;
    bool closing = false;
};

UndoState g_state;

unsigned __stdcall workerEntry(void* dialog) {
    undoWorker(static_cast<HWND>(dialog));
    return 0;
}

void endUndo(HWND dialog) {
    if (g_state.worker)
        CloseHandle(g_state.worker);
    g_state = UndoState();
    EndDialog(dialog, 1);
}

void startUndo(HWND dialog) {
    if (g_state.dialog) {
        EndDialog(dialog, 1);
        return;
    }
    g_state = UndoState();
    g_state.dialog = dialog;
    g_state.folderWindow = GetParent(dialog);
    // Without a record there is no history file to undo and no worker to close the dialog.
    if (!folderRegistry().find(g_state.folderWindow)) {
        endUndo(dialog);
        return;
    }
    EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_CANCEL), FALSE);
    g_state.restoredCount = 0;
    g_state.failedCount = 0;
    g_state.worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, workerEntry, dialog, 0, nullptr));
    if (!g_state.worker)
        endUndo(dialog);
}

bool historyPath(PathBuffer& path) {
    FolderContext* context = folderRegistry().find(g_state.folderWindow);
    return context && accountFilePath(context->accountDir, kHistoryFileName, path);
}

void countAndConfirm(int* count, BYTE* goAhead) {
    int records = countHistory(g_state.folderWindow);
    HWND owner = g_state.folderWindow;
    bool confirmed = false;
    if (records == -2) {
        ShowErrorBox(owner, "振り分け元フォルダがみつかりません.\n元に戻せません.");
    } else if (records == -1) {
        ShowErrorBox(owner, "振り分け記録ファイルがみつかりません.\n元に戻せません.");
    } else if (records == 0) {
        ShowErrorBox(owner, "振り分け記録ファイルが破損しています.\n元に戻せません.");
    } else {
        char text[1024];
        formatBuffer(text, "%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？", records);
        confirmed = MessageBoxA(owner, text, kPluginName, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    }
    if (confirmed) {
        if (count)
            *count = records;
        return;
    }
    if (goAhead)
        *goAhead = 0;
    g_state.restoredCount = -1;
}

void loadHistory(char** out) {
    PathBuffer path;
    *out = historyPath(path) ? readWholeFile(path, nullptr, false) : nullptr;
}

void moveBack(const char* entry, const char* folder) {
    if (entry && hostApi().APAMoveMail(entry, folder))
        ++g_state.restoredCount;
    else
        ++g_state.failedCount;
}

void closeUndo(HWND dialog) {
    if (g_state.closing)
        return;
    g_state.closing = true;
    if (terminateUnlessEnded(g_state.worker))
        ShowErrorBox(dialog, kForcedEndText);
    PathBuffer path;
    if (g_state.restoredCount > 0 && historyPath(path))
        DeleteFileA(path);
    char text[1024];
    if (g_state.restoredCount > 0 && g_state.failedCount == 0) {
        formatBuffer(text, "%d通を元に戻しました", g_state.restoredCount);
        ShowInfoBox(dialog, text);
    } else if (g_state.restoredCount > 0) {
        formatBuffer(text, "%d通を元に戻しました.\n%d通は戻せませんでした.", g_state.restoredCount,
                     g_state.failedCount);
        ShowInfoBox(dialog, text);
    } else if (g_state.restoredCount == 0) {
        ShowErrorBox(dialog, "予期せぬエラーが発生しています.\n元に戻せません.");
    }
    endUndo(dialog);
}

INT_PTR handleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG && dialog != g_state.dialog)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        startUndo(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            closeUndo(dialog);
        return TRUE;
    case WM_CLOSE:
        closeUndo(dialog);
        return TRUE;
    case WM_UNDO_COUNT:
        countAndConfirm(reinterpret_cast<int*>(wParam), reinterpret_cast<BYTE*>(lParam));
        return TRUE;
    case WM_UNDO_LOADHISTORY:
        if (wParam)
            loadHistory(reinterpret_cast<char**>(wParam));
        return TRUE;
    case WM_UNDO_MOVEBACK:
        moveBack(reinterpret_cast<const char*>(wParam), reinterpret_cast<const char*>(lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK UndoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guarded(static_cast<INT_PTR>(TRUE), [&] { return handleMessage(dialog, message, wParam, lParam); });
}

}  // namespace corvane
