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

bool OptionsPage::onInit() {
    onInitOptionsPage(window());
    return true;
}

bool OptionsPage::onNotify(const NMHDR& header) {
    if (header.code != PSN_APPLY)
        return false;
    applyOptionsPage(findStateOfPage(window()));
    SetWindowLongPtrA(window(), DWLP_MSGRESULT, PSNRET_NOERROR);
    return true;
}

bool OptionsPage::onCommand(int id, int code) {
    HWND page = window();
    switch (id) {
    case IDC_IMPORT_HOST_RULES:
        if (code == BN_CLICKED)
            onImportClicked(page);
        return true;
    case IDC_LEARN_FROM_FILED:
        if (code == BN_CLICKED && findStateOfPage(page))
            showLearnDialog(page);
        return true;
    }
    return false;
}

void OptionsPage::onDestroy() {
    onDestroyOptionsPage(window());
}

}  // namespace corvane
