#include "plugin/entry/PluginState.h"

namespace corvane {

PluginState& pluginState() {
    static PluginState state;
    return state;
}

}  // namespace corvane
