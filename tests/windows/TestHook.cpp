// A stand-in keyboard-hook library for the loader tests: it exports what the real one does
// (or, built with TESTHOOK_NO_VERSION, all but the version), says which copy it is through its
// version text, and records the calls it gets. Built with TESTHOOK_END_FAILS, its hooks cannot
// be ended.
#include <windows.h>

#include <string>

#include "contract/StdcallBytes.h"

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "contract/HookExports.h"
#undef HOOK_EXPORT

namespace {
std::string g_log;
}

extern "C" {

__declspec(dllexport) const char* testHookLog() {
    return g_log.c_str();
}

int WINAPI appendHookWnd(HWND owner, HWND window) {
    g_log += "append " + std::to_string(reinterpret_cast<UINT_PTR>(owner)) + " " +
             std::to_string(reinterpret_cast<UINT_PTR>(window)) + ";";
    return 1;
}
BOOL WINAPI beginHook(int distributeCommandId, int undoCommandId) {
    g_log += "begin " + std::to_string(distributeCommandId) + " " + std::to_string(undoCommandId) + ";";
    return TRUE;
}
BOOL WINAPI endHook() {
    g_log += "end;";
#ifdef TESTHOOK_END_FAILS
    return FALSE;
#else
    return TRUE;
#endif
}
int WINAPI removeHookWnd(HWND window) {
    g_log += "remove " + std::to_string(reinterpret_cast<UINT_PTR>(window)) + ";";
    return 0;
}
#ifndef TESTHOOK_NO_VERSION
const char* WINAPI getVersion() {
    return TESTHOOK_VERSION;
}
#endif

}  // extern "C"
