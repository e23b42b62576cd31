// corvane-check with the account's option decodemime: preview, explain, lint and suggest see the
// decoded text the plug-in matches, and corvane.ini reads through code page 932 as the
// plug-in's profile calls read it.
#include "CheckTestSupport.h"

#include <string>
#include <vector>

#include "tools/check/Lint.h"
#include "tools/check/Preview.h"
#include "tools/check/Suggest.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

const char kRule[] = "rule1=\"2: 請求書: Subject::: 0: 0: Main\\User001.box\"";

class CheckDecode : public MailboxTest {
protected:
    CheckDecode() {
        box.createAccount("Main", "I001002OT");
        box.createUserFolder("Main", "001", "請求");
        box.addMessage("Main\\Inbox.box", MailboxBuilder::message(
            {"From: a@example.jp", "Subject: =?ISO-2022-JP?B?GyRCQEE1YT1xJE4kNDBGRmIbKEIgTm8uNTAwMg==?="}, "body\r\n"));
        box.addMessage("Main\\Inbox.box", MailboxBuilder::message(
            {"From: b@example.jp", "Subject: =?UTF-8?B?6KuL5rGC5pu444Gu44GU5qGI5YaFIE5vLjUwMDM=?="}, "body\r\n"));
    }

    Lines outcomes(const std::string& option, const std::string& rule = kRule) {
        box.writeRules("Main", {"[Generic]", option, "[Rule]", rule});
        PreviewResult result = previewFolder(root(), "Main\\Inbox.box", false);
        Lines lines;
        for (const MessageVerdict& verdict : result.messages)
            lines.push_back(verdict.key + " " + outcomeCode(verdict.outcome) + " " + verdict.subject);
        return lines;
    }
};

}  // namespace

TEST_F(CheckDecode, PreviewFollowsTheAccountsOption) {
    Lines decoded{"00000001 moves 請求書のご案内 No.5002", "00000002 moves 請求書のご案内 No.5003"};
    Lines raw{"00000001 no-match 請求書のご案内 No.5002", "00000002 no-match 請求書のご案内 No.5003"};
    EXPECT_EQ(decoded, outcomes("decodemime=1"));
    EXPECT_EQ(raw, outcomes("decodemime=0"));
    EXPECT_EQ(raw, outcomes("unreadmail=0"));  // no key: off
    EXPECT_EQ(raw, outcomes("decodemime=yes"));
}

TEST_F(CheckDecode, ExplainPlacesTheMatchInTheDecodedText) {
    box.writeRules("Main", {"[Generic]", "decodemime=1", "[Rule]", "rule1=\"1: のご案内: : 0: 0: Main\\User001.box\""});
    ExplainResult result = explainEntry(root(), "Main\\Inbox.box\\00000002");
    ASSERT_EQ(1u, result.explanations.size());
    EXPECT_TRUE(result.explanations[0].matched);
    EXPECT_EQ("のご案内", result.explanations[0].matchedText);
    EXPECT_EQ(2, result.explanations[0].line);
    EXPECT_EQ(16, result.explanations[0].column);  // "Subject: 請求書" before it
    EXPECT_NE(std::string::npos, renderExplainJson(result).find("\"decodemime\": true"));
}

TEST_F(CheckDecode, LintWarnsAboutNonAsciiRulesWhileTheOptionIsOff) {
    auto warnings = [&](const std::string& option) {
        box.writeRules("Main", {"[Generic]", option, "[Rule]", kRule, "rule2=\"1: X-ML: : 0: 0: Main\\User001.box\""});
        LintResult result = lintAccount(root(), "Main");
        EXPECT_TRUE(result.findings.problems.empty());
        EXPECT_EQ(ExitClean, result.findings.exitCode());
        return codes(result.findings.warnings);
    };
    EXPECT_EQ(Lines{"raw-bytes-only 4 rule1"}, warnings("decodemime=0"));
    EXPECT_EQ(Lines{}, warnings("decodemime=1"));
    box.writeRules("Main", {"[Generic]", "decodemime=2", "[Rule]", kRule});
    EXPECT_EQ(Lines{"option-value 2 decodemime"}, codes(lintAccount(root(), "Main").findings.problems));
}

TEST_F(CheckDecode, ProfileValuesComeBackInTheCodePagesChosenForm) {
    // 纊 written as its NEC-selected copy 0xED40: the profile calls give 0xFA5C, the form the
    // decoder gives the UTF-8 subject.
    box.addMessage("Main\\Inbox.box", MailboxBuilder::message({"Subject: =?UTF-8?B?57qK?="}, ""));
    Lines lines = outcomes("decodemime=1", "rule1=\"2: \xED\x40: Subject::: 1: 0: Main\\User001.box\"");
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("00000003 moves \xFA\x5C", lines[2]);
    ProfileFile file("[Rule]\r\nrule1=\xED\x40\x87\x90\x85\x40\r\n");
    EXPECT_EQ("\xFA\x5C\x81\xE0\x81\x45", file.readString("Rule", "rule1", 1024));
}

TEST_F(CheckDecode, SuggestLearnsFromDecodedText) {
    box.createUserFolder("Main", "002", "通知");
    for (int i = 0; i < 4; ++i)
        box.addMessage("Main\\User002.box", MailboxBuilder::message(
            {"From: n" + std::to_string(i) + "@example" + std::to_string(i) + ".jp",
             "Subject: =?UTF-8?B?44GK55+l44KJ44Gb?= " + std::to_string(i)}, "x\r\n"));
    auto learnt = [&](const std::string& option) {
        box.writeRules("Main", {"[Generic]", option});
        std::string all;
        for (const std::string& line : suggestRules(root(), "Main", false, true).lines)
            all += line + "\n";
        return all;
    };
    EXPECT_NE(std::string::npos, learnt("decodemime=1").find(": お知らせ: Subject::"));
    EXPECT_EQ(std::string::npos, learnt("decodemime=0").find("お知らせ"));
}
