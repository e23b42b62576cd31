#include "plugin/entry/HookLibrary.h"

#include "plugin/common/StrUtil.h"
#include "plugin/common/WinHandle.h"

namespace corvane {

namespace {

const char kHookLibraryName[] = "gantrel.dll";

// Loads the copy in the folder of a module (none: the host's program) by its full path.
HMODULE loadBeside(HMODULE module) {
    char modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, modulePath, sizeof modulePath);
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

// Only full paths: a bare name would let a copy in the current folder or on PATH win.
HookLibrary LoadHookLibrary(HMODULE pluginModule) {
    UniqueModule module(loadBeside(pluginModule));
    if (!module)
        module.reset(loadBeside(nullptr));
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

// A library whose hooks could not all be removed stays loaded for the rest of the process:
// unloading it would leave a hook running into unmapped code.
void UnloadHookLibrary(HookLibrary& library) {
    if (!library.loaded())
        return;
    if (library.endHook())
        FreeLibrary(library.module);
    library = HookLibrary{};
}

}  // namespace corvane
