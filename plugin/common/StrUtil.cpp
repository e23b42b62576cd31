#include "plugin/common/StrUtil.h"

#include <cstdio>
#include <cstring>

namespace corvane {

bool copyString(char* dst, size_t cap, const char* src) {
    if (cap == 0)
        return false;
    if (!src) {
        dst[0] = '\0';
        return true;
    }
    size_t len = strnlen(src, cap);
    if (len < cap) {
        memcpy(dst, src, len + 1);
        return true;
    }
    memcpy(dst, src, cap - 1);
    dst[cap - 1] = '\0';
    return false;
}

bool copyBytes(char* dst, size_t cap, const char* src, size_t count) {
    if (cap == 0)
        return false;
    size_t len = src ? strnlen(src, count) : 0;
    bool whole = len < cap;
    if (!whole)
        len = cap - 1;
    if (len)
        memcpy(dst, src, len);
    dst[len] = '\0';
    return whole;
}

bool formatStringV(char* dst, size_t cap, const char* format, va_list args) {
    if (cap == 0)
        return false;
    int n = vsnprintf(dst, cap, format, args);
    if (n < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<size_t>(n) < cap;
}

bool formatString(char* dst, size_t cap, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool whole = formatStringV(dst, cap, format, args);
    va_end(args);
    return whole;
}

int compareNoCase(const char* a, const char* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        int ca = foldAscii(static_cast<unsigned char>(a[i]));
        int cb = foldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int compareNoCase(const char* a, const char* b) {
    return compareNoCase(a, b, static_cast<size_t>(-1));
}

}  // namespace corvane

namespace corvane {

size_t sjisFolderLength(const char* path) {
    size_t folder = 0;
    for (size_t i = 0; path && path[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (isSjisLeadByte(c) && path[i + 1]) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/')
            folder = i + 1;
    }
    return folder;
}

}  // namespace corvane
