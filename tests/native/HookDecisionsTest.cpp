#include <gtest/gtest.h>

#include <vector>

#include "hook/HookDecisions.h"

using namespace corvane;

namespace {

constexpr uintptr_t F = 0x10010;  // folder window
constexpr uintptr_t G = 0x20020;  // second folder window
constexpr uintptr_t V = 0x30030;  // view window of F
constexpr uintptr_t W = 0x40040;  // a window nobody registered
constexpr HookCommandIds kIds{40123, 40456};
constexpr uint32_t kKeyA = 0x41;
constexpr uint32_t kWmNull = 0;
constexpr uint32_t kWmSysCommand = 0x0112;

using List = std::vector<HookEntry>;
const List kHostList{{0, F}, {F, V}, {0, G}};

HookEntries view(const List& list) { return HookEntries{list.data(), list.size()}; }

// ---- message hook -------------------------------------------------------------------------

struct MessageOutcome {
    MessageAction action;
    uintptr_t postTarget;
    uintptr_t newWParam;
};
const MessageOutcome kLeave{MessageAction::None, 0, 0};
MessageOutcome postedTo(uintptr_t owner) {
    return {MessageAction::PostDistributeToOwner, owner, 0};
}
MessageOutcome wParamBecomes(uintptr_t id) { return {MessageAction::ReplaceWParam, 0, id}; }

void expectMessage(const List& list, int code, uint32_t remove, uint32_t message, uintptr_t target,
                   uintptr_t wParam, MessageOutcome expected) {
    SCOPED_TRACE(testing::Message() << "code " << code << " remove " << remove << " message "
                                    << message << " target " << target << " wParam " << wParam);
    MessageDecision got = decideMessage(code, remove, message, target, wParam, view(list), kIds);
    EXPECT_EQ(expected.action, got.action);
    if (got.action == MessageAction::PostDistributeToOwner) {
        EXPECT_EQ(expected.postTarget, got.postTarget);
    }
    if (got.action == MessageAction::ReplaceWParam) {
        EXPECT_EQ(expected.newWParam, got.newWParam);
    }
}

void command(uintptr_t target, uintptr_t wParam, MessageOutcome expected,
             const List& list = kHostList) {
    expectMessage(list, kHookAction, kRemoveFlag, kCommandMessage, target, wParam, expected);
}

TEST(MessageHook, RelabelledItemsOfRegisteredWindowsBecomeCommands) {
    command(F, 32826, wParamBecomes(kIds.distribute));
    command(G, 32825, wParamBecomes(kIds.undo));
    command(V, 32802, postedTo(F));
    // A folder window's own entry has no owner: the command goes to the thread's queue and
    // the message is dropped all the same.
    command(F, 32802, postedTo(0));
    // Only the low word names the item; the whole wParam is replaced.
    command(F, 0x00010000u | 32826, wParamBecomes(kIds.distribute));
    command(V, 0x00010000u | 32802, postedTo(F));
}

TEST(MessageHook, EverythingElseIsLeftAlone) {
    command(W, 32826, kLeave);
    command(W, 32802, kLeave);
    command(F, 32827, kLeave);
    command(F, 0, kLeave);
    command(F, 32826, kLeave, List{});
    command(F, 32826, kLeave, List{{F, V}});  // F only as an owner
    expectMessage(kHostList, 1, kRemoveFlag, kCommandMessage, F, 32826, kLeave);
    expectMessage(kHostList, -1, kRemoveFlag, kCommandMessage, F, 32826, kLeave);
    expectMessage(kHostList, kHookAction, 0, kCommandMessage, F, 32826, kLeave);
    expectMessage(kHostList, kHookAction, kRemoveFlag, kWmSysCommand, F, 32826, kLeave);
    expectMessage(kHostList, kHookAction, kRemoveFlag, kWmNull, V, 32802, kLeave);
}

TEST(MessageHook, FirstEntryOfTheTargetDecides) {
    command(V, 32802, postedTo(F), List{{0, G}, {F, V}, {G, V}});
    command(V, 32802, postedTo(G), List{{G, V}, {F, V}});
}

// ---- keyboard hook ------------------------------------------------------------------------

constexpr uint32_t kAlt = 1u << 29;
constexpr uint32_t kWasDown = 1u << 30;
constexpr uint32_t kRelease = 1u << 31;
constexpr uint32_t kScanL = 0x26u << 16;
constexpr uint32_t kFirstPress = kScanL | kAlt | 1;

struct KeyOutcome {
    bool consume;
    bool post;
    uintptr_t target;
    uint32_t command;
};
const KeyOutcome kPass{false, false, 0, 0};
const KeyOutcome kEat{true, false, 0, 0};
KeyOutcome posts(uintptr_t target, uint32_t command) { return {true, true, target, command}; }

void expectKey(const List& list, int code, uint32_t key, uint32_t flags, uintptr_t topLevel,
               KeyOutcome expected) {
    SCOPED_TRACE(testing::Message() << "code " << code << " key " << key << " flags 0x"
                                    << std::hex << flags << " top 0x" << topLevel);
    KeyDecision got = decideKey(code, key, flags, topLevel, view(list), kIds);
    EXPECT_EQ(expected.consume, got.consume);
    EXPECT_EQ(expected.post, got.post);
    if (got.post) {
        EXPECT_EQ(expected.target, got.postTarget);
        EXPECT_EQ(expected.command, got.commandId);
    }
}

void press(uint32_t key, uintptr_t topLevel, KeyOutcome expected, const List& list = kHostList) {
    expectKey(list, kHookAction, key, kFirstPress, topLevel, expected);
}

TEST(KeyboardHook, FirstAltPressInRegisteredWindows) {
    press(kKeyL, F, posts(F, kIds.distribute));
    press(kKeyL, G, posts(G, kIds.distribute));
    press(kKeyL, V, posts(F, kIds.distribute));
    press(kKeyP, F, posts(F, kIds.undo));
    press(kKeyP, V, kEat);
    press(kKeyL, W, kPass);
    press(kKeyP, W, kPass);
    press(kKeyA, F, kPass);
    press(kKeyL, F, kPass, List{});
    press(kKeyL, 0, kPass);
    press(kKeyP, 0, kPass);
}

TEST(KeyboardHook, OwnerOfARegisteredViewIsCoveredButNotServed) {
    // F is known only as the owner of V's entry: the hotkeys are kept from the host.
    press(kKeyL, F, kEat, List{{F, V}});
    press(kKeyP, F, kEat, List{{F, V}});
    // After an account change the folder's entry stands behind its view's entry; its own
    // entry still decides.
    press(kKeyL, F, posts(F, kIds.distribute), List{{F, V}, {0, F}});
    press(kKeyP, F, posts(F, kIds.undo), List{{F, V}, {0, F}});
    // The first of two own entries decides.
    press(kKeyL, V, posts(G, kIds.distribute), List{{G, V}, {F, V}});
}

TEST(KeyboardHook, OtherHookCodesPassEverything) {
    for (int code : {1, 2, -1})
        for (uint32_t key : {kKeyL, kKeyP})
            expectKey(kHostList, code, key, kFirstPress, F, kPass);
    EXPECT_FALSE(isHotkeyCandidate(1, kKeyL, kFirstPress));
}

// Every combination of release, previous state, Alt and the repeat count's lowest bit, for
// each key and focus situation: only Alt with a first press and an odd repeat count posts,
// and with Alt held a covered window never lets L or P through.
struct Situation {
    const char* name;
    List list;
    uintptr_t topLevel;
    KeyOutcome firstL;  // outcome of a first Alt+L press
    KeyOutcome firstP;
};

TEST(KeyboardHook, FlagBitsExhaustively) {
    const Situation situations[] = {
        {"folder", kHostList, F, posts(F, kIds.distribute), posts(F, kIds.undo)},
        {"view", kHostList, V, posts(F, kIds.distribute), kEat},
        {"owner only", List{{F, V}}, F, kEat, kEat},
        {"unregistered", kHostList, W, kPass, kPass},
        {"empty list", List{}, F, kPass, kPass},
        {"no focus", kHostList, 0, kPass, kPass},
    };
    for (const Situation& s : situations) {
        SCOPED_TRACE(s.name);
        for (uint32_t bits = 0; bits < 16; ++bits) {
            uint32_t flags = kScanL | (bits & 1u ? 3u : 2u);  // repeat count 3 or 2
            flags |= bits & 2u ? kAlt : 0;
            flags |= bits & 4u ? kWasDown : 0;
            flags |= bits & 8u ? kRelease : 0;
            const bool alt = (flags & kAlt) != 0;
            const bool first = bits == (1u | 2u);
            for (uint32_t key : {kKeyL, kKeyP, kKeyA}) {
                KeyOutcome expected = kPass;
                if (alt && key != kKeyA) {
                    expected = key == kKeyL ? s.firstL : s.firstP;
                    if (!first && expected.consume)
                        expected = kEat;
                }
                expectKey(s.list, kHookAction, key, flags, s.topLevel, expected);
                EXPECT_EQ(alt && key != kKeyA, isHotkeyCandidate(kHookAction, key, flags));
            }
        }
    }
}

}  // namespace
