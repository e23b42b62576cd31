#include "plugin/distribute/DistributeRun.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxFiles.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/rules/MessageVerdict.h"

namespace corvane {

const char kCancelEventName[] = "corvane";

bool DistributeRun::prepare(HWND dialog) {
    folderWindow_ = GetParent(dialog);
    context_ = folderRegistry().find(folderWindow_);
    if (!context_ || !lock_.acquireOrTell(folderWindow_, context_->accountDir))
        return false;
    RunRefusal refusal = checkBeforeRun(context_->rules, folderExists);
    if (refusal.kind == RunRefusal::NoRules) {
        ShowErrorBox(folderWindow_, "振り分け条件がありません");
        return false;
    }
    if (refusal.kind == RunRefusal::DestinationGone) {
        char text[1024];
        formatBuffer(text,
                     "条件%d番目の振り分け先フォルダが存在しません.\n別のグループフォルダに移動されたか削除された可能性が"
                     "あります. 条件を見直してください.",
                     refusal.rule);
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

// The move is journalled before the host gets it, so that no move goes unrecorded, also when the
// process dies; whether its key is taken is looked at just before the host moves it. A move
// that cannot be recorded is not made; a journal that cannot be written ends the run.
void DistributeRun::moveMail(const std::string& entry, const DistributeRule& rule, MessageIdentity& identity) {
    identity.keyTaken = keyTakenIn(rule, entry);
    try {
        if (!recorder_ || !recorder_->record(entry, rule.destFolder, identity)) {
            stopped_ = !recorder_ || recorder_->broken();
            return;
        }
    } catch (const std::bad_alloc&) {
        stopped_ = true;
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

// The record's source line is the folder the window shows as the run starts.
bool DistributeRun::startRecord() {
    try {
        disk_.reset(new AccountDiskWin(context_->accountDir));
        recorder_.reset(new RunRecorder(*disk_, historySourceLine(context_->folderWindow)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DistributeRun::writeRunHistory() {
    historyTried_ = true;
    if (recorder_)
        recorder_->finish();
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
    if (!historyTried_)
        writeRunHistory();
    lock_.release();
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

namespace {

// Unread marks of the run's entries, looked up in one pass over the message list.
std::vector<bool> unreadMarks(const char* listText, const SelectedEntries& entries) {
    std::vector<const char*> names;
    names.reserve(entries.count());
    for (const std::string& name : entries.names)
        names.push_back(name.c_str());
    return findUnreadEntries(listText, names.data(), names.size());
}

}  // namespace

void DistributeRun::sortMessages(RunWorker& worker) {
    FolderContext& context = *context_;
    MessageJudge judge(context.rules, context.unreadMail, decoder_.get());
    std::vector<bool> unread;
    if (!context.unreadMail)
        unread = unreadMarks(listText_, entries_);
    worker.raiseTimerResolution();
    for (size_t i = 0; i < entries_.count() && !stopped_; ++i) {
        if (worker.cancelled())
            break;
        const std::string& entry = entries_.names[i];
        bool unreadMark = !unread.empty() && unread[i];
        if (judge.takes(unreadMark)) {
            size_t length = 0;
            uint64_t size = 0;
            bool read = readMessage(context, entry.c_str(), &length, &size);
            int match = judge.judge(read ? context.workBuffer : nullptr, unreadMark).rule;
            if (match >= 0) {
                const DistributeRule& rule = context.rules[static_cast<size_t>(match)];
                if (!staysIn(rule, currentFolder_)) {
                    MessageIdentity identity = identityOf(context.workBuffer, length, size, false);
                    worker.ask(WM_DIST_MOVEMAIL, [&] { moveMail(entry, rule, identity); });
                }
            }
        }
        worker.stepProgress();
    }
}

// With the option decodeMime the decoder's buffers are allocated once for the whole run.
bool DistributeRun::allocateDecoder() {
    if (!context_->decodeMime)
        return true;
    try {
        decoder_.reset(new MessageDecoder);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DistributeRun::work(RunWorker& worker) {
    worker.ask(WM_DIST_GETSELECTION, [this] { collectSelectedEntries(folderWindow_, entries_); });
    worker.setProgress(entries_.count(), 0, 1);
    worker.ask(WM_DIST_LOADLIST, [this] { listText_ = readMessageList(folderWindow_); });
    bool recording = false;
    worker.ask(WM_DIST_GETFOLDER, [&] {
        copyCurrentFolder();
        recording = startRecord();
    });
    if (!recording)
        return;
    compileRules(context_->rules);
    context_->workBuffer = static_cast<char*>(std::malloc(kWorkBufferSize));
    if (!context_->workBuffer || !allocateDecoder()) {
        ShowErrorBox(worker.dialog(), "作業用メモリが確保できません");
        return;
    }
    // Moves already made are recorded even when the run stops short for want of memory.
    try {
        sortMessages(worker);
    } catch (const std::bad_alloc&) {
    }
    if (recorder_->moves() > 0)
        worker.ask(WM_DIST_WRITEHISTORY, [this] { writeRunHistory(); });
}

}  // namespace corvane
