#include "plugin/undo/UndoWorker.h"

#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

}  // namespace

// The name under which the host knows a recorded message now, or empty when the record must not
// move anything. A history without identities is addressed as it always was: the recorded name
// for the trash, else the key inside the destination. With identities, the message must be the
// one message of its destination with the recorded identity, and must not still be under its
// recorded name (a move the host never made, in a run that died).
std::string UndoRun::addressOf(size_t record) {
    const HistoryMove& move = stored_.record.moves[record];
    if (!fitsPath(move.entryName) || !fitsPath(move.destFolder))
        return std::string();
    bool toTrash = classifyFolderPath(move.destFolder.c_str()) == Trash;
    if (stored_.identities.empty()) {
        if (toTrash)
            return move.entryName;
        const char* key = lastPathComponent(move.entryName.c_str());
        std::string address = move.destFolder + "\\" + (key ? key : move.entryName.c_str());
        return fitsPath(address) ? address : std::string();
    }
    const MessageIdentity& identity = stored_.identities[record];
    uint64_t size = 0;
    // The host resolves a recorded name in the trash itself: a message of any content under that
    // name now could be the one it moves.
    if (toTrash ? files_.fileSize(move.entryName, size) : search_.holds(move.entryName, identity))
        return std::string();
    std::string found = search_.find(move.destFolder, identity);
    if (found.empty() || !fitsPath(found))
        return std::string();
    return toTrash ? move.entryName : found;
}

void UndoRun::moveRecords(RunWorker& worker) {
    const HistoryRecord& record = stored_.record;
    const char* folder = classifyFolderPath(record.sourceFolder.c_str()) == Trash ? nullptr : record.sourceFolder.c_str();
    worker.raiseTimerResolution();
    for (size_t i = 0; i < record.moves.size(); ++i) {
        // Only a close of the dialog cancels an undo; the records not tried stay in the history.
        if (worker.cancelled())
            break;
        // A record the host could not be given whole is not moved, and counts as not restored.
        std::string address = addressOf(i);
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
    if (!stored_.record.ok || !fitsPath(stored_.record.sourceFolder))
        return;
    moveRecords(worker);
}

}  // namespace corvane
