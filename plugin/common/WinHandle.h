// Small owners of Win32 handles: one owner, no copies, released on scope exit.
#pragma once

#include <windows.h>

#include <utility>

namespace corvane {

template <typename Handle, typename Traits>
class UniqueWin {
public:
    UniqueWin() = default;
    explicit UniqueWin(Handle h) : handle_(h) {}
    ~UniqueWin() { reset(); }
    UniqueWin(const UniqueWin&) = delete;
    UniqueWin& operator=(const UniqueWin&) = delete;
    UniqueWin(UniqueWin&& other) noexcept : handle_(other.release()) {}
    UniqueWin& operator=(UniqueWin&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return Traits::valid(handle_); }
    explicit operator bool() const { return valid(); }
    Handle release() { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) {
        if (Traits::valid(handle_))
            Traits::close(handle_);
        handle_ = h;
    }

private:
    Handle handle_ = Traits::invalid();
};

struct KernelHandleTraits {
    static HANDLE invalid() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

struct ModuleTraits {
    static HMODULE invalid() { return nullptr; }
    static bool valid(HMODULE h) { return h != nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};

using UniqueHandle = UniqueWin<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueWin<HANDLE, FileHandleTraits>;
using UniqueModule = UniqueWin<HMODULE, ModuleTraits>;

// Looks up an export and converts it to the function pointer type the caller names.
template <typename Fn>
Fn procAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace corvane
