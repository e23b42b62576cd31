#include "plugin/settings/LearnDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <new>
#include <cstddef>
#include <vector>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/history/MessageListKeys.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RulesFile.h"
#include "plugin/run/RunFrame.h"
#include "plugin/settings/FolderIcons.h"
#include "plugin/settings/RuleListView.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

namespace {

constexpr int kCountColumn = 3;
// The target column is wider than the rules page's: a check box stands before the text.
constexpr int kTargetWidth = 100;
// Messages read between two updates of the progress dialog's counts.
constexpr size_t kCountsEvery = 16;

// The account's mail read from the host's mailbox as a run reads it, from the worker thread:
// paths formed from the root copied when the dialog opened, the message list read whole, each
// message into a buffer of the run's size, at most 64 KB.
class MailboxReader final : public FiledMailReader {
public:
    explicit MailboxReader(const std::string& root) : root_(root), buffer_(kWorkBufferSize) {}

    bool folderExists(const std::string& folder) override {
        PathBuffer path;
        return formatFolderTestPath(root_.c_str(), folder.c_str(), path) &&
               GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    }
    std::vector<LearnEntry> listFolder(const std::string& folder) override {
        std::vector<LearnEntry> entries;
        PathBuffer path;
        char* list = formatMessageListPath(root_.c_str(), folder.c_str(), path) ? readWholeFile(path)
                                                                                 : nullptr;
        if (!list)
            return entries;
        std::vector<std::string> names;
        for (const std::string& key : messageListKeys(list))
            names.push_back(folder + "\\" + key);
        std::vector<const char*> pointers;
        for (const std::string& name : names)
            pointers.push_back(name.c_str());
        std::vector<bool> unread = findUnreadEntries(list, pointers.data(), pointers.size());
        freeText(list);
        for (size_t i = 0; i < names.size(); ++i)
            entries.push_back({names[i], unread[i]});
        return entries;
    }
    bool readMessage(const std::string& entry, size_t, std::string& bytes) override {
        PathBuffer path;
        size_t length = 0;
        if (!formatMessageFilePath(root_.c_str(), entry.c_str(), path) ||
            !readFileStart(path, buffer_.data(), &length))
            return false;
        bytes.assign(buffer_.data(), length);
        return true;
    }

private:
    const std::string& root_;
    std::vector<char> buffer_;
};

// The progress dialog's counts and bar, and the cancel, for the learning core.
class LearnProgress final : public FiledMailMonitor {
public:
    explicit LearnProgress(RunWorker& worker) : worker_(worker) {}

    void folderStarted(size_t index, size_t count) override {
        folder_ = index + 1;
        folders_ = count;
        worker_.setProgress(count, index, 1);
        showCounts();
    }
    bool proceed(LearnStage stage, size_t done, size_t total) override {
        if (stage == LearnStage::Reading) {
            messages_ = done;
            if (done % kCountsEvery == 0)
                showCounts();
        } else if (stage != stage_ || (stage == LearnStage::Learning && done != done_)) {
            showStage(stage, done, total);  // the texts change with the stage and the folder only
        }
        return !worker_.cancelled();
    }

private:
    void showCounts() {
        char text[128];
        formatBuffer(text, "フォルダ %d / %d、メール %d 通", static_cast<int>(folder_), static_cast<int>(folders_),
                     static_cast<int>(messages_));
        SetDlgItemTextA(worker_.dialog(), IDC_LEARN_COUNTS, text);
    }
    void showStage(LearnStage stage, size_t done, size_t total) {
        if (stage != stage_)
            SetDlgItemTextA(worker_.dialog(), IDC_LEARN_STAGE, "振り分け条件を作っています・・・");
        stage_ = stage;
        done_ = done;
        if (stage == LearnStage::Learning && total) {
            worker_.setProgress(total, done, 1);
            char text[128];
            formatBuffer(text, "フォルダ %d / %d (メール %d 通)", static_cast<int>(done), static_cast<int>(total),
                         static_cast<int>(messages_));
            SetDlgItemTextA(worker_.dialog(), IDC_LEARN_COUNTS, text);
        }
    }

    RunWorker& worker_;
    size_t folder_ = 0, folders_ = 0, messages_ = 0, done_ = 0;
    LearnStage stage_ = LearnStage::Reading;
};

class LearnRun final : public RunKind {
public:
    explicit LearnRun(LearnDialogData& data) : data_(data) {}

    bool prepare(HWND) override { return true; }
    void work(RunWorker& worker) override {
        try {
            MailboxReader reader(data_.mailboxRoot);
            LearnProgress progress(worker);
            std::unique_ptr<FiledMailLearning> learning(
                new FiledMailLearning(learnFromFiledMail(data_.settings, reader, &progress)));
            learning->cancelled = learning->cancelled || worker.cancelled();
            data_.published.store(learning.release());
        } catch (const std::bad_alloc&) {
            data_.outOfMemory.store(true);  // what was allocated is given back as the stack unwinds
        }
    }
    void finish(HWND) override { data_.learning.reset(data_.published.exchange(nullptr)); }
    const char* forcedEndText() const override { return "振り分け条件の作成が終わらないため、強制終了しました"; }

private:
    LearnDialogData& data_;
};

// The list view shares the image list (LVS_SHAREIMAGELISTS): it is destroyed here, once.
class ImageListOwner {
public:
    explicit ImageListOwner(HIMAGELIST images) : images_(images) {}
    ImageListOwner(const ImageListOwner&) = delete;
    ImageListOwner& operator=(const ImageListOwner&) = delete;
    ~ImageListOwner() {
        if (images_)
            ImageList_Destroy(images_);
    }
    HIMAGELIST get() const { return images_; }

private:
    HIMAGELIST images_;
};

RunSlot& learnSlot() {
    static RunSlot slot;
    return slot;
}

// The copies the worker works on, from the sheet and the options page as they are now.
bool takeCopies(HWND optionsPage, LearnDialogData& data) {
    SettingsSheetState* state = findStateOfPage(optionsPage);
    FolderContext* context = findContextOfState(state);
    const char* root = hostApi().module ? hostApi().APAGetMailbox() : nullptr;
    if (!state || !context || !root)
        return false;
    data.optionsPage = optionsPage;
    data.mailboxRoot = root;
    size_t folders = std::min(state->folders.size(), static_cast<size_t>(std::max(state->folderCount, 0)));
    size_t rules = std::min(state->rules.size(), static_cast<size_t>(std::max(state->ruleCount, 0)));
    data.settings.folders.assign(state->folders.begin(), state->folders.begin() + static_cast<ptrdiff_t>(folders));
    data.settings.rules.assign(state->rules.begin(), state->rules.begin() + static_cast<ptrdiff_t>(rules));
    data.settings.unreadMail = IsDlgButtonChecked(optionsPage, IDC_UNREAD_MAIL) == BST_CHECKED;
    data.settings.decodeMime = IsDlgButtonChecked(optionsPage, IDC_DECODE_MIME) == BST_CHECKED;
    return true;
}

void insertProposalRow(HWND list, int row, const Proposal& proposal) {
    setRuleRow(list, kNoRow, &proposal.rule);
    // The folder icon belongs to the destination's cell only.
    LVITEMA target = {};
    target.mask = LVIF_IMAGE;
    target.iItem = row;
    target.iImage = I_IMAGENONE;
    ListView_SetItem(list, &target);
    // A proposal of several conditions names them all, where the rules page counts them.
    if (!isSingleCondition(proposal.rule)) {
        std::string conditions = proposal.rule.searchText + furtherConditionsText(proposal.rule);
        ListView_SetItemText(list, row, 1, const_cast<char*>(conditions.c_str()));
    }
    char text[128];
    formatBuffer(text, "%d 通 (ほかのフォルダから %d 通)、郵便受けから既読 %d 通・未読 %d 通", proposal.takes,
                 proposal.takesOther, proposal.inboxRead, proposal.inboxUnread);
    ListView_SetItemText(list, row, kCountColumn, text);
    ListView_SetCheckState(list, row, TRUE);
}

std::string droppedText(size_t dropped) {
    char text[256];
    formatBuffer(text, "メールが多いため、メモリの上限 (%d MB) までの各フォルダの新しいメールから学びました"
                       " (古いメール %d 通は使っていません)",
                 static_cast<int>(kLearnMemoryBudget >> 20), static_cast<int>(dropped));
    return text;
}

void fillProposals(HWND dialog, const FiledMailLearning& learning) {
    HWND list = GetDlgItem(dialog, IDC_LEARN_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT);
    insertRuleColumns(list);
    ListView_SetColumnWidth(list, 0, kTargetWidth);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.cx = 330;
    column.pszText = const_cast<char*>("振り分けるメール");
    column.iSubItem = kCountColumn;
    SendMessageA(list, LVM_INSERTCOLUMNA, kCountColumn, reinterpret_cast<LPARAM>(&column));
    for (size_t i = 0; i < learning.proposals.size(); ++i)
        insertProposalRow(list, static_cast<int>(i), learning.proposals[i]);
    SetDlgItemTextA(dialog, IDC_LEARN_HOLDOUT,
                    learning.proposals.empty() ? "作れる振り分け条件はありませんでした"
                                               : learning.holdoutText.c_str());
    std::string unseparated;
    if (learning.dropped)
        unseparated = droppedText(learning.dropped);
    for (const std::string& line : learning.unseparatedTexts)
        unseparated += (unseparated.empty() ? "" : "\r\n") + line;
    SetDlgItemTextA(dialog, IDC_LEARN_UNSEPARATED,
                    unseparated.empty() ? "どのフォルダのメールも条件で分けられました" : unseparated.c_str());
}

// The checked proposals join the working rules and the rules page's rows, the last row selected.
void addChecked(HWND dialog, LearnDialogData& data) {
    SettingsSheetState* state = findStateOfPage(data.optionsPage);
    if (!state || !findContextOfState(state))
        return;
    HWND list = GetDlgItem(dialog, IDC_LEARN_LIST);
    const std::vector<Proposal>& proposals = data.learning->proposals;
    for (size_t i = 0; i < proposals.size(); ++i) {
        if (!ListView_GetCheckState(list, static_cast<int>(i)) || !ruleStorable(proposals[i].rule))
            continue;
        state->appendRule(proposals[i].rule);
        setRuleRow(state->listView, kNoRow, &proposals[i].rule);
        ++data.added;
    }
    if (data.added)
        selectRow(state->listView, state->ruleCount - 1);
}

// The proposals with their check boxes; OK adds the checked ones.
class ProposalsDialog final : public ModalDialog {
public:
    explicit ProposalsDialog(LearnDialogData& data) : data_(data) {}

private:
    bool onInit() override {
        HWND dialog = window();
        if (data_.images)
            ListView_SetImageList(GetDlgItem(dialog, IDC_LEARN_LIST), data_.images, LVSIL_SMALL);
        fillProposals(dialog, *data_.learning);
        EnableWindow(GetDlgItem(dialog, IDOK), !data_.learning->proposals.empty());
        return true;
    }
    bool onCommand(int id, int) override {
        if (id != IDOK && id != IDCANCEL)
            return false;
        if (id == IDOK && data_.learning)
            addChecked(window(), data_);
        EndDialog(window(), id);
        return true;
    }

    LearnDialogData& data_;
};

}  // namespace

int showLearnDialog(HWND optionsPage) {
    LearnDialogData data;
    if (!takeCopies(optionsPage, data))
        return 0;
    LearnRun run(data);
    RunDialog progress;
    progress.resourceId = IDD_LEARN_PROGRESS;
    runInDialog(moduleInstance(), progress, optionsPage, run, learnSlot());
    if (data.outOfMemory.load() && IsWindow(optionsPage)) {
        ShowErrorBox(optionsPage, "メモリが足りないため、振り分け条件を作れませんでした。"
                                  "ほかのプログラムを閉じるか、フォルダのメールを減らしてからやり直してください。");
        return 0;
    }
    if (!data.learning || data.learning->cancelled || !IsWindow(optionsPage))
        return 0;
    loadFolderIcons();
    ImageListOwner images(createFolderImageList());
    data.images = images.get();
    ProposalsDialog dialog(data);
    dialog.show(moduleInstance(), IDD_LEARN, optionsPage);
    return data.added;
}

}  // namespace corvane
