#include "plugin/core/Plugin.h"

// Folder windows, view windows and menus are not tracked yet; the entry points exist so that
// the host finds every one of them.
extern "C" void WINAPI APCFolderCreate(HWND) {}
extern "C" void WINAPI APCFolderClose(HWND) {}
extern "C" void WINAPI APCFolderLoad(HWND, int) {}
extern "C" void WINAPI APCViewCreate(HWND) {}
extern "C" void WINAPI APCViewClose(HWND) {}
extern "C" void WINAPI APCFolderInitMenu(HWND, HMENU, int) {}
extern "C" void WINAPI APCViewInitMenu(HWND, HMENU, int) {}
extern "C" INT_PTR WINAPI APCSetup(HWND) { return 0; }
