// Character-set conversion for display only (the sorting never decodes anything). The
// platform's converter does the work: iconv on Linux, the Windows code pages on Windows.
#pragma once

#include <string>

namespace corvane {

// Converts text from the named MIME charset (ISO-2022-JP is decoded by TextDisplay itself) into Shift-JIS (CP932). False when the charset is
// unknown or the text does not convert; out is then undefined.
bool convertToShiftJis(const std::string& charset, const std::string& text, std::string& out);

// Shift-JIS text as the console shows it: UTF-8 on Linux, unchanged on Windows. Bytes that do
// not convert come out as \xNN.
std::string toConsoleText(const std::string& shiftJis);

}  // namespace corvane
