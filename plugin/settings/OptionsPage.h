// The options page (dialog 103): the record's two options and the host rule import.
#pragma once

#include <windows.h>

#include "plugin/common/ModalDialog.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

// The page's object, attached to the page the sheet creates.
class OptionsPage final : public ModalDialog {
    bool onInit() override;
    bool onNotify(const NMHDR& header) override;
    bool onCommand(int id, int code) override;
    void onDestroy() override;
};

// The sheet's OK: the two check boxes become the record's options.
void applyOptionsPage(const SettingsSheetState* state);

}  // namespace corvane
