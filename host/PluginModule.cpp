#include "host/PluginModule.h"

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

void PluginModule::unload() {
    module_.reset();
#define APC_ENTRY(name, bytes, result, params) name = nullptr;
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY
}

}  // namespace standin
