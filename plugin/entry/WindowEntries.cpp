// The entry points for the host's folder and view windows.
#include "plugin/common/StrUtil.h"
#include "plugin/entry/Plugin.h"
#include "plugin/windows/FolderRegistry.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/rules/RulesFile.h"

using namespace corvane;

namespace {

void createFolderRecord(HWND folderWindow) {
    FolderContext* context = folderRegistry().getOrCreate(folderWindow);
    if (!context)
        return;
    // A second create for the same window starts the record over instead of appending the
    // file's rules to those it already holds.
    context->clearRules();
    context->folderWindow = folderWindow;
    context->workBuffer = nullptr;
    context->unreadMail = false;
    context->reportResult = false;
    context->decodeMime = false;
    copyString(context->accountDir, hostApi().APAGetAccount(folderWindow));
    const HookLibrary& hook = pluginState().hook;
    if (hook.loaded())
        hook.appendHookWnd(nullptr, folderWindow);
    loadRules(*context);
}

void closeFolderRecord(HWND folderWindow) {
    FolderContext* context = folderRegistry().find(folderWindow);
    if (!context)
        return;
    saveRules(*context);
    context->clearRules();
    folderRegistry().remove(folderWindow);
    const HookLibrary& hook = pluginState().hook;
    if (hook.loaded())
        hook.removeHookWnd(folderWindow);
}

bool hostReady() {
    return hostApi().module != nullptr;
}

}  // namespace

extern "C" void WINAPI APCFolderCreate(HWND folderWindow) {
    guarded([folderWindow] {
        if (hostReady())
            createFolderRecord(folderWindow);
    });
}

extern "C" void WINAPI APCFolderClose(HWND folderWindow) {
    guarded([folderWindow] {
        if (hostReady())
            closeFolderRecord(folderWindow);
    });
}

extern "C" void WINAPI APCFolderLoad(HWND folderWindow, int) {
    guarded([folderWindow] {
        if (!hostReady())
            return;
        FolderContext* context = folderRegistry().find(folderWindow);
        if (!context)
            return;
        const char* account = hostApi().APAGetAccount(folderWindow);
        if (account && strcmp(context->accountDir, account) == 0)
            return;
        closeFolderRecord(folderWindow);
        createFolderRecord(folderWindow);
    });
}

extern "C" void WINAPI APCViewCreate(HWND viewWindow) {
    guarded([viewWindow] {
        const HookLibrary& hook = pluginState().hook;
        if (!hostReady() || !hook.loaded())
            return;
        if (HWND folderWindow = FindFolderForView(viewWindow))
            hook.appendHookWnd(folderWindow, viewWindow);
    });
}

extern "C" void WINAPI APCViewClose(HWND viewWindow) {
    guarded([viewWindow] {
        const HookLibrary& hook = pluginState().hook;
        if (hook.loaded())
            hook.removeHookWnd(viewWindow);
    });
}
