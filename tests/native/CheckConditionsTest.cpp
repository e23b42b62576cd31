// corvane-check on rules of several conditions: lint's findings about conditions taken together,
// and explain naming the condition that decided.
#include "CheckTestSupport.h"

#include <string>
#include <vector>

#include "plugin/rules/RuleText.h"
#include "tools/check/Lint.h"
#include "tools/check/Preview.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

// The rule key of a rule of several conditions, with the id 1.
std::string ruleLine(int target, bool negate, bool anyOf, unsigned count, const std::string& rest) {
    ConditionMarker marker;
    marker.searchTarget = target;
    marker.negate = negate;
    marker.anyOf = anyOf;
    marker.count = count;
    marker.id = 1;
    return "rule1=\"" + std::to_string(encodeConditionMarker(marker)) + ": " + rest + ": Main\\User001.box\"";
}

class ConditionChecks : public MailboxTest {
protected:
    ConditionChecks() {
        box.createAccount("Main", "I001OT");
        box.createUserFolder("Main", "001", "Bank");
    }
};

}  // namespace

TEST_F(ConditionChecks, LintFindsConditionsThatCannotHoldTogetherAndBroadNegations) {
    const std::string from = "bank.example: From::: 0: 0";
    const struct {
        const char* what;
        std::string rule;
        const char* condition;  // c1.1, or null for no conditions section
        Lines problems;
        Lines warnings;
    } cases[] = {
        {"two that can hold together", ruleLine(2, false, false, 1, from), "2: [AD]: Subject::: 0: 0: 1", {}, {}},
        {"the same text found and not found", ruleLine(2, false, false, 1, from), "2: BANK.example: from::: 0: 0: 1",
         {"conditions-conflict 2 rule1"}, {}},
        {"a found text holds the text that must not be", ruleLine(2, false, false, 1, from), "2: bank: From::: 0: 0: 1",
         {"conditions-conflict 2 rule1"}, {}},
        {"the same text on other targets", ruleLine(2, false, false, 1, from), "1: bank: : 0: 0: 1", {}, {}},
        {"two whole values that differ", ruleLine(2, false, false, 1, "^a$: Subject::: 1: 0"), "2: ^A$: Subject::: 1: 0: 0",
         {"conditions-conflict 2 rule1"}, {}},
        {"in any of them, no conflict", ruleLine(2, false, true, 1, from), "2: bank: From::: 0: 0: 0", {}, {}},
        {"a negated text every message holds", ruleLine(0, false, false, 1, from), "0: $: : 0: 0: 1", {"never-matches 2 rule1"}, {}},
        {"conditions whose keys are gone", ruleLine(2, false, false, 2, from), "2: x: Subject::: 0: 0: 1", {"never-matches 2 rule1"}, {}},
        {"a negated own condition alone", ruleLine(2, true, false, 0, from), nullptr, {}, {"negation-broad 2 rule1"}},
        {"any of, one negated", ruleLine(2, false, true, 1, from), "1: x: : 0: 0: 1", {}, {"negation-broad 2 rule1"}},
        {"a condition's regex that does not compile", ruleLine(2, false, false, 1, from), "2: (: Subject::: 0: 1: 0",
         {"regex-error 2 rule1"}, {}},
    };
    for (const auto& c : cases) {
        Lines ini{"[Rule]", c.rule};
        if (c.condition)
            ini.insert(ini.end(), {"[Conditions]", "c1.1=\"" + std::string(c.condition) + "\""});
        box.writeRules("Main", ini);
        LintResult result = lintAccount(root(), "Main");
        EXPECT_EQ(c.problems, codes(result.findings.problems)) << c.what;
        EXPECT_EQ(c.warnings, codes(result.findings.warnings)) << c.what;
    }
}

TEST_F(ConditionChecks, ExplainNamesTheConditionThatDecided) {
    auto add = [&](const char* from, const char* subject) {
        return box.addMessage("Main\\Inbox.box", MailboxBuilder::message({from, subject}, "body\r\n"));
    };
    box.writeRules("Main", {"[Rule]", ruleLine(2, false, false, 1, "bank.example: From::: 0: 0"), "[Conditions]",
                            "c1.1=\"2: [AD]: Subject::: 0: 0: 1\""});
    const struct {
        std::string entry;
        bool matched;
        int decidedBy;
        const char* line;
    } cases[] = {
        {add("From: info@bank.example", "Subject: statement"), true, 1, "決め手: 条件 2「[AD]」が満たされました"},
        {add("From: info@bank.example", "Subject: [AD] offers"), false, 1, "決め手: 条件 2「[AD]」が満たされません"},
        {add("From: pal@friend.example", "Subject: hi"), false, 0, "決め手: 条件 1「bank.example」が満たされません"},
    };
    for (const auto& c : cases) {
        ExplainResult result = explainEntry(root(), c.entry);
        ASSERT_EQ(1u, result.explanations.size()) << c.entry;
        EXPECT_EQ(c.matched, result.explanations[0].matched) << c.entry;
        EXPECT_EQ(c.decidedBy, result.explanations[0].probe.decidedBy) << c.entry;
        EXPECT_NE(std::string::npos, renderExplainText(result).find(c.line)) << renderExplainText(result);
        EXPECT_NE(std::string::npos, renderExplainJson(result).find("\"decidedBy\": " + std::to_string(c.decidedBy + 1)))
            << renderExplainJson(result);
    }
}
