// The rules page (dialog 102) of the settings sheet: the working rules as a list, with New,
// Edit, Delete, Up and Down.
#pragma once

#include <windows.h>

#include "plugin/common/ModalDialog.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

// The page's object, attached to the page the sheet creates.
class RulesPage final : public ModalDialog {
    bool onInit() override;
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;
    bool onNotify(const NMHDR& header) override;
    bool onCommand(int id, int code) override;
    void onDestroy() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
};

// Moves the sheet, unsized, to the centre of its owner.
void centreOverOwner(HWND owner, HWND sheet);

// The sheet's OK: the working rules replace the record's, and keys the shorter list no longer
// uses are deleted from the rules file at once.
void applyRulesPage(const SettingsSheetState* state);

}  // namespace corvane
