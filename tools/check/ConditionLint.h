// What lint says of a rule's conditions taken together: two that cannot both hold, a rule that
// no message can match, and a negated condition that on its own takes nearly all mail.
// Platform-free.
#pragma once

#include <string>
#include <vector>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

struct ConditionFinding {
    std::string code;  // "conditions-conflict", "never-matches", "negation-broad"
    std::string message;
    bool warning = false;  // a warning rather than a problem
};

// Findings for the rule at position number (1-based) of count rules. A one-condition rule
// gives none: the rule checks of lint cover it.
std::vector<ConditionFinding> lintRuleConditions(const DistributeRule& rule, int number, size_t count);

}  // namespace corvane
