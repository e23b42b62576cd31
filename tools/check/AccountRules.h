// An account's rules file as the checker reads it, the way the plug-in reads it. Platform-free
// apart from the disk access.
#pragma once

#include <memory>
#include <string>

#include "tools/check/ProfileFile.h"
#include "tools/check/RuleSet.h"

namespace corvane {

struct Findings;

// An account's "corvane.ini" read as the plug-in reads it. A file that cannot be read gives no
// rules and both options 0, and an unreadable finding.
struct AccountRules {
    std::string account;
    std::string iniPath;  // as the system names it
    bool read = false;
    std::unique_ptr<ProfileFile> file;
    RulesLoad load;
};

AccountRules readAccountRules(const std::string& root, const std::string& account, Findings& findings);

}  // namespace corvane
