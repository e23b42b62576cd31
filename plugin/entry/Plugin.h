// The plug-in's load and unload steps, its command callbacks and its exported entry points.
#pragma once

#include <windows.h>

#include "plugin/common/ExceptionGuard.h"
#include "plugin/entry/EntryPointTypes.h"
#include "plugin/entry/PluginState.h"

namespace corvane {

// The library attach and detach steps; DllMain calls them.
bool attachPlugin(HINSTANCE instance);
void detachPlugin();

// The two command callbacks that APCStartUp registers with the host.
void WINAPI onDistributeCommand(HWND folderWindow, LPARAM ignored);
void WINAPI onUndoCommand(HWND folderWindow, LPARAM ignored);

}  // namespace corvane

extern "C" {
#define APC_ENTRY(name, bytes, result, params) result WINAPI name params;
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY
}
