// Measures, not a test: what one key event costs this process through gantrel.dll's hooks.
// Key presses are injected in batches into a focused window of this thread and retrieved by
// its message loop, alternately with no hooks installed, with the hooks installed and an empty
// list (as in the host before its first window opens), and with the window registered (the host's
// process, where the lock and the focus look-up run). A pair of hooks of this program that only
// pass events on shows what any hook costs in the system's dispatch. Prints the median time per
// key message of each and the differences to no hooks.
//   gantrel_eventcost [rounds] [presses per batch]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "contract/StdcallBytes.h"
#include "host/KeyInput.h"

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "contract/HookExports.h"
#undef HOOK_EXPORT

namespace {

enum Setting { kNoHooks, kPassingHooks, kEmptyList, kRegistered, kSettings };
const char* const kSettingNames[kSettings] = {"no hooks", "hooks that only pass on",
                                              "gantrel, empty list", "gantrel, window registered"};

LRESULT CALLBACK passOn(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The two hooks of the same types for this thread, as gantrel installs them.
bool installPassingHooks(HHOOK (&hooks)[2]) {
    const DWORD thread = GetCurrentThreadId();
    hooks[0] = SetWindowsHookExA(WH_GETMESSAGE, passOn, GetModuleHandleA(nullptr), thread);
    hooks[1] = SetWindowsHookExA(WH_KEYBOARD, passOn, GetModuleHandleA(nullptr), thread);
    return hooks[0] && hooks[1];
}

struct Library {
#define HOOK_EXPORT(name, bytes, result, params) name##Fn name = nullptr;
#include "contract/HookExports.h"
#undef HOOK_EXPORT
};

// Sends the batch and retrieves messages until its last release arrives; seconds, or a
// negative number when the input went missing.
double runBatch(const std::vector<INPUT>& batch, UINT presses) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (SendInput(static_cast<UINT>(batch.size()), const_cast<INPUT*>(batch.data()),
                  sizeof(INPUT)) != batch.size())
        return -1;
    UINT releases = 0;
    while (releases < presses) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 2000, QS_ALLINPUT) == WAIT_TIMEOUT)
                return -1;
            continue;
        }
        releases += msg.message == WM_KEYUP;
        DispatchMessageA(&msg);
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const UINT presses = argc > 2 ? static_cast<UINT>(std::max(1, atoi(argv[2]))) : 100;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "GantrelEventCost";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "GantrelEventCost", "event cost",
                                  WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 20, 40, 200, 120,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HMODULE module = LoadLibraryA("gantrel.dll");
    Library library;
    bool bound = module != nullptr;
#define HOOK_EXPORT(name, bytes, result, params)                                          \
    library.name = reinterpret_cast<name##Fn>(                                            \
        reinterpret_cast<void*>(GetProcAddress(module, "_" #name "@" #bytes)));           \
    bound = bound && library.name != nullptr;
#include "contract/HookExports.h"
#undef HOOK_EXPORT
    if (!window || !bound) {
        fprintf(stderr, "no window or no gantrel.dll\n");
        return 1;
    }
    SetForegroundWindow(window);
    SetFocus(window);

    std::vector<INPUT> batch;
    for (UINT i = 0; i < presses; ++i) {
        batch.push_back(keyInput('A', false));
        batch.push_back(keyInput('A', true));
    }
    const double messages = 2.0 * presses;
    std::vector<double> perMessage[kSettings];
    for (int round = -1; round < rounds; ++round) {  // round -1 warms up
        for (int setting = 0; setting < kSettings; ++setting) {
            HHOOK passing[2] = {};
            const bool gantrel = setting == kEmptyList || setting == kRegistered;
            if (setting == kPassingHooks ? !installPassingHooks(passing)
                                         : gantrel && !library.beginHook(40001, 40002)) {
                fprintf(stderr, "the hooks could not be installed\n");
                return 1;
            }
            if (setting == kRegistered)
                library.appendHookWnd(nullptr, window);
            const double seconds = runBatch(batch, presses);
            if (setting == kRegistered)
                library.removeHookWnd(window);
            if (gantrel)
                library.endHook();
            for (HHOOK hook : passing)
                if (hook)
                    UnhookWindowsHookEx(hook);
            if (seconds < 0) {
                fprintf(stderr, "key input went missing (is the window focused?)\n");
                return 1;
            }
            if (round >= 0)
                perMessage[setting].push_back(seconds / messages * 1e6);
        }
    }
    printf("%d rounds of %u presses (%u key messages), median per key message:\n", rounds,
           presses, 2 * presses);
    const double base = median(perMessage[kNoHooks]);
    for (int setting = 0; setting < kSettings; ++setting) {
        const double us = median(perMessage[setting]);
        printf("  %-28s %8.2f us  (%+.2f us)\n", kSettingNames[setting], us, us - base);
    }
    FreeLibrary(module);
    return 0;
}
