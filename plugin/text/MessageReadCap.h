// The most of a message file that is read and compared, everywhere: a run, the checker and
// learning all cut a message at its first 64 KB (and then at its first NUL).
#pragma once

#include <cstddef>

namespace corvane {

constexpr size_t kMessageReadCap = 0x10000;

}  // namespace corvane
