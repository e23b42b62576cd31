#include "CheckTestSupport.h"

#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "SampleMailbox.h"
#include "plugin/common/StrUtil.h"
#include "tools/check/CheckCommand.h"
#include "tools/check/Lint.h"
#include "tools/check/Preview.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

class Preview : public MailboxTest {
protected:
    Preview() : sample(buildSampleMailbox(box)) {}

    // Each message as "key outcome rule destination".
    static Lines verdicts(const PreviewResult& result) {
        Lines lines;
        for (const MessageVerdict& verdict : result.messages)
            lines.push_back(verdict.key + " " + outcomeCode(verdict.outcome) + " " + std::to_string(verdict.rule) + " " +
                            verdict.destination);
        return lines;
    }

    // Each rule as "number hits/candidates takenBy...".
    static Lines tallies(const PreviewResult& result) {
        Lines lines;
        for (const RuleTally& tally : result.tallies) {
            std::string line = std::to_string(tally.number) + " " + std::to_string(tally.hits) + "/" +
                               std::to_string(tally.candidates);
            for (int number : tally.takenBy)
                line += " " + std::to_string(number);
            lines.push_back(line);
        }
        return lines;
    }

    SampleMailbox sample;
};

}  // namespace

TEST_F(Preview, SampleInboxAsThePluginSortsIt) {
    PreviewResult result = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ((Lines{"00000001 moves 1 Main\\User001.box", "00000002 moves 2 Main\\User002.box",
                     "00000003 moves 3 Main\\User003.box", "00000004 no-match 0 ", "00000005 moves 1 Main\\User001.box",
                     "00000006 moves 4 Main\\Trash.box", "00000007 unread 0 ", "00000008 moves 1 Main\\User001.box"}),
              verdicts(result));
    // Rule 5 matches messages 5 and 8, both decided by rule 1.
    EXPECT_EQ((Lines{"1 3/3", "2 1/1", "3 1/1", "4 1/1", "5 0/2 1"}), tallies(result));
    EXPECT_EQ((Lines{"shadowed 9 rule5"}), codes(result.findings.problems));
    EXPECT_TRUE(result.findings.unreadable.empty());
    // Subjects decoded for display, matching left on the raw bytes.
    EXPECT_EQ("[list-a] 会議のお知らせ", result.messages[0].subject);
    EXPECT_EQ("週報", result.messages[1].subject);
    EXPECT_EQ("[LIST-A] 定例の議事録", result.messages[4].subject);
}

TEST_F(Preview, UnreadMessagesWithAllOrWithTheOption) {
    PreviewResult all = previewFolder(root(), sample.inbox, true);
    EXPECT_EQ("00000007 moves 2 Main\\User002.box", verdicts(all)[6]);
    EXPECT_TRUE(all.messages[6].unread);
    box.writeRules("Main", {"[Generic]", "unreadmail=1", "[Rule]", "rule1=\"2: boss@: From::: 0: 0: Main\\User002.box\""});
    PreviewResult option = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ("00000007 moves 1 Main\\User002.box", verdicts(option)[6]);
}

TEST_F(Preview, MessagesThatStay) {
    box.writeRules("Main", {"[Rule]", "rule1=\"2: [list-a]: Subject::: 0: 0: main\\inbox.box\"",
                            "rule2=\"0: list-a: : 0: 0: Main\\User001.box\"", "rule3=\"0: boss: : 0: 0: Main\\Trash.box\""});
    PreviewResult result = previewFolder(root(), sample.inbox, false);
    Lines lines = verdicts(result);
    // The first match names the current folder (letter case aside): the message stays and
    // rule 2 is not tried, though it would match.
    EXPECT_EQ("00000001 same-folder 1 ", lines[0]);
    EXPECT_EQ("00000002 moves 3 Main\\Trash.box", lines[1]);
    EXPECT_EQ((Lines{"1 3/3", "2 0/3 1", "3 1/1"}), tallies(result));
}

TEST_F(Preview, TrashRulesGoToTheTrashOfTheMessagesAccount) {
    box.createAccount("Other");
    box.writeRules("Main", {"[Rule]", "rule1=\"0: boss: : 0: 0: Other\\Trash.box\""});
    PreviewResult result = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ("00000002 moves 1 Main\\Trash.box", verdicts(result)[1]);
}

TEST_F(Preview, RefusedRuns) {
    box.writeRules("Main", {"[Rule]", "rule1=\"0: a: : 0: 0: Main\\User001.box\"", "rule2=\"0: b: : 0: 0: Main\\User009.box\""});
    PreviewResult missing = previewFolder(root(), sample.inbox, false);
    EXPECT_NE(std::string::npos, missing.refusal.find("条件2番目の振り分け先フォルダが存在しません"));
    box.writeRules("Main", {"[Generic]", "unreadmail=0"});
    PreviewResult none = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ("振り分け条件がありません", none.refusal);
    EXPECT_EQ(ExitProblems, none.findings.exitCode());
}

TEST_F(Preview, BadInputGetsOneLineAndTheRestStillComesOut) {
    box.removeFile(sample.entries[1] + ".qpm");
    box.appendFile("Main\\Inbox.box\\Entry.lst", "garbage line\r\n00000099=short\r\n");
    PreviewResult result = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ((Lines{"broken-list", "unreadable-message"}), codes(result.findings.unreadable));
    EXPECT_NE(std::string::npos, result.findings.unreadable[0].message.find("9 行目ほか 1 行"));
    EXPECT_NE(std::string::npos, result.findings.unreadable[1].file.find("00000002.qpm"));
    EXPECT_EQ("00000002 unreadable 0 ", verdicts(result)[1]);
    EXPECT_EQ(8u, result.messages.size());
    EXPECT_EQ(ExitUnreadable, result.findings.exitCode());

    // Without its list the folder's message files stand in, all of them read.
    box.removeFile("Main\\Inbox.box\\Entry.lst");
    PreviewResult noList = previewFolder(root(), sample.inbox, false);
    EXPECT_EQ((Lines{"missing-list"}), codes(noList.findings.unreadable));
    EXPECT_EQ(7u, noList.messages.size());
    EXPECT_EQ("00000007 moves 2 Main\\User002.box", verdicts(noList)[5]);

    box.makeDirectory("Main\\Maildir\\cur");
    box.makeDirectory("Main\\Maildir\\new");
    EXPECT_EQ((Lines{"other-layout"}), codes(previewFolder(root(), "Main\\Maildir", false).findings.unreadable));
    EXPECT_EQ((Lines{"no-folder"}), codes(previewFolder(root(), "Main\\User042.box", false).findings.unreadable));
}

TEST_F(Preview, JsonMapsEveryEntryToItsDestination) {
    PreviewResult result = previewFolder(root(), sample.inbox, false);
    std::string json = renderPreviewJson(result);
    EXPECT_NE(std::string::npos, json.find("\"Main\\\\Inbox.box\\\\00000001\": \"Main\\\\User001.box\""));
    EXPECT_NE(std::string::npos, json.find("\"Main\\\\Inbox.box\\\\00000004\": null"));
    EXPECT_NE(std::string::npos, json.find("\"Main\\\\Inbox.box\\\\00000007\": null"));
    EXPECT_NE(std::string::npos, json.find("\"shadowed\": true"));
}

TEST_F(Preview, ExplainNamesEveryRuleAndTheWinner) {
    ExplainResult result = explainEntry(root(), sample.entries[4]);
    ASSERT_EQ(5u, result.explanations.size());
    const RuleExplanation& first = result.explanations[0];
    EXPECT_TRUE(first.matched);
    EXPECT_EQ(0, first.wonBy);
    EXPECT_TRUE(first.probe.inHeaderValue);
    EXPECT_EQ(0u, first.probe.offset);
    EXPECT_EQ("[LIST-A]", first.matchedText);
    EXPECT_FALSE(result.explanations[1].matched);
    EXPECT_FALSE(result.explanations[2].matched);
    const RuleExplanation& fifth = result.explanations[4];
    EXPECT_TRUE(fifth.matched);
    EXPECT_EQ(1, fifth.wonBy);
    EXPECT_EQ("定例", fifth.matchedText);
    EXPECT_EQ(strlen("[LIST-A] "), fifth.probe.offset);
    EXPECT_EQ(Outcome::Moves, result.verdict.outcome);
    EXPECT_NE(std::string::npos, renderExplainText(result).find("先に規則1 が一致しています"));

    // A regular expression over the whole message: line, column and the matched bytes.
    ExplainResult news = explainEntry(root(), sample.entries[2]);
    const RuleExplanation& third = news.explanations[2];
    ASSERT_TRUE(third.matched);
    EXPECT_EQ("unsubscribe", third.matchedText);
    EXPECT_EQ(5, third.line);
    EXPECT_EQ(4, third.column);

    // An unread message: the rules are still explained, the plug-in would not take it.
    ExplainResult unread = explainEntry(root(), sample.entries[6]);
    EXPECT_TRUE(unread.verdict.unread);
    EXPECT_EQ(Outcome::Unread, unread.verdict.outcome);
    EXPECT_EQ(2, unread.verdict.rule);

    ExplainResult gone = explainEntry(root(), "Main\\Inbox.box\\00000099");
    EXPECT_EQ((Lines{"unreadable-message"}), codes(gone.findings.unreadable));
}

TEST_F(Preview, CommandLineAndExitCodes) {
    std::string out, err;
    EXPECT_EQ(ExitClean, runCheckCommand({"lint", "--mailbox", root(), "--account", "Main"}, out, err));
    EXPECT_EQ(ExitProblems, runCheckCommand({"preview", "--mailbox", root(), "--folder", "Main/Inbox.box/"}, out, err));
    EXPECT_NE(std::string::npos, out.find("8 通中 6 通を移動します"));
    EXPECT_EQ(ExitUnreadable, runCheckCommand({"lint", "--mailbox", root(), "--account", "None", "--json"}, out, err));
    EXPECT_EQ(ExitClean,
              runCheckCommand({"explain", "--mailbox", root(), "--entry", sample.entries[0], "--json"}, out, err));
    EXPECT_NE(std::string::npos, out.find("\"decides\": true"));
    EXPECT_EQ(ExitUsage, runCheckCommand({"preview", "--mailbox", root()}, out, err));
    EXPECT_EQ(ExitUsage, runCheckCommand({"move", "--mailbox", root()}, out, err));
    EXPECT_EQ(ExitUsage, runCheckCommand({"lint", "--account"}, out, err));
}

TEST(CheckCommand, VersionIsTheOneInTheVersionFile) {
    std::ifstream file(CORVANE_VERSION_FILE);
    std::string version;
    ASSERT_TRUE(std::getline(file, version)) << CORVANE_VERSION_FILE;
    std::string out, err;
    EXPECT_EQ(ExitClean, runCheckCommand({"--version"}, out, err));
    EXPECT_EQ("corvane-check " + version + "\n", out);
}

namespace {

// Random messages and rules over a small alphabet: the probes agree with the plug-in's choice,
// and every reported match lies where the rule's text is.
std::string randomText(std::mt19937& random, size_t maxLength) {
    static const char alphabet[] = "aAbB:^$ \r\n";
    std::string text;
    size_t length = random() % (maxLength + 1);
    for (size_t i = 0; i < length; ++i)
        text += alphabet[random() % (sizeof alphabet - 1)];
    return text;
}

}  // namespace

TEST(RuleSetProbe, AgreesWithThePluginsFirstMatch) {
    std::mt19937 random(20240531);
    for (int round = 0; round < 300; ++round) {
        std::vector<LoadedRule> loaded(4);
        for (LoadedRule& entry : loaded) {
            DistributeRule& rule = entry.rule;
            rule.searchTarget = static_cast<int32_t>(random() % 4);
            copyString(rule.searchText, randomText(random, 3).c_str());
            copyString(rule.headerName, random() % 2 ? "Subject:" : "X:");
            rule.matchCase = random() % 2;
            rule.useRegex = random() % 3 == 0;
            if (rule.useRegex)
                copyString(rule.searchText, random() % 2 ? "a+b" : "^B|:$");
        }
        RuleSet set(loaded);
        std::string message = "Subject: " + randomText(random, 12) + "\r\nX: " + randomText(random, 6) + "\r\n\r\n" +
                              randomText(random, 20);
        int expected = set.firstMatch(message.c_str());
        int first = -1;
        for (size_t i = 0; i < set.size(); ++i) {
            RuleProbe probe = set.probe(i, message.c_str());
            if (!probe.matched)
                continue;
            if (first < 0)
                first = static_cast<int>(i);
            const DistributeRule& rule = set.rule(i);
            if (rule.useRegex && rule.searchTarget != NamedHeader)
                continue;
            const std::string& text = probe.inHeaderValue ? probe.headerValue : message;
            std::string pattern = rule.searchText;
            if (!pattern.empty() && pattern[0] == '^')
                pattern.erase(0, 1);
            if (!pattern.empty() && pattern.back() == '$')
                pattern.pop_back();
            ASSERT_EQ(pattern.size(), probe.length);
            ASSERT_LE(probe.offset + probe.length, text.size());
            std::string found = text.substr(probe.offset, probe.length);
            ASSERT_TRUE(rule.matchCase ? found == pattern : compareNoCase(found.c_str(), pattern.c_str()) == 0)
                << "rule " << i << " pattern " << pattern << " found " << found;
        }
        ASSERT_EQ(expected, first) << message;
    }
}

namespace {

class DemoMailbox : public MailboxTest {
protected:
    DemoMailbox() : demo(sample::buildSampleMailbox()) {
        for (const sample::SampleFile& file : demo.files) {
            std::filesystem::create_directories(std::filesystem::path(box.diskPath(file.path)).parent_path());
            box.writeFile(file.path, file.bytes);
        }
    }
    sample::SampleMailbox demo;
};

}  // namespace

// The demo's own mailbox: its rules file is clean, and the preview sends each kind of message
// where its rules say, leaving unread ones (the option is off) and the rest in place.
TEST_F(DemoMailbox, LintIsCleanAndThePreviewSortsEveryKind) {
    LintResult lint = lintAccount(root(), demo.account);
    EXPECT_EQ(9u, lint.rules.load.rules.size());
    EXPECT_TRUE(lint.findings.problems.empty()) << renderFindingsText(lint.findings);
    EXPECT_TRUE(lint.findings.unreadable.empty()) << renderFindingsText(lint.findings);

    PreviewResult preview = previewFolder(root(), demo.inbox, false);
    ASSERT_EQ(demo.messages.size(), preview.messages.size());
    const std::map<std::string, std::string> expected = {
        {"ml-corvane", "Main\\User004.box\\User005.box"}, {"ml-oniguruma", "Main\\User004.box\\User006.box"},
        {"invoice", "Main\\User007.box"},
        {"family", "Main\\User009.box"},                  {"minutes", "Main\\User001.box\\User003.box"},
        {"meeting", "Main\\User001.box\\User002.box"},
    };
    std::map<std::string, int> moved;
    for (size_t i = 0; i < demo.messages.size(); ++i) {
        const sample::SampleMessage& message = demo.messages[i];
        const MessageVerdict& verdict = preview.messages[i];
        ASSERT_EQ(message.entry.substr(message.entry.rfind('\\') + 1), verdict.key);
        if (message.unread) {
            EXPECT_STREQ("unread", outcomeCode(verdict.outcome)) << message.entry;
            continue;
        }
        if (message.kind == "spam") {
            // Flagged spam goes to its folder, the rest of the bulk mail to the trash.
            EXPECT_STREQ("moves", outcomeCode(verdict.outcome)) << message.entry;
            EXPECT_TRUE(verdict.destination == "Main\\User008.box" || verdict.destination == "Main\\Trash.box")
                << verdict.destination;
            ++moved[verdict.destination];
            continue;
        }
        auto it = expected.find(message.kind);
        if (it == expected.end()) {
            EXPECT_STRNE("moves", outcomeCode(verdict.outcome)) << message.entry << " " << message.kind;
            continue;
        }
        EXPECT_STREQ("moves", outcomeCode(verdict.outcome)) << message.entry << " " << message.kind;
        EXPECT_EQ(it->second, verdict.destination) << message.entry << " " << message.kind;
        ++moved[message.kind];
    }
    EXPECT_EQ(expected.size() + 2, moved.size()) << "every kind of the sample is sorted at least once";
}
