#include "plugin/common/ModuleInstance.h"

namespace corvane {

namespace {

HINSTANCE g_instance = nullptr;

}  // namespace

HINSTANCE moduleInstance() {
    return g_instance;
}

void setModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}

}  // namespace corvane
