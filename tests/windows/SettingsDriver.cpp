#include "SettingsDriver.h"

#include <tlhelp32.h>

#include <map>

#include <gtest/gtest.h>

#include "plugin/resources/resource.h"
#include "plugin/settings/RuleMarksView.h"

namespace testing_support {

namespace {

std::map<UINT_PTR, std::function<void()>>& pendingBodies() {
    static std::map<UINT_PTR, std::function<void()>> bodies;
    return bodies;
}

void CALLBACK runPendingBody(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto it = pendingBodies().find(id);
    if (it == pendingBodies().end())
        return;
    std::function<void()> body = std::move(it->second);
    pendingBodies().erase(it);
    body();
}

void sendClick(HWND window, int id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

std::string cellText(HWND list, int row, int column) {
    char text[1024] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

}  // namespace

standin::DialogRobot::Answer drive(std::function<void(HWND)> body) {
    return [body](HWND dialog, standin::SeenDialog& seen) {
        seen.answer = "driven";
        UINT_PTR id = SetTimer(nullptr, 0, 1, runPendingBody);
        pendingBodies()[id] = [body, dialog] { body(dialog); };
    };
}

HWND SheetDriver::rulesPage() const {
    return PropSheet_IndexToHwnd(sheet, 0);
}

void SheetDriver::settleMarks() const {
    for (int wait = 0; wait < 6000 && SendMessageA(rulesPage(), corvane::WM_RULEMARKS_PENDING, 0, 0); ++wait) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
}

HWND SheetDriver::list() const {
    return GetDlgItem(rulesPage(), IDC_RULE_LIST);
}

void SheetDriver::click(int id) const {
    sendClick(rulesPage(), id);
}

void SheetDriver::doubleClick() const {
    NMHDR header = {};
    header.hwndFrom = list();
    header.idFrom = IDC_RULE_LIST;
    header.code = NM_DBLCLK;
    SendMessageA(rulesPage(), WM_NOTIFY, IDC_RULE_LIST, reinterpret_cast<LPARAM>(&header));
}

void SheetDriver::select(int row) const {
    ListView_SetItemState(list(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

int SheetDriver::selected() const {
    return ListView_GetNextItem(list(), -1, LVNI_SELECTED);
}

std::vector<std::string> SheetDriver::rows() const {
    std::vector<std::string> texts;
    HWND view = list();
    int count = ListView_GetItemCount(view);
    for (int row = 0; row < count; ++row)
        texts.push_back(cellText(view, row, 0) + "|" + cellText(view, row, 1) + "|" + cellText(view, row, 2));
    return texts;
}

int SheetDriver::image(int row) const {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = 2;
    item.iImage = -2;
    SendMessageA(list(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

int SheetDriver::columns() const {
    return Header_GetItemCount(ListView_GetHeader(list()));
}

HWND SheetDriver::showOptions() const {
    PropSheet_SetCurSel(sheet, nullptr, 1);
    return PropSheet_IndexToHwnd(sheet, 1);
}

void SheetDriver::importHostRules() const {
    SendMessageA(PropSheet_IndexToHwnd(sheet, 1), WM_COMMAND, MAKEWPARAM(IDC_IMPORT_HOST_RULES, BN_CLICKED), 0);
}

void SheetDriver::learnFromFiledMail() const {
    sendClick(PropSheet_IndexToHwnd(sheet, 1), IDC_LEARN_FROM_FILED);
}

void SheetDriver::ok() const {
    PropSheet_PressButton(sheet, PSBTN_OK);
}

void SheetDriver::cancel() const {
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
}

void EditorDriver::target(int radio) const {
    for (int id : {IDC_TARGET_NAMED, IDC_TARGET_HEADER_BLOCK, IDC_TARGET_WHOLE})
        CheckDlgButton(dialog, id, id == radio ? BST_CHECKED : BST_UNCHECKED);
    sendClick(dialog, radio);
}

void EditorDriver::header(const char* text) const {
    SetDlgItemTextA(dialog, IDC_HEADER_NAME, text);
}

void EditorDriver::search(const char* text) const {
    SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, text);
}

void EditorDriver::folder(const char* title) const {
    LRESULT index = SendDlgItemMessageA(dialog, IDC_DEST_FOLDER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(title));
    SendDlgItemMessageA(dialog, IDC_DEST_FOLDER, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void EditorDriver::check(int id, bool on) const {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool EditorDriver::checked(int id) const {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool EditorDriver::enabled(int id) const {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

int EditorDriver::folderSelection() const {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_DEST_FOLDER, CB_GETCURSEL, 0, 0));
}

std::vector<std::string> EditorDriver::folderItems() const {
    std::vector<std::string> items;
    HWND combo = GetDlgItem(dialog, IDC_DEST_FOLDER);
    int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        LRESULT data = SendMessageA(combo, CB_GETITEMDATA, i, 0);
        items.push_back(std::string(text) + " " + std::to_string(data & 0xFF) + " " + std::to_string((data >> 8) & 0xFF));
    }
    return items;
}

void EditorDriver::ok() const {
    sendClick(dialog, IDOK);
}

void EditorDriver::click(int id) const {
    sendClick(dialog, id);
}

std::vector<std::string> EditorDriver::conditions() const {
    std::vector<std::string> texts;
    HWND view = GetDlgItem(dialog, IDC_CONDITION_LIST);
    int count = ListView_GetItemCount(view);
    for (int row = 0; row < count; ++row)
        texts.push_back(cellText(view, row, 0) + "|" + cellText(view, row, 1) + "|" + cellText(view, row, 2));
    return texts;
}

void EditorDriver::selectCondition(int row) const {
    ListView_SetItemState(GetDlgItem(dialog, IDC_CONDITION_LIST), row, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
}

std::string EditorDriver::text(int id) const {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void EditorDriver::cancel() const {
    sendClick(dialog, IDCANCEL);
}

void EditorDriver::tryRule() const {
    sendClick(dialog, IDC_TRY_RULE);
}

std::vector<std::string> TryDriver::rows() const {
    std::vector<std::string> texts;
    HWND view = GetDlgItem(dialog, IDC_TRY_LIST);
    int count = ListView_GetItemCount(view);
    for (int row = 0; row < count; ++row)
        texts.push_back(cellText(view, row, 0) + "|" + cellText(view, row, 1) + "|" + cellText(view, row, 2) + "|" +
                        cellText(view, row, 3));
    return texts;
}

std::string TryDriver::text(int id) const {
    char text[8192] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void TryDriver::doubleClick(int row) const {
    HWND view = GetDlgItem(dialog, IDC_TRY_LIST);
    ListView_SetItemState(view, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    NMHDR header = {};
    header.hwndFrom = view;
    header.idFrom = IDC_TRY_LIST;
    header.code = NM_DBLCLK;
    SendMessageA(dialog, WM_NOTIFY, IDC_TRY_LIST, reinterpret_cast<LPARAM>(&header));
}

void TryDriver::close() const {
    sendClick(dialog, IDCANCEL);
}

HWND LearnDriver::list() const {
    return GetDlgItem(dialog, IDC_LEARN_LIST);
}

std::vector<std::string> LearnDriver::rows() const {
    std::vector<std::string> texts;
    HWND view = list();
    int count = ListView_GetItemCount(view);
    for (int row = 0; row < count; ++row)
        texts.push_back(cellText(view, row, 0) + "|" + cellText(view, row, 1) + "|" + cellText(view, row, 2) + "|" +
                        cellText(view, row, 3));
    return texts;
}

std::vector<bool> LearnDriver::checks() const {
    std::vector<bool> states;
    int count = ListView_GetItemCount(list());
    for (int row = 0; row < count; ++row)
        states.push_back(ListView_GetCheckState(list(), row) != FALSE);
    return states;
}

void LearnDriver::check(int row, bool on) const {
    ListView_SetCheckState(list(), row, on ? TRUE : FALSE);
}

std::string LearnDriver::text(int id) const {
    char text[4096] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void LearnDriver::add() const {
    sendClick(dialog, IDOK);
}

void LearnDriver::cancel() const {
    sendClick(dialog, IDCANCEL);
}

standin::DialogRobot::Answer driveToEnd(std::function<void(HWND)> body, std::function<void(HWND)> close) {
    return drive([body, close](HWND dialog) {
        body(dialog);
        if (IsWindowVisible(dialog)) {
            char caption[256] = {};
            GetWindowTextA(dialog, caption, sizeof caption);
            ADD_FAILURE() << "the dialog is still open: " << caption;
            close(dialog);
        }
    });
}

DWORD threadCount() {
    DWORD count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

bool seenCaption(const std::vector<standin::SeenDialog>& seen, const std::string& caption) {
    for (const standin::SeenDialog& dialog : seen)
        if (dialog.caption == caption)
            return true;
    return false;
}

void EditorDriver::fill(const ConditionInput& input) const {
    target(input.radio);
    header(input.header);
    search(input.text);
    check(IDC_NEGATE, input.negate);
    check(IDC_REGEX, input.regex);
}

}  // namespace testing_support
