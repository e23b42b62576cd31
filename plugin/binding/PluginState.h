// State that lives from the plug-in's load to its unload, one instance per process, and the
// guard that keeps exceptions from reaching the host.
#pragma once

#include <windows.h>

#include "plugin/binding/HookLibrary.h"

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
