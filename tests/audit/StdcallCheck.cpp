// Compiled by the audit only: the wrong variant must be rejected by the argument-bytes check.
#include <windows.h>

#include "contract/StdcallBytes.h"

#if defined(VARIANT_RIGHT)
CORVANE_STDCALL_TYPES(moveMail, 8, BOOL, (const char* entry, const char* folder))
CORVANE_STDCALL_TYPES(saveMail, 16, BOOL, (HWND window, const char* entry, const char* path, int flags))
CORVANE_STDCALL_TYPES(folderLoad, 8, void, (HWND window, int ignored))
#else
CORVANE_STDCALL_TYPES(moveMail, 12, BOOL, (const char* entry, const char* folder))
#endif

int main() {
    return 0;
}
