// Runs a stand-in host script: one command per line, words separated by blanks, '#' starts a
// comment. Every step and every box the robot saw goes into the report.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace standin {

struct ScriptResult {
    bool ok = true;
    std::vector<std::string> report;
};

ScriptResult runScript(const std::vector<std::string>& lines, const std::string& exeDir);

std::vector<std::string> splitLines(const std::string& text);

}  // namespace standin
