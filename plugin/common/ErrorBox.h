#pragma once

#include <windows.h>

namespace corvane {

// The plug-in's display name and the version shown to the user.
extern const char kPluginName[];
extern const char kPluginVersion[];

// Modal error box over owner: stop icon, OK only, caption "エラー - Corvane".
int ShowErrorBox(HWND owner, const char* text);

// Modal information box over owner with the caption "Corvane".
int ShowInfoBox(HWND owner, const char* text);

}  // namespace corvane
