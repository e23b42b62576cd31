// What keeps a rule from doing what its author meant, found once for corvane-check (lint and
// preview) and for the marks of the plug-in's rules page: its destination is gone, its regular
// expression does not compile, its non-ASCII text cannot match while decoding is off, or, in one
// folder, earlier rules take every message it matches. Platform-free.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

// Oniguruma's message for a pattern compileRuleRegex refuses, or empty when it compiles.
std::string regexCompileError(const char* pattern, size_t length);
// The error of the rule's expression, empty for a rule that searches no expression.
std::string ruleRegexError(const DistributeRule& rule);

// Whether the rule's destination folder is missing; folderExists tells whether it is there.
bool destinationGone(const DistributeRule& rule, const std::function<bool(const char*)>& folderExists);

// Without decoding a non-ASCII pattern can match only raw Shift-JIS bytes, which modern mail
// rarely carries: its words arrive encoded.
bool matchesOnlyRawBytes(const DistributeRule& rule, bool decodeMime);

// A rule that matched messages but decided none is shadowed by the rules before it.
inline bool shadowedRule(int candidates, int hits) {
    return candidates > 0 && hits == 0;
}

// How often each rule matched the messages of a folder a run takes, and how often it decided.
class RuleTallies {
public:
    explicit RuleTallies(size_t rules) : candidates_(rules, 0), hits_(rules, 0) {}
    // One message: which rules match it (as MessageJudge::matchEach gives it).
    void add(const std::vector<bool>& matched);
    bool shadowed(size_t rule) const { return rule < hits_.size() && shadowedRule(candidates_[rule], hits_[rule]); }
    int candidates(size_t rule) const { return rule < candidates_.size() ? candidates_[rule] : 0; }

private:
    std::vector<int> candidates_;
    std::vector<int> hits_;
};

enum class RuleFault { None, Shadowed, DestinationGone, RegexError, RawBytesOnly };

struct RuleMark {
    RuleFault fault = RuleFault::None;
    std::string reason;  // one line for the user, Shift-JIS
};

// One mark per rule, the gravest fault first: a rule that cannot start a run, then one that
// matches nothing, then one that takes nothing in the folder (when tallies are given), then one
// that will hardly match.
std::vector<RuleMark> markRules(const RuleList& rules, bool decodeMime,
                                const std::function<bool(const char*)>& folderExists, const RuleTallies* tallies);

}  // namespace corvane
