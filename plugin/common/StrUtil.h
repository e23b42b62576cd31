// Bounded text helpers shared by every part of the plug-in. Platform-free.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace corvane {

// Copies src into dst (capacity cap, cap > 0) and always terminates it. Returns false when src
// did not fit whole; dst then holds its first cap - 1 bytes. A null src copies as empty.
bool copyString(char* dst, size_t cap, const char* src);

template <size_t N>
bool copyString(char (&dst)[N], const char* src) {
    return copyString(dst, N, src);
}

// Copies at most count bytes of src (stopping at its NUL) into dst, terminated. Returns false
// when the bytes did not fit whole.
bool copyBytes(char* dst, size_t cap, const char* src, size_t count);

template <size_t N>
bool copyBytes(char (&dst)[N], const char* src, size_t count) {
    return copyBytes(dst, N, src, count);
}

// vsnprintf into a fixed buffer, always terminated. Returns false when the text was cut.
bool formatStringV(char* dst, size_t cap, const char* format, va_list args);

#if defined(__GNUC__)
#define CORVANE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define CORVANE_PRINTF(f, a)
#endif

bool formatString(char* dst, size_t cap, const char* format, ...) CORVANE_PRINTF(3, 4);

template <size_t N>
bool formatBuffer(char (&dst)[N], const char* format, ...) CORVANE_PRINTF(2, 3);

template <size_t N>
bool formatBuffer(char (&dst)[N], const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool whole = formatStringV(dst, N, format, args);
    va_end(args);
    return whole;
}

// ASCII-only case folding, the folding of _stricmp and tolower in the "C" locale: only A-Z
// and a-z change, every other byte (Shift-JIS bytes included) compares as it is.
inline unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// _strnicmp and _stricmp with that folding; results are <0, 0 or >0.
int compareNoCase(const char* a, const char* b, size_t count);
int compareNoCase(const char* a, const char* b);

}  // namespace corvane

namespace corvane {

// Shift-JIS lead bytes: the first byte of a double-byte character.
inline bool isSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the folder part of a path, up to and including its last '\' or '/', reading the
// path as Shift-JIS so that a second byte 0x5C inside a character is not taken for a
// separator. 0 when the path has no separator.
size_t sjisFolderLength(const char* path);

}  // namespace corvane
