// Copying the host's own sorting rules into the settings sheet's working rules.
#pragma once

#include <windows.h>

namespace corvane {

struct HostImportResult {
    int imported = 0;
    int refused = 0;  // host rules left out because the rules file could not keep them whole
};

// Asks with dialog 107 over the options page and, on "ｲﾝﾎﾟｰﾄ開始", imports and reports.
void confirmHostImport(HWND optionsPage);

// Appends the host's rules of the sheet's account to its working rules and to the rules
// page's list, and selects the last row. Nothing without the sheet's state or record.
HostImportResult importHostRules(HWND optionsPage);

// Dialog 107; returns IDOK or IDCANCEL.
INT_PTR showImportConfirmDialog(HWND parent);

}  // namespace corvane
