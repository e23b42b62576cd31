// corvane-check: previews and explains an account's sorting rules outside the host.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/check/Checker.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out, err;
    int code = corvane::runCheckCommand(args, out, err);
    std::string text = corvane::toConsoleText(out);
    std::string errors = corvane::toConsoleText(err);
    fwrite(text.data(), 1, text.size(), stdout);
    fwrite(errors.data(), 1, errors.size(), stderr);
    return code;
}
