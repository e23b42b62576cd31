#include <windows.h>

#include "plugin/entry/Plugin.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return corvane::guarded<BOOL>(FALSE, [instance] { return corvane::attachPlugin(instance) ? TRUE : FALSE; });
    case DLL_PROCESS_DETACH:
        corvane::detachPlugin();
        return TRUE;
    default:
        return TRUE;
    }
}
