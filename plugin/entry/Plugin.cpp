#include "plugin/entry/Plugin.h"

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/entry/AboutDialog.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/rules/RegexLibrary.h"

namespace corvane {

bool attachPlugin(HINSTANCE instance) {
    setModuleInstance(instance);
    if (BindHostApi())
        return true;
    char text[256];
    formatBuffer(text,
                 "プラグイン(%s)が起動できません。\nQuillpost32のバージョンが1.10以上であるか確認してください。",
                 kPluginName);
    MessageBoxA(nullptr, text, "プラグイン起動エラー", MB_OK | MB_ICONERROR);
    return false;
}

void detachPlugin() {
    UnbindHostApi();
}

}  // namespace corvane

using namespace corvane;

extern "C" const char* WINAPI APCGetPlugName() {
    return kPluginName;
}

extern "C" BOOL WINAPI APCStartUp(int) {
    guarded([] {
        PluginState& state = pluginState();
        HostApi& host = hostApi();
        state.distributeCommandId = host.APARegistCallback(onDistributeCommand, 0);
        state.undoCommandId = host.APARegistCallback(onUndoCommand, 0);
        state.hook = LoadHookLibrary(moduleInstance());
        if (state.hook.loaded())
            state.hook.beginHook(state.distributeCommandId, state.undoCommandId);
        if (!state.locksCreated) {
            InitializeCriticalSection(&state.distributeLock);
            InitializeCriticalSection(&state.undoLock);
            state.locksCreated = true;
        }
    });
    return TRUE;
}

extern "C" void WINAPI APCCleanUp() {
    guarded([] {
        PluginState& state = pluginState();
        endRegexLibrary();
        UnloadHookLibrary(state.hook);
        if (state.locksCreated) {
            DeleteCriticalSection(&state.distributeLock);
            DeleteCriticalSection(&state.undoLock);
            state.locksCreated = false;
        }
    });
}

extern "C" INT_PTR WINAPI APCVersionInfo(HWND parent) {
    return guarded<INT_PTR>(-1, [parent] { return showAboutDialog(parent); });
}
