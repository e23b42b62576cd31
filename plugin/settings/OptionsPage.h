// The options page (dialog 103): the record's two options and the host rule import.
#pragma once

#include <windows.h>

#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The sheet's OK: the two check boxes become the record's options.
void applyOptionsPage(const SettingsSheetState* state);

}  // namespace corvane
