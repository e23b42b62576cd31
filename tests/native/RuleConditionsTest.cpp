// Rules of several conditions: how they match (all or any, negation, left to right), how the
// rules file keeps them, and what a reader that knows one condition per rule makes of that file.
#include "tests/native/MatchingReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/MessageVerdict.h"
#include "plugin/rules/RuleText.h"
#include "plugin/rules/RulesProfile.h"

using namespace corvane;
using reference::makeRule;

namespace {

RuleCondition conditionOf(int target, const char* text, bool negate, bool regex = false, const char* header = "",
                          bool matchCase = false) {
    RuleCondition c;
    c.searchTarget = target;
    copyString(c.searchText, text);
    copyString(c.headerName, header);
    c.matchCase = matchCase;
    c.useRegex = regex;
    c.negate = negate;
    return c;
}

DistributeRule ruleWith(DistributeRule rule, bool negate, bool anyOf, std::vector<RuleCondition> more,
                        const char* dest = "Main\\User001.box") {
    rule.negate = negate;
    rule.anyOf = anyOf;
    rule.conditions = std::move(more);
    copyString(rule.destFolder, dest);
    return rule;
}

const char kBank[] = "From: info@bank.example\r\nSubject: [AD] Summer offers\r\nTo: me@home.example\r\n\r\nbody\r\n";
const char kStatement[] = "From: info@bank.example\r\nSubject: Order 1234 statement\r\n\r\nyour balance\r\n";
const char kFriend[] = "From: pal@friend.example\r\nSubject: Order pizza?\r\n\r\nhungry\r\n";
const char kNoSubject[] = "From: pal@friend.example\r\n\r\nno subject here\r\n";

struct MatchCase {
    const char* what;
    DistributeRule rule;
    const char* message;
    bool matches;
    int decidedBy;
};

void expectMatch(const MatchCase& c, bool decode) {
    VerdictOptions options;
    options.decodeMime = decode;
    MessageJudge judge(RuleList{c.rule}, options);
    std::vector<RuleTrace> why;
    Verdict verdict = judge.judge(c.message, false, &why);
    EXPECT_EQ(c.matches, verdict.rule == 0) << c.what;
    EXPECT_EQ(c.decidedBy, why[0].decidedBy) << c.what;
    EXPECT_EQ(c.matches, judge.matchEach(c.message)[0]) << c.what;
}

TEST(RuleConditions, CombineLeftToRightAndStopWhenKnown) {
    DistributeRule bank = makeRule(NamedHeader, "bank.example", false, false, "From:");
    DistributeRule subject = makeRule(NamedHeader, "[AD]", false, false, "Subject:");
    RuleCondition notAd = conditionOf(NamedHeader, "[AD]", true, false, "Subject:");
    RuleCondition order = conditionOf(NamedHeader, "^Order [0-9]+", false, true, "Subject:");
    RuleCondition inBody = conditionOf(WholeMessage, "balance", false);
    RuleCondition matchCase = conditionOf(WholeMessage, "BALANCE", false, false, "", true);
    const DistributeRule adRegex = makeRule(HeaderBlock, "Subject: \\[AD\\]", false, true);
    const MatchCase cases[] = {
        {"all: bank without adverts", ruleWith(bank, false, false, {notAd}), kStatement, true, 1},
        {"all: an advert fails the second", ruleWith(bank, false, false, {notAd}), kBank, false, 1},
        {"all: another sender fails the first", ruleWith(bank, false, false, {notAd}), kFriend, false, 0},
        {"all: regex on a named header", ruleWith(bank, false, false, {order}), kStatement, true, 1},
        {"regex on a named header, no number", ruleWith(bank, false, false, {order}), kBank, false, 1},
        {"all three, the last decides", ruleWith(bank, false, false, {notAd, inBody}), kStatement, true, 2},
        {"any: the first holds, no more tried", ruleWith(subject, false, true, {inBody}), kBank, true, 0},
        {"any: the second holds", ruleWith(subject, false, true, {inBody}), kStatement, true, 1},
        {"any: none holds", ruleWith(subject, false, true, {inBody}), kFriend, false, 1},
        {"negated own: not from the bank", ruleWith(bank, true, false, {}), kFriend, true, 0},
        {"negated missing field holds", ruleWith(subject, true, false, {}), kNoSubject, true, 0},
        {"missing field does not hold", ruleWith(subject, false, true, {order}), kNoSubject, false, 1},
        {"negated regex on Subject", ruleWith(adRegex, true, false, {}), kStatement, true, 0},
        {"negated regex on Subject, an advert", ruleWith(adRegex, true, false, {}), kBank, false, 0},
        {"unknown own target never matches", ruleWith(makeRule(7, "x", false), true, true, {inBody}), kStatement, false, 0},
        {"case kept in a further condition", ruleWith(bank, false, false, {matchCase}), kStatement, false, 1},
    };
    for (const MatchCase& c : cases) {
        expectMatch(c, false);
        expectMatch(c, true);
    }
}

TEST(RuleConditions, FurtherConditionsMatchDecodedTextWhenAsked) {
    const char message[] = "From: a@b.example\r\nSubject: =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=\r\n\r\nx\r\n";
    DistributeRule rule = ruleWith(makeRule(NamedHeader, "a@b", false, false, "From:"), false, false,
                                   {conditionOf(NamedHeader, "\x89\xef\x8b\x63", false, false, "Subject:")});
    expectMatch({"raw: the encoded word is not the text", rule, message, false, 1}, false);
    expectMatch({"decoded: the Subject reads as the word", rule, message, true, 1}, true);
}

TEST(RuleConditions, RegexesOfFurtherConditionsCompileOncePerRunAndAreFreed) {
    RuleList rules{ruleWith(makeRule(WholeMessage, "bank", false), false, false,
                            {conditionOf(NamedHeader, "^Order", false, true, "Subject:"),
                             conditionOf(WholeMessage, "(", false, true)})};
    compileRules(rules);
    EXPECT_NE(nullptr, rules[0].conditions[0].regex);
    EXPECT_EQ(nullptr, rules[0].conditions[1].regex);  // does not compile: never holds
    EXPECT_EQ(-1, findMatchingRule(rules, kStatement));
    rules[0].conditions[1].negate = 1;  // a pattern that never compiles is never found
    EXPECT_EQ(0, findMatchingRule(rules, kStatement));
    releaseRules(rules);
    EXPECT_EQ(nullptr, rules[0].conditions[0].regex);
}

// A random rule list of up to eight conditions a rule, over texts that the messages share.
struct RandomRules {
    static constexpr const char* kHeaders[] = {"From:", "To:", "Subject:", "X-Tag:"};
    static constexpr const char* kWords[] = {"bank", "Bank", "order", "AD", "pal", "a", ""};
    static constexpr const char* kRegexes[] = {"^b", "[Oo]rder", "AD$", "\\r\\n\\r\\n", "(", "a|pal"};
    std::mt19937 random;
    unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random); }
    const char* word() { return kWords[pick(6)]; }
    const char* header() { return kHeaders[pick(4)]; }
    std::string pattern() {
        return pick(3) == 0 ? kRegexes[pick(6)] : (pick(4) ? "" : "^") + std::string(kWords[pick(7)]) + (pick(4) ? "" : "$");
    }
    std::string message() {
        std::string text;
        for (const char* name : kHeaders)
            text += pick(4) ? std::string(name) + " " + word() + " " + word() + "\r\n" : "";
        return text + "\r\n" + word() + " " + word() + "\r\n";
    }
    DistributeRule rule() {
        DistributeRule r = makeRule(static_cast<int>(pick(3)), pattern(), pick(2) == 1, pick(3) == 0, header());
        std::vector<RuleCondition> more(pick(8));
        for (RuleCondition& c : more)
            c = conditionOf(static_cast<int>(pick(3)), pattern().c_str(), pick(2), pick(3) == 0, header(), pick(2));
        return ruleWith(r, pick(2) == 1, pick(2) == 1, more);
    }
};

TEST(RuleConditions, AgreeWithAPlainReferenceOverRandomConditionSets) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        RandomRules make{std::mt19937(seed)};
        RuleList rules;
        for (unsigned i = 0, n = 1 + make.pick(6); i < n; ++i)
            rules.push_back(make.rule());
        MessageJudge judge(rules, VerdictOptions());
        RuleList compiled = rules;
        compileRules(compiled);
        for (int m = 0; m < 50; ++m) {
            std::string text = make.message();
            ASSERT_EQ(reference::findMatchingRuleWithConditionsLiteral(compiled, text), judge.firstMatch(text.c_str()))
                << "seed " << seed << " message " << m << "\n" << text;
        }
        releaseRules(compiled);
    }
}

// A private-profile file in memory: keys found without regard to case, values read without the
// double quotes that enclose them, as the system's functions do.
class MemoryProfile : public ProfileStore {
public:
    unsigned readInt(const char* section, const char* key, unsigned defaultValue) const override {
        const std::string* value = find(section, key);
        return value && !value->empty() ? static_cast<unsigned>(atoi(value->c_str())) : defaultValue;
    }
    std::string readString(const char* section, const char* key, size_t bufferSize, size_t* length) const override {
        std::string value = find(section, key) ? *find(section, key) : "";
        bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
        value = quoted ? value.substr(1, value.size() - 2) : value;
        *length = std::min(value.size(), bufferSize - 1);
        return value.substr(0, *length);
    }
    void writeString(const char* section, const char* key, const char* value) override {
        auto& keys = sections_[section];
        auto at = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return compareNoCase(k.first.c_str(), key) == 0; });
        if (at != keys.end() && !value)
            keys.erase(at);
        else if (at != keys.end())
            at->second = value;
        else if (value)
            keys.emplace_back(key, value);
    }
    std::vector<std::string> keyNames(const char* section) const override {
        std::vector<std::string> names;
        for (const auto& k : sections_.count(section) ? sections_.at(section) : Keys())
            names.push_back(k.first);
        return names;
    }
    std::string dump() const {
        std::string out;
        for (const auto& s : sections_) {
            out += "[" + s.first + "]\n";
            for (const auto& k : s.second)
                out += k.first + "=" + k.second + "\n";
        }
        return out;
    }
    std::string rule(int n) const {
        size_t length = 0;
        return readString("Rule", ("rule" + std::to_string(n)).c_str(), kRuleValueBufferSize, &length);
    }

private:
    typedef std::vector<std::pair<std::string, std::string>> Keys;
    const std::string* find(const char* section, const char* key) const {
        static const Keys none;
        auto found = sections_.find(section);
        for (const auto& k : found == sections_.end() ? none : found->second)
            if (compareNoCase(k.first.c_str(), key) == 0)
                return &k.second;
        return nullptr;
    }
    std::map<std::string, Keys> sections_;
};

void dropRuleKeys(MemoryProfile& file, size_t from, int oldCount) {
    for (int n = static_cast<int>(from); n <= oldCount; ++n)
        file.writeString("Rule", ("rule" + std::to_string(n)).c_str(), nullptr);
}

// What this release's window does when it closes: the rules, the surplus keys, the stale conditions.
void saveAsThisRelease(MemoryProfile& file, const RuleList& rules, int oldCount) {
    dropRuleKeys(file, writeRuleKeys(file, rules, rules.size(), [](const DistributeRule&) { return true; }) + 1, oldCount);
    deleteStaleConditions(file);
}

RuleList loadAsThisRelease(const MemoryProfile& file) {
    RulesProfile profile;
    readRulesProfile(file, profile);
    return profile.rules;
}

// An earlier release knows one condition per rule: it reads rule1, rule2, ... with the
// one-condition form until one is missing or does not parse, and writes them back the same way.
RuleList loadAsEarlierRelease(const MemoryProfile& file) {
    RuleList rules;
    for (DistributeRule rule; !file.rule(rules.size() + 1).empty() && parseRuleValue(file.rule(rules.size() + 1).c_str(), rule);)
        rules.push_back(rule);
    return rules;
}

void saveAsEarlierRelease(MemoryProfile& file, const RuleList& rules, int oldCount) {
    for (size_t i = 0; i < rules.size(); ++i)
        file.writeString("Rule", ("rule" + std::to_string(i + 1)).c_str(), ("\"" + formatRuleValue(rules[i]) + "\"").c_str());
    dropRuleKeys(file, rules.size() + 1, oldCount);
}

// Each rule as one line of text, every condition included, for comparing lists.
std::vector<std::string> describeAll(const RuleList& rules) {
    std::vector<std::string> lines;
    for (const DistributeRule& rule : rules) {
        lines.push_back(formatRuleValue(rule) + (rule.negate ? " not" : "") + (rule.anyOf ? " any" : " all"));
        for (const RuleCondition& c : rule.conditions)
            lines.back() += " | " + formatConditionValue(c);
    }
    return lines;
}

RuleList sampleRules() {
    DistributeRule bank = makeRule(NamedHeader, "bank.example", false, false, "From:");
    return {
        ruleWith(makeRule(NamedHeader, "[list-a]", false, false, "Subject:"), false, false, {}, "Main\\User003.box"),
        ruleWith(bank, false, false, {conditionOf(NamedHeader, "[AD]", true, false, "Subject:")}, "Main\\User001.box"),
        ruleWith(makeRule(HeaderBlock, "Subject: \\[AD\\]", false, true), true, false, {}, "Main\\User002.box"),
        ruleWith(bank, false, true, {conditionOf(WholeMessage, "a: b::", false), conditionOf(HeaderBlock, "^x$", true)},
                 "Main\\User004.box"),
        ruleWith(makeRule(WholeMessage, "pal", true), false, false, {}, "Main\\User005.box"),
    };
}

TEST(RuleConditionsFile, OneConditionRulesAreWrittenAsAlwaysAndEveryConditionReadsBack) {
    MemoryProfile file;
    saveAsThisRelease(file, {sampleRules()[0], sampleRules()[4]}, 0);
    EXPECT_EQ("[Rule]\nrule1=\"2: [list-a]: Subject::: 0: 0: Main\\User003.box\"\n"
              "rule2=\"0: pal: : 1: 0: Main\\User005.box\"\n",
              file.dump());
    saveAsThisRelease(file, sampleRules(), 2);
    RuleList back = loadAsThisRelease(file);
    EXPECT_EQ(describeAll(sampleRules()), describeAll(back));
    // Saved again unchanged, the file stays the same: the ids travel with the rules.
    std::string first = file.dump();
    saveAsThisRelease(file, back, static_cast<int>(back.size()));
    EXPECT_EQ(first, file.dump());
}

TEST(RuleConditionsFile, AnEarlierReleaseNeverMatchesThemAndReadsOn) {
    MemoryProfile file;
    saveAsThisRelease(file, sampleRules(), 0);
    RuleList earlier = loadAsEarlierRelease(file);
    ASSERT_EQ(5u, earlier.size());
    const bool single[] = {true, false, false, false, true};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(single[i], earlier[i].searchTarget >= WholeMessage && earlier[i].searchTarget <= NamedHeader) << i;
        EXPECT_STREQ(sampleRules()[i].destFolder, earlier[i].destFolder) << i;
    }
    // Messages every condition rule would take fall through to the one-condition rules after them.
    EXPECT_EQ(-1, findMatchingRule(RuleList(earlier.begin(), earlier.begin() + 4), kStatement));
    EXPECT_EQ(4, findMatchingRule(earlier, kFriend));
}

TEST(RuleConditionsFile, AfterAnEarlierReleaseReordersAndDeletesEveryConditionComesBack) {
    MemoryProfile file;
    saveAsThisRelease(file, sampleRules(), 0);
    // The earlier release moves the last rule to the top and deletes the second.
    auto edit = [](RuleList rules) {
        std::rotate(rules.begin(), rules.end() - 1, rules.end());
        rules.erase(rules.begin() + 2);
        return rules;
    };
    saveAsEarlierRelease(file, edit(loadAsEarlierRelease(file)), 5);
    RuleList expected = edit(sampleRules());
    RuleList back = loadAsThisRelease(file);
    EXPECT_EQ(describeAll(expected), describeAll(back));
    // This release's next save drops the keys of the deleted rule and nothing else.
    saveAsThisRelease(file, back, 4);
    EXPECT_EQ(describeAll(expected), describeAll(loadAsThisRelease(file)));
    EXPECT_EQ(2u, file.keyNames(kConditionSection).size()) << file.dump();
}

TEST(RuleConditionsFile, KeysNeverGoStaleWhenRulesMoveOrGo) {
    const struct {
        const char* what;
        std::vector<size_t> order;  // indexes into sampleRules()
        size_t conditionKeys;
    } steps[] = {{"all", {0, 1, 2, 3, 4}, 3}, {"reversed", {4, 3, 2, 1, 0}, 3},
                 {"the two-condition rule gone", {4, 2, 1, 0}, 1}, {"only one-condition rules", {4, 0}, 0}};
    MemoryProfile file;
    int count = 0;
    for (const auto& step : steps) {
        RuleList loaded = loadAsThisRelease(file);
        RuleList rules;
        for (size_t index : step.order)
            rules.push_back(sampleRules()[index]);
        // Rules already in the file keep their ids: take them from what was loaded.
        for (DistributeRule& rule : rules)
            for (const DistributeRule& old : loaded)
                if (strcmp(old.destFolder, rule.destFolder) == 0)
                    rule.conditionId = old.conditionId;
        saveAsThisRelease(file, rules, count);
        count = static_cast<int>(rules.size());
        EXPECT_EQ(describeAll(rules), describeAll(loadAsThisRelease(file))) << step.what;
        EXPECT_EQ(step.conditionKeys, file.keyNames(kConditionSection).size()) << step.what << "\n" << file.dump();
    }
}

TEST(RuleConditionsFile, DamagedConditionKeysLeaveARuleThatNeverMatches) {
    const struct {
        const char* what;
        const char* value;  // of c1.1; null: the key removed
    } cases[] = {{"missing", nullptr}, {"empty", "\"\""}, {"unknown target", "\"5: x: : 0: 0: 0\""},
                 {"no separators", "\"2 [AD] Subject: 0 0 1\""}};
    for (const auto& c : cases) {
        MemoryProfile file;
        saveAsThisRelease(file, {sampleRules()[1], sampleRules()[4]}, 0);
        file.writeString(kConditionSection, "c1.1", c.value);
        RuleList back = loadAsThisRelease(file);
        ASSERT_EQ(2u, back.size()) << c.what;
        EXPECT_TRUE(back[0].conditions.empty()) << c.what;
        EXPECT_EQ(-1, findMatchingRule(RuleList{back[0]}, kStatement)) << c.what;
        // Kept and written back unchanged.
        std::string value = storedRuleValue(back[0]);
        saveAsThisRelease(file, back, 2);
        EXPECT_EQ(value, file.rule(1)) << c.what;
    }
}

TEST(RuleConditionsFile, IdsStayUniqueAndClearOfKeysInTheFile) {
    MemoryProfile file;
    // A rule key the list does not reach (rule4 is missing) still names id 1.
    DistributeRule stray = sampleRules()[1];
    stray.conditionId = 1;
    writeRuleKeys(file, {stray}, 1, [](const DistributeRule&) { return true; });
    file.writeString("Rule", "rule5", ("\"" + file.rule(1) + "\"").c_str());
    RuleList twins{sampleRules()[1], sampleRules()[3], sampleRules()[3]};
    twins[1].conditionId = twins[2].conditionId = 7;
    saveAsThisRelease(file, twins, 1);
    RuleList back = loadAsThisRelease(file);
    ASSERT_EQ(3u, back.size());
    EXPECT_EQ(7u, back[1].conditionId);
    EXPECT_NE(7u, back[2].conditionId);
    EXPECT_NE(1u, back[0].conditionId);
    EXPECT_NE(1u, back[2].conditionId);
    EXPECT_EQ(describeAll(twins), describeAll(back));
}

TEST(RuleConditionsFile, MarkersAndKeysAreTold) {
    ConditionMarker marker;
    const struct {
        int32_t value;
        bool isMarker;
    } values[] = {{0, false}, {2, false}, {3, false}, {-5, false}, {0x40000000, false} /* no id */,
                  {0x40000083, false} /* target 3 */, {0x40000080, true}, {INT32_MIN | 0x40000080, false},
                  {encodeConditionMarker({NamedHeader, true, true, 7, kMaxConditionId}), true}};
    for (const auto& v : values)
        EXPECT_EQ(v.isMarker, decodeConditionMarker(v.value, marker)) << v.value;
    const struct {
        const char* key;
        bool valid;
        uint32_t id;
        unsigned number;
    } keys[] = {{"c12.3", true, 12, 3}, {"C1.1", true, 1, 1}, {"c.1", false, 0, 0}, {"c1.", false, 0, 0},
                {"c1.2x", false, 0, 0}, {"d1.1", false, 0, 0}, {"c1234567890.1", false, 0, 0}};
    for (const auto& k : keys) {
        uint32_t id = 0;
        unsigned number = 0;
        EXPECT_EQ(k.valid, parseConditionKey(k.key, &id, &number)) << k.key;
        EXPECT_EQ(k.id * 100 + k.number, id * 100 + number) << k.key;
    }
}

TEST(RuleConditionsFile, RulesThatCannotBeStoredAreRefused) {
    const DistributeRule bank = sampleRules()[1];
    const struct {
        const char* what;
        DistributeRule rule;
        bool fits;
    } cases[] = {
        {"eight further conditions", ruleWith(bank, false, false, std::vector<RuleCondition>(8, conditionOf(0, "x", false))), false},
        {"unknown own target, negated", ruleWith(makeRule(5, "x", false), true, false, {}), false},
        {"a line break", ruleWith(makeRule(WholeMessage, "x", false), false, false, {conditionOf(0, "a\r\nb", false)}), false},
        {"seven", ruleWith(bank, false, false, std::vector<RuleCondition>(7, conditionOf(0, "x: y", false))), true}};
    for (const auto& c : cases)
        EXPECT_EQ(c.fits, ruleFitsRecord(c.rule)) << c.what;
}

}  // namespace
