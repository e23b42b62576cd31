// standhost.exe: the stand-in host program.
//   standhost [--script FILE] [--report FILE]
//   standhost --playground [--mailbox DIR]
// Without a script it runs the start-up check: load the plug-in beside it, start it, show the
// about box, clean up. The report goes to standard output and, if asked, to a file. The
// playground is the host used by hand, on a mailbox root or a fresh sample mailbox.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/Mailbox.h"
#include "host/Playground.h"
#include "host/Script.h"

namespace {

const char kDefaultScript[] =
    "account Main\n"
    "load\n"
    "name\n"
    "startup\n"
    "about ok\n"
    "cleanup\n"
    "unload\n";

std::string exeDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::string scriptText = kDefaultScript;
    std::string reportPath;
    bool playground = false;
    std::string mailboxDir;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--playground") {
            playground = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        ++i;
        if (option == "--mailbox") {
            mailboxDir = argv[i];
        } else if (option == "--script") {
            bool exists = false;
            scriptText = standin::Mailbox::readFile(argv[i], &exists);
            if (!exists) {
                fprintf(stderr, "standhost: cannot read %s\n", argv[i]);
                return 2;
            }
        } else if (option == "--report") {
            reportPath = argv[i];
        }
    }
    if (playground)
        return standin::runPlayground(exeDirectory(), mailboxDir);
    standin::ScriptResult result = standin::runScript(standin::splitLines(scriptText), exeDirectory());
    std::string report;
    for (const std::string& line : result.report)
        report += line + "\n";
    report += result.ok ? "result: ok\n" : "result: FAILED\n";
    fwrite(report.data(), 1, report.size(), stdout);
    if (!reportPath.empty())
        standin::Mailbox::writeFile(reportPath, report);
    return result.ok ? 0 : 1;
}
