#include "tools/check/RuleSet.h"

#include <cstring>

#include <oniguruma.h>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleText.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {


// Where a plain pattern that matched lies in the text.
void placePlainMatch(const char* text, size_t length, const PlainPattern& pattern, RuleProbe& probe) {
    size_t n = pattern.bytes.size();
    probe.length = n;
    if (pattern.anchoredStart)
        probe.offset = 0;
    else if (pattern.anchoredEnd)
        probe.offset = length - n;
    else if (const char* found = findPattern(text, length, pattern))
        probe.offset = static_cast<size_t>(found - text);
}

void placeRegexMatch(const char* text, size_t length, OnigRegex regex, RuleProbe& probe) {
    OnigRegion* region = onig_region_new();
    const OnigUChar* start = reinterpret_cast<const OnigUChar*>(text);
    if (onig_search(regex, start, start + length, start, start + length, region, ONIG_OPTION_NONE) >= 0 &&
        region->num_regs > 0) {
        probe.offset = static_cast<size_t>(region->beg[0]);
        probe.length = static_cast<size_t>(region->end[0] - region->beg[0]);
    }
    onig_region_free(region, 1);
}

}  // namespace

namespace {

const ProfileLine* ruleLine(const ProfileFile& file, int number) {
    char key[32];
    formatBuffer(key, "rule%d", number);
    return file.find("Rule", key);
}

}  // namespace

RulesLoad loadRuleSet(const ProfileFile& file) {
    RulesProfile profile;
    readRulesProfile(file, profile);
    RulesLoad load;
    load.unreadMail = profile.unreadMail;
    load.reportResult = profile.reportResult;
    load.decodeMime = profile.decodeMime;
    load.stopNumber = profile.stopNumber;
    for (size_t i = 0; i < profile.rules.size(); ++i) {
        const ProfileLine* line = ruleLine(file, static_cast<int>(i + 1));
        LoadedRule loaded;
        loaded.rule = profile.rules[i];
        loaded.key = line->key;
        loaded.line = line->number;
        loaded.value = profile.values[i];
        load.rules.push_back(loaded);
    }
    // Where it stopped, with the line of that key.
    const ProfileLine* line = ruleLine(file, profile.stopNumber);
    load.stopLine = line ? line->number : 0;
    switch (profile.stop) {
    case RulesStop::Empty: load.stop = line ? LoadStop::Empty : LoadStop::Absent; break;
    case RulesStop::TooLong: load.stop = LoadStop::TooLong; break;
    case RulesStop::Unparsable: load.stop = LoadStop::Unparsable; break;
    }
    return load;
}

std::string messageTextFromFile(const std::string& content) {
    return learnTextOf(content);
}

namespace {

RuleList rulesOf(const std::vector<LoadedRule>& loaded) {
    RuleList rules;
    for (const LoadedRule& entry : loaded)
        rules.push_back(entry.rule);
    return rules;
}

}  // namespace

RuleSet::RuleSet(const std::vector<LoadedRule>& loaded, bool decodeMime, bool unreadMail)
    : judge_(rulesOf(loaded), VerdictOptions{unreadMail, decodeMime}) {
    for (size_t i = 0; i < judge_.size(); ++i) {
        const DistributeRule& rule = judge_.rule(i);
        regexErrors_.push_back(rule.regex ? std::string() : ruleRegexError(rule));
    }
}

std::vector<RuleProbe> RuleSet::probeAll(const char* messageText, int* winner) const {
    std::vector<RuleTrace> traces;
    Verdict verdict = judge_.judge(messageText, false, &traces);
    if (winner)
        *winner = verdict.rule;
    std::vector<RuleProbe> probes(traces.size());
    for (size_t i = 0; i < traces.size(); ++i) {
        RuleTrace& trace = traces[i];
        RuleProbe& probe = probes[i];
        const DistributeRule& rule = judge_.rule(i);
        probe.matched = trace.matched;
        probe.decidedBy = trace.decidedBy;
        // Where the own text lies is shown when it was found: never for a negated own condition.
        const PreparedRule& prepared = judge_.prepared().rules[i];
        bool ownFound = trace.matched && (isSingleCondition(rule) ||
                                          (!rule.negate && ruleMatchesText(prepared, trace.compared ? trace.text.c_str() : nullptr,
                                                                           trace.text.size())));
        if (rule.searchTarget == NamedHeader) {
            probe.headerFound = trace.compared;
            probe.inHeaderValue = trace.compared;
            probe.headerValue = std::move(trace.text);
        } else {
            probe.searched = std::move(trace.text);
        }
        if (!ownFound)
            continue;
        probe.placed = true;
        const std::string& text = probe.inHeaderValue ? probe.headerValue : probe.searched;
        if (searchesByRegex(rule))
            placeRegexMatch(text.c_str(), text.size(), rule.regex, probe);
        else
            placePlainMatch(text.c_str(), text.size(), judge_.prepared().rules[i].pattern, probe);
    }
    return probes;
}

}  // namespace corvane
