// The optional keyboard-hook library: found once at start-up, all five exports or nothing.
#pragma once

#include <windows.h>

#include "contract/StdcallBytes.h"

namespace corvane {

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "contract/HookExports.h"
#undef HOOK_EXPORT

struct HookLibrary {
    HMODULE module = nullptr;
#define HOOK_EXPORT(name, bytes, result, params) name##Fn name = nullptr;
#include "contract/HookExports.h"
#undef HOOK_EXPORT

    bool loaded() const { return module != nullptr; }
};

// Loads "gantrel.dll" from the plug-in's own folder, else from the host program's folder,
// always by full path, and binds its exports. On any failure the library is unloaded again
// and the result is empty.
HookLibrary LoadHookLibrary(HMODULE pluginModule);

// Stops the hooks and unloads the library, unless a hook is left; leaves an empty record.
void UnloadHookLibrary(HookLibrary& library);

}  // namespace corvane
