#include "host/PluginModule.h"

#include <cstring>

namespace standin {

bool PluginModule::load(const std::string& path) {
    unload();
    SetLastError(0);
    module_.reset(LoadLibraryA(path.c_str()));
    if (!module_) {
        loadError_ = GetLastError();
        return false;
    }
#define APC_ENTRY(name, bytes, result, params)                               \
    name = corvane::procAddress<name##Fn>(module_.get(), #name);             \
    if (!name) {                                                             \
        loadError_ = ERROR_PROC_NOT_FOUND;                                   \
        unload();                                                            \
        return false;                                                        \
    }
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY
    return true;
}

void* PluginModule::redirectImport(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module_.get());
    if (!base)
        return nullptr;
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name;
         ++import) {
        if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dll) != 0 || !import->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            if (!VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, PAGE_READWRITE, &protection))
                return nullptr;
            void* previous = reinterpret_cast<void*>(addresses->u1.Function);
            addresses->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

void PluginModule::unload() {
    module_.reset();
#define APC_ENTRY(name, bytes, result, params) name = nullptr;
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY
}

}  // namespace standin
