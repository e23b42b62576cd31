#include "plugin/core/Plugin.h"

// The settings sheet is not wired in yet.
extern "C" INT_PTR WINAPI APCSetup(HWND) {
    return 0;
}
