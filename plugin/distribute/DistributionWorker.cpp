#include "plugin/distribute/DistributionWorker.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/rules/MessageVerdict.h"

namespace corvane {

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
