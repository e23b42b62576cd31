#include "plugin/settings/SettingsSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "plugin/common/ModuleInstance.h"
#include "plugin/resources/resource.h"
#include "plugin/settings/OptionsPage.h"
#include "plugin/settings/RulesPage.h"

namespace corvane {

namespace {

// Takes the "?" button off the sheet's title bar; nothing else.
int CALLBACK sheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED)
        SetWindowLongPtrA(sheet, GWL_EXSTYLE, GetWindowLongPtrA(sheet, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
    return 0;
}

HPROPSHEETPAGE createPage(int templateId, ModalDialog& object) {
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = moduleInstance();
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    object.attachTo(page);
    return CreatePropertySheetPageA(&page);
}

}  // namespace

INT_PTR showSettingsSheet(HWND owner) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    // The sheet is modal: both pages end before their objects.
    RulesPage rulesPage;
    OptionsPage optionsPage;
    HPROPSHEETPAGE pages[2] = {createPage(IDD_RULES_PAGE, rulesPage), createPage(IDD_OPTIONS_PAGE, optionsPage)};
    if (!pages[0] || !pages[1]) {
        for (HPROPSHEETPAGE page : pages)
            if (page)
                DestroyPropertySheetPage(page);
        return -1;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPTITLE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = owner;
    header.hInstance = moduleInstance();
    header.pszCaption = "Corvane";
    header.nPages = 2;
    header.nStartPage = 0;
    header.phpage = pages;
    header.pfnCallback = sheetCallback;
    return PropertySheetA(&header);
}

}  // namespace corvane
