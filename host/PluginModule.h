// The plug-in as the host loads it: the library and its entry points, found by name.
#pragma once

#include <windows.h>

#include <string>

#include "plugin/common/WinHandle.h"
#include "plugin/entry/EntryPointTypes.h"

namespace standin {

class PluginModule {
public:
    // Loads the library; false (with the system's error code kept) when the load fails or an
    // entry point is missing.
    bool load(const std::string& path);
    void unload();
    bool loaded() const { return module_.valid(); }
    DWORD loadError() const { return loadError_; }
    HMODULE module() const { return module_.get(); }
    // Points the library's import of function from dll at replacement, as a host that watches
    // a system call does; the address it pointed at before, or null when there is no such import.
    void* redirectImport(const char* dll, const char* function, void* replacement);

#define APC_ENTRY(name, bytes, result, params) name##Fn name = nullptr;
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY

private:
    corvane::UniqueModule module_;
    DWORD loadError_ = 0;
};

}  // namespace standin
