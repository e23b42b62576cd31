// The command line of corvane-check: lint, preview and explain. Platform-free: the caller
// prints out and err (Shift-JIS texts) through toConsoleText.
#pragma once

#include <string>
#include <vector>

namespace corvane {

// Runs one command; returns the exit code (ExitCode).
int runCheckCommand(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace corvane
