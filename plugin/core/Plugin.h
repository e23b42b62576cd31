// State that lives from the plug-in's load to its unload, one instance per process.
#pragma once

#include <windows.h>

#include "plugin/core/HookLibrary.h"
#include "plugin/core/EntryPointTypes.h"

namespace corvane {

struct PluginState {
    HINSTANCE instance = nullptr;
    int distributeCommandId = 0;
    int undoCommandId = 0;
    HookLibrary hook;
    CRITICAL_SECTION distributeLock;
    CRITICAL_SECTION undoLock;
    bool locksCreated = false;
};

PluginState& pluginState();

// The library attach and detach steps; DllMain calls them.
bool attachPlugin(HINSTANCE instance);
void detachPlugin();

// The two command callbacks that APCStartUp registers with the host.
void WINAPI onDistributeCommand(HWND folderWindow, LPARAM ignored);
void WINAPI onUndoCommand(HWND folderWindow, LPARAM ignored);

// Runs body and turns any exception into fallback, so that none reaches the host.
template <typename Result, typename Body>
Result guarded(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace corvane

extern "C" {
#define APC_ENTRY(name, bytes, result, params) result WINAPI name params;
#include "plugin/core/EntryPoints.h"
#undef APC_ENTRY
}
