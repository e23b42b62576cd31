#include "hook/HookDecisions.h"

namespace corvane {

namespace {

constexpr uint32_t kAltBit = 1u << 29;
constexpr uint32_t kTransitionBits = 7u << 29;  // release, previous state, Alt

// Alt held, key not down before, not being released, and an odd repeat count.
bool isFirstAltPress(uint32_t keyFlags) {
    return (keyFlags & kTransitionBits) == kAltBit && (keyFlags & 1u) != 0;
}

KeyDecision passKey() { return KeyDecision{false, false, 0, 0}; }

KeyDecision consumeKey() { return KeyDecision{true, false, 0, 0}; }

KeyDecision consumeAndPost(uintptr_t target, uint32_t commandId) {
    return KeyDecision{true, true, target, commandId};
}

const HookEntry* findOwnEntry(uintptr_t window, HookEntries entries) {
    for (size_t i = 0; i < entries.count; ++i)
        if (entries.data[i].window == window)
            return &entries.data[i];
    return nullptr;
}

bool ownsAnEntry(uintptr_t window, HookEntries entries) {
    for (size_t i = 0; i < entries.count; ++i)
        if (entries.data[i].owner == window)
            return true;
    return false;
}

}  // namespace

MessageDecision decideMessage(int code, uint32_t removeFlag, uint32_t message, uintptr_t target,
                              uintptr_t wParam, HookEntries entries, HookCommandIds ids) noexcept {
    const MessageDecision none{MessageAction::None, 0, 0};
    if (code != kHookAction || removeFlag != kRemoveFlag || message != kCommandMessage)
        return none;
    const uint32_t item = static_cast<uint32_t>(wParam & 0xFFFFu);
    for (size_t i = 0; i < entries.count; ++i) {
        const HookEntry& entry = entries.data[i];
        if (entry.window != target)
            continue;
        switch (item) {
        case kViewDistributeItem:
            return MessageDecision{MessageAction::PostDistributeToOwner, entry.owner, 0};
        case kFolderUndoItem:
            return MessageDecision{MessageAction::ReplaceWParam, 0, ids.undo};
        case kFolderDistributeItem:
            return MessageDecision{MessageAction::ReplaceWParam, 0, ids.distribute};
        default:
            break;
        }
    }
    return none;
}

bool isHotkeyCandidate(int code, uint32_t virtualKey, uint32_t keyFlags) noexcept {
    return code == kHookAction && (virtualKey == kKeyL || virtualKey == kKeyP) &&
           (keyFlags & kAltBit) != 0;
}

KeyDecision decideKey(int code, uint32_t virtualKey, uint32_t keyFlags, uintptr_t topLevel,
                      HookEntries entries, HookCommandIds ids) noexcept {
    // Without a focus window nothing of the host is being typed in; an owner-less entry
    // must not match "no window".
    if (!isHotkeyCandidate(code, virtualKey, keyFlags) || topLevel == 0)
        return passKey();
    // The window's own entry decides, wherever it stands: a folder window that was registered
    // again (after an account change) comes after the entries of its views.
    const HookEntry* own = findOwnEntry(topLevel, entries);
    if (!own)
        return ownsAnEntry(topLevel, entries) ? consumeKey() : passKey();
    if (!isFirstAltPress(keyFlags))
        return consumeKey();
    if (virtualKey == kKeyL)
        return consumeAndPost(own->owner != 0 ? own->owner : topLevel, ids.distribute);
    if (own->owner != 0)
        return consumeKey();
    return consumeAndPost(topLevel, ids.undo);
}

}  // namespace corvane
