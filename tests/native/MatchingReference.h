// Reference implementations of rule matching, position by position and with the C string
// calls, as the matching is defined. The optimised code must agree with them on every input;
// the tests, the benchmarks and the fuzz targets compare against them.
#pragma once

// GoogleTest brings in the C library's <regex.h>, whose struct re_registers clashes with the
// one Oniguruma declares; Oniguruma's region type is renamed here. Include this header before
// GoogleTest.
#define re_registers onig_re_registers
#include <oniguruma.h>
#undef re_registers

#include <cstring>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/DistributeRule.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {
namespace reference {

// A rule as the tests and benchmarks build it.
inline DistributeRule makeRule(int target, const std::string& searchText, bool matchCase, bool useRegex = false,
                               const char* headerName = "") {
    DistributeRule rule;
    rule.searchTarget = target;
    copyString(rule.searchText, searchText.c_str());
    copyString(rule.headerName, headerName);
    rule.matchCase = matchCase;
    rule.useRegex = useRegex;
    return rule;
}

inline const char* caseFoldFindLiteral(const char* text, const char* pattern) {
    if (!*text || !*pattern)
        return nullptr;
    size_t n = strlen(pattern);
    for (const char* place = text; *place; ++place)
        if (compareNoCase(place, pattern, n) == 0)
            return place;
    return nullptr;
}

inline bool plainMatchLiteral(const char* text, const DistributeRule& rule) {
    std::string copy(rule.searchText);
    char* pattern = &copy[0];
    bool start = false, end = false;
    if (*pattern == '^') {
        start = true;
        ++pattern;
    }
    size_t n = strlen(pattern);
    if (n > 0 && pattern[n - 1] == '$') {
        end = true;
        pattern[--n] = '\0';
    }
    bool exact = rule.matchCase != 0;
    if (start && end)
        return (exact ? strcmp(text, pattern) : compareNoCase(text, pattern)) == 0;
    if (start)
        return (exact ? strncmp(text, pattern, n) : compareNoCase(text, pattern, n)) == 0;
    if (end) {
        size_t length = strlen(text);
        if (n > length)
            return false;
        const char* tail = text + length - n;
        return (exact ? strncmp(tail, pattern, n) : compareNoCase(tail, pattern, n)) == 0;
    }
    return exact ? strstr(text, pattern) != nullptr : caseFoldFindLiteral(text, pattern) != nullptr;
}

inline bool regexSearchLiteral(const char* text, OnigRegex regex) {
    if (!regex)
        return false;
    OnigRegion* region = onig_region_new();
    const OnigUChar* start = reinterpret_cast<const OnigUChar*>(text);
    const OnigUChar* end = start + strlen(text);
    int result = onig_search(regex, start, end, start, end, region, ONIG_OPTION_NONE);
    onig_region_free(region, 1);
    return result >= 0;
}

inline bool searchLiteral(const char* text, const DistributeRule& rule) {
    return rule.useRegex ? regexSearchLiteral(text, rule.regex) : plainMatchLiteral(text, rule);
}

inline int findMatchingRuleLiteral(const RuleList& rules, char* text) {
    size_t headerEnd = headerBlockEnd(text);
    for (size_t i = 0; i < rules.size(); ++i) {
        const DistributeRule& rule = rules[i];
        bool matched = false;
        if (rule.searchTarget == WholeMessage) {
            matched = searchLiteral(text, rule);
        } else if (rule.searchTarget == HeaderBlock) {
            char saved = text[headerEnd];
            text[headerEnd] = '\0';
            matched = searchLiteral(text, rule);
            text[headerEnd] = saved;
        } else if (rule.searchTarget == NamedHeader) {
            char value[kHeaderValueSize];
            matched = extractHeaderValue(text, rule.headerName, value) && plainMatchLiteral(value, rule);
        }
        if (matched)
            return static_cast<int>(i);
    }
    return -1;
}

// One condition of a rule, every field spelt out: the rule's own condition searches a named
// header plainly, a further condition by its regular expression when it has one.
struct LiteralCondition {
    int target;
    const char* headerName;
    DistributeRule pattern;  // searchText, matchCase, useRegex and regex
    bool regexOnNamedHeader;
    bool negate;
};

inline bool conditionHoldsLiteral(std::string text, const LiteralCondition& c) {
    bool found = false;
    if (c.target == WholeMessage || c.target == HeaderBlock) {
        if (c.target == HeaderBlock)
            text.resize(headerBlockEnd(text.c_str()));
        found = searchLiteral(text.c_str(), c.pattern);
    } else if (c.target == NamedHeader) {
        char value[kHeaderValueSize];
        if (extractHeaderValue(text.c_str(), c.headerName, value))
            found = c.regexOnNamedHeader && c.pattern.useRegex ? regexSearchLiteral(value, c.pattern.regex)
                                                               : plainMatchLiteral(value, c.pattern);
    }
    return found != c.negate;
}

// Every condition tested, then combined: all of them, or any one.
inline bool ruleMatchesLiteral(const std::string& text, const DistributeRule& rule) {
    if (rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader)
        return false;
    std::vector<bool> holds;
    holds.push_back(conditionHoldsLiteral(text, {rule.searchTarget, rule.headerName, rule, false, rule.negate != 0}));
    for (const RuleCondition& c : rule.conditions) {
        DistributeRule pattern = makeRule(c.searchTarget, c.searchText, c.matchCase != 0, c.useRegex != 0);
        pattern.regex = c.regex;
        holds.push_back(conditionHoldsLiteral(text, {c.searchTarget, c.headerName, pattern, true, c.negate != 0}));
    }
    bool all = true, any = false;
    for (bool h : holds) {
        all = all && h;
        any = any || h;
    }
    return rule.anyOf ? any : all;
}

inline int findMatchingRuleWithConditionsLiteral(const RuleList& rules, const std::string& text) {
    for (size_t i = 0; i < rules.size(); ++i)
        if (ruleMatchesLiteral(text, rules[i]))
            return static_cast<int>(i);
    return -1;
}

}  // namespace reference
}  // namespace corvane
