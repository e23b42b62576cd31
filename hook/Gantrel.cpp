// gantrel.dll: a message hook that turns three relabelled host menu items into the plug-in's
// commands, and a keyboard hook that gives Alt+L and Alt+P in the registered host windows.
// The hooks are installed for the host's own threads only: the one that begins them and each
// thread that owns a window appended while they run. Hooks for the whole desktop would make the
// system map this library into every process that gets input, and route every program's keys
// through the host's window thread. The library is still freestanding, so that nothing runs
// in the host but what it asks for: no C or C++ runtime, no static constructors, no
// thread-local data, nothing at start-up but the entry point below, and imports of kernel32
// and user32 only.
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
// count first, so that an empty list costs one atomic load per event. Every member starts as
// zero, so no constructor has to run.
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

#ifdef GANTREL_DESKTOP_HOOKS
// A test build only: the hooks of _beginHook@8 cover every thread of the desktop, so that the
// tests can show what the per-thread hooks keep out of other processes.
constexpr bool kDesktopHooks = true;
#else
constexpr bool kDesktopHooks = false;
#endif

// The hooks installed for one thread. The thread handle keeps the thread's id from being
// reused and tells whether the thread has ended, which takes its hooks with it.
struct ThreadHooks {
    bool used;
    DWORD thread;          // 0 for the whole desktop, which no hook procedure runs as
    HANDLE threadHandle;   // none for the whole desktop
    HHOOK messageHook;
    HHOOK keyboardHook;
};

// The threads that have hooks, in a fixed table: a host has a window thread or a few. Begin,
// append and end change it under the lock; the hook procedures look up their own thread's
// handle without it, since a slot's thread id changes only while it holds no hook.
class HookedThreads {
public:
    // The hook of one kind installed for the calling thread, or none.
    HHOOK find(HHOOK ThreadHooks::*kind) const {
        const DWORD thread = GetCurrentThreadId();
        for (const ThreadHooks& slot : slots_)
            if (__atomic_load_n(&slot.thread, __ATOMIC_ACQUIRE) == thread)
                return __atomic_load_n(&(slot.*kind), __ATOMIC_ACQUIRE);
        return nullptr;
    }

    // Installs the message hook and then the keyboard hook for the thread (0: the desktop)
    // where they are not installed yet; true when its message hook is installed.
    bool install(DWORD thread, HOOKPROC messageProc, HOOKPROC keyboardProc, HINSTANCE module) {
        AcquireSRWLockExclusive(&lock_);
        ThreadHooks* slot = slotOf(thread);
        bool installed = false;
        if (slot != nullptr) {
            installed = installHook(slot->messageHook, WH_GETMESSAGE, messageProc, module, thread);
            if (installed)
                installHook(slot->keyboardHook, WH_KEYBOARD, keyboardProc, module, thread);
            releaseIfEmpty(*slot);
        }
        ReleaseSRWLockExclusive(&lock_);
        return installed;
    }

    // Removes every hook; true when none is left. A hook that cannot be removed keeps its
    // handle, unless its thread has ended: the system removed it with the thread.
    bool removeAll() {
        AcquireSRWLockExclusive(&lock_);
        bool allGone = true;
        for (ThreadHooks& slot : slots_) {
            if (!slot.used)
                continue;
            removeHook(slot, slot.messageHook);
            removeHook(slot, slot.keyboardHook);
            allGone = releaseIfEmpty(slot) && allGone;
        }
        ReleaseSRWLockExclusive(&lock_);
        return allGone;
    }

private:
    static constexpr int kSlots = 32;

    // The thread's slot, or a free one taken for it; none when the table is full or the
    // thread cannot be opened.
    ThreadHooks* slotOf(DWORD thread) {
        ThreadHooks* free = nullptr;
        for (ThreadHooks& slot : slots_) {
            if (slot.used && slot.thread == thread)
                return &slot;
            if (!slot.used && free == nullptr)
                free = &slot;
        }
        if (free == nullptr)
            return nullptr;
        HANDLE handle = nullptr;
        if (thread != 0 && (handle = OpenThread(SYNCHRONIZE, FALSE, thread)) == nullptr)
            return nullptr;
        free->used = true;
        free->threadHandle = handle;
        __atomic_store_n(&free->thread, thread, __ATOMIC_RELEASE);
        return free;
    }

    static bool installHook(HHOOK& handle, int type, HOOKPROC procedure, HINSTANCE module,
                            DWORD thread) {
        if (handle == nullptr)
            __atomic_store_n(&handle, SetWindowsHookExA(type, procedure, module, thread),
                             __ATOMIC_RELEASE);
        return handle != nullptr;
    }

    static bool threadEnded(const ThreadHooks& slot) {
        return slot.threadHandle != nullptr &&
               WaitForSingleObject(slot.threadHandle, 0) == WAIT_OBJECT_0;
    }

    static void removeHook(const ThreadHooks& slot, HHOOK& handle) {
        if (handle != nullptr && (UnhookWindowsHookEx(handle) || threadEnded(slot)))
            __atomic_store_n(&handle, nullptr, __ATOMIC_RELEASE);
    }

    // Frees the slot when it holds no hook; false when it still holds one.
    static bool releaseIfEmpty(ThreadHooks& slot) {
        if (slot.messageHook != nullptr || slot.keyboardHook != nullptr)
            return false;
        __atomic_store_n(&slot.thread, 0, __ATOMIC_RELEASE);
        if (slot.threadHandle != nullptr)
            CloseHandle(slot.threadHandle);
        slot.threadHandle = nullptr;
        slot.used = false;
        return true;
    }

    SRWLOCK lock_;
    ThreadHooks slots_[kSlots];
};

HookWindowList windowList;
HookedThreads hookedThreads;
bool hooking;  // from _beginHook@8 to _endHook@0: appended windows' threads get hooks too
uint32_t distributeCommandId;
uint32_t undoCommandId;
HINSTANCE libraryInstance;
const char kVersion[] = "1.0";

HookCommandIds commandIds() {
    return HookCommandIds{__atomic_load_n(&distributeCommandId, __ATOMIC_RELAXED),
                          __atomic_load_n(&undoCommandId, __ATOMIC_RELAXED)};
}

uintptr_t handleValue(HWND window) { return reinterpret_cast<uintptr_t>(window); }

HWND windowOf(uintptr_t value) { return reinterpret_cast<HWND>(value); }

void postCommand(uintptr_t target, uint32_t commandId) {
    PostMessageA(windowOf(target), WM_COMMAND, static_cast<WPARAM>(commandId), 0);
}

LRESULT CALLBACK messageHookProc(int code, WPARAM removeFlag, LPARAM lParam) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    // Only a WM_COMMAND being removed can change; every other message passes without the lock.
    if (code == HC_ACTION && removeFlag == PM_REMOVE && message != nullptr &&
        message->message == WM_COMMAND && !windowList.empty()) {
        const MessageDecision decision = windowList.read([&](HookEntries entries) {
            return decideMessage(code, kRemoveFlag, message->message, handleValue(message->hwnd),
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
    return CallNextHookEx(hookedThreads.find(&ThreadHooks::messageHook), code, removeFlag, lParam);
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
    return CallNextHookEx(hookedThreads.find(&ThreadHooks::keyboardHook), code, virtualKey,
                          keyFlags);
}

bool installHooks(DWORD thread) {
    return hookedThreads.install(thread, messageHookProc, keyboardHookProc, libraryInstance);
}

// The thread that owns a window of this process; 0 for a window of another process or none.
DWORD threadInThisProcess(HWND window) {
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() ? thread : 0;
}

template <typename A, typename B>
constexpr bool kSameType = false;
template <typename A>
constexpr bool kSameType<A, A> = true;

}  // namespace
}  // namespace corvane

using namespace corvane;

extern "C" {

// While the hooks run, a window of another thread of this process brings hooks to its thread.
int WINAPI appendHookWnd(HWND owner, HWND window) {
    const uint32_t count = windowList.append(HookEntry{handleValue(owner), handleValue(window)});
    if (__atomic_load_n(&hooking, __ATOMIC_ACQUIRE) && !kDesktopHooks) {
        if (const DWORD thread = threadInThisProcess(window))
            installHooks(thread);
    }
    return static_cast<int>(count);
}

// Stores the ids every time; installs the message hook and then the keyboard hook for the
// calling thread where they are not installed yet.
BOOL WINAPI beginHook(int distributeId, int undoId) {
    __atomic_store_n(&distributeCommandId, static_cast<uint32_t>(distributeId), __ATOMIC_RELAXED);
    __atomic_store_n(&undoCommandId, static_cast<uint32_t>(undoId), __ATOMIC_RELAXED);
    __atomic_store_n(&hooking, true, __ATOMIC_RELEASE);
    return installHooks(kDesktopHooks ? 0 : GetCurrentThreadId()) ? TRUE : FALSE;
}

// Removes the hooks of every thread; a hook that cannot be removed keeps its handle, and the
// result is false.
BOOL WINAPI endHook() {
    __atomic_store_n(&hooking, false, __ATOMIC_RELEASE);
    return hookedThreads.removeAll() ? TRUE : FALSE;
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
