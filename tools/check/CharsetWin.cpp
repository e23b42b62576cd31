#include "tools/check/Charset.h"

namespace corvane {

std::string toConsoleText(const std::string& shiftJis) {
    return shiftJis;
}

}  // namespace corvane
