// The faults a rule is marked for on the rules page and reported for by corvane-check: each
// kind alone, the gravest first when a rule has several, and the folder tallies that tell a
// rule whose every match an earlier rule takes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleMarks.h"

using namespace corvane;

namespace {

DistributeRule rule(int target, const char* text, bool regex, const char* dest = "Main\\Work") {
    DistributeRule r;
    r.searchTarget = target;
    copyString(r.headerName, "Subject:");
    copyString(r.searchText, text);
    r.useRegex = regex;
    copyString(r.destFolder, dest);
    return r;
}

const std::set<std::string> kFolders = {"Main\\Work", "Main\\Trash.box"};

bool exists(const char* folder) {
    return kFolders.count(folder) != 0;
}

RuleFault faultOf(const DistributeRule& r, bool decodeMime, const RuleTallies* tallies = nullptr) {
    return markRules({r}, decodeMime, exists, tallies)[0].fault;
}

}  // namespace

TEST(RuleMarks, EachKindOfFaultAlone) {
    RuleTallies shadowed(1);
    shadowed.add({true});
    RuleTallies taken(1);
    taken.add({false});
    struct Case {
        const char* name;
        DistributeRule r;
        bool decodeMime;
        const RuleTallies* tallies;
        RuleFault fault;
    } cases[] = {
        {"sound", rule(WholeMessage, "invoice", false), false, nullptr, RuleFault::None},
        {"destination gone", rule(WholeMessage, "invoice", false, "Main\\Gone"), false, nullptr,
         RuleFault::DestinationGone},
        {"trash is there", rule(WholeMessage, "invoice", false, "Main\\Trash.box"), false, nullptr, RuleFault::None},
        {"expression does not compile", rule(HeaderBlock, "(a", true), false, nullptr, RuleFault::RegexError},
        {"unclosed bracket", rule(WholeMessage, "[", true), false, nullptr, RuleFault::RegexError},
        {"expression that compiles", rule(WholeMessage, "a|b", true), false, nullptr, RuleFault::None},
        {"plain text is no expression", rule(WholeMessage, "(a", false), false, nullptr, RuleFault::None},
        {"named header never compiles", rule(NamedHeader, "(a", true), false, nullptr, RuleFault::None},
        {"non-ASCII without decoding", rule(NamedHeader, "会議", false), false, nullptr, RuleFault::RawBytesOnly},
        {"non-ASCII with decoding", rule(NamedHeader, "会議", false), true, nullptr, RuleFault::None},
        {"matched nothing in the folder", rule(WholeMessage, "invoice", false), false, &taken, RuleFault::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fault, faultOf(c.r, c.decodeMime, c.tallies)) << c.name;
        EXPECT_EQ(c.fault == RuleFault::RegexError, !ruleRegexError(c.r).empty()) << c.name;
    }
}

TEST(RuleMarks, GravestFaultFirstAndTheReasonSaysIt) {
    RuleTallies tallies(2);
    tallies.add({true, true});
    tallies.add({true, true});
    struct Case {
        const char* name;
        DistributeRule r;
        RuleFault fault;
        const char* reason;
    } cases[] = {
        {"gone and broken", rule(HeaderBlock, "(会議", true, "Main\\Gone"), RuleFault::DestinationGone, "「Main\\Gone」"},
        {"broken, shadowed and non-ASCII", rule(HeaderBlock, "(会議", true), RuleFault::RegexError, "正規表現のエラー: "},
        {"shadowed and non-ASCII", rule(NamedHeader, "会議", false), RuleFault::Shadowed, "一致する 2 通"},
    };
    for (const Case& c : cases) {
        std::vector<RuleMark> marks = markRules({rule(WholeMessage, "x", false), c.r}, false, exists, &tallies);
        EXPECT_EQ(RuleFault::None, marks[0].fault) << c.name;
        EXPECT_EQ(c.fault, marks[1].fault) << c.name;
        EXPECT_NE(std::string::npos, marks[1].reason.find(c.reason)) << c.name << ": " << marks[1].reason;
    }
}

TEST(RuleMarks, TalliesCountMatchesAndDecisions) {
    struct Case {
        const char* name;
        std::vector<std::vector<bool>> messages;
        std::vector<bool> shadowed;
        std::vector<int> candidates;
    } cases[] = {
        {"none match", {{false, false, false}}, {false, false, false}, {0, 0, 0}},
        {"the first takes what the third matches", {{true, false, true}, {true, false, true}},
         {false, false, true}, {2, 0, 2}},
        {"the third takes one of its own", {{true, false, true}, {false, false, true}}, {false, false, false},
         {1, 0, 2}},
        {"the second shadowed by the first", {{true, true, false}}, {false, true, false}, {1, 1, 0}},
    };
    for (const Case& c : cases) {
        RuleTallies tallies(3);
        for (const std::vector<bool>& matched : c.messages)
            tallies.add(matched);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(c.shadowed[i], tallies.shadowed(i)) << c.name << " rule " << i + 1;
            EXPECT_EQ(c.candidates[i], tallies.candidates(i)) << c.name << " rule " << i + 1;
        }
        EXPECT_FALSE(tallies.shadowed(3)) << c.name;
    }
}
