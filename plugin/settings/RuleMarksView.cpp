#include "plugin/settings/RuleMarksView.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "plugin/common/ExceptionGuard.h"
#include "plugin/common/WinHandle.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleTry.h"
#include "plugin/settings/FolderFiles.h"

namespace corvane {

namespace {

// Reading a large folder takes seconds, so the marks that need its messages are found by a
// worker while the page stays usable; the other marks are shown at once.
class FolderScan {
public:
    FolderScan(const RuleList& rules, const VerdictOptions& options, std::string root, std::string folder,
               HWND notify)
        : rules_(rules), options_(options), root_(std::move(root)), folder_(std::move(folder)), notify_(notify),
          tallies_(rules.size()) {}
    ~FolderScan() { stop(); }
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    bool start() {
        thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
        return thread_.valid();
    }
    // Asks the worker to end and waits for it: it looks before every message.
    void stop() {
        stopping_.store(true);
        if (thread_.valid())
            WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    bool finished() const { return finished_.load(); }
    // The tallies of a scan that read the whole folder, else null (stopped, or out of memory).
    const RuleTallies* tallies() const { return finished() && counted_ ? &tallies_ : nullptr; }

private:
    static DWORD WINAPI run(void* self) {
        FolderScan* scan = static_cast<FolderScan*>(self);
        scan->counted_ = guarded(false, [&] { return scan->tally(); });
        scan->finished_.store(true);
        if (!scan->stopping_.load())
            PostMessageA(scan->notify_, WM_RULEMARKS_READY, 0, 0);
        return 0;
    }

    // How each rule fares on the messages of the folder that a run takes, read as a run reads them.
    bool tally() {
        MessageJudge judge(rules_, options_);
        FolderMessages messages = readFolderMessages(root_, folder_);
        MessageFileReader reader(root_);
        for (size_t i = 0; i < messages.entries.size(); ++i) {
            if (stopping_.load())
                return false;
            if (!judge.takes(messages.unread[i]))
                continue;
            if (const char* text = reader.read(messages.entries[i]))
                tallies_.add(judge.matchEach(text));
        }
        return !stopping_.load();
    }

    RuleList rules_;
    VerdictOptions options_;
    std::string root_;
    std::string folder_;
    HWND notify_;
    RuleTallies tallies_;
    std::atomic<bool> stopping_{false};
    bool counted_ = false;  // written by the worker before finished_
    std::atomic<bool> finished_{false};
    UniqueHandle thread_;
};

// What one rules list shows: its marks and the scan that will complete them.
struct ListMarks {
    std::vector<RuleMark> marks;
    RuleList rules;
    bool decodeMime = false;
    std::unique_ptr<FolderScan> scan;
};

std::map<HWND, ListMarks>& marksByList() {
    static std::map<HWND, ListMarks> marks;
    return marks;
}

std::function<bool(const char*)> folderTest(const char* root) {
    std::string rootText = root ? root : "";
    return [rootText](const char* destination) {
        PathBuffer path;
        return !rootText.empty() && formatFolderTestPath(rootText.c_str(), destination, path) &&
               GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    };
}

}  // namespace

VerdictOptions sheetOptions(const SettingsSheetState& state, const FolderContext& context) {
    VerdictOptions options{context.unreadMail != 0, context.decodeMime != 0};
    if (state.optionsPage && IsWindow(state.optionsPage)) {
        options.unreadMail = IsDlgButtonChecked(state.optionsPage, IDC_UNREAD_MAIL) == BST_CHECKED;
        options.decodeMime = IsDlgButtonChecked(state.optionsPage, IDC_DECODE_MIME) == BST_CHECKED;
    }
    return options;
}

void refreshRuleMarks(const SettingsSheetState& state) {
    FolderContext* context = findContextOfState(&state);
    HostApi& host = hostApi();
    if (!state.listView || !context || !host.module)
        return;
    const char* root = host.APAGetMailbox();
    const char* folder = host.APAFolderGetCurrentFolder(state.ownerWindow);
    size_t count = std::min(state.rules.size(), static_cast<size_t>(std::max(state.ruleCount, 0)));
    ListMarks& shown = marksByList()[state.listView];
    shown.scan.reset();
    shown.rules.assign(state.rules.begin(), state.rules.begin() + static_cast<ptrdiff_t>(count));
    VerdictOptions options = sheetOptions(state, *context);
    shown.decodeMime = options.decodeMime;
    shown.marks = markRules(shown.rules, options.decodeMime, folderTest(root), nullptr);
    if (root && folder && state.rulesPage && !shown.rules.empty()) {
        shown.scan.reset(new FolderScan(shown.rules, options, root, folder, state.rulesPage));
        if (!shown.scan->start())
            shown.scan.reset();
    }
    InvalidateRect(state.listView, nullptr, TRUE);
}

void completeRuleMarks(HWND list) {
    auto found = marksByList().find(list);
    if (found == marksByList().end() || !found->second.scan || !found->second.scan->finished())
        return;
    ListMarks& shown = found->second;
    shown.scan->stop();
    const char* root = hostApi().module ? hostApi().APAGetMailbox() : nullptr;
    shown.marks = markRules(shown.rules, shown.decodeMime, folderTest(root), shown.scan->tallies());
    shown.scan.reset();
    InvalidateRect(list, nullptr, TRUE);
}

bool ruleMarksPending(HWND list) {
    auto found = marksByList().find(list);
    return found != marksByList().end() && found->second.scan;
}

const RuleMark* ruleMarkOf(HWND list, int row) {
    auto found = marksByList().find(list);
    if (found == marksByList().end() || row < 0 || static_cast<size_t>(row) >= found->second.marks.size())
        return nullptr;
    const RuleMark& mark = found->second.marks[static_cast<size_t>(row)];
    return mark.fault == RuleFault::None ? nullptr : &mark;
}

void dropRuleMarks(HWND list) {
    marksByList().erase(list);
}

}  // namespace corvane
