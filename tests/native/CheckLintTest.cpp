#include "CheckTestSupport.h"

#include <string>
#include <vector>

#include "tools/check/Lint.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

class Lint : public MailboxTest {
protected:
    Lint() {
        box.createAccount("Main", "I001002OT");
        box.createUserFolder("Main", "001", "ML");
        box.createUserFolder("Main", "002", "Parent", "005");
        box.createUserFolder("Main\\User002.box", "005", "Child");
    }

    // The problems lint finds in a corvane.ini of these lines (line numbers count from 1).
    Lines problems(const Lines& ini) {
        box.writeRules("Main", ini);
        result = lintAccount(root(), "Main");
        EXPECT_TRUE(result.findings.unreadable.empty());
        return codes(result.findings.problems);
    }

    LintResult result;
};

const char kGood1[] = "rule1=\"2: [list-a]: Subject::: 0: 0: Main\\User001.box\"";
const char kGood2[] = "rule2=\"0: hello: : 1: 0: Main\\Inbox.box\"";

}  // namespace

TEST_F(Lint, CleanFileHasNoProblems) {
    EXPECT_EQ(Lines{}, problems({"[Generic]", "unreadmail=1", "reportresult=0", "[Rule]", kGood1, kGood2}));
    EXPECT_EQ(2u, result.rules.load.rules.size());
    EXPECT_TRUE(result.rules.load.unreadMail);
    EXPECT_EQ(ExitClean, result.findings.exitCode());
}

TEST_F(Lint, WhereLoadingStopsAndWhatNeverLoads) {
    // A gap: rule2 missing, rule3 and rule4 never load.
    EXPECT_EQ((Lines{"gap rule2", "never-loads 3 rule3", "never-loads 4 rule4"}),
              problems({"[Rule]", kGood1, "rule3=\"0: a: : 1: 0: Main\\Inbox.box\"", "rule4=\"0: b: : 1: 0: Main\\Inbox.box\""}));
    EXPECT_EQ(1u, result.rules.load.rules.size());
    EXPECT_EQ(ExitProblems, result.findings.exitCode());
    // An empty value and a value of two quotes stop as well.
    EXPECT_EQ((Lines{"load-stop 3 rule2", "never-loads 4 rule3"}),
              problems({"[Rule]", kGood1, "rule2=\"\"", "rule3=\"0: a: : 1: 0: Main\\Inbox.box\""}));
    // A value that does not parse.
    EXPECT_EQ((Lines{"load-stop 2 rule1", "never-loads 3 rule2", "no-rules"}),
              problems({"[Rule]", "rule1=\"0: only two\"", kGood2}));
    // A value that fills the loader's buffer.
    EXPECT_EQ((Lines{"load-stop 2 rule1", "no-rules"}),
              problems({"[Rule]", "rule1=\"0: " + std::string(8200, 'x') + ": : 1: 0: Main\\Inbox.box\""}));
    // The end of the list is no gap.
    EXPECT_EQ(Lines{}, problems({"[Rule]", kGood1}));
}

TEST_F(Lint, KeysTheLoaderNeverReads) {
    EXPECT_EQ((Lines{"duplicate-key 3 rule1", "unknown-key 4 rule01", "unknown-key 6 colour", "duplicate-section 7",
                     "unknown-section 9"}),
              problems({"[Rule]", kGood1, "rule1=\"0: x: : 1: 0: Main\\Inbox.box\"", "rule01=x", "[Generic]",
                        "colour=1", "[Rule]", kGood2, "[Other]"}));
    EXPECT_EQ((Lines{"outside-section 1"}), problems({"rule1=x", "[Rule]", kGood1}));
}

TEST_F(Lint, OptionValues) {
    EXPECT_EQ((Lines{"option-value 2 unreadmail", "option-value 3 reportresult"}),
              problems({"[Generic]", "unreadmail=2", "reportresult=yes", "[Rule]", kGood1}));
    EXPECT_FALSE(result.rules.load.unreadMail);
    EXPECT_EQ((Lines{"option-value 2 unreadmail"}), problems({"[Generic]", "unreadmail=3", "[Rule]", kGood1}));
    EXPECT_EQ(Lines{}, problems({"[Generic]", "UNREADMAIL=1", "[Rule]", kGood1}));
    EXPECT_TRUE(result.rules.load.unreadMail);
}

TEST_F(Lint, Destinations) {
    EXPECT_EQ((Lines{"dest-missing 2 rule1"}), problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\User009.box\""}));
    EXPECT_EQ((Lines{"dest-parent 2 rule1"}), problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\User002.box\""}));
    EXPECT_EQ(Lines{}, problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\User002.box\\User005.box\""}));
    EXPECT_EQ(Lines{}, problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\Trash.box\""}));
    EXPECT_EQ((Lines{"dest-empty 2 rule1"}), problems({"[Rule]", "rule1=\"0: a: : 1: 0: \""}));
    // A directory without its Entry.ini does not exist for the plug-in.
    box.makeDirectory("Main\\User007.box");
    EXPECT_EQ((Lines{"dest-missing 2 rule1"}), problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\User007.box\""}));
}

TEST_F(Lint, PatternsAndTargets) {
    EXPECT_EQ((Lines{"regex-error 2 rule1"}), problems({"[Rule]", "rule1=\"0: (abc: : 0: 1: Main\\Inbox.box\""}));
    EXPECT_NE(std::string::npos, result.findings.problems[0].message.find("end pattern with unmatched parenthesis"));
    // Only Oniguruma's own syntax knows the option letter W.
    ASSERT_EQ((Lines{"regex-error 2 rule1"}), problems({"[Rule]", "rule1=\"0: (?W)abc: : 0: 1: Main\\Inbox.box\""}));
    EXPECT_NE(std::string::npos, result.findings.problems[0].message.find("undefined group option"));
    EXPECT_EQ((Lines{"regex-ignored 2 rule1"}),
              problems({"[Rule]", "rule1=\"2: a.*b: Subject::: 0: 1: Main\\Inbox.box\""}));
    EXPECT_EQ((Lines{"never-matches 2 rule1"}), problems({"[Rule]", "rule1=\"0: : : 0: 0: Main\\Inbox.box\""}));
    EXPECT_EQ((Lines{"never-matches 2 rule1"}), problems({"[Rule]", "rule1=\"7: a: : 0: 0: Main\\Inbox.box\""}));
    EXPECT_EQ((Lines{"always-matches 2 rule1"}),
              problems({"[Rule]", "rule1=\"1: ^: : 0: 0: Main\\Inbox.box\"", kGood2}));
    // The last rule matching everything hides nothing; an empty text with case distinction
    // matches everything; "^$" matches only the empty text.
    EXPECT_EQ(Lines{}, problems({"[Rule]", kGood1, "rule2=\"0: : : 1: 0: Main\\Inbox.box\""}));
    EXPECT_EQ(Lines{}, problems({"[Rule]", "rule1=\"0: ^$: : 0: 0: Main\\Inbox.box\"", kGood2}));
}

TEST_F(Lint, RoundTrip) {
    // Loaded as matchCase 0 and written back as "0".
    EXPECT_EQ((Lines{"rewritten 2 rule1"}), problems({"[Rule]", "rule1=\"0: a: : yes: 0: Main\\Inbox.box\""}));
    // Field 6 holding a separator: the rest is lost on the next save.
    EXPECT_EQ((Lines{"rewritten 2 rule1"}),
              problems({"[Rule]", "rule1=\"0: a: : 1: 0: Main\\Inbox.box: extra\""}));
    // Three colons read back as two and would be written as four.
    EXPECT_EQ((Lines{"rewritten 2 rule1"}), problems({"[Rule]", "rule1=\"0: a:::b: : 1: 0: Main\\Inbox.box\""}));
    EXPECT_STREQ("a::b", result.rules.load.rules[0].rule.searchText);
}

TEST_F(Lint, UnreadableInput) {
    LintResult missing = lintAccount(root(), "Main");
    EXPECT_EQ((Lines{"missing-file"}), codes(missing.findings.unreadable));
    EXPECT_EQ(ExitUnreadable, missing.findings.exitCode());
    LintResult noAccount = lintAccount(root(), "Nobody");
    EXPECT_EQ((Lines{"no-account"}), codes(noAccount.findings.unreadable));
}

TEST_F(Lint, TextAndJsonNameKeysAndLines) {
    problems({"[Rule]", kGood1, "rule3=\"0: a: : 1: 0: Main\\Inbox.box\""});
    std::string text = renderLintText(result);
    EXPECT_NE(std::string::npos, text.find("corvane.ini:3 rule3: "));
    EXPECT_NE(std::string::npos, text.find("rule2 がないため"));
    std::string json = renderLintJson(result);
    EXPECT_NE(std::string::npos, json.find("\"code\": \"never-loads\""));
    EXPECT_NE(std::string::npos, json.find("\"destination\": \"Main\\\\User001.box\""));
    EXPECT_NE(std::string::npos, json.find("\"exit\": 1"));
}
