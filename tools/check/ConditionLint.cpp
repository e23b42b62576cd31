#include "tools/check/ConditionLint.h"

#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RuleText.h"
#include "tools/check/Findings.h"

namespace corvane {

namespace {

// One condition of a rule as lint compares it; number 1 is the rule's own.
struct Condition {
    int number = 0;
    int32_t target = WholeMessage;
    std::string header;
    std::string text;
    bool matchCase = false;
    bool regex = false;
    bool negate = false;
    PlainPattern pattern;
};

std::vector<Condition> conditionsOf(const DistributeRule& rule) {
    std::vector<Condition> all;
    auto add = [&all](int32_t target, const char* header, const char* text, size_t size, bool matchCase, bool regex,
                      bool negate) {
        Condition c;
        c.number = static_cast<int>(all.size() + 1);
        c.target = target;
        c.header = header;
        c.text.assign(text, strnlen(text, size));
        c.matchCase = matchCase;
        c.regex = regex;
        c.negate = negate;
        c.pattern = preparePattern(c.text.c_str(), c.text.size(), matchCase);
        all.push_back(c);
    };
    add(rule.searchTarget, rule.headerName, rule.searchText, sizeof rule.searchText, rule.matchCase != 0,
        searchesByRegex(rule), rule.negate != 0);
    for (const RuleCondition& c : rule.conditions)
        add(c.searchTarget, c.headerName, c.searchText, sizeof c.searchText, c.matchCase != 0, c.useRegex != 0,
            c.negate != 0);
    return all;
}

bool sameText(const Condition& a, const Condition& b) {
    return a.target == b.target && (a.target != NamedHeader || compareNoCase(a.header.c_str(), b.header.c_str()) == 0);
}

std::string folded(const std::string& bytes) {
    std::string out = bytes;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

// Whether a text in which positive is found always holds negated's text as well.
bool implies(const Condition& positive, const Condition& negated) {
    const PlainPattern& n = negated.pattern;
    if (n.anchoredStart || n.anchoredEnd || n.bytes.empty())
        return false;
    if (n.matchCase)
        return positive.matchCase && positive.pattern.bytes.find(n.bytes) != std::string::npos;
    return folded(positive.pattern.bytes).find(n.bytes) != std::string::npos;
}

// Whether no text can hold both conditions, which compare the same text.
bool conflict(const Condition& a, const Condition& b) {
    if (a.regex || b.regex)
        return a.regex == b.regex && a.text == b.text && a.negate != b.negate;
    if (a.negate != b.negate)
        return a.negate ? implies(b, a) : implies(a, b);
    if (a.negate)
        return false;
    const PlainPattern &p = a.pattern, &q = b.pattern;
    bool whole = p.anchoredStart && p.anchoredEnd && q.anchoredStart && q.anchoredEnd;
    if (!whole)
        return false;
    bool exact = p.matchCase && q.matchCase;
    return exact ? p.bytes != q.bytes : folded(p.bytes) != folded(q.bytes);
}

enum class Holds { Never, Always, Depends };

// What a plain condition can hold of any message, decided from its pattern alone.
Holds holdsOf(const Condition& c) {
    if (c.regex)
        return Holds::Depends;
    const PlainPattern& p = c.pattern;
    bool anchored = p.anchoredStart || p.anchoredEnd;
    Holds found = Holds::Depends;
    if (p.bytes.empty() && !anchored)
        found = c.matchCase ? Holds::Always : Holds::Never;
    else if (p.bytes.empty() && p.anchoredStart != p.anchoredEnd)
        found = Holds::Always;
    if (c.target == NamedHeader) {
        // A message without the field finds nothing: only a positive that never finds is sure.
        if (found == Holds::Never)
            return c.negate ? Holds::Always : Holds::Never;
        return Holds::Depends;
    }
    if (found == Holds::Depends || !c.negate)
        return found;
    return found == Holds::Always ? Holds::Never : Holds::Always;
}

void findNeverMatches(const DistributeRule& rule, const std::vector<Condition>& all,
                      std::vector<ConditionFinding>& findings) {
    int never = 0;
    const Condition* first = nullptr;
    for (const Condition& c : all)
        if (holdsOf(c) == Holds::Never) {
            ++never;
            first = first ? first : &c;
        }
    if (!rule.anyOf && first)
        findings.push_back({"never-matches",
                            formatText("条件 %d はどのメールでも満たされないため、この規則はどのメールにも一致しません",
                                       first->number)});
    else if (rule.anyOf && never == static_cast<int>(all.size()))
        findings.push_back({"never-matches", "どの条件もどのメールでも満たされないため、この規則はどのメールにも一致しません"});
}

}  // namespace

std::vector<ConditionFinding> lintRuleConditions(const DistributeRule& rule, int number, size_t count) {
    std::vector<ConditionFinding> findings;
    ConditionMarker marker;
    if (decodeConditionMarker(rule.searchTarget, marker)) {
        findings.push_back({"never-matches", formatText("ほかの条件(キー「%s」から %u 件)が読めないため、この規則はどのメールにも一致しません",
                                                        conditionKey(marker.id, 1).c_str(), marker.count)});
        return findings;
    }
    if (isSingleCondition(rule) || rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader)
        return findings;
    std::vector<Condition> all = conditionsOf(rule);
    for (size_t i = 0; i < all.size() && !rule.anyOf; ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            if (sameText(all[i], all[j]) && conflict(all[i], all[j]))
                findings.push_back({"conditions-conflict",
                                    formatText("条件 %d と条件 %d は同時には満たされないため、この規則はどのメールにも一致しません",
                                               all[i].number, all[j].number)});
    findNeverMatches(rule, all, findings);
    bool alone = rule.anyOf || all.size() == 1;
    for (const Condition& c : all)
        if (alone && c.negate && holdsOf(c) == Holds::Depends)
            findings.push_back({"negation-broad",
                                formatText("条件 %d は「含まない」条件で、それだけで一致を決めるため、その文字列を含まない"
                                           "ほとんどすべてのメールがこの規則に一致します%s",
                                           c.number, static_cast<size_t>(number) < count ? "(後の規則はそのメールに使われません)" : ""),
                                true});
    return findings;
}

}  // namespace corvane
