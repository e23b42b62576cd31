// corvane-check lint: an account's "corvane.ini" read as the plug-in reads it, and everything
// a user would want to know before a run. Platform-free apart from the disk access.
#pragma once

#include <string>

#include "plugin/rules/RuleDescription.h"
#include "tools/check/AccountRules.h"
#include "tools/check/Findings.h"

namespace corvane {

struct LintResult {
    AccountRules rules;
    Findings findings;
};

LintResult lintAccount(const std::string& root, const std::string& account);

// The lint findings about the rule file alone (load stops, keys never read, options) and
// about each loaded rule (destination, pattern, round trip); root is used for destinations.
void lintRulesFile(const AccountRules& rules, const std::string& root, Findings& findings);

std::string renderLintText(const LintResult& result);
std::string renderLintJson(const LintResult& result);

}  // namespace corvane
