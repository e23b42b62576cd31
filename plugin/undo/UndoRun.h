// The undo command and its run: what it checks, asks and reports on the window thread, where
// every host call and every box is made, and the worker thread's part.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin/history/HistoryFile.h"
#include "plugin/history/HistoryStore.h"
#include "plugin/history/IdentitySearch.h"
#include "plugin/history/MessageFilesWin.h"
#include "plugin/run/RunFrame.h"
#include "plugin/windows/FolderRegistry.h"

namespace corvane {

// The undo's requests to the window thread.
enum : UINT {
    WM_UNDO_LOADHISTORY = WM_APP + 4,  // reads and parses the history file
    WM_UNDO_MOVEBACK = WM_APP + 5,     // hands one message back to the host
    WM_UNDO_COUNT = WM_APP + 6,        // counts the records and asks for confirmation
};

class UndoRun final : public RunKind {
public:
    bool prepare(HWND dialog) override;
    void work(RunWorker& worker) override;
    void finish(HWND dialog) override;
    const char* forcedEndText() const override;
    bool cancellable() const override { return false; }

private:
    void moveRecords(RunWorker& worker);
    std::string addressOf(size_t record);
    // Window thread.
    bool countAndConfirm(int& count);
    void loadHistory();
    void moveBack(const std::string& address, const char* folder);
    void settleHistory();

    HWND folderWindow_ = nullptr;
    FolderContext* context_ = nullptr;
    int restoredCount_ = -1;
    int failedCount_ = 0;
    HistoryLock lock_;
    StoredRecord stored_;  // its identities: one per move, or none for a history without them
    MessageFilesWin files_;
    IdentitySearch search_{files_};
    size_t tried_ = 0;  // records handed back so far, in order
};

// The undo command: the progress dialog (resource 108 of instance) modal over the folder
// window, with an undo of the account's last run in it.
void runUndo(HINSTANCE instance, HWND folderWindow);

}  // namespace corvane
