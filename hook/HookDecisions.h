// What the two hook procedures of the hook library do with one message or key event, decided
// over a snapshot of the registered windows. Window handles are plain numbers here, so that
// the decisions can be tested without Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/MenuItems.h"

namespace corvane {

// One registered window. A folder window's own entry has no owner (0); a view window's entry
// carries the folder window that the view belongs to.
struct HookEntry {
    uintptr_t owner;
    uintptr_t window;
};

// A read-only view of the registered windows, in the order in which they were appended.
struct HookEntries {
    const HookEntry* data;
    size_t count;
};

// The command ids that the host assigned to the plug-in's two commands.
struct HookCommandIds {
    uint32_t distribute;
    uint32_t undo;
};

constexpr int kHookAction = 0;         // HC_ACTION
constexpr uint32_t kRemoveFlag = 1;    // PM_REMOVE
constexpr uint32_t kCommandMessage = 0x0111;  // WM_COMMAND
constexpr uint32_t kKeyL = 0x4C;
constexpr uint32_t kKeyP = 0x50;

enum class MessageAction {
    None,                   // leave the message as it is
    PostDistributeToOwner,  // post the distribute command to postTarget, retrieve WM_NULL
    ReplaceWParam,          // give the message the wParam newWParam
};

struct MessageDecision {
    MessageAction action;
    uintptr_t postTarget;  // PostDistributeToOwner: the window (0: the thread's queue)
    uintptr_t newWParam;   // ReplaceWParam: the command id
};

// The message hook: a WM_COMMAND being removed from the queue for a registered window, whose
// id is one of the relabelled host items, becomes the plug-in's command. The first entry of
// the target window that knows the id decides.
MessageDecision decideMessage(int code, uint32_t removeFlag, uint32_t message, uintptr_t target,
                              uintptr_t wParam, HookEntries entries, HookCommandIds ids) noexcept;

struct KeyDecision {
    bool consume;          // the event never reaches the window
    bool post;             // post WM_COMMAND(commandId, 0) to postTarget
    uintptr_t postTarget;
    uint32_t commandId;
};

// The keyboard hook: Alt+L and Alt+P while the focus lies in a registered window (or in the
// folder window of a registered view) are consumed, press, repeat and release alike. A first
// press posts the command, as the window's first own entry says: Alt+L from a folder window
// to itself, from a view window to its folder window; Alt+P only from a folder window.
// keyFlags are the key-message flags (bit 29 Alt, bit 30 previous state, bit 31 release,
// bits 0..15 repeat count); topLevel is the top-level window of the focus, 0 for none.
// Whether a key event can be Alt+L or Alt+P at all. Only such events need the focus window
// (a call into the system) and the list; for every other one decideKey passes the event on.
bool isHotkeyCandidate(int code, uint32_t virtualKey, uint32_t keyFlags) noexcept;

KeyDecision decideKey(int code, uint32_t virtualKey, uint32_t keyFlags, uintptr_t topLevel,
                      HookEntries entries, HookCommandIds ids) noexcept;

}  // namespace corvane
