#include "plugin/undo/UndoDialog.h"

#include "plugin/windows/FolderRegistry.h"
#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/undo/UndoWorker.h"

namespace corvane {

bool UndoRun::prepare(HWND dialog) {
    folderWindow_ = GetParent(dialog);
    // Without a record there is no history file to undo.
    context_ = folderRegistry().find(folderWindow_);
    if (!context_)
        return false;
    if (!lock_.acquire(context_->accountDir)) {
        ShowErrorBox(folderWindow_, kHistoryBusyText);
        return false;
    }
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

}  // namespace corvane
