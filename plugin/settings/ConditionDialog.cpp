#include "plugin/settings/ConditionDialog.h"

#include <commctrl.h>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RulesFile.h"
#include "plugin/settings/RuleDialog.h"
#include "plugin/settings/RuleListView.h"

namespace corvane {

namespace {

// A condition's regular expression applies to every target, so only the header box follows
// the target.
void enableHeaderFor(HWND dialog, int target) {
    EnableWindow(GetDlgItem(dialog, IDC_HEADER_NAME), target == NamedHeader);
}

void setCheck(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

class ConditionDialog final : public ModalDialog {
public:
    ConditionDialog(RuleCondition& condition, bool edit) : condition_(condition), edit_(edit) {}

private:
    bool onInit() override {
        HWND dialog = window();
        int target = edit_ ? condition_.searchTarget : NamedHeader;
        CheckDlgButton(dialog, targetRadio(target), BST_CHECKED);
        fillHeaderNames(dialog, edit_ ? condition_.headerName : "");
        SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, edit_ ? condition_.searchText : "");
        setCheck(dialog, IDC_MATCH_CASE, edit_ && condition_.matchCase);
        setCheck(dialog, IDC_REGEX, edit_ && condition_.useRegex);
        setCheck(dialog, IDC_NEGATE, edit_ && condition_.negate);
        enableHeaderFor(dialog, target);
        return true;
    }
    bool onCommand(int id, int code) override {
        switch (id) {
        case IDC_TARGET_WHOLE:
        case IDC_TARGET_HEADER_BLOCK:
        case IDC_TARGET_NAMED:
            if (code == BN_CLICKED)
                enableHeaderFor(window(), checkedTarget(window()));
            return true;
        case IDOK: {
            RuleCondition accepted;
            if (acceptConditionDialog(window(), accepted)) {
                condition_ = accepted;
                EndDialog(window(), IDOK);
            }
            return true;
        }
        case IDCANCEL:
            EndDialog(window(), IDCANCEL);
            return true;
        }
        return false;
    }

    RuleCondition& condition_;
    bool edit_;
};

bool refuse(HWND dialog, const char* message) {
    ShowErrorBox(dialog, message);
    return false;
}

bool setCell(HWND list, int row, int column, const char* text) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    if (column == 0)
        return SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) >= 0;
    return SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

}  // namespace

bool showConditionDialog(HWND editor, RuleCondition& condition, bool edit) {
    ConditionDialog dialog(condition, edit);
    return dialog.show(moduleInstance(), IDD_CONDITION, editor) == IDOK;
}

bool acceptConditionDialog(HWND dialog, RuleCondition& out) {
    RuleCondition condition;
    condition.searchTarget = checkedTarget(dialog);
    if (!readSearchTexts(dialog, condition.searchTarget, condition.headerName, condition.searchText))
        return false;
    condition.matchCase = IsDlgButtonChecked(dialog, IDC_MATCH_CASE) == BST_CHECKED;
    condition.useRegex = IsDlgButtonChecked(dialog, IDC_REGEX) == BST_CHECKED;
    condition.negate = IsDlgButtonChecked(dialog, IDC_NEGATE) == BST_CHECKED;
    if (condition.useRegex && !regexAccepted(dialog, condition.searchText))
        return false;
    if (!conditionStorable(condition))
        return refuse(dialog, "この振り分け条件は設定ファイルに正しく保存できないため指定できません");
    out = condition;
    return true;
}

const char* conditionTargetText(int32_t target, const char* headerName) {
    switch (target) {
    case WholeMessage:
        return "すべて";
    case HeaderBlock:
        return "ヘッダ部";
    case NamedHeader:
        return headerName;
    }
    return "";
}

void insertConditionColumns(HWND list) {
    static const struct {
        const char* header;
        int width;
    } kColumns[] = {{"対象", 70}, {"文字列", 118}, {"含む/含まない", 90}};
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 3; ++i)
        insertListColumn(list, i, kColumns[i].width, kColumns[i].header);
}

void fillConditionList(HWND list, const std::vector<RuleCondition>& conditions, int select) {
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < conditions.size(); ++i) {
        const RuleCondition& condition = conditions[i];
        int row = static_cast<int>(i);
        setCell(list, row, 0, conditionTargetText(condition.searchTarget, condition.headerName));
        setCell(list, row, 1, condition.searchText);
        setCell(list, row, 2, condition.negate ? "含まない" : "含む");
    }
    if (select >= 0 && select < static_cast<int>(conditions.size())) {
        ListView_SetItemState(list, select, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, select, FALSE);
    }
}

}  // namespace corvane
