// The host's menu items that the plug-in relabels as its own commands and that the hook
// library turns into them. Both DLLs read the ids from here.
#pragma once

#include <cstdint>

namespace corvane {

constexpr uint32_t kViewDistributeItem = 32802;
constexpr uint32_t kFolderUndoItem = 32825;
constexpr uint32_t kFolderDistributeItem = 32826;

}  // namespace corvane
