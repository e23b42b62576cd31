#include "plugin/hostapi/HostApi.h"

namespace corvane {

const char* const kHostFunctionNames[] = {
#define HOST_FUNCTION(name, bytes, result, params) "_" #name "@" #bytes,
#include "plugin/hostapi/HostFunctions.h"
#undef HOST_FUNCTION
};
const int kHostFunctionCount = sizeof(kHostFunctionNames) / sizeof(kHostFunctionNames[0]);

namespace {

HostApi g_hostApi;

FARPROC lookupExport(void* module, const char* name) {
    return GetProcAddress(static_cast<HMODULE>(module), name);
}

}  // namespace

HostApi& hostApi() {
    return g_hostApi;
}

bool bindHostApiWith(HostApi& api, HMODULE module, HostLookup lookup, void* context) {
    if (api.module)
        return true;
    if (!module)
        return false;
    HostApi bound;
    int index = 0;
#define HOST_FUNCTION(name, bytes, result, params)                                  \
    bound.name = reinterpret_cast<name##Fn>(                                        \
        reinterpret_cast<void*>(lookup(context, kHostFunctionNames[index++])));     \
    if (!bound.name) {                                                              \
        api.module = nullptr;                                                       \
        return false;                                                               \
    }
#include "plugin/hostapi/HostFunctions.h"
#undef HOST_FUNCTION
    bound.module = module;
    api = bound;
    return true;
}

bool BindHostApi() {
    HMODULE exe = GetModuleHandleA(nullptr);
    return bindHostApiWith(g_hostApi, exe, lookupExport, exe);
}

void UnbindHostApi() {
    g_hostApi.module = nullptr;
}

}  // namespace corvane
