#include "plugin/entry/HookLibrary.h"

#include "plugin/common/StrUtil.h"
#include "plugin/common/WinHandle.h"

namespace corvane {

namespace {

const char kHookLibraryName[] = "gantrel.dll";

HMODULE loadBesidePlugin(HMODULE pluginModule) {
    char modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(pluginModule, modulePath, sizeof modulePath);
    // A path that was cut, or none at all, gives no folder to look in.
    if (length == 0 || length >= sizeof modulePath)
        return nullptr;
    // The folder is the path up to its last separator; the drive stays part of it.
    size_t folderLength = sjisFolderLength(modulePath);
    if (folderLength == 0)
        return nullptr;
    char folder[MAX_PATH] = {};
    copyBytes(folder, modulePath, folderLength);
    char libraryPath[MAX_PATH] = {};
    if (!formatBuffer(libraryPath, "%s%s", folder, kHookLibraryName))
        return nullptr;
    return LoadLibraryA(libraryPath);
}

}  // namespace

HookLibrary LoadHookLibrary(HMODULE pluginModule) {
    UniqueModule module(LoadLibraryA(kHookLibraryName));
    if (!module)
        module.reset(loadBesidePlugin(pluginModule));
    if (!module)
        return HookLibrary{};

    HookLibrary library;
#define HOOK_EXPORT(name, bytes, result, params)                                  \
    library.name = procAddress<name##Fn>(module.get(), "_" #name "@" #bytes);     \
    if (!library.name)                                                            \
        return HookLibrary{};
#include "contract/HookExports.h"
#undef HOOK_EXPORT
    library.module = module.release();
    return library;
}

void UnloadHookLibrary(HookLibrary& library) {
    if (!library.loaded())
        return;
    library.endHook();
    FreeLibrary(library.module);
    library = HookLibrary{};
}

}  // namespace corvane
