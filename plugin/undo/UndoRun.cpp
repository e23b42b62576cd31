#include "plugin/undo/UndoRun.h"

#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"
#include "plugin/windows/FolderRegistry.h"

namespace corvane {

bool UndoRun::prepare(HWND dialog) {
    folderWindow_ = GetParent(dialog);
    // Without a record there is no history file to undo.
    context_ = folderRegistry().find(folderWindow_);
    if (!context_ || !lock_.acquireOrTell(folderWindow_, context_->accountDir))
        return false;
    restoredCount_ = 0;
    failedCount_ = 0;
    return true;
}

namespace {

// Why a history with this count cannot be undone, or none.
const char* uncountableReason(int records) {
    switch (records) {
    case -2:
        return "振り分け元フォルダがみつかりません.\n元に戻せません.";
    case -1:
        return "振り分け記録ファイルがみつかりません.\n元に戻せません.";
    case 0:
        return "振り分け記録ファイルが破損しています.\n元に戻せません.";
    default:
        return nullptr;
    }
}

}  // namespace

bool UndoRun::countAndConfirm(int& count) {
    int records = countHistory(folderWindow_);
    bool confirmed = false;
    if (const char* reason = uncountableReason(records)) {
        ShowErrorBox(folderWindow_, reason);
    } else {
        char question[1024];
        formatBuffer(question, "%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？", records);
        confirmed = MessageBoxA(folderWindow_, question, kPluginName, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    }
    if (confirmed)
        count = records;
    else
        restoredCount_ = -1;
    return confirmed;
}

void UndoRun::loadHistory() {
    AccountDiskWin disk(context_->accountDir);
    if (!loadStoredRecord(disk, stored_))
        stored_ = StoredRecord();
}

void UndoRun::moveBack(const std::string& address, const char* folder) {
    if (!address.empty() && hostApi().APAMoveMail(address.c_str(), folder))
        ++restoredCount_;
    else
        ++failedCount_;
}

// Once something came back, the records tried are dropped, failed ones included; an undo cut
// short keeps those it did not try.
void UndoRun::settleHistory() {
    if (restoredCount_ <= 0)
        return;
    AccountDiskWin disk(context_->accountDir);
    if (tried_ < stored_.record.moves.size())
        keepStoredMoves(disk, stored_, tried_);
    else
        removeStoredRecord(disk);
}

const char* UndoRun::forcedEndText() const {
    return "ウィンドウが閉じられようとしていますが\n振り分けプログラム(thread)が動作中かつ中断指示に応じないのため\n"
           "強制終了させました(Windowsの再起動をお勧めします)";
}

void UndoRun::finish(HWND dialog) {
    settleHistory();
    lock_.release();
    char text[1024];
    if (restoredCount_ > 0 && failedCount_ == 0) {
        formatBuffer(text, "%d通を元に戻しました", restoredCount_);
        ShowInfoBox(dialog, text);
    } else if (restoredCount_ > 0) {
        formatBuffer(text, "%d通を元に戻しました.\n%d通は戻せませんでした.", restoredCount_, failedCount_);
        ShowInfoBox(dialog, text);
    } else if (restoredCount_ == 0) {
        ShowErrorBox(dialog, "予期せぬエラーが発生しています.\n元に戻せません.");
    }
}

void runUndo(HINSTANCE instance, HWND folderWindow) {
    static RunSlot slot;
    UndoRun run;
    runInDialog(instance, RunDialog(), folderWindow, run, slot);
}

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

// The recorded message's key inside its destination, or empty when that would not fit a path.
std::string keyAddress(const HistoryMove& move) {
    const char* key = lastPathComponent(move.entryName.c_str());
    std::string address = move.destFolder + "\\" + (key ? key : move.entryName.c_str());
    return fitsPath(address) ? address : std::string();
}

}  // namespace

// The name under which the host knows a recorded message now, or empty when the record must not
// move anything. A history without identities is addressed as it always was: the recorded name
// for the trash, else the key inside the destination. With identities, the message must hold the
// recorded identity: under its key where the run found the key free, else as the one message of
// its destination that does; and it must not still be under its recorded name (a move the host
// never made, in a run that died).
std::string UndoRun::addressOf(size_t record) {
    const HistoryMove& move = stored_.record.moves[record];
    if (!fitsPath(move.entryName) || !fitsPath(move.destFolder))
        return std::string();
    bool toTrash = classifyFolderPath(move.destFolder.c_str()) == Trash;
    if (stored_.identities.empty())
        return toTrash ? move.entryName : keyAddress(move);
    const MessageIdentity& identity = stored_.identities[record];
    uint64_t size = 0;
    // The host resolves a recorded name in the trash itself: a message of any content under that
    // name now could be the one it moves.
    if (toTrash ? files_.fileSize(move.entryName, size) : search_.holds(move.entryName, identity))
        return std::string();
    // Where the key was free, the message that still holds it is the one the run moved, whatever
    // twins the folder holds beside it.
    if (!toTrash && !identity.keyTaken) {
        std::string atKey = keyAddress(move);
        if (!atKey.empty() && search_.holds(atKey, identity))
            return atKey;
    }
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
