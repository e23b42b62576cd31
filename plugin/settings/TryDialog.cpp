#include "plugin/settings/TryDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/resources/resource.h"
#include "plugin/run/RunFrame.h"
#include "plugin/settings/FolderFiles.h"
#include "plugin/settings/RuleDialog.h"
#include "plugin/settings/RuleListView.h"
#include "plugin/settings/RuleMarksView.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

namespace {

// The progress bar's range: a fraction of the folder, whatever its size.
constexpr size_t kProgressRange = 1000;

class TryRun final : public RunKind {
public:
    explicit TryRun(TryDialogData& data) : data_(data) {}

    bool prepare(HWND dialog) override {
        SetDlgItemTextA(dialog, IDC_LEARN_STAGE, "このフォルダのメールを調べています・・・");
        return true;
    }
    void work(RunWorker& worker) override;
    void finish(HWND) override { data_.result.reset(data_.published.exchange(nullptr)); }
    const char* forcedEndText() const override { return "条件を試す処理が終わらないため、強制終了しました"; }

private:
    void showProgress(RunWorker& worker, size_t done, size_t total);

    TryDialogData& data_;
};

void TryRun::showProgress(RunWorker& worker, size_t done, size_t total) {
    worker.setProgress(kProgressRange, total ? done * kProgressRange / total : 0, 1);
    char text[128];
    formatBuffer(text, "メール %d / %d 通", static_cast<int>(done), static_cast<int>(total));
    SetDlgItemTextA(worker.dialog(), IDC_LEARN_COUNTS, text);
}

void TryRun::work(RunWorker& worker) {
    FolderMessages folder = readFolderMessages(data_.mailboxRoot, data_.folder);
    std::unique_ptr<RuleTry> run(new RuleTry(data_.rules, data_.tried, data_.options));
    MessageFileReader reader(data_.mailboxRoot);
    size_t total = folder.entries.size();
    bool finished = tryFolder(*run, folder, [&](const std::string& entry) { return reader.read(entry); },
                              [&](size_t done) {
                                  if (done % data_.updateEvery == 0)
                                      showProgress(worker, done, total);
                                  return !worker.cancelled();
                              });
    if (finished && !worker.cancelled())
        data_.published.store(run.release());
}

RunSlot& trySlot() {
    static RunSlot slot;
    return slot;
}

// The copies the worker works on: the working rules with the rule as typed in its place.
bool takeCopies(HWND editor, bool editMode, const DistributeRule& rule, TryDialogData& data) {
    SettingsSheetState* state = sheetRegistry().find(GetWindow(editor, GW_OWNER));
    FolderContext* context = findContextOfState(state);
    HostApi& host = hostApi();
    const char* root = host.module ? host.APAGetMailbox() : nullptr;
    const char* folder = host.module ? host.APAFolderGetCurrentFolder(state ? state->ownerWindow : nullptr) : nullptr;
    if (!state || !context || !root || !folder)
        return false;
    data.mailboxRoot = root;
    data.folder = folder;
    size_t count = std::min(state->rules.size(), static_cast<size_t>(std::max(state->ruleCount, 0)));
    RuleList working(state->rules.begin(), state->rules.begin() + static_cast<ptrdiff_t>(count));
    int place = editMode ? selectedRow(state->listView) : kNoRow;
    data.rules = placeTriedRule(working, rule, place, &data.tried);
    data.options = sheetOptions(*state, *context);
    return true;
}

void fillRows(HWND list, const RuleTry& run) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    insertListColumn(list, 0, 80, "キー");
    insertListColumn(list, 1, 170, "差出人");
    insertListColumn(list, 2, 250, "件名");
    insertListColumn(list, 3, 90, "先に取る規則");
    const std::vector<TriedMessage>& rows = run.rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(rows[i].key.c_str());
        int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0)
            continue;
        ListView_SetItemText(list, row, 1, const_cast<char*>(rows[i].from.c_str()));
        ListView_SetItemText(list, row, 2, const_cast<char*>(rows[i].subject.c_str()));
        char number[16] = {};
        if (rows[i].earlierRule)
            formatBuffer(number, "%d", rows[i].earlierRule);
        ListView_SetItemText(list, row, 3, number);
    }
}

// The result: the count line and the rows; a double-click shows why for one message.
class TryResultDialog final : public ModalDialog {
public:
    explicit TryResultDialog(TryDialogData& data) : data_(data) {}

private:
    bool onInit() override {
        SetDlgItemTextA(window(), IDC_TRY_COUNT, data_.result->countLine().c_str());
        fillRows(GetDlgItem(window(), IDC_TRY_LIST), *data_.result);
        return true;
    }
    bool onNotify(const NMHDR& header) override {
        if (header.idFrom != IDC_TRY_LIST || header.code != NM_DBLCLK)
            return false;
        showWhy(selectedRow(header.hwndFrom));
        return true;
    }
    bool onCommand(int id, int) override {
        if (id != IDCANCEL && id != IDOK)
            return false;
        EndDialog(window(), IDCANCEL);
        return true;
    }
    void showWhy(int row) {
        const std::vector<TriedMessage>& rows = data_.result->rows();
        if (row < 0 || static_cast<size_t>(row) >= rows.size())
            return;
        MessageFileReader reader(data_.mailboxRoot);
        const TriedMessage& message = rows[static_cast<size_t>(row)];
        std::string why = data_.result->why(message, reader.read(message.entry));
        SetDlgItemTextA(window(), IDC_TRY_WHY, why.c_str());
    }

    TryDialogData& data_;
};

}  // namespace

void showTryDialog(HWND editor, bool editMode) {
    DistributeRule rule;
    if (!acceptRuleDialog(editor, rule))
        return;
    TryDialogData data;
    if (!takeCopies(editor, editMode, rule, data))
        return;
    TryRun run(data);
    RunDialog progress;
    progress.resourceId = IDD_LEARN_PROGRESS;
    runInDialog(moduleInstance(), progress, editor, run, trySlot());
    if (!data.result || !IsWindow(editor))
        return;
    TryResultDialog dialog(data);
    dialog.show(moduleInstance(), IDD_TRY, editor);
}

}  // namespace corvane
