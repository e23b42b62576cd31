// State that lives from the plug-in's load to its unload, one instance per process. The
// module handle is kept apart, in common/, for the dialogs of the layers below.
#pragma once

#include <windows.h>

#include "plugin/entry/HookLibrary.h"

namespace corvane {

struct PluginState {
    int distributeCommandId = 0;
    int undoCommandId = 0;
    HookLibrary hook;
    CRITICAL_SECTION distributeLock;
    CRITICAL_SECTION undoLock;
    bool locksCreated = false;
};

PluginState& pluginState();

}  // namespace corvane
