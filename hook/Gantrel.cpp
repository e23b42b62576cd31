// gantrel.dll: a message hook that turns three relabelled host menu items into the plug-in's
// commands, and a keyboard hook that gives Alt+L and Alt+P in the registered host windows.
// The hooks are system-wide, so the system maps this library into every process of the
// desktop; copies there hold an empty list and only pass events on. The library is therefore
// freestanding: no C or C++ runtime, no static constructors, no thread-local data, nothing
// that runs at start-up but the entry point below, and imports of kernel32 and user32 only.
#include <windows.h>

#include <stdint.h>

#include "contract/StdcallBytes.h"
#include "hook/HookDecisions.h"

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "contract/HookExports.h"
#undef HOOK_EXPORT

namespace corvane {
namespace {

// The registered windows, in heap storage that grows by doubling. The window thread appends
// and removes; the hook procedures read on whichever thread retrieves a message or key event.
// Readers share a slim reader/writer lock (no kernel call while nobody writes) and look at the
// count first, so that an empty list, as in every other process of the desktop, costs one
// atomic load per event. Every member starts as zero, so no constructor has to run.
class HookWindowList {
public:
    bool empty() const { return __atomic_load_n(&count_, __ATOMIC_ACQUIRE) == 0; }

    // Returns the new entry count; when the storage cannot grow, nothing is appended.
    uint32_t append(HookEntry entry) {
        AcquireSRWLockExclusive(&lock_);
        uint32_t count = count_;
        if (count < capacity_ || grow()) {
            entries_[count] = entry;
            publishCount(++count);
        }
        ReleaseSRWLockExclusive(&lock_);
        return count;
    }

    // Removes the first entry of the window; later entries move forward.
    uint32_t remove(uintptr_t window) {
        AcquireSRWLockExclusive(&lock_);
        uint32_t count = count_;
        uint32_t i = 0;
        while (i < count && entries_[i].window != window)
            ++i;
        if (i < count) {
            for (; i + 1 < count; ++i)
                entries_[i] = entries_[i + 1];
            publishCount(--count);
        }
        ReleaseSRWLockExclusive(&lock_);
        return count;
    }

    // Runs decide over the entries while no writer can change them.
    template <typename Decide>
    auto read(Decide decide) const {
        AcquireSRWLockShared(&lock_);
        auto result = decide(HookEntries{entries_, count_});
        ReleaseSRWLockShared(&lock_);
        return result;
    }

    void release() {
        AcquireSRWLockExclusive(&lock_);
        if (entries_ != nullptr)
            HeapFree(GetProcessHeap(), 0, entries_);
        entries_ = nullptr;
        capacity_ = 0;
        publishCount(0);
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    // Doubles the storage (8 entries at first); the old storage stays as it is on failure.
    bool grow() {
        constexpr uint32_t kFirstCapacity = 8;
        constexpr uint32_t kMaxCapacity = 0x10000000;  // far beyond any host, far from overflow
        const uint32_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
        if (capacity > kMaxCapacity)
            return false;
        const SIZE_T bytes = static_cast<SIZE_T>(capacity) * sizeof(HookEntry);
        void* storage = entries_ == nullptr ? HeapAlloc(GetProcessHeap(), 0, bytes)
                                            : HeapReAlloc(GetProcessHeap(), 0, entries_, bytes);
        if (storage == nullptr)
            return false;
        entries_ = static_cast<HookEntry*>(storage);
        capacity_ = capacity;
        return true;
    }

    void publishCount(uint32_t count) { __atomic_store_n(&count_, count, __ATOMIC_RELEASE); }

    mutable SRWLOCK lock_;
    HookEntry* entries_;
    uint32_t capacity_;
    uint32_t count_;
};

HookWindowList windowList;
uint32_t distributeCommandId;
uint32_t undoCommandId;
HHOOK messageHook;
HHOOK keyboardHook;
HINSTANCE libraryInstance;
const char kVersion[] = "1.0";

HookCommandIds commandIds() {
    return HookCommandIds{__atomic_load_n(&distributeCommandId, __ATOMIC_RELAXED),
                          __atomic_load_n(&undoCommandId, __ATOMIC_RELAXED)};
}

HHOOK loadHook(const HHOOK& handle) { return __atomic_load_n(&handle, __ATOMIC_ACQUIRE); }

void storeHook(HHOOK& handle, HHOOK value) { __atomic_store_n(&handle, value, __ATOMIC_RELEASE); }

uintptr_t handleValue(HWND window) { return reinterpret_cast<uintptr_t>(window); }

HWND windowOf(uintptr_t value) { return reinterpret_cast<HWND>(value); }

void postCommand(uintptr_t target, uint32_t commandId) {
    PostMessageA(windowOf(target), WM_COMMAND, static_cast<WPARAM>(commandId), 0);
}

LRESULT CALLBACK messageHookProc(int code, WPARAM removeFlag, LPARAM lParam) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message != nullptr && !windowList.empty()) {
        const uint32_t remove = removeFlag == PM_REMOVE ? kRemoveFlag : 0;
        const MessageDecision decision = windowList.read([&](HookEntries entries) {
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
    return CallNextHookEx(loadHook(messageHook), code, removeFlag, lParam);
}

// The top-level window that holds the calling thread's focus; owned pop-ups such as dialogs
// are windows of their own, not part of their owner.
uintptr_t focusTopLevel() {
    HWND focus = GetFocus();
    return focus ? handleValue(GetAncestor(focus, GA_ROOT)) : 0;
}

// In the host's process every other key passes without the focus look-up, which under some
// systems is a round trip to the window server.
LRESULT CALLBACK keyboardHookProc(int code, WPARAM virtualKey, LPARAM keyFlags) {
    const uint32_t key = static_cast<uint32_t>(virtualKey);
    const uint32_t flags = static_cast<uint32_t>(keyFlags);
    if (code == HC_ACTION && !windowList.empty() && isHotkeyCandidate(code, key, flags)) {
        const uintptr_t topLevel = focusTopLevel();
        const KeyDecision decision = windowList.read([&](HookEntries entries) {
            return decideKey(code, key, flags, topLevel, entries, commandIds());
        });
        if (decision.post)
            postCommand(decision.postTarget, decision.commandId);
        if (decision.consume)
            return 1;
    }
    return CallNextHookEx(loadHook(keyboardHook), code, virtualKey, keyFlags);
}

bool installHook(HHOOK& handle, int type, HOOKPROC procedure) {
    if (loadHook(handle) == nullptr)
        storeHook(handle, SetWindowsHookExA(type, procedure, libraryInstance, 0));
    return loadHook(handle) != nullptr;
}

void removeHook(HHOOK& handle) {
    HHOOK installed = loadHook(handle);
    if (installed != nullptr && UnhookWindowsHookEx(installed))
        storeHook(handle, nullptr);
}

template <typename A, typename B>
constexpr bool kSameType = false;
template <typename A>
constexpr bool kSameType<A, A> = true;

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
    __atomic_store_n(&distributeCommandId, static_cast<uint32_t>(distributeId), __ATOMIC_RELAXED);
    __atomic_store_n(&undoCommandId, static_cast<uint32_t>(undoId), __ATOMIC_RELAXED);
    if (!installHook(messageHook, WH_GETMESSAGE, messageHookProc))
        return FALSE;
    installHook(keyboardHook, WH_KEYBOARD, keyboardHookProc);
    return TRUE;
}

// A hook that cannot be removed keeps its handle, and the result is false.
BOOL WINAPI endHook() {
    removeHook(messageHook);
    removeHook(keyboardHook);
    return loadHook(messageHook) == nullptr && loadHook(keyboardHook) == nullptr;
}

int WINAPI removeHookWnd(HWND window) {
    return static_cast<int>(windowList.remove(handleValue(window)));
}

const char* WINAPI getVersion() { return kVersion; }

// The library's entry point, in place of a C runtime's start-up (the link names it).
BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH)
        libraryInstance = instance;
    // On FreeLibrary only: at process exit other threads may have died holding the lock.
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        windowList.release();
    return TRUE;
}

}  // extern "C"

#define HOOK_EXPORT(name, bytes, result, params)                      \
    static_assert(kSameType<decltype(&::name), name##Fn>,             \
                  #name ": definition differs from the export list");
#include "contract/HookExports.h"
#undef HOOK_EXPORT
