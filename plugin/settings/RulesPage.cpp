#include "plugin/settings/RulesPage.h"

#include <commctrl.h>
#include <prsht.h>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/FolderTreeWin.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RulesFile.h"
#include "plugin/settings/FolderIcons.h"
#include "plugin/settings/RuleDialog.h"
#include "plugin/settings/RuleListView.h"
#include "plugin/settings/RuleMarksView.h"

namespace corvane {

namespace {

// Height of the strip below the list that holds the buttons.
constexpr int kButtonStripHeight = 40;

void fitListToPage(HWND page, HWND list) {
    RECT client = {};
    GetClientRect(page, &client);
    int edgeX = GetSystemMetrics(SM_CXEDGE);
    int edgeY = GetSystemMetrics(SM_CYEDGE);
    MoveWindow(list, edgeX, edgeY, client.right - edgeX, client.bottom - edgeY - kButtonStripHeight, FALSE);
}

void fillRuleList(SettingsSheetState& state, HWND page, HWND list) {
    fitListToPage(page, list);
    ListView_SetExtendedListViewStyle(list, LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP);
    state.imageList = createFolderImageList();
    if (state.imageList)
        ListView_SetImageList(list, state.imageList, LVSIL_SMALL);
    insertRuleColumns(list);
    for (const DistributeRule& rule : state.rules)
        setRuleRow(list, kNoRow, &rule);
}

void onInitRulesPage(HWND page) {
    loadFolderIcons();
    HWND sheet = GetParent(page);
    SettingsSheetState* state = sheetRegistry().getOrCreate(sheet);
    if (!state)
        return;
    state->rulesPage = page;
    HWND owner = GetWindow(sheet, GW_OWNER);
    FolderContext* context = folderRegistry().find(owner);
    if (!context)
        return;
    state->ownerWindow = owner;
    state->setRules(context->rules);
    HWND list = GetDlgItem(page, IDC_RULE_LIST);
    if (list)
        fillRuleList(*state, page, list);
    state->listView = list;
    listAccountFoldersOnDisk(state->folders, context->accountDir);
    state->folderCount = static_cast<int32_t>(state->folders.size());
    refreshRuleMarks(*state);
    centreOverOwner(owner, sheet);
}

void newRule(HWND page) {
    RuleDialogData data;
    if (showRuleDialog(page, data) != IDOK)
        return;
    SettingsSheetState* state = findStateOfPage(page);
    if (!state || !state->listView)
        return;
    state->appendRule(data.rule);
    setRuleRow(state->listView, kNoRow, &data.rule);
    selectRow(state->listView, state->ruleCount - 1);
}

// The page's state when a rule's row is selected, with that row; null otherwise.
SettingsSheetState* stateWithSelectedRule(HWND page, int& row) {
    SettingsSheetState* state = findStateOfPage(page);
    if (!state)
        return nullptr;
    row = selectedRow(state->listView);
    return state->validRule(row) ? state : nullptr;
}

void editSelectedRule(HWND page) {
    int row = kNoRow;
    SettingsSheetState* state = stateWithSelectedRule(page, row);
    if (!state)
        return;
    RuleDialogData data;
    data.editMode = true;
    data.rule = state->rules[static_cast<size_t>(row)];
    if (showRuleDialog(page, data) != IDOK)
        return;
    // The modal dialog pumps messages, so the selection is read again.
    if (stateWithSelectedRule(page, row) != state)
        return;
    state->rules[static_cast<size_t>(row)] = data.rule;
    setRuleRow(state->listView, row, &data.rule);
    ListView_RedrawItems(state->listView, row, row);
}

void deleteSelectedRule(HWND page) {
    int row = kNoRow;
    SettingsSheetState* state = stateWithSelectedRule(page, row);
    if (!state)
        return;
    state->removeRule(row);
    ListView_DeleteItem(state->listView, row);
    if (state->ruleCount > 0)
        selectRow(state->listView, row < state->ruleCount ? row : state->ruleCount - 1);
}

void moveSelectedRule(HWND page, int direction) {
    int row = kNoRow;
    SettingsSheetState* state = stateWithSelectedRule(page, row);
    if (!state)
        return;
    int first = direction < 0 ? row - 1 : row;
    if (first < 0 || first >= state->ruleCount - 1)
        return;
    DistributeRule* pair = &state->rules[static_cast<size_t>(first)];
    setRuleRow(state->listView, first, &pair[1]);
    setRuleRow(state->listView, first + 1, &pair[0]);
    std::swap(pair[0], pair[1]);
    selectRow(state->listView, row + direction);
}

// A marked row's tooltip is the reason of its mark.
void giveMarkTip(const NMLVGETINFOTIPA& tip) {
    const RuleMark* mark = ruleMarkOf(tip.hdr.hwndFrom, tip.iItem);
    if (mark && tip.pszText && tip.cchTextMax > 0)
        copyString(tip.pszText, static_cast<size_t>(tip.cchTextMax), mark->reason.c_str());
}

// True when the notification was answered here.
bool answerNotification(HWND page, const NMHDR& header) {
    SettingsSheetState* state = findStateOfPage(page);
    switch (header.code) {
    case PSN_SETACTIVE:
        // The options page's boxes, an import or learnt rules may have changed what is marked.
        if (state)
            refreshRuleMarks(*state);
        break;
    case LVN_GETINFOTIPA:
        if (state && header.hwndFrom == state->listView)
            giveMarkTip(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
        break;
    case PSN_APPLY:
        applyRulesPage(state);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return true;
    case NM_DBLCLK:
        if (state && state->listView && header.hwndFrom == state->listView)
            editSelectedRule(page);
        break;
    }
    return false;
}

// Each page empties its own part; whichever page goes last frees the state, so the order in
// which the system destroys the pages does not matter.
void onDestroyRulesPage(HWND page) {
    SettingsSheetState* state = findStateOfPage(page);
    if (!state)
        return;
    if (state->imageList) {
        if (state->listView)
            ListView_SetImageList(state->listView, nullptr, LVSIL_SMALL);
        ImageList_Destroy(state->imageList);
        state->imageList = nullptr;
    }
    dropRuleMarks(state->listView);
    state->clear();
    state->listView = nullptr;
    state->rulesPage = nullptr;
    if (!state->optionsPage)
        sheetRegistry().drop(GetParent(page));
}

// Runs the page button id; false for another control.
bool runButton(HWND page, int id) {
    switch (id) {
    case IDC_RULE_NEW:
        newRule(page);
        return true;
    case IDC_RULE_EDIT:
        editSelectedRule(page);
        return true;
    case IDC_RULE_DELETE:
        deleteSelectedRule(page);
        return true;
    case IDC_RULE_UP:
        moveSelectedRule(page, -1);
        return true;
    case IDC_RULE_DOWN:
        moveSelectedRule(page, +1);
        return true;
    }
    return false;
}

}  // namespace

void centreOverOwner(HWND owner, HWND sheet) {
    RECT ownerRect, sheetRect;
    if (!owner || !sheet || !GetWindowRect(owner, &ownerRect) || !GetWindowRect(sheet, &sheetRect))
        return;
    int x = ownerRect.left + ((ownerRect.right - ownerRect.left) - (sheetRect.right - sheetRect.left)) / 2;
    int y = ownerRect.top + ((ownerRect.bottom - ownerRect.top) - (sheetRect.bottom - sheetRect.top)) / 2;
    SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void applyRulesPage(const SettingsSheetState* state) {
    FolderContext* context = findContextOfState(state);
    if (!context)
        return;
    if (state->ruleCount < context->ruleCount)
        deleteRuleKeys(context, state->ruleCount + 1, context->ruleCount);
    context->clearRules();
    context->setRules(state->rules);
}

bool RulesPage::onInit() {
    onInitRulesPage(window());
    return true;
}

bool RulesPage::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != IDC_RULE_LIST)
        return false;
    drawRuleRow(item);
    return true;
}

bool RulesPage::onNotify(const NMHDR& header) {
    return answerNotification(window(), header);
}

bool RulesPage::onCommand(int id, int code) {
    if (code != BN_CLICKED || !runButton(window(), id))
        return false;
    if (SettingsSheetState* state = findStateOfPage(window()))
        refreshRuleMarks(*state);
    return true;
}

void RulesPage::onDestroy() {
    onDestroyRulesPage(window());
}

bool RulesPage::onMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    SettingsSheetState* state = findStateOfPage(window());
    if (!state || (message != WM_RULEMARKS_READY && message != WM_RULEMARKS_PENDING))
        return false;
    if (message == WM_RULEMARKS_READY)
        completeRuleMarks(state->listView);
    result = ruleMarksPending(state->listView) ? 1 : 0;
    SetWindowLongPtrA(window(), DWLP_MSGRESULT, result);
    return true;
}

}  // namespace corvane
