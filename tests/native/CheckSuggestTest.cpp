#include "CheckTestSupport.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/learning/RuleLearning.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RuleText.h"
#include "plugin/text/HeaderExtraction.h"
#include "tools/check/CheckCommand.h"
#include "tools/check/Preview.h"
#include "tools/check/Suggest.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

std::string message(const Lines& headers) {
    return MailboxBuilder::message(headers, "body\r\n");
}

// A learnt rule as "header text [case] -> destination".
std::string ruleText(const DistributeRule& rule) {
    std::string target = rule.searchTarget == NamedHeader   ? rule.headerName
                         : rule.searchTarget == HeaderBlock ? "(block)"
                                                            : "(whole)";
    return target + " " + rule.searchText + (rule.matchCase ? " [case]" : "") + " -> " + rule.destFolder;
}

}  // namespace

TEST(SuggestCandidates, TextsDrawnFromOneHeader) {
    struct Case {
        const char* header;
        std::string value;
        Lines expected;
    };
    const Case cases[] = {
        {"List-Id:", "Oniguruma JA <ONIGURUMA-JA.lists.example.org>", {"ONIGURUMA-JA.lists.example.org"}},
        {"List-Id:", "plain.lists.example.org", {"plain.lists.example.org"}},
        {"X-Mailing-List:", "<ml@x.org> archive/latest/12", {"ml@x.org"}},
        {"X-ML-Name:", " corvane-users ", {"corvane-users"}},
        {"From:", "=?ISO-2022-JP?B?GyRC?= <tanaka@example.co.jp>", {"tanaka@example.co.jp", "@example.co.jp"}},
        {"Sender:", "owner@lists.example.org", {"owner@lists.example.org", "@lists.example.org"}},
        {"From:", "nobody", {}},
        {"To:", "a@x.jp, \"B\" <b@y.jp>", {"a@x.jp", "b@y.jp"}},
        {"Cc:", "a@x.jp, a@x.jp", {"a@x.jp"}},
        {"Delivered-To:", "alias@example.co.jp", {"alias@example.co.jp"}},
        // A double-byte name whose second byte is "@" (ァ 0x83 0x40) is no address.
        {"To:", "\x83\x40\x83\x40 <c@z.jp>", {"c@z.jp"}},
        {"Subject:", "[corvane-users:01019] =?ISO-2022-JP?B?GyRC?=", {"[corvane-users:"}},
        {"Subject:", "Re: RE:[Oniguruma-JA 17] Re: x", {"[Oniguruma-JA"}},
        {"Subject:", "[list-a] meeting", {"[list-a]"}},
        {"Subject:", "(ml-talk 00042) hello", {"(ml-talk"}},
        {"Subject:", "[00123] numbers only", {}},
        // The second byte 0x5D of a double-byte character is no closing bracket.
        {"Subject:", "[a\x81\x5D" "b] z", {"[a\x81\x5D" "b]"}},
        {"Subject:", "\x81\x79\x96\xA2\x8F\xB3\x91\xF8\x81\x7A\x8D\xA1\x82\xBE\x82\xAF",
         {"\x81\x79\x96\xA2\x8F\xB3\x91\xF8\x81\x7A"}},
        {"Subject:", "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?= continued", {"=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?="}},
        {"Subject:", "^caret starts", {}},
        {"Subject:", "price$ ends", {}},
        {"Subject:", "abc", {}},
        {"Subject:", "ab\x01" "cd efgh", {}},
        {"X-Unknown:", "value", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, candidateTexts(c.header, c.value)) << c.header << " " << c.value;
}

TEST(SuggestCandidates, CaseMattersForDoubleByteLetters) {
    const std::pair<std::string, bool> cases[] = {
        {"abc", false}, {"\x83\x41", true}, {"\x82\xA0xyz", false}, {"a\x83\x61", true}, {"\x81\x40" "A", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, caseMatters(c.first)) << c.first;
}

namespace {

struct CaseMessage {
    int folder;  // -1: stays in the inbox
    Lines headers;
    std::string body = "body\r\n";
};

struct LearnCase {
    const char* name;
    std::vector<CaseMessage> messages;
    Lines existing;                               // rule values run first
    Lines expectedRules;
    Lines expectedUnseparated;  // "folder message: existing N" or "folder message: header text ~ clash xN"
};

Learning learnCase(const LearnCase& c, LearnInput& input) {
    input.folders = {"Main\\User001.box", "Main\\User002.box"};
    input.options = LearnOptions::plainCover();
    for (const auto& m : c.messages)
        input.messages.push_back({MailboxBuilder::message(m.headers, m.body), m.folder});
    for (const std::string& value : c.existing) {
        DistributeRule rule;
        EXPECT_TRUE(parseRuleValue(value.c_str(), rule)) << value;
        input.existing.push_back(rule);
    }
    return learnRules(input);
}

}  // namespace

TEST(SuggestLearning, FewestRulesThatTakeNoOtherMail) {
    const std::string encoded = "=?ISO-2022-JP?B?QUJD?=";
    const LearnCase cases[] = {
        {"one list each; the inbox's mail from the same people keeps From out",
         {{0, {"From: a@x.jp", "List-Id: <a.lists.x.jp>"}},
          {0, {"From: b@x.jp", "List-Id: <a.lists.x.jp>"}},
          {1, {"From: a@x.jp", "List-Id: B list <b.lists.x.jp>"}},
          {-1, {"From: a@x.jp", "Subject: hello there"}}},
         {},
         {"List-Id: a.lists.x.jp -> Main\\User001.box", "List-Id: b.lists.x.jp -> Main\\User002.box"},
         {}},
        {"a domain takes several senders; a list tag with its number cut",
         {{0, {"From: s1@shop.example", "Subject: sale 1"}},
          {0, {"From: s2@shop.example", "Subject: sale 2"}},
          {0, {"From: s3@shop.example", "Subject: sale 3"}},
          {1, {"From: x@other.example", "Subject: [team:0001] a"}},
          {1, {"From: y@other.example", "Subject: [team:0002] b"}},
          {-1, {"From: z@other.example", "Subject: c"}}},
         {},
         {"From: @shop.example -> Main\\User001.box", "Subject: [team: -> Main\\User002.box"},
         {}},
        {"two folders fed by the same list cannot be told apart",
         {{0, {"List-Id: <l.x.jp>", "Subject: [l] one"}},
          {1, {"List-Id: <l.x.jp>", "Subject: [l] two"}},
          {1, {"List-Id: <l.x.jp>", "Subject: [l] three"}}},
         {},
         {},
         {"0 0: List-Id: l.x.jp ~ 1 x2", "1 1: List-Id: l.x.jp ~ 0 x1", "1 2: List-Id: l.x.jp ~ 0 x1"}},
        {"mail left in the inbox is mail no rule may take",
         {{0, {"From: boss@x.jp", "Subject: report 1"}}, {-1, {"From: boss@x.jp", "Subject: lunch"}}},
         {},
         {},
         {"0 0: From: boss@x.jp ~ -1 x1"}},
        {"case kept only where folding would take the other folder's mail",
         {{0, {"Subject: " + encoded}}, {1, {"Subject: =?iso-2022-jp?b?qujd?="}}, {1, {"Subject: [x] y"}}},
         {},
         {"Subject: " + encoded + " [case] -> Main\\User001.box",
          "Subject: =?iso-2022-jp?b?qujd?= [case] -> Main\\User002.box", "Subject: [x] -> Main\\User002.box"},
         {}},
        {"a header-block line only where no named header separates",
         {{0, {"From: p@promo.example", "X-Spam-Flag: YES"}},
          {0, {"From: q@promo.example", "X-Spam-Flag: YES"}},
          {1, {"From: p@promo.example"}},
          {1, {"From: q@promo.example"}}},
         {},
         {"(block) X-Spam-Flag: YES -> Main\\User001.box"},
         {"1 2: From: @promo.example ~ 0 x2", "1 3: From: @promo.example ~ 0 x2"}},
        {"a body line, as a whole-message rule, only where no header line separates",
         {{0, {"From: p@promo.example"}, "Hi\r\n-- \r\nTo unsubscribe visit example.org\r\n"},
          {0, {"From: q@promo.example"}, "Hello\r\nTo unsubscribe visit example.org\r\n"},
          {1, {"From: p@promo.example"}, "Hi\r\nTo stop, reply\r\n"},
          {1, {"From: q@promo.example"}, "Hi\r\nTo stop, reply\r\n"}},
         {},
         {"(whole) To unsubscribe visit example.org -> Main\\User001.box",
          "(whole) To stop, reply -> Main\\User002.box"},
         {}},
        {"existing rules run first: one files mail, one sends it elsewhere",
         {{0, {"From: a@x.jp", "Subject: [a] 1"}},
          {0, {"From: b@x.jp", "Subject: [a] 2"}},
          {0, {"From: c@x.jp", "Subject: [a] 3"}},
          {1, {"From: d@y.jp"}}},
         {"2: a@x.jp: From::: 0: 0: Main\\User001.box", "2: c@x.jp: From::: 0: 0: Main\\User002.box"},
         {"From: b@x.jp -> Main\\User001.box", "From: d@y.jp -> Main\\User002.box"},
         {"0 2: existing 2"}},
    };
    for (const LearnCase& c : cases) {
        LearnInput input;
        Learning learning = learnCase(c, input);
        Lines rules, unseparated;
        for (const SuggestedRule& rule : learning.rules)
            rules.push_back(ruleText(rule.rule));
        for (size_t f = 0; f < learning.folders.size(); ++f)
            for (const Unseparated& u : learning.folders[f].unseparated)
                unseparated.push_back(std::to_string(f) + " " + std::to_string(u.message) + ": " +
                                      (u.existingRule ? "existing " + std::to_string(u.existingRule)
                                                      : std::string(u.best.headerName) + " " + u.best.searchText +
                                                            " ~ " + std::to_string(u.clashFolder) + " x" +
                                                            std::to_string(u.clashCount)));
        EXPECT_EQ(c.expectedRules, rules) << c.name;
        EXPECT_EQ(c.expectedUnseparated, unseparated) << c.name;
        // Whatever was learnt, read back as the plug-in reads the lines, takes no message filed
        // elsewhere or left in the inbox.
        std::vector<LoadedRule> existing;
        for (const std::string& value : c.existing) {
            LoadedRule loaded;
            loaded.value = value;
            existing.push_back(loaded);
        }
        std::vector<int> destinations =
            destinationsOf(existing, suggestionLines(learning, static_cast<int>(existing.size()) + 1), input.folders,
                           input.messages);
        ASSERT_EQ(input.messages.size(), destinations.size()) << c.name;
        for (size_t m = 0; m < destinations.size(); ++m) {
            if (destinations[m] != -1) {
                EXPECT_TRUE(destinations[m] == input.messages[m].folder || !c.existing.empty()) << c.name << " " << m;
            }
        }
    }
}

// A folder of mail from ever new senders: one rule each until the limit of candidates tried,
// the rest reported as stopped there, never a wrong rule.
TEST(SuggestLearning, EverNewSendersStopAtTheCandidateLimit) {
    LearnInput input;
    input.folders = {"Main\\User001.box"};
    input.options = LearnOptions::plainCover();
    const int extra = 10;
    for (int i = 0; i < static_cast<int>(kMostCandidatesPerFolder) + extra; ++i)
        input.messages.push_back({message({"From: s" + std::to_string(i) + "@d" + std::to_string(i) + ".example"}), 0});
    Learning learning = learnRules(input);
    const FolderLearning& folder = learning.folders[0];
    EXPECT_TRUE(folder.capped);
    EXPECT_EQ(static_cast<int>(kMostCandidatesPerFolder), folder.covered);
    ASSERT_EQ(static_cast<size_t>(extra), folder.unseparated.size());
    EXPECT_EQ('\0', folder.unseparated[0].best.searchText[0]);
}

namespace {

// The plain reference: a message can be filed when some text drawn from its own headers, as a
// rule run by the plug-in's own matching, takes no message of another folder or of the inbox.
bool separable(const LearnInput& input, size_t message) {
    int folder = input.messages[message].folder;
    for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot) {
        char value[1024];
        if (!extractHeaderValue(input.messages[message].text.c_str(), kLearnedHeaders[slot], value))
            continue;
        for (const std::string& text : candidateTexts(kLearnedHeaders[slot], value)) {
            for (int matchCase = caseMatters(text) ? 1 : 0; matchCase < 2; ++matchCase) {
                RuleList rules(1);
                rules[0].searchTarget = NamedHeader;
                copyString(rules[0].headerName, kLearnedHeaders[slot]);
                copyString(rules[0].searchText, text.c_str());
                rules[0].matchCase = static_cast<uint8_t>(matchCase);
                copyString(rules[0].destFolder, input.folders[static_cast<size_t>(folder)].c_str());
                if (!ruleFitsRecord(rules[0]))
                    continue;
                bool clean = true;
                for (const LearnMessage& other : input.messages)
                    if (other.folder != folder && findMatchingRule(rules, other.text.c_str()) == 0)
                        clean = false;
                if (clean)
                    return true;
            }
        }
    }
    return false;
}

}  // namespace

// Random mailboxes from small vocabularies that overlap across folders, in letter case and in
// double-byte characters whose second byte is a letter: the learnt rules file every message the
// reference can separate, and never send a message to a folder not its own.
TEST(SuggestLearning, AgreesWithThePlainReferenceOnRandomMailboxes) {
    const Lines from = {"a@x.jp", "A@X.jp", "b@x.jp", "c@y.jp", "=?ISO-2022-JP?B?GyRC?= <d@y.jp>", "\x83\x41 <e@z.jp>",
                        "odd: ^f@g$"};
    const Lines to = {"main@x.jp", "team@x.jp", "a@x.jp, team@x.jp"};
    const Lines subject = {"[ml:1] q", "[ML:22] r", "[ml2] s", "report 1", "Report 2", "\x81\x79\x83\x41\x81\x7A t",
                           "\x81\x79\x83\x61\x81\x7A u", "=?ISO-2022-JP?B?QUJD?=", "=?iso-2022-jp?b?qujd?=",
                           "[a: b:12] colon and blank", "^x$ anchors", "lead\x82", "(p 7) q"};
    const Lines list = {"", "<l1.x.jp>", "<L1.x.jp>", "<l2.x.jp>"};
    for (unsigned seed = 1; seed <= 100; ++seed) {
        std::mt19937 random(seed);
        LearnInput input;
        input.folders = {"Main\\User001.box", "Main\\User002.box", "Main\\User003.box"};
        input.options = LearnOptions::plainCover();
        for (int i = 0; i < 30; ++i) {
            Lines headers = {"From: " + from[random() % from.size()], "To: " + to[random() % to.size()],
                             "Subject: " + subject[random() % subject.size()]};
            const std::string& id = list[random() % list.size()];
            if (!id.empty())
                headers.push_back("List-Id: " + id);
            input.messages.push_back({message(headers), static_cast<int>(random() % 4) - 1});
        }
        Learning learning = learnRules(input);
        std::vector<int> destinations = destinationsOf({}, suggestionLines(learning, 1), input.folders, input.messages);
        ASSERT_EQ(input.messages.size(), destinations.size());
        std::vector<int> filed(input.folders.size(), 0);
        for (size_t m = 0; m < input.messages.size(); ++m) {
            int own = input.messages[m].folder;
            ASSERT_TRUE(destinations[m] == -1 || destinations[m] == own) << "seed " << seed << " message " << m;
            if (own < 0)
                continue;
            filed[static_cast<size_t>(own)] += destinations[m] == own;
            if (separable(input, m)) {
                EXPECT_EQ(own, destinations[m]) << "seed " << seed << " message " << m;
            }
        }
        for (size_t f = 0; f < input.folders.size(); ++f) {
            const FolderLearning& folder = learning.folders[f];
            EXPECT_EQ(folder.covered, filed[f]) << "seed " << seed;
            EXPECT_EQ(folder.filed, folder.covered + static_cast<int>(folder.unseparated.size())) << "seed " << seed;
        }
    }
}

// Hostile bytes in the header lines: learning never reads past a value, and whatever it suggests
// still sends no message to a folder not its own.
TEST(SuggestLearning, RandomBytesInHeaders) {
    const char* const names[] = {"From: ", "To: ", "Subject: ", "List-Id: ", "X-Other: ", "", " "};
    std::mt19937 random(11);
    LearnInput input;
    input.folders = {"Main\\User001.box", "Main\\User002.box"};
    input.options = LearnOptions::plainCover();
    for (int i = 0; i < 120; ++i) {
        std::string text;
        for (int line = static_cast<int>(random() % 6); line >= 0; --line) {
            text += names[random() % 7];
            // Mostly the bytes that candidates are cut at, some letters, double-byte
            // characters and any other byte.
            const std::string cuts = "<>@,[]():^$ .aA";
            for (int n = static_cast<int>(random() % 40); n > 0; --n) {
                unsigned kind = random() % 4;
                if (kind == 0)
                    text += cuts[random() % cuts.size()];
                else if (kind == 1)
                    text += static_cast<char>('a' + random() % 4);
                else if (kind == 2)
                    text += std::string("\x83") + static_cast<char>(0x40 + random() % 0x3F);
                else
                    text += static_cast<char>(1 + random() % 255);
            }
            text += "\r\n";
        }
        input.messages.push_back({text + "\r\nbody", static_cast<int>(random() % 3) - 1});
    }
    Learning learning = learnRules(input);
    EXPECT_GT(learning.rules.size(), 10u) << "the bytes make rules, so the check below has something to check";
    std::vector<int> destinations = destinationsOf({}, suggestionLines(learning, 1), input.folders, input.messages);
    ASSERT_EQ(input.messages.size(), destinations.size());
    for (size_t m = 0; m < destinations.size(); ++m)
        ASSERT_TRUE(destinations[m] == -1 || destinations[m] == input.messages[m].folder) << m;
}

namespace {

// The demo's sample mailbox after the demo's sort: every message a run takes moved to its
// rule's folder, then the rules file removed.
class SuggestSample : public MailboxTest {
protected:
    static void writeSample(MailboxBuilder& builder, const sample::SampleMailbox& mailbox) {
        for (const sample::SampleFile& file : mailbox.files) {
            std::filesystem::create_directories(std::filesystem::path(builder.diskPath(file.path)).parent_path());
            builder.writeFile(file.path, file.bytes);
        }
    }

    static void sortLikeTheDemo(MailboxBuilder& builder, const std::string& inbox) {
        PreviewResult preview = previewFolder(builder.root(), inbox, false);
        std::string kept;
        std::string list = builder.readFile(MailboxBuilder::listFile(inbox));
        for (const MessageVerdict& verdict : preview.messages) {
            size_t at = list.find(verdict.key + "=");
            std::string record = list.substr(at, list.find("\r\n", at) + 2 - at);
            if (verdict.outcome != Outcome::Moves) {
                kept += record;
                continue;
            }
            std::filesystem::rename(builder.diskPath(verdict.entry + ".qpm"),
                                    builder.diskPath(verdict.destination + "\\" + verdict.key + ".qpm"));
            builder.appendFile(MailboxBuilder::listFile(verdict.destination), record);
        }
        builder.writeFile(MailboxBuilder::listFile(inbox), kept);
    }

    SuggestSample() : demo(sample::buildSampleMailbox()) {
        writeSample(box, demo);
        sortLikeTheDemo(box, demo.inbox);
        box.removeFile(demo.account + "\\corvane.ini");
    }

    sample::SampleMailbox demo;
};

std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            files[entry.path().string()] =
                std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
    return files;
}

}  // namespace

TEST_F(SuggestSample, RecoversTheDemosFilingOnTheHeldOutHalf) {
    SuggestResult result = suggestRules(root(), demo.account, true);
    EXPECT_TRUE(result.findings.unreadable.empty()) << renderFindingsText(result.findings);
    EXPECT_TRUE(result.findings.problems.empty()) << renderSuggestText(result);
    ASSERT_EQ(7u, result.input.folders.size());
    for (size_t f = 0; f < result.input.folders.size(); ++f)
        EXPECT_EQ(result.learning.folders[f].filed, result.proven[f]) << result.input.folders[f];
    EXPECT_EQ(0, result.provenWrong);
    EXPECT_EQ(1, result.firstNumber);
    EXPECT_TRUE(result.needsSection);
    EXPECT_FALSE(result.huge.empty()) << "the sample has messages over 64 KB";

    const HoldoutFigures& figures = result.figures;
    ASSERT_GT(figures.moved, 0);
    EXPECT_EQ(figures.moved, figures.correct) << "precision 100%";
    EXPECT_GE(figures.correct * 100, figures.heldOut * 95) << "recall at least 95%";
    std::cout << "[ figures  ] suggest --holdout on the sample: learnt " << figures.learnt << ", moved "
              << figures.moved << ", correct " << figures.correct << ", held-out filed " << figures.heldOut
              << ", rules " << result.lines.size() << "\n";
}

TEST_F(SuggestSample, LearntRulesSortAnotherSeedsInboxLikeTheDemo) {
    SuggestResult learnt = suggestRules(root(), demo.account, false);
    ASSERT_FALSE(learnt.lines.empty());

    std::string otherRoot = root() + "other/";
    MailboxBuilder fresh(otherRoot);
    sample::SampleMailbox next = sample::buildSampleMailbox(4242, 400);
    writeSample(fresh, next);
    PreviewResult byDemo = previewFolder(fresh.root(), next.inbox, true);
    std::string ini = "[Generic]\r\nunreadmail=0\r\nreportresult=1\r\n[Rule]\r\n";
    for (const std::string& line : learnt.lines)
        ini += line + "\r\n";
    fresh.writeFile(next.account + "\\corvane.ini", ini);
    PreviewResult bySuggestions = previewFolder(fresh.root(), next.inbox, true);
    ASSERT_EQ(byDemo.messages.size(), bySuggestions.messages.size());
    EXPECT_TRUE(bySuggestions.findings.unreadable.empty()) << renderFindingsText(bySuggestions.findings);

    int same = 0, filed = 0;
    for (size_t i = 0; i < byDemo.messages.size(); ++i) {
        const MessageVerdict& demoVerdict = byDemo.messages[i];
        const MessageVerdict& verdict = bySuggestions.messages[i];
        const std::string& kind = next.messages[i].kind;
        bool demoFiles = demoVerdict.outcome == Outcome::Moves && demoVerdict.destination != "Main\\Trash.box";
        if (demoFiles) {
            ++filed;
            same += verdict.destination == demoVerdict.destination;
            EXPECT_EQ(demoVerdict.destination, verdict.destination) << verdict.entry << " " << kind;
        } else if (kind == "spam") {
            // Bulk mail the demo throws away: the trash is not learnt from, the spam folder takes it.
            EXPECT_TRUE(verdict.outcome != Outcome::Moves || verdict.destination == "Main\\User008.box")
                << verdict.entry;
        } else {
            EXPECT_NE(Outcome::Moves, verdict.outcome) << verdict.entry << " " << kind << " " << verdict.destination;
        }
    }
    std::cout << "[ figures  ] seed 4242 inbox: " << same << " of " << filed
              << " messages the demo's rules file go to the same folder with the learnt rules\n";
}

TEST_F(SuggestSample, CommandPrintsPastableLinesAndWritesNothing) {
    std::map<std::string, std::string> before = snapshot(root());
    std::string out, err;
    int code = runCheckCommand({"suggest", "--mailbox", root(), "--account", "Main", "--holdout"}, out, err);
    EXPECT_EQ(0, code) << out << err;
    EXPECT_EQ(before, snapshot(root()));
    EXPECT_NE(std::string::npos, out.find("\n[Rule]\nrule1=\"")) << out;
    EXPECT_NE(std::string::npos, out.find("適合率 100.0%")) << out;

    // The printed lines, pasted into a rules file, load whole and lint clean.
    std::string ini = "[Generic]\r\nunreadmail=0\r\n";
    ini += out.substr(out.find("[Rule]\n"));
    ini = ini.substr(0, ini.find("\n", ini.rfind("\nrule")) + 1);
    box.writeFile("Main\\corvane.ini", ini);
    std::string lintOut, lintErr;
    EXPECT_EQ(0, runCheckCommand({"lint", "--mailbox", root(), "--account", "Main"}, lintOut, lintErr)) << lintOut;

    // With those rules in place, a second run numbers after them and finds nothing to add.
    out.clear();
    EXPECT_EQ(0, runCheckCommand({"suggest", "--mailbox", root(), "--account", "Main", "--json"}, out, err)) << out;
    EXPECT_NE(std::string::npos, out.find("\"command\": \"suggest\"")) << out;
    EXPECT_NE(std::string::npos, out.find("\"rules\": []")) << out;
}

namespace {

class SuggestInput : public MailboxTest {};

}  // namespace

TEST_F(SuggestInput, BadInputIsCountedAndNamedNeverACrash) {
    box.createAccount("Main", "I001002003004OT");
    std::string good = box.createUserFolder("Main", "001", "good");
    std::string noEntry = box.createUserFolder("Main", "002", "no entry file");
    std::string garbled = box.createUserFolder("Main", "003", "garbled list");
    std::string mixed = box.createUserFolder("Main", "004", "odd messages");
    for (int i = 0; i < 3; ++i)
        box.addMessage(good, message({"From: a@x.jp", "Subject: [good] " + std::to_string(i)}));
    box.addMessage(noEntry, message({"From: b@x.jp"}));
    box.removeFile(noEntry + "\\Entry.ini");
    box.addMessage(garbled, message({"From: c@x.jp", "Subject: [garbled] 1"}));
    box.appendFile(MailboxBuilder::listFile(garbled), "\x01\x02 not a record\r\n");
    box.addMessage(mixed, message({"From: d@x.jp", "Subject: [odd] big"}) + std::string(100000, 'x'));
    box.addMessage(mixed, message({"From: d@x.jp", "Subject: [odd] nul"}) + std::string("a\0b", 3));
    std::string missing = box.addMessage(mixed, message({"From: d@x.jp"}));
    box.removeFile(missing + ".qpm");

    std::string out, err;
    int code = runCheckCommand({"suggest", "--mailbox", root(), "--account", "Main"}, out, err);
    EXPECT_EQ(ExitUnreadable, code) << out;
    SuggestResult result = suggestRules(root(), "Main", true, false, LearnOptions::plainCover());
    EXPECT_EQ((Lines{"no-entry-file", "broken-list", "unreadable-message"}), codes(result.findings.unreadable));
    EXPECT_EQ((Lines{mixed + "\\00000006"}), result.huge);
    EXPECT_EQ((Lines{mixed + "\\00000007"}), result.binary);
    Lines rules;
    for (const SuggestedRule& rule : result.learning.rules)
        rules.push_back(ruleText(rule.rule));
    EXPECT_EQ((Lines{"From: a@x.jp -> Main\\User001.box", "From: c@x.jp -> Main\\User003.box",
                     "From: d@x.jp -> Main\\User004.box"}),
              rules);
    EXPECT_NE(std::string::npos, out.find("64KB を超えるメール")) << out;
}

TEST_F(SuggestInput, EmptyOrMissingAccount) {
    struct Case {
        bool makeAccount;
        int exit;
        const char* text;
    };
    const Case cases[] = {
        {true, ExitClean, "提案できる規則はありません"},
        {false, ExitUnreadable, "アカウントのディレクトリがありません"},
    };
    for (const Case& c : cases) {
        if (c.makeAccount)
            box.createAccount("Main");
        std::string out, err;
        std::string account = c.makeAccount ? "Main" : "Gone";
        EXPECT_EQ(c.exit, runCheckCommand({"suggest", "--mailbox", root(), "--account", account}, out, err))
            << out;
        EXPECT_NE(std::string::npos, out.find(c.text)) << out;
    }
}

// The inbox's mail is what the rules are for: a read message there keeps a rule out only when it
// is more than half of what the rule takes; each rule names what it would take there now.
TEST_F(SuggestInput, MailLeftInTheInboxKeepsRulesOutOnlyAboveItsShare) {
    struct Case {
        int read;
        Lines args;
        Lines texts;
    } cases[] = {
        {1, {}, {"rule1=\"2: boss@x.jp: From::: 0: 0: ", "規則1: 既読 1 通、未読 0 通",
                 "郵便受けのメール 2 通 (うち未読 0 通)"}},
        {3, {}, {"rule1=", "規則1: 既読 3 通、未読 0 通"}},
        {4, {}, {"「boss@x.jp」 は郵便受けに残したメールの 4 通にも一致します", "提案できる規則はありません"}},
        {4, {"--ignore-inbox"}, {"rule1=\"2: boss@x.jp: From::: 0: 0: ", "(--ignore-inbox)"}},
        {1, {"--json"}, {"\"inboxRead\": 1,\n      \"inboxUnread\": 0", "\"waiting\": 0"}},
    };
    int number = 0;
    for (const Case& c : cases) {
        std::string account = "Main" + std::to_string(++number);
        box.createAccount(account, "I001OT");
        std::string folder = box.createUserFolder(account, "001", "boss");
        for (int i = 0; i < kLeastEvidence; ++i)
            box.addMessage(folder, message({"From: boss@x.jp", "Subject: hello"}));
        for (int i = 0; i < c.read; ++i)
            box.addMessage(account + "\\Inbox.box", message({"From: boss@x.jp", "Subject: hello"}));
        box.addMessage(account + "\\Inbox.box", message({"From: friend@y.jp", "Subject: hello"}));
        Lines args = {"suggest", "--mailbox", root(), "--account", account};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string out, err;
        runCheckCommand(args, out, err);
        for (const std::string& text : c.texts)
            EXPECT_NE(std::string::npos, out.find(text)) << c.read << ": " << text << "\n" << out;
    }
}

TEST_F(SuggestInput, ExistingRulesRunFirstAndTheNumbersFollowThem) {
    box.createAccount("Main", "I001002OT");
    std::string work = box.createUserFolder("Main", "001", "work");
    std::string news = box.createUserFolder("Main", "002", "news");
    box.addMessage(work, message({"From: boss@x.jp", "Subject: [work] a"}));
    box.addMessage(work, message({"From: news@n.jp", "Subject: [work] b"}));  // the rule below takes it to news
    box.addMessage(news, message({"From: news@n.jp", "Subject: daily"}));
    box.addMessage("Main\\Inbox.box", message({"From: news@n.jp", "Subject: left"}));
    box.writeRules("Main", {"[Rule]", "rule1=\"2: news@n.jp: From::: 0: 0: Main\\User002.box\""});
    SuggestResult result = suggestRules(root(), "Main", false, false, LearnOptions::plainCover());
    EXPECT_EQ(2, result.firstNumber);
    EXPECT_FALSE(result.needsSection);
    EXPECT_EQ(0, result.provenWrong) << "what the existing rule does is not the suggestions' doing";
    EXPECT_EQ((std::vector<int>{1, 1}), result.proven);
    EXPECT_EQ((Lines{"rule2=\"2: boss@x.jp: From::: 0: 0: Main\\User001.box\""}), result.lines);
    std::string out = renderSuggestText(result);
    EXPECT_NE(std::string::npos, out.find("既存の規則1 が先に Main\\User002.box へ振り分けます")) << out;
    EXPECT_NE(std::string::npos, out.find("(うち既存の規則で 1 通)")) << out;
}

// A sender's mail in one folder and its adverts in another: suggest gives the sender's rule with
// the adverts' tag as a condition that must not hold, its condition lines under an id the rules
// file does not use yet, and the whole reads back and sorts the mail it was learnt from.
TEST_F(SuggestInput, ASecondConditionIsPrintedWithItsOwnLinesAndProved) {
    struct Case {
        Lines rulesFile;
        Lines texts;  // in the text output
        Lines absent;
    } cases[] = {
        {{},
         {"rule1=\"", ": shop@x.jp: From::: 0: 0: Main1\\User001.box\"", "rule2=\"2: [AD]: Subject::: 0: 0: Main1\\User002.box\"",
          "[Conditions]\nc1.1=\"2: [AD]: Subject::: 0: 0: 1\"",
          "規則1: ヘッダ「From:」の「shop@x.jp」、かつヘッダ「Subject:」の「[AD]」を含まない"},
         {}},
        // A rule of two conditions under id 1 that takes none of this mail, and a stale id 2.
        {{"[Rule]", "rule1=\"1073741970: nobody@none.jp: From::: 0: 0: Main2\\User002.box\"", "[Conditions]",
          "c1.1=\"0: x: : 0: 0: 0\"", "c2.1=\"0: y: : 0: 0: 0\""},
         {"rule2=\"", "c3.1=\"2: [AD]: Subject::: 0: 0: 1\"", "規則2: ヘッダ「From:」の"},
         {"[Conditions]\n", "c1.1=\"2", "c2.1=\"2"}},
    };
    int number = 0;
    for (const Case& c : cases) {
        std::string account = "Main" + std::to_string(++number);
        box.createAccount(account, "I001002OT");
        std::string sender = box.createUserFolder(account, "001", "sender");
        std::string adverts = box.createUserFolder(account, "002", "adverts");
        const char* subjects[] = {"Invoice for March", "Your parcel left", "About the meeting", "Lunch next week"};
        for (const char* subject : subjects)
            box.addMessage(sender, message({"From: shop@x.jp", std::string("Subject: ") + subject}));
        for (int i = 0; i < 3; ++i)
            box.addMessage(adverts, message({"From: shop@x.jp", "Subject: [AD] sale " + std::to_string(i)}));
        if (!c.rulesFile.empty())
            box.writeRules(account, c.rulesFile);
        SuggestResult result = suggestRules(root(), account, false, false, LearnOptions());
        EXPECT_EQ((std::vector<int>{4, 3}), result.proven) << number;
        EXPECT_EQ(0, result.provenWrong) << number;
        EXPECT_TRUE(result.findings.problems.empty()) << number << renderFindingsText(result.findings);
        std::string out = renderSuggestText(result);
        for (const std::string& text : c.texts)
            EXPECT_NE(std::string::npos, out.find(text)) << number << ": " << text << "\n" << out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(std::string::npos, out.find(text)) << number << ": " << text << "\n" << out;
        std::string json = renderSuggestJson(result);
        EXPECT_NE(std::string::npos, json.find("\"text\": \"[AD]\",\n          \"matchCase\": false,\n          \"negate\": true"))
            << json;
    }
}

TEST(SuggestCommand, Arguments) {
    const std::pair<Lines, const char*> cases[] = {
        {{"suggest", "--mailbox", "x"}, "--account がありません"},
        {{"suggest", "--account", "Main"}, "--mailbox がありません"},
        {{"suggest", "--mailbox", "x", "--account", "Main", "--bogus"}, "知らない引数です"},
    };
    for (const auto& c : cases) {
        std::string out, err;
        EXPECT_EQ(ExitUsage, runCheckCommand(c.first, out, err));
        EXPECT_NE(std::string::npos, err.find(c.second)) << err;
    }
}
