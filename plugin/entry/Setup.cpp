#include "plugin/entry/Plugin.h"
#include "plugin/settings/SettingsSheet.h"

extern "C" INT_PTR WINAPI APCSetup(HWND parent) {
    return corvane::guarded(static_cast<INT_PTR>(-1), [parent] { return corvane::showSettingsSheet(parent); });
}
