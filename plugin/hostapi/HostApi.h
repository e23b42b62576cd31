// The host's function table, bound by name from the host executable while the plug-in loads.
#pragma once

#include <windows.h>

#include "contract/StdcallBytes.h"

namespace corvane {

// A command callback as the host calls it: (folder window, a value that is ignored).
typedef void(WINAPI* CommandCallback)(HWND window, LPARAM ignored);

#define HOST_FUNCTION(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "plugin/hostapi/HostFunctions.h"
#undef HOST_FUNCTION

struct HostApi {
    // Set only when every function was found: it marks the table as bound.
    HMODULE module = nullptr;
#define HOST_FUNCTION(name, bytes, result, params) name##Fn name = nullptr;
#include "plugin/hostapi/HostFunctions.h"
#undef HOST_FUNCTION
};

// Looks a decorated host function name up; returns null when it is missing.
typedef FARPROC (*HostLookup)(void* context, const char* decoratedName);

// Binds every host function through lookup, all or nothing: at the first missing name the
// table's module is cleared and false returned. An already bound table is left as it is.
bool bindHostApiWith(HostApi& api, HMODULE module, HostLookup lookup, void* context);

// Binds the process-wide table from the main executable's exports.
bool BindHostApi();
void UnbindHostApi();

// The process-wide table. Callers use it only while it is bound.
HostApi& hostApi();

// Number of host functions and their decorated names, in binding order.
extern const char* const kHostFunctionNames[];
extern const int kHostFunctionCount;

}  // namespace corvane
