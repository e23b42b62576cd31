#include "plugin/settings/RuleDialog.h"

#include <oniguruma.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RuleText.h"
#include "plugin/rules/RulesFile.h"
#include "plugin/settings/ConditionDialog.h"
#include "plugin/settings/FolderIcons.h"
#include "plugin/settings/TryDialog.h"

namespace corvane {

namespace {

const char* const kHeaderNames[] = {"Cc:", "Date:", "Delivered-To:", "Errors-To:", "From:", "Message-Id:", "Reply-To:",
                                   "Return-Path:", "Sender:", "Subject:", "To:", "X-Ml-Name:", "X-Sequence:"};

// Text inputs are read into 1023 bytes with the terminator, as the record keeps them.
constexpr int kInputBufferSize = 1023;

// The sheet that owns the dialog, its state and the record of the sheet's owner.
struct DialogContext {
    SettingsSheetState* state = nullptr;
    FolderContext* folder = nullptr;
};

DialogContext findDialogContext(HWND dialog) {
    DialogContext found;
    HWND sheet = GetWindow(dialog, GW_OWNER);
    if (!sheet)
        return found;
    found.state = sheetRegistry().find(sheet);
    found.folder = folderRegistry().find(GetWindow(sheet, GW_OWNER));
    return found;
}

// The editor's working further conditions, found by acceptRuleDialog through the window.
const char kConditionsProperty[] = "CorvaneRuleConditions";

std::vector<RuleCondition>* workingConditions(HWND dialog) {
    return static_cast<std::vector<RuleCondition>*>(GetPropA(dialog, kConditionsProperty));
}

int folderIndexOf(const SettingsSheetState& state, const char* path) {
    for (int i = 0; i < state.folderCount; ++i)
        if (strcmp(state.folders[static_cast<size_t>(i)].path, path) == 0)
            return i;
    return -1;
}

void fitFolderComboToEdit(HWND dialog) {
    RECT client = {};
    if (GetClientRect(GetDlgItem(dialog, IDC_SEARCH_TEXT), &client))
        SendDlgItemMessageA(dialog, IDC_DEST_FOLDER, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), client.bottom);
}

void onInitRuleDialog(HWND dialog, const RuleDialogData& data) {
    DialogContext found = findDialogContext(dialog);
    if (!found.state || !found.folder)
        return;
    const DistributeRule& rule = data.rule;
    if (!data.editMode) {
        CheckDlgButton(dialog, IDC_TARGET_NAMED, BST_CHECKED);
        fillHeaderNames(dialog, "");
        SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "");
        fillFolderCombo(dialog, *found.state, -1);
    } else {
        if (int radio = targetRadio(rule.searchTarget))
            CheckDlgButton(dialog, radio, BST_CHECKED);
        fillHeaderNames(dialog, rule.headerName);
        SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, rule.searchText);
        fillFolderCombo(dialog, *found.state, folderIndexOf(*found.state, rule.destFolder));
    }
    fitFolderComboToEdit(dialog);
    if (data.editMode)
        updateRuleDialogEnabling(dialog, rule.searchTarget, rule.matchCase != 0, rule.useRegex != 0);
    else
        updateRuleDialogEnabling(dialog, NamedHeader, 0, 1);
    CheckDlgButton(dialog, IDC_NEGATE, data.editMode && rule.negate ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, data.editMode && rule.anyOf ? IDC_ANY_CONDITION : IDC_ALL_CONDITIONS, BST_CHECKED);
}

// The list of further conditions shows the working ones; 追加 stops at the most a rule takes.
void showConditions(HWND dialog, const std::vector<RuleCondition>& conditions, int select) {
    fillConditionList(GetDlgItem(dialog, IDC_CONDITION_LIST), conditions, select);
    EnableWindow(GetDlgItem(dialog, IDC_CONDITION_ADD), conditions.size() < kMaxFurtherConditions);
}

int selectedCondition(HWND dialog, const std::vector<RuleCondition>& conditions) {
    int row = ListView_GetNextItem(GetDlgItem(dialog, IDC_CONDITION_LIST), -1, LVNI_SELECTED);
    return row >= 0 && row < static_cast<int>(conditions.size()) ? row : -1;
}

void onConditionButton(HWND dialog, int id, std::vector<RuleCondition>& conditions) {
    int row = selectedCondition(dialog, conditions);
    if (id == IDC_CONDITION_ADD && conditions.size() < kMaxFurtherConditions) {
        RuleCondition condition;
        if (!showConditionDialog(dialog, condition, false))
            return;
        conditions.push_back(condition);
        row = static_cast<int>(conditions.size()) - 1;
    } else if (id == IDC_CONDITION_EDIT && row >= 0) {
        RuleCondition condition = conditions[static_cast<size_t>(row)];
        if (!showConditionDialog(dialog, condition, true))
            return;
        conditions[static_cast<size_t>(row)] = condition;
    } else if (id == IDC_CONDITION_DELETE && row >= 0) {
        conditions.erase(conditions.begin() + row);
        row = std::min(row, static_cast<int>(conditions.size()) - 1);
    } else {
        return;
    }
    showConditions(dialog, conditions, row);
}

bool refuse(HWND dialog, const char* message) {
    ShowErrorBox(dialog, message);
    return false;
}

void onTargetClicked(HWND dialog, int code, int target) {
    if (code == BN_CLICKED)
        updateRuleDialogEnabling(dialog, target, -1, -1);
}

void onRuleDialogOk(HWND dialog, RuleDialogData& data) {
    DistributeRule rule;
    if (!acceptRuleDialog(dialog, rule))
        return;
    // An edited rule keeps the id under which the file holds its further conditions.
    if (data.editMode)
        rule.conditionId = data.rule.conditionId;
    data.rule = rule;
    EndDialog(dialog, IDOK);
}

class RuleDialog final : public ModalDialog {
public:
    explicit RuleDialog(RuleDialogData& data) : data_(data) {}

private:
    bool onInit() override {
        if (data_.editMode)
            conditions_ = data_.rule.conditions;
        SetPropA(window(), kConditionsProperty, &conditions_);
        insertConditionColumns(GetDlgItem(window(), IDC_CONDITION_LIST));
        showConditions(window(), conditions_, -1);
        onInitRuleDialog(window(), data_);
        return true;
    }
    void onDestroy() override { RemovePropA(window(), kConditionsProperty); }
    bool onMeasureItem(MEASUREITEMSTRUCT& measure) override {
        if (measure.CtlID == IDC_DEST_FOLDER && measure.itemID != static_cast<UINT>(-1))
            measure.itemHeight = 18;
        return true;
    }
    bool onDrawItem(const DRAWITEMSTRUCT& item) override {
        if (item.CtlID != IDC_DEST_FOLDER)
            return false;
        drawFolderComboItem(item);
        return true;
    }
    bool onCommand(int id, int code) override;

    RuleDialogData& data_;
    std::vector<RuleCondition> conditions_;
};

bool RuleDialog::onCommand(int id, int code) {
    HWND dialog = window();
    switch (id) {
    case IDC_TARGET_WHOLE:
    case IDC_TARGET_HEADER_BLOCK:
        onTargetClicked(dialog, code, WholeMessage);
        return true;
    case IDC_TARGET_NAMED:
        onTargetClicked(dialog, code, NamedHeader);
        return true;
    case IDC_CONDITION_ADD:
    case IDC_CONDITION_EDIT:
    case IDC_CONDITION_DELETE:
        if (code == BN_CLICKED)
            onConditionButton(dialog, id, conditions_);
        return true;
    case IDOK:
        onRuleDialogOk(dialog, data_);
        return true;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return true;
    case IDC_TRY_RULE:
        showTryDialog(dialog, data_.editMode);
        return true;
    }
    return false;
}

}  // namespace

bool readSearchTexts(HWND dialog, int32_t target, char (&header)[1024], char (&search)[1024]) {
    char text[kInputBufferSize] = {};
    GetDlgItemTextA(dialog, IDC_HEADER_NAME, text, sizeof text);
    if (target == NamedHeader && !text[0])
        return refuse(dialog, "ヘッダ指定がありません");
    copyString(header, text);
    GetDlgItemTextA(dialog, IDC_SEARCH_TEXT, text, sizeof text);
    if (!text[0])
        return refuse(dialog, "検索文字列がありません");
    copyString(search, text);
    return true;
}

bool regexAccepted(HWND dialog, const char* pattern) {
    OnigRegex compiled = compileRuleRegex(pattern);
    if (!compiled)
        return refuse(dialog, "検索文字列が正規表現として正しくありません");
    onig_free(compiled);
    return true;
}

int checkedTarget(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_TARGET_WHOLE) == BST_CHECKED)
        return WholeMessage;
    if (IsDlgButtonChecked(dialog, IDC_TARGET_HEADER_BLOCK) == BST_CHECKED)
        return HeaderBlock;
    return NamedHeader;
}

int targetRadio(int target) {
    switch (target) {
    case WholeMessage:
        return IDC_TARGET_WHOLE;
    case HeaderBlock:
        return IDC_TARGET_HEADER_BLOCK;
    case NamedHeader:
        return IDC_TARGET_NAMED;
    }
    return 0;
}

void fillHeaderNames(HWND dialog, const char* text) {
    for (const char* name : kHeaderNames)
        SendDlgItemMessageA(dialog, IDC_HEADER_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SetDlgItemTextA(dialog, IDC_HEADER_NAME, text);
}

void updateRuleDialogEnabling(HWND dialog, int target, int caseState, int regexState) {
    HWND header = GetDlgItem(dialog, IDC_HEADER_NAME);
    HWND matchCase = GetDlgItem(dialog, IDC_MATCH_CASE);
    HWND regex = GetDlgItem(dialog, IDC_REGEX);
    if (!header || !matchCase || !regex)
        return;
    if (target == WholeMessage || target == HeaderBlock || target == NamedHeader) {
        bool named = target == NamedHeader;
        EnableWindow(header, named);
        EnableWindow(matchCase, named);
        EnableWindow(regex, !named);
    }
    if (caseState != -1)
        CheckDlgButton(dialog, IDC_MATCH_CASE, caseState == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (regexState != -1)
        CheckDlgButton(dialog, IDC_REGEX, regexState == 1 ? BST_CHECKED : BST_UNCHECKED);
}

HWND fillFolderCombo(HWND dialog, const SettingsSheetState& state, int index) {
    HWND combo = GetDlgItem(dialog, IDC_DEST_FOLDER);
    for (int i = 0; i < state.folderCount; ++i) {
        const FolderEntry& entry = state.folders[static_cast<size_t>(i)];
        LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.title));
        if (item < 0)
            continue;
        LPARAM itemData = (entry.depth & 0xFF) | ((entry.kind & 0xFF) << 8);
        SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), itemData);
    }
    SendMessageA(combo, CB_SETCURSEL, index >= 0 && index < state.folderCount ? index : -1, 0);
    return combo;
}

void drawFolderComboItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    int depth = 0, kind = 0;
    if (item.itemID != static_cast<UINT>(-1)) {
        depth = static_cast<int>(item.itemData & 0xFF);
        kind = static_cast<int>((item.itemData >> 8) & 0xFF);
    }
    bool highlighted = (item.itemState & ODS_SELECTED) != 0 ||
                       ((item.itemAction & ODA_FOCUS) && (item.itemState & ODS_FOCUS));
    FillRect(dc, &rect, GetSysColorBrush(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (kind == 0)
        return;
    int textColour = highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
    if (kind == ParentFolder)
        textColour = COLOR_GRAYTEXT;
    SetTextColor(dc, GetSysColor(textColour));
    SetBkMode(dc, TRANSPARENT);
    int x = rect.left + 12 * depth - 8;
    if (HICON icon = folderIcon(kind))
        DrawIconEx(dc, x, rect.top, icon, 16, 16, 0, nullptr, DI_NORMAL);
    char text[1024] = {};
    LRESULT length = SendMessageA(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
    if (length <= 0 || length >= static_cast<LRESULT>(sizeof text))
        return;
    SendMessageA(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    RECT textRect = {x + 20, rect.top, rect.right, rect.bottom};
    DrawTextA(dc, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

bool acceptRuleDialog(HWND dialog, DistributeRule& out) {
    DialogContext found = findDialogContext(dialog);
    if (!found.state || !found.folder)
        return false;
    DistributeRule rule;
    rule.searchTarget = checkedTarget(dialog);
    if (!readSearchTexts(dialog, rule.searchTarget, rule.headerName, rule.searchText))
        return false;
    LRESULT selection = SendDlgItemMessageA(dialog, IDC_DEST_FOLDER, CB_GETCURSEL, 0, 0);
    if (selection < 0 || selection >= found.state->folderCount)
        return refuse(dialog, "移動先フォルダがありません");
    const FolderEntry& entry = found.state->folders[static_cast<size_t>(selection)];
    if (entry.hasSubfolders)
        return refuse(dialog, "そのフォルダは指定できません");
    copyString(rule.destFolder, entry.path);
    finishLoadedRule(rule);
    rule.matchCase = IsDlgButtonChecked(dialog, IDC_MATCH_CASE) == BST_CHECKED;
    rule.useRegex = IsDlgButtonChecked(dialog, IDC_REGEX) == BST_CHECKED;
    if (searchesByRegex(rule) && !regexAccepted(dialog, rule.searchText))
        return false;
    rule.negate = IsDlgButtonChecked(dialog, IDC_NEGATE) == BST_CHECKED;
    rule.anyOf = IsDlgButtonChecked(dialog, IDC_ANY_CONDITION) == BST_CHECKED;
    if (const std::vector<RuleCondition>* conditions = workingConditions(dialog))
        rule.conditions = *conditions;
    // The rules file must give the rule back as it is: the save leaves out a rule that would
    // not, so it would vanish when the folder window closes.
    if (!ruleStorable(rule))
        return refuse(dialog, "この振り分け条件は設定ファイルに正しく保存できないため指定できません");
    out = rule;
    return true;
}

INT_PTR showRuleDialog(HWND parent, RuleDialogData& data) {
    RuleDialog dialog(data);
    return dialog.show(moduleInstance(), IDD_RULE_EDIT, parent);
}

}  // namespace corvane
