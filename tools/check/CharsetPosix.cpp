#include "tools/check/Charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

// Runs the conversion; on an invalid or unconvertible sequence calls onError with the place
// and the byte count it consumed, or fails when onError is null.
template <typename OnError>
bool runIconv(const char* to, const char* from, const std::string& text, std::string& out, OnError onError) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (!onError(out, in, inLeft)) {
            ok = false;
            break;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (ok) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

std::string toConsoleText(const std::string& shiftJis) {
    std::string out;
    auto escapeByte = [](std::string& sink, char*& in, size_t& left) {
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(*in));
        sink += hex;
        ++in;
        --left;
        return true;
    };
    if (!runIconv("UTF-8", "CP932", shiftJis, out, escapeByte))
        return shiftJis;
    return out;
}

}  // namespace corvane
