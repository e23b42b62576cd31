#pragma once

#include <windows.h>

namespace corvane {

// Shows the about box (dialog 100) over parent; returns 1 for OK, 2 for Esc or the close box.
INT_PTR showAboutDialog(HWND parent);

}  // namespace corvane
