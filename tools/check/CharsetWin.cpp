#include "tools/check/Charset.h"

#include <windows.h>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

UINT codePageOf(const std::string& charset) {
    std::string name;
    for (char c : charset)
        name += static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    if (name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "x-sjis" || name == "windows-31j" ||
        name == "cp932" || name == "ms_kanji")
        return 932;
    if (name == "utf-8" || name == "utf8")
        return CP_UTF8;
    if (name == "euc-jp" || name == "x-euc-jp")
        return 20932;
    if (name == "us-ascii")
        return 20127;
    if (name == "iso-8859-1" || name == "latin1")
        return 28591;
    return 0;
}

}  // namespace

bool convertToShiftJis(const std::string& charset, const std::string& text, std::string& out) {
    UINT codePage = codePageOf(charset);
    if (codePage == 0)
        return false;
    out.clear();
    if (text.empty())
        return true;
    int wide = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &buffer[0], wide);
    int bytes = WideCharToMultiByte(932, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(932, 0, buffer.data(), wide, &out[0], bytes, nullptr, nullptr);
    return true;
}

std::string toConsoleText(const std::string& shiftJis) {
    return shiftJis;
}

}  // namespace corvane
