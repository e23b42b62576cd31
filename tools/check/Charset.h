// The checker's output on the console. The platform's converter does the work: iconv on Linux;
// on Windows the text stays Shift-JIS.
#pragma once

#include <string>

namespace corvane {

// Shift-JIS text as the console shows it: UTF-8 on Linux, unchanged on Windows. Bytes that do
// not convert come out as \xNN.
std::string toConsoleText(const std::string& shiftJis);

}  // namespace corvane
