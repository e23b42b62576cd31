#include "plugin/distribute/DistributionWorker.h"

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/common/TimerResolution.h"
#include "plugin/folders/FolderRegistry.h"
#include "plugin/folders/MessageReading.h"
#include "plugin/mailbox/History.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleMatching.h"

namespace corvane {

const char kCancelEventName[] = "corvane";

namespace {

// Average bytes of one move in the move list, for its first allocation.
constexpr size_t kMoveBudget = 262;

// What a run holds. Released in this order when the run ends, however it ends, and the
// dialog is then asked to close.
struct WorkerRun {
    HWND dialog;
    HANDLE cancelEvent = nullptr;
    SelectedEntries entries;
    char* listText = nullptr;
    FolderContext* context = nullptr;
    bool rulesCompiled = false;
    std::unique_ptr<MessageDecoder> decoder;  // with the option decodeMime: its buffers, once per run

    explicit WorkerRun(HWND dialogWindow) : dialog(dialogWindow) {}
    WorkerRun(const WorkerRun&) = delete;
    WorkerRun& operator=(const WorkerRun&) = delete;

    ~WorkerRun() {
        if (context) {
            std::free(context->workBuffer);
            context->workBuffer = nullptr;
        }
        freeText(listText);
        if (context && rulesCompiled)
            releaseRules(context->rules);
        if (cancelEvent)
            CloseHandle(cancelEvent);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
};

bool cancelled(HANDLE cancelEvent) {
    return WaitForSingleObject(cancelEvent, 0) != WAIT_TIMEOUT;
}

void stepProgress(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_STEPIT, 0, 0);
    Sleep(1);
}

// Unread marks of the run's entries, looked up in one pass over the message list.
std::vector<bool> unreadMarks(const char* listText, const SelectedEntries& entries) {
    std::vector<const char*> names;
    names.reserve(entries.count());
    for (const std::string& name : entries.names)
        names.push_back(name.c_str());
    return findUnreadEntries(listText, names.data(), names.size());
}

void sortMessages(WorkerRun& run, const char* currentFolder, MoveList& moves) {
    FolderContext& context = *run.context;
    PreparedRules prepared = prepareRules(context.rules);
    std::vector<bool> unread;
    if (!context.unreadMail)
        unread = unreadMarks(run.listText, run.entries);
    TimerResolution fineTimer;
    for (size_t i = 0; i < run.entries.count(); ++i) {
        if (cancelled(run.cancelEvent))
            break;
        const std::string& entry = run.entries.names[i];
        if (context.unreadMail || !unread[i]) {
            int match = readMessage(context, entry.c_str())
                            ? findMatchingRule(prepared, context.workBuffer, run.decoder.get()) : -1;
            if (match >= 0) {
                DistributeRule& rule = context.rules[static_cast<size_t>(match)];
                if (compareNoCase(rule.destFolder, currentFolder) != 0) {
                    SendMessageA(run.dialog, WM_DIST_MOVEMAIL, reinterpret_cast<WPARAM>(entry.c_str()),
                                 reinterpret_cast<LPARAM>(&rule));
                    moves.appendMove(entry.c_str(), rule.destFolder);
                }
            }
        }
        stepProgress(run.dialog);
    }
}

bool allocateDecoder(WorkerRun& run) {
    if (!run.context->decodeMime)
        return true;
    try {
        run.decoder.reset(new MessageDecoder);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void runDistribution(WorkerRun& run) {
    HWND folderWindow = GetParent(run.dialog);
    run.cancelEvent = OpenEventA(EVENT_ALL_ACCESS, FALSE, kCancelEventName);
    if (!run.cancelEvent)
        return;
    SendMessageA(run.dialog, WM_DIST_GETSELECTION, reinterpret_cast<WPARAM>(&run.entries), 0);
    size_t count = run.entries.count();
    SendDlgItemMessageA(run.dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(count)));
    SendDlgItemMessageA(run.dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    SendMessageA(run.dialog, WM_DIST_LOADLIST, reinterpret_cast<WPARAM>(&run.listText), 0);
    PathBuffer currentFolder = {};
    SendMessageA(run.dialog, WM_DIST_GETFOLDER, reinterpret_cast<WPARAM>(currentFolder), 0);

    run.context = folderRegistry().find(folderWindow);
    if (!run.context)
        return;
    MoveList moves;
    try {
        moves.text.reserve(count * kMoveBudget + 1);
    } catch (const std::bad_alloc&) {
        return;
    } catch (const std::length_error&) {
        return;
    }
    compileRules(run.context->rules);
    run.rulesCompiled = true;
    run.context->workBuffer = static_cast<char*>(std::malloc(kWorkBufferSize));
    if (!run.context->workBuffer || !allocateDecoder(run)) {
        ShowErrorBox(run.dialog, "作業用メモリが確保できません");
        return;
    }
    // Moves already made are recorded even when the run stops short for want of memory.
    try {
        sortMessages(run, currentFolder, moves);
    } catch (const std::bad_alloc&) {
    }
    if (!moves.empty())
        SendMessageA(run.dialog, WM_DIST_WRITEHISTORY, reinterpret_cast<WPARAM>(&moves), 0);
}

}  // namespace

void distributionWorker(HWND dialog) {
    WorkerRun run(dialog);
    try {
        runDistribution(run);
    } catch (...) {
    }
}

}  // namespace corvane
