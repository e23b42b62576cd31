// hookprobe.exe: a GUI program of its own, run beside a host whose hooks are running. It gives
// its window the focus, types a key into it and posts it a message, and once both have arrived
// lists its loaded modules. Exit code: 0 when gantrel.dll is not among them, 1 when it is,
// 2 when the key or the message never arrived.
#include <windows.h>
#include <tlhelp32.h>

#include "host/KeyInput.h"

namespace {

constexpr UINT kProbeMessage = WM_APP + 1;
bool keyArrived = false;
bool messageArrived = false;

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == 'K')
        keyArrived = true;
    if (message == kProbeMessage)
        messageArrived = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

bool hookLibraryMapped() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found;
         more = Module32Next(snapshot, &module))
        found = lstrcmpiA(module.szModule, "gantrel.dll") == 0;
    CloseHandle(snapshot);
    return found;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = probeProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "HookProbeWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "HookProbeWindow", "probe", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                  40, 300, 200, 120, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
    SetForegroundWindow(window);
    SetFocus(window);
    INPUT keys[] = {keyInput('K', false), keyInput('K', true)};
    SendInput(2, keys, sizeof(INPUT));
    PostMessageA(window, kProbeMessage, 0, 0);
    const DWORD end = GetTickCount() + 5000;
    while (!(keyArrived && messageArrived) && static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    if (!(keyArrived && messageArrived))
        return 2;
    return hookLibraryMapped() ? 1 : 0;
}
