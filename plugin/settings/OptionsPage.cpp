#include "plugin/settings/OptionsPage.h"

#include <prsht.h>

#include "plugin/resources/resource.h"
#include "plugin/settings/HostRuleImport.h"
#include "plugin/settings/LearnDialog.h"

namespace corvane {

namespace {

void onInitOptionsPage(HWND page) {
    HWND sheet = GetParent(page);
    SettingsSheetState* state = sheetRegistry().getOrCreate(sheet);
    if (!state)
        return;
    state->optionsPage = page;
    HWND owner = GetWindow(sheet, GW_OWNER);
    FolderContext* context = folderRegistry().find(owner);
    if (!context)
        return;
    state->ownerWindow = owner;
    CheckDlgButton(page, IDC_UNREAD_MAIL, context->unreadMail ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_REPORT_RESULT, context->reportResult ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_DECODE_MIME, context->decodeMime ? BST_CHECKED : BST_UNCHECKED);
}

void onImportClicked(HWND page) {
    if (findStateOfPage(page))
        confirmHostImport(page);
}

void onDestroyOptionsPage(HWND page) {
    SettingsSheetState* state = findStateOfPage(page);
    if (!state)
        return;
    state->optionsPage = nullptr;
    if (!state->rulesPage)
        sheetRegistry().drop(GetParent(page));
}

}  // namespace

void applyOptionsPage(const SettingsSheetState* state) {
    FolderContext* context = findContextOfState(state);
    if (!context || !state->optionsPage)
        return;
    context->unreadMail = IsDlgButtonChecked(state->optionsPage, IDC_UNREAD_MAIL) == BST_CHECKED;
    context->reportResult = IsDlgButtonChecked(state->optionsPage, IDC_REPORT_RESULT) == BST_CHECKED;
    context->decodeMime = IsDlgButtonChecked(state->optionsPage, IDC_DECODE_MIME) == BST_CHECKED;
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitOptionsPage(page);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code != PSN_APPLY)
            break;
        applyOptionsPage(findStateOfPage(page));
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_IMPORT_HOST_RULES:
            if (HIWORD(wParam) == BN_CLICKED)
                onImportClicked(page);
            return TRUE;
        case IDC_LEARN_FROM_FILED:
            if (HIWORD(wParam) == BN_CLICKED && findStateOfPage(page))
                showLearnDialog(page);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        onDestroyOptionsPage(page);
        break;
    }
    return FALSE;
}

}  // namespace corvane
