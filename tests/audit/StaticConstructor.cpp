// Built by the audit only, as gantrel.dll is built: a library with one static constructor,
// which the hook library's sections check must find.
#include <windows.h>

namespace {

struct StartUp {
    StartUp() : process(GetCurrentProcessId()) {}
    DWORD process;
};

StartUp startUp;

}  // namespace

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) {
    return startUp.process != 0;
}
