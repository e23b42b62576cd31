// Compile-time argument byte count of a function type under the 32-bit stdcall convention,
// where every argument occupies a multiple of four bytes. Compared with the number that a
// decorated name carries, it catches the one mistake that would corrupt the stack on a real
// 32-bit host and that a 64-bit test run never shows.
#pragma once

#include <cstddef>

namespace corvane {

template <typename Signature>
struct StdcallBytes;

template <typename Result, typename... Args>
struct StdcallBytes<Result(Args...)> {
    static constexpr size_t value = (size_t{0} + ... + ((sizeof(Args) + 3) / 4 * 4));
};

constexpr bool kIs32Bit = sizeof(void*) == 4;

}  // namespace corvane

// Declares Name##Signature (plain function type) and Name##Fn (WINAPI pointer), and checks on
// 32-bit builds that the argument bytes equal the count that the decorated name carries.
#define CORVANE_STDCALL_TYPES(name, bytes, result, params)                                  \
    typedef result name##Signature params;                                                  \
    typedef result(WINAPI* name##Fn) params;                                                \
    static_assert(!::corvane::kIs32Bit || ::corvane::StdcallBytes<name##Signature>::value == \
                                              (bytes),                                      \
                  #name ": argument bytes differ from its decorated name");
