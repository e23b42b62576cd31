#include "plugin/undo/UndoWorker.h"

#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

// The name under which the host knows a recorded message now: the recorded name for the
// trash, else the message's key inside its destination. Empty when it would not fit a path.
std::string addressOf(const HistoryMove& move) {
    if (!fitsPath(move.entryName) || !fitsPath(move.destFolder))
        return std::string();
    if (classifyFolderPath(move.destFolder.c_str()) == Trash)
        return move.entryName;
    const char* key = lastPathComponent(move.entryName.c_str());
    std::string address = move.destFolder + "\\" + (key ? key : move.entryName.c_str());
    return fitsPath(address) ? address : std::string();
}

}  // namespace

void UndoRun::moveRecords(RunWorker& worker) {
    const char* folder = classifyFolderPath(record_.sourceFolder.c_str()) == Trash ? nullptr : record_.sourceFolder.c_str();
    worker.raiseTimerResolution();
    for (size_t i = 0; i < record_.moves.size(); ++i) {
        // Only a close of the dialog cancels an undo; the records not tried stay in the history.
        if (worker.cancelled())
            break;
        // A record the host could not be given whole is not moved, and counts as not restored.
        std::string address = addressOf(record_.moves[i]);
        worker.ask(WM_UNDO_MOVEBACK, [&] {
            moveBack(address, folder);
            tried_ = i + 1;
        });
        worker.stepProgress();
    }
}

void UndoRun::work(RunWorker& worker) {
    worker.showDialog(false);
    int count = 0;
    bool goAhead = false;
    worker.ask(WM_UNDO_COUNT, [&] { goAhead = countAndConfirm(count); });
    if (!goAhead)
        return;
    worker.showDialog(true);
    worker.setProgress(static_cast<size_t>(count), static_cast<size_t>(count), -1);
    worker.ask(WM_UNDO_LOADHISTORY, [this] { loadHistory(); });
    // A source folder that no path can hold cannot be the one the messages came from.
    if (!record_.ok || !fitsPath(record_.sourceFolder))
        return;
    moveRecords(worker);
}

}  // namespace corvane
