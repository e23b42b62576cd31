// The settings property sheet: the rules page and the options page over a folder window.
#pragma once

#include <windows.h>

namespace corvane {

// Shows the sheet modally; the property sheet's own result (positive after OK, 0 after
// Cancel, -1 on failure).
INT_PTR showSettingsSheet(HWND owner);

}  // namespace corvane
