// The distribute command and its sorting run: what the run checks and reports on the window
// thread, where every host call and every box is made, and the worker thread's part.
#pragma once

#include <windows.h>

#include <memory>

#include "plugin/distribute/MessageReading.h"
#include "plugin/history/HistoryFile.h"
#include "plugin/history/HistoryStore.h"
#include "plugin/history/MessageIdentity.h"
#include "plugin/run/RunFrame.h"
#include "plugin/text/MessageDecoder.h"
#include "plugin/windows/FolderRegistry.h"

namespace corvane {

// The run's requests to the window thread.
enum : UINT {
    WM_DIST_MOVEMAIL = WM_APP + 0,      // hands one message to the host and records it
    WM_DIST_GETSELECTION = WM_APP + 1,  // the folder window's selected entries
    WM_DIST_LOADLIST = WM_APP + 2,      // the folder's message-list text
    WM_DIST_WRITEHISTORY = WM_APP + 3,  // the history file of the moves
    WM_DIST_GETFOLDER = WM_APP + 7,     // the folder the window shows
};

// Name of the auto-reset event that cancels a run.
extern const char kCancelEventName[];

class DistributeRun final : public RunKind {
public:
    bool prepare(HWND dialog) override;
    void work(RunWorker& worker) override;
    void reclaim() override;
    void finish(HWND dialog) override;
    const char* forcedEndText() const override;
    const char* cancelEventName() const override { return kCancelEventName; }

private:
    void sortMessages(RunWorker& worker);
    bool allocateDecoder();
    // Window thread.
    void moveMail(const std::string& entry, const DistributeRule& rule, MessageIdentity& identity);
    void copyCurrentFolder();
    bool startRecord();
    void writeRunHistory();

    HWND folderWindow_ = nullptr;
    FolderContext* context_ = nullptr;
    int movedCount_ = 0;
    SelectedEntries entries_;
    char* listText_ = nullptr;
    PathBuffer currentFolder_ = {};
    HistoryLock lock_;
    std::unique_ptr<AccountDiskWin> disk_;
    std::unique_ptr<RunRecorder> recorder_;  // from the first request on the window thread
    bool stopped_ = false;                   // a move could not be recorded, or memory ran out
    bool historyTried_ = false;
    std::unique_ptr<MessageDecoder> decoder_;  // with the option decodeMime
};

// The distribute command: the progress dialog (resource 108 of instance) modal over the folder
// window, with a sorting run in it.
void runDistribute(HINSTANCE instance, HWND folderWindow);

}  // namespace corvane
