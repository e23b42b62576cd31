// What one key event or retrieved message costs the hook library before it is passed on: the
// empty-list guard that the host runs before its first window opens, and the decisions over
// lists of the host's size and larger. (The call of the next hook is the system's, not here.)
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "hook/HookDecisions.h"

using namespace corvane;

namespace {

constexpr HookCommandIds kIds{40001, 40002};
constexpr uint32_t kKeyA = 0x41;
constexpr uint32_t kAltFirstPress = (1u << 29) | 1u;
constexpr uint32_t kWmKeyDown = 0x0100;

// Folder windows with one view each, as the host registers them: {0, F}, {F, V}, ...
std::vector<HookEntry> hostList(int64_t entries) {
    std::vector<HookEntry> list;
    for (int64_t i = 0; i < entries; ++i) {
        const uintptr_t folder = 0x10000 + static_cast<uintptr_t>(i / 2) * 0x100;
        list.push_back(i % 2 == 0 ? HookEntry{0, folder} : HookEntry{folder, folder + 4});
    }
    return list;
}

// The keyboard procedure in a process whose list is empty: the action code, one acquiring load
// of the entry count, and on to the next hook.
void BM_KeyEventEmptyListGuard(benchmark::State& state) {
    std::atomic<uint32_t> count{0};
    int code = kHookAction;
    for (auto _ : state) {
        benchmark::DoNotOptimize(code);
        const bool decide = code == kHookAction && count.load(std::memory_order_acquire) != 0;
        benchmark::DoNotOptimize(decide);
    }
}
BENCHMARK(BM_KeyEventEmptyListGuard);

// Without the guard: an ordinary key through the decisions over an empty list.
void BM_DecideKeyEmptyList(benchmark::State& state) {
    uint32_t key = kKeyA;
    for (auto _ : state) {
        benchmark::DoNotOptimize(key);
        benchmark::DoNotOptimize(
            decideKey(kHookAction, key, 1u, 0x10000, HookEntries{nullptr, 0}, kIds));
    }
}
BENCHMARK(BM_DecideKeyEmptyList);

// The host's process: an ordinary key, then Alt+L in the last folder window of the list.
void BM_DecideKey(benchmark::State& state) {
    const std::vector<HookEntry> list = hostList(state.range(0));
    const HookEntries entries{list.data(), list.size()};
    const bool altL = state.range(1) != 0;
    uint32_t key = altL ? kKeyL : kKeyA;
    const uint32_t flags = altL ? kAltFirstPress : 1u;
    const uintptr_t focus = list[(list.size() - 1) & ~size_t{1}].window;
    for (auto _ : state) {
        benchmark::DoNotOptimize(key);
        benchmark::DoNotOptimize(decideKey(kHookAction, key, flags, focus, entries, kIds));
    }
}
BENCHMARK(BM_DecideKey)->ArgNames({"entries", "altL"})->ArgsProduct({{2, 8, 64}, {0, 1}});

// The host's process: a retrieved key message, then a relabelled item for a window that is
// not in the list (every entry looked at).
void BM_DecideMessage(benchmark::State& state) {
    const std::vector<HookEntry> list = hostList(state.range(0));
    const HookEntries entries{list.data(), list.size()};
    uint32_t message = state.range(1) != 0 ? kCommandMessage : kWmKeyDown;
    for (auto _ : state) {
        benchmark::DoNotOptimize(message);
        benchmark::DoNotOptimize(decideMessage(kHookAction, kRemoveFlag, message, 0x7FFF0000,
                                               kFolderDistributeItem, entries, kIds));
    }
}
BENCHMARK(BM_DecideMessage)->ArgNames({"entries", "command"})->ArgsProduct({{2, 8, 64}, {0, 1}});

}  // namespace
