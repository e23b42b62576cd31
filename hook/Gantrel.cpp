// gantrel.dll: a message hook that turns three relabelled host menu items into the plug-in's
// commands, and a keyboard hook that gives Alt+L and Alt+P in the registered host windows.
// The hooks are system-wide; copies mapped into other processes hold an empty list and only
// pass events on.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "hook/HookDecisions.h"
#include "plugin/hostapi/StdcallBytes.h"

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "hook/HookExports.h"
#undef HOOK_EXPORT

namespace corvane {
namespace {

// The registered windows. The window thread appends and removes; the hook procedures read on
// whichever thread retrieves a message or key event. Readers share a slim reader/writer lock
// (no kernel call while nobody writes) and look at the count first, so that an empty list,
// as in every other process of the desktop, costs one atomic load per event.
class HookWindowList {
public:
    bool empty() const noexcept { return count_.load(std::memory_order_acquire) == 0; }

    // Returns the new entry count; when the storage cannot grow, nothing is appended.
    uint32_t append(HookEntry entry) noexcept {
        AcquireSRWLockExclusive(&lock_);
        try {
            entries_.push_back(entry);
        } catch (...) {
        }
        const uint32_t count = publishCount();
        ReleaseSRWLockExclusive(&lock_);
        return count;
    }

    // Removes the first entry of the window; later entries move forward.
    uint32_t remove(uintptr_t window) noexcept {
        AcquireSRWLockExclusive(&lock_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->window == window) {
                entries_.erase(it);
                break;
            }
        }
        const uint32_t count = publishCount();
        ReleaseSRWLockExclusive(&lock_);
        return count;
    }

    // Runs decide over the entries while no writer can change them.
    template <typename Decide>
    auto read(Decide decide) const noexcept {
        AcquireSRWLockShared(&lock_);
        auto result = decide(HookEntries{entries_.data(), entries_.size()});
        ReleaseSRWLockShared(&lock_);
        return result;
    }

    void release() noexcept {
        AcquireSRWLockExclusive(&lock_);
        std::vector<HookEntry>().swap(entries_);
        publishCount();
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    uint32_t publishCount() noexcept {
        const uint32_t count = static_cast<uint32_t>(entries_.size());
        count_.store(count, std::memory_order_release);
        return count;
    }

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<HookEntry> entries_;
    std::atomic<uint32_t> count_{0};
};

HookWindowList windowList;
std::atomic<uint32_t> distributeCommandId{0};
std::atomic<uint32_t> undoCommandId{0};
std::atomic<HHOOK> messageHook{nullptr};
std::atomic<HHOOK> keyboardHook{nullptr};
HINSTANCE libraryInstance = nullptr;
const char kVersion[] = "1.0";

HookCommandIds commandIds() noexcept {
    return HookCommandIds{distributeCommandId.load(std::memory_order_relaxed),
                          undoCommandId.load(std::memory_order_relaxed)};
}

uintptr_t handleValue(HWND window) noexcept { return reinterpret_cast<uintptr_t>(window); }

HWND windowOf(uintptr_t value) noexcept { return reinterpret_cast<HWND>(value); }

void postCommand(uintptr_t target, uint32_t commandId) noexcept {
    PostMessageA(windowOf(target), WM_COMMAND, static_cast<WPARAM>(commandId), 0);
}

LRESULT CALLBACK messageHookProc(int code, WPARAM removeFlag, LPARAM lParam) noexcept {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message != nullptr && !windowList.empty()) {
        const uint32_t remove = removeFlag == PM_REMOVE ? kRemoveFlag : 0;
        const MessageDecision decision = windowList.read([&](HookEntries entries) noexcept {
            return decideMessage(code, remove, message->message, handleValue(message->hwnd),
                                 message->wParam, entries, commandIds());
        });
        switch (decision.action) {
        case MessageAction::PostDistributeToOwner:
            postCommand(decision.postTarget, commandIds().distribute);
            message->message = WM_NULL;
            break;
        case MessageAction::ReplaceWParam:
            message->wParam = static_cast<WPARAM>(decision.newWParam);
            break;
        case MessageAction::None:
            break;
        }
    }
    return CallNextHookEx(messageHook.load(), code, removeFlag, lParam);
}

// The top-level window that holds the calling thread's focus; owned pop-ups such as dialogs
// are windows of their own, not part of their owner.
uintptr_t focusTopLevel() noexcept {
    HWND focus = GetFocus();
    return focus ? handleValue(GetAncestor(focus, GA_ROOT)) : 0;
}

LRESULT CALLBACK keyboardHookProc(int code, WPARAM virtualKey, LPARAM keyFlags) noexcept {
    if (code == HC_ACTION && !windowList.empty()) {
        const uintptr_t topLevel = focusTopLevel();
        const KeyDecision decision = windowList.read([&](HookEntries entries) noexcept {
            return decideKey(code, static_cast<uint32_t>(virtualKey),
                             static_cast<uint32_t>(keyFlags), topLevel, entries, commandIds());
        });
        if (decision.post)
            postCommand(decision.postTarget, decision.commandId);
        if (decision.consume)
            return 1;
    }
    return CallNextHookEx(keyboardHook.load(), code, virtualKey, keyFlags);
}

bool installHook(std::atomic<HHOOK>& handle, int type, HOOKPROC procedure) noexcept {
    if (handle.load() == nullptr)
        handle.store(SetWindowsHookExA(type, procedure, libraryInstance, 0));
    return handle.load() != nullptr;
}

void removeHook(std::atomic<HHOOK>& handle) noexcept {
    HHOOK installed = handle.load();
    if (installed != nullptr && UnhookWindowsHookEx(installed))
        handle.store(nullptr);
}

}  // namespace
}  // namespace corvane

using namespace corvane;

extern "C" {

int WINAPI appendHookWnd(HWND owner, HWND window) {
    return static_cast<int>(windowList.append(HookEntry{handleValue(owner), handleValue(window)}));
}

// Stores the ids every time; installs the message hook and then the keyboard hook where they
// are not installed yet.
BOOL WINAPI beginHook(int distributeId, int undoId) {
    distributeCommandId.store(static_cast<uint32_t>(distributeId));
    undoCommandId.store(static_cast<uint32_t>(undoId));
    if (!installHook(messageHook, WH_GETMESSAGE, messageHookProc))
        return FALSE;
    installHook(keyboardHook, WH_KEYBOARD, keyboardHookProc);
    return TRUE;
}

// A hook that cannot be removed keeps its handle, and the result is false.
BOOL WINAPI endHook() {
    removeHook(messageHook);
    removeHook(keyboardHook);
    return messageHook.load() == nullptr && keyboardHook.load() == nullptr;
}

int WINAPI removeHookWnd(HWND window) {
    return static_cast<int>(windowList.remove(handleValue(window)));
}

const char* WINAPI getVersion() { return kVersion; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH)
        libraryInstance = instance;
    // On FreeLibrary only: at process exit other threads may have died holding the lock.
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        windowList.release();
    return TRUE;
}

}  // extern "C"

#define HOOK_EXPORT(name, bytes, result, params)                      \
    static_assert(std::is_same_v<decltype(&::name), name##Fn>,        \
                  #name ": definition differs from the export list");
#include "hook/HookExports.h"
#undef HOOK_EXPORT
