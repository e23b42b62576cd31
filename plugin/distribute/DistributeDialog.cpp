#include "plugin/distribute/DistributeDialog.h"

#include <cstdlib>
#include <new>

#include "plugin/history/HistoryFile.h"
#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/distribute/DistributionWorker.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxFiles.h"
#include "plugin/rules/RuleMatching.h"

namespace corvane {

const char kCancelEventName[] = "corvane";

int checkRuleDestinations(const FolderContext& context) {
    for (size_t i = 0; i < context.rules.size(); ++i)
        if (!folderExists(context.rules[i].destFolder))
            return -static_cast<int>(i + 1);
    return static_cast<int>(context.rules.size());
}

bool DistributeRun::prepare(HWND dialog) {
    folderWindow_ = GetParent(dialog);
    context_ = folderRegistry().find(folderWindow_);
    if (!context_)
        return false;
    int checked = checkRuleDestinations(*context_);
    if (checked == 0) {
        ShowErrorBox(folderWindow_, "振り分け条件がありません");
        return false;
    }
    if (checked < 0) {
        char text[1024];
        formatBuffer(text,
                     "条件%d番目の振り分け先フォルダが存在しません.\n別のグループフォルダに移動されたか削除された可能性が"
                     "あります. 条件を見直してください.",
                     -checked);
        ShowErrorBox(folderWindow_, text);
        return false;
    }
    movedCount_ = 0;
    return true;
}

namespace {

// Whether the entry's key names a message in the destination already, so that the host must
// give the moved message another key there. A path too long to look at counts as taken: the
// undo then looks for the message by its identity.
bool keyTakenIn(const DistributeRule& rule, const std::string& entry) {
    const char* key = lastPathComponent(entry.c_str());
    if (rule.destIsTrash || !key)
        return false;
    PathBuffer path;
    std::string target = std::string(rule.destFolder) + "\\" + key;
    return !messageFilePath(target.c_str(), path) || GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// The entry is recorded before the host gets it, so that no move goes unrecorded; whether its
// key is taken is looked at just before the host moves it.
void DistributeRun::moveMail(const std::string& entry, const DistributeRule& rule, MessageIdentity& identity) {
    identity.keyTaken = keyTakenIn(rule, entry);
    try {
        moves_.appendMove(entry.c_str(), rule.destFolder);
        identities_.push_back(identity);
    } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
        return;
    }
    if (hostApi().APAMoveMail(entry.c_str(), rule.destIsTrash ? nullptr : rule.destFolder))
        ++movedCount_;
}

void DistributeRun::copyCurrentFolder() {
    // A path that does not fit is no rule's destination; a cut one could be another folder's.
    if (!copyString(currentFolder_, PathBufferSize, hostApi().APAFolderGetCurrentFolder(folderWindow_)))
        currentFolder_[0] = '\0';
}

void DistributeRun::writeRunHistory() {
    historyTried_ = true;
    writeHistory(context_->accountDir, context_->folderWindow, moves_, identities_);
}

// A worker that was terminated released nothing: the record keeps nothing of the dead run.
void DistributeRun::reclaim() {
    freeText(listText_);
    listText_ = nullptr;
    decoder_.reset();
    if (!context_)
        return;
    std::free(context_->workBuffer);
    context_->workBuffer = nullptr;
    releaseRules(context_->rules);
}

const char* DistributeRun::forcedEndText() const {
    return "ウィンドウが閉じられようとしていますが\n振り分けプログラム(thread)が動作中かつ中断指示に応じないのため\n"
           "強制終了させました(Quillpost32の再起動をお勧めします)";
}

void DistributeRun::finish(HWND dialog) {
    // The moves of a worker that ended before it could record them are recorded here.
    if (!historyTried_ && !moves_.empty())
        writeRunHistory();
    if (context_->reportResult) {
        char text[1024];
        formatBuffer(text, "%d件振り分けました", movedCount_);
        ShowInfoBox(dialog, text);
    }
}

void runDistribute(HINSTANCE instance, HWND folderWindow) {
    static RunSlot slot;
    DistributeRun run;
    runInDialog(instance, RunDialog(), folderWindow, run, slot);
}

}  // namespace corvane
