#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "CheckTestSupport.h"
#include "LearningMailbox.h"
#include "plugin/learning/Holdout.h"
#include "plugin/learning/LearnCandidates.h"
#include "plugin/learning/LearnMail.h"
#include "plugin/learning/RuleLearning.h"
#include "tools/check/CheckCommand.h"
#include "tools/check/Suggest.h"

using namespace corvane;
using namespace corvane::testmailbox;

namespace {

typedef std::vector<std::string> Lines;

std::string ruleText(const DistributeRule& rule) {
    std::string target = rule.searchTarget == NamedHeader ? rule.headerName : "(other)";
    std::string further;
    for (const RuleCondition& c : rule.conditions)
        further += std::string(c.negate ? " and not " : " and ") + c.headerName + " " + c.searchText;
    return target + " " + rule.searchText + (rule.matchCase ? " [case]" : "") + further + " -> " + rule.destFolder;
}

Lines rulesOf(const Learning& learning) {
    Lines rules;
    for (const SuggestedRule& rule : learning.rules)
        rules.push_back(ruleText(rule.rule));
    return rules;
}

std::string mail(const Lines& headers) {
    return MailboxBuilder::message(headers, "body\r\n");
}

struct Figures {
    int moved = 0, correct = 0, filed = 0;
};

// The rules, read back as the plug-in reads them, run over the held-out mail.
Figures sortHeldOut(const LearnInput& all, const HoldoutSplit& split, const Learning& learnt) {
    std::vector<LearnMessage> tested;
    for (size_t m : split.heldOut)
        tested.push_back(all.messages[m]);
    std::vector<int> to = destinationsOf({}, suggestionLines(learnt, 1), all.folders, tested);
    Figures figures;
    EXPECT_EQ(tested.size(), to.size());
    for (size_t i = 0; i < to.size(); ++i) {
        figures.filed += tested[i].folder >= 0;
        figures.moved += to[i] != -1;
        figures.correct += to[i] != -1 && to[i] == tested[i].folder;
    }
    return figures;
}

}  // namespace

// Rules learnt from the older two thirds sort the newest third as a person's rules would: the
// display-name feeds behind one gateway, the list spelled several ways, the senders who first
// write in the newest mail; few rules, each on at least the minimum, none on the owner's address.
TEST(LearningMailbox, NewMailSortedByRulesAPersonWouldKeep) {
    LearningMailbox box = buildLearningMailbox();
    HoldoutSplit split = splitNewest(box.input);
    ASSERT_TRUE(split.byDate.back());
    Learning learnt = learnRules(split.learnt);
    Figures figures = sortHeldOut(box.input, split, learnt);
    EXPECT_GE(figures.correct * 1000, figures.moved * 995) << "precision at least 99.5%";
    EXPECT_GE(figures.correct * 100, figures.filed * 95) << "recall at least 95%";
    EXPECT_LE(learnt.rules.size() * 2, static_cast<size_t>(LearningMailbox::kPersonRules * 3))
        << "within 1.5 times the " << LearningMailbox::kPersonRules << " rules a person would write";

    std::vector<int> winners = winnersOf({}, suggestionLines(learnt, 1), split.learnt.messages);
    std::vector<int> wins(learnt.rules.size(), 0);
    for (int winner : winners)
        if (winner >= 0)
            ++wins[static_cast<size_t>(winner)];
    Lines rules = rulesOf(learnt);
    for (size_t r = 0; r < rules.size(); ++r) {
        EXPECT_GE(wins[r], kLeastEvidence) << rules[r];
        EXPECT_EQ(std::string::npos, foldedText(rules[r]).find(box.owner)) << rules[r];
    }
    // The senders who first write in the newest mail are there, only there, and sorted.
    for (const char* newcomer : {"From: cousin@family.example.net", "From: newcomer@corp.example.co.jp"}) {
        std::vector<LearnMessage> fromThem;
        for (size_t m : split.heldOut)
            if (box.input.messages[m].text.find(newcomer) != std::string::npos)
                fromThem.push_back(box.input.messages[m]);
        for (const LearnMessage& message : split.learnt.messages)
            EXPECT_EQ(std::string::npos, message.text.find(newcomer));
        ASSERT_FALSE(fromThem.empty()) << newcomer;
        for (int to : destinationsOf({}, suggestionLines(learnt, 1), box.input.folders, fromThem))
            EXPECT_EQ(fromThem[0].folder, to) << newcomer;
    }
    auto has = [&](const std::string& rule) { return std::find(rules.begin(), rules.end(), rule) != rules.end(); };
    EXPECT_TRUE(has("From: World News -> Main\\User005.box")) << ::testing::PrintToString(rules);
    EXPECT_TRUE(has("From: Science < -> Main\\User006.box")) << "anchored: the name starts another feed's";
    EXPECT_TRUE(has("From: Science Weekly -> Main\\User007.box"));
    EXPECT_TRUE(has("From: " + box.encodedFeed + " -> Main\\User008.box"));
    EXPECT_TRUE(has("To: announce@lists.example.org -> Main\\User003.box")) << "one rule for every spelling";
    std::cout << "[ figures  ] learning mailbox: " << split.learnt.messages.size() << " learnt, "
              << split.heldOut.size() << " new; moved " << figures.moved << ", correct " << figures.correct
              << " of " << figures.filed << " filed; " << rules.size() << " rules (a person: "
              << LearningMailbox::kPersonRules << ")\n";
    for (const std::string& rule : rules)
        std::cout << "[ rule     ] " << rule << "\n";
}

// Learnt from all of a larger mailbox of another seed: the filed mail is taken, nothing else,
// and every rule rests on the minimum.
TEST(LearningMailbox, LearntFromAllOfItTakesTheFiledMailAndNothingElse) {
    LearningMailbox box = buildLearningMailbox(7, 1500);
    Learning learning = learnRules(box.input);
    std::vector<int> to = destinationsOf({}, suggestionLines(learning, 1), box.input.folders, box.input.messages);
    ASSERT_EQ(box.input.messages.size(), to.size());
    int filed = 0, taken = 0;
    for (size_t m = 0; m < to.size(); ++m) {
        ASSERT_TRUE(to[m] == -1 || to[m] == box.input.messages[m].folder) << m;
        filed += box.input.messages[m].folder >= 0;
        taken += to[m] >= 0;
    }
    EXPECT_GE(taken * 100, filed * 99);
    for (const SuggestedRule& rule : learning.rules)
        EXPECT_GE(rule.covers, kLeastEvidence) << ruleText(rule.rule);
}

namespace {

class LearningCommand : public MailboxTest {};

}  // namespace

TEST_F(LearningCommand, HoldoutReportsEachFolderByTitle) {
    LearningMailbox generated = buildLearningMailbox();
    writeLearningMailbox(box, generated);
    std::string out, err;
    int code = runCheckCommand({"suggest", "--mailbox", root(), "--account", "Main", "--holdout"}, out, err);
    EXPECT_NE(ExitUnreadable, code) << out << err;
    for (const char* text : {"「World News」 適合率 100.0%", "Main\\User003.box 「announce」", "3 通未満の規則 0 件",
                             "新しい 1/3 (Date の順)"})
        EXPECT_NE(std::string::npos, out.find(text)) << text << "\n" << out;
    EXPECT_EQ(std::string::npos, out.find("3 通未満の規則 1")) << out;
    EXPECT_EQ(std::string::npos, out.find(generated.owner)) << out;
    std::cout << out;
}

TEST(LearningCandidates, NamesAndNewHeaders) {
    struct Case {
        const char* header;  // "name" for display names, "fold" for the folded text
        std::string value;
        Lines expected;
    };
    const Case cases[] = {
        {"name", "World News <feeds@relay.example.net>", {"World News", "World News <"}},
        {"name", "\"World News\" <feeds@relay.example.net>", {"World News", "\"World News\""}},
        {"name", "=?ISO-2022-JP?B?GyRC?= <a@x.jp>", {"=?ISO-2022-JP?B?GyRC?=", "=?ISO-2022-JP?B?GyRC?= <"}},
        {"name", "feeds@relay.example.net", {}},
        {"name", "a@x.jp <a@x.jp>", {}},
        {"name", "Al <a@x.jp>, B <b@x.jp>", {"Al", "Al <"}},
        {"name", "X, Y <a@x.jp>", {}},
        {"List-Post:", "<mailto:Dev@Lists.example.org>", {"Dev@Lists.example.org"}},
        {"Reply-To:", "Shop <support@shop.example.com>", {"support@shop.example.com"}},
        {"Return-Path:", "<dev-bounces@lists.example.org>", {"dev-bounces@lists.example.org", "@lists.example.org"}},
        {"Subject:", "Marriage", {}},
        {"Subject:", "Re: Weekly report 12", {"Weekly report"}},
        {"Subject:", "Can this marriage be saved?", {"Can this", "Can this marriage"}},
        {"Subject:", "Currie Education", {"Currie Education"}},
        {"Subject:", "42 things", {}},
        {"Subject:", "定例の議事録 です", {"定例の議事録"}},
        {"fold", "Announce@LISTS.example.org", {"announce@lists.example.org"}},
        {"fold", "\x83\x41" "AB", {"\x83\x41" "ab"}},
    };
    for (const Case& c : cases) {
        std::string header = c.header;
        Lines got = header == "name"   ? displayNameTexts(c.value)
                    : header == "fold" ? Lines{foldedText(c.value)}
                                       : candidateTexts(c.header, c.value);
        EXPECT_EQ(c.expected, got) << c.header << " " << c.value;
    }
}

namespace {

struct EvidenceCase {
    const char* name;
    std::vector<std::pair<int, Lines>> messages;  // folder (-1 stays) and header lines
    Lines expectedRules;
};

}  // namespace

// The rules a person would keep, on small mailboxes with the default options.
TEST(LearningEvidence, RulesRestOnEnoughMailAndNameNoOneEverywhere) {
    const Lines owner = {"To: me@home.jp"};
    auto with = [](Lines headers, const Lines& more) {
        headers.insert(headers.end(), more.begin(), more.end());
        return headers;
    };
    const EvidenceCase cases[] = {
        {"two messages are not enough, three are",
         {{0, {"From: a@x.jp"}}, {0, {"From: a@x.jp"}}, {1, {"From: b@y.jp"}}, {1, {"From: b@y.jp"}},
          {1, {"From: b@y.jp"}}},
         {"From: b@y.jp -> Main\\User002.box"}},
        {"the owner's address on everything, once as Sender, names no folder",
         {{0, with(owner, {"Sender: me@home.jp", "From: p@l.jp"})}, {0, with(owner, {"Sender: me@home.jp", "From: q@l.jp"})},
          {0, with(owner, {"Sender: me@home.jp", "From: r@l.jp"})}, {1, with(owner, {"From: s@m.jp"})},
          {1, with(owner, {"From: s@m.jp"})}, {1, with(owner, {"From: s@m.jp"})}, {2, with(owner, {"From: t@n.jp"})},
          {-1, with(owner, {"From: u@o.jp"})}},
         {"From: @l.jp -> Main\\User001.box", "From: s@m.jp -> Main\\User002.box"}},
        {"spellings of one address make one rule",
         {{0, {"To: List@X.jp"}}, {0, {"To: list@x.jp"}}, {0, {"To: LIST@X.JP"}}, {1, {"To: other@x.jp"}}},
         {"To: list@x.jp -> Main\\User001.box"}},
        {"a list's own header, not the other list a cross-post names",
         {{0, {"List-Id: <a.x.jp>", "To: a@x.jp", "Cc: b@x.jp"}}, {0, {"List-Id: <a.x.jp>", "To: a@x.jp"}},
          {0, {"List-Id: <a.x.jp>", "To: a@x.jp"}}, {1, {"List-Id: <b.x.jp>", "To: b@x.jp", "Cc: a@x.jp"}},
          {1, {"List-Id: <b.x.jp>", "To: b@x.jp"}}, {1, {"List-Id: <b.x.jp>", "To: b@x.jp"}}},
         {"List-Id: a.x.jp -> Main\\User001.box", "List-Id: b.x.jp -> Main\\User002.box"}},
        {"single subject words never; a recurring phrase",
         {{0, {"From: f@g.jp", "Subject: Marriage"}}, {0, {"From: f@g.jp", "Subject: Marriage"}},
          {0, {"From: f@g.jp", "Subject: Marriage"}}, {1, {"From: f@g.jp", "Subject: Weekly digest 1"}},
          {1, {"From: f@g.jp", "Subject: Weekly digest 2"}}, {1, {"From: f@g.jp", "Subject: Weekly digest 3"}},
          {-1, {"From: f@g.jp", "Subject: hello"}}},
         {"Subject: Weekly digest -> Main\\User002.box"}},
    };
    for (const EvidenceCase& c : cases) {
        LearnInput input;
        input.folders = {"Main\\User001.box", "Main\\User002.box", "Main\\User003.box"};
        for (const auto& m : c.messages)
            input.messages.push_back({mail(m.second), m.first});
        EXPECT_EQ(c.expectedRules, rulesOf(learnRules(input))) << c.name;
    }
}

TEST(LearningEvidence, UncoveredMailSaysWhy) {
    LearnInput input;
    input.folders = {"Main\\User001.box"};
    input.messages = {{mail({"From: a@x.jp"}), 0}, {mail({"From: a@x.jp"}), 0}, {mail({"X-Other: 1"}), 0}};
    Learning learning = learnRules(input);
    ASSERT_EQ(3u, learning.folders[0].unseparated.size());
    EXPECT_TRUE(learning.folders[0].unseparated[0].tooFew);
    EXPECT_FALSE(learning.folders[0].unseparated[2].tooFew) << "a message with nothing to learn from";
}

namespace {

// A sender's mail in folder 0 (its subjects all different) and `count` of its adverts filed in
// `adverts` (-1: left read in the inbox), the first `stray` of them with the sender's mail. Tagged
// adverts share "[AD]"; untagged ones share nothing but the sender.
std::vector<std::pair<int, Lines>> senderAndAdverts(int adverts, int count, int stray, bool tagged) {
    const char* words[] = {"Invoice for March", "Your parcel left", "About the meeting", "Thanks again friend",
                           "Photos from Kyoto", "Question on terms", "Lunch next week", "Spare keys found"};
    std::vector<std::pair<int, Lines>> out;
    for (const char* subject : words)
        out.push_back({0, {"From: shop@x.jp", "To: me@home.jp", std::string("Subject: ") + subject}});
    for (int i = 0; i < count; ++i) {
        std::string subject = tagged ? "[AD] sale " + std::to_string(i) : std::string("Offer ") + words[i];
        out.push_back({i < stray ? 0 : adverts, {"From: shop@x.jp", "To: me@home.jp", "Subject: " + subject}});
    }
    return out;
}

// Where the suggested rules, read back as the plug-in reads the rules file, send each message.
std::vector<int> sortedBy(const Learning& learning, const LearnInput& input) {
    std::vector<int> to = destinationsOf({}, suggestionLines(learning, 1), input.folders, input.messages);
    EXPECT_EQ(input.messages.size(), to.size());
    to.resize(input.messages.size(), -1);
    return to;
}

void expectClash(const Learning& learning, const std::string& name) {
    ASSERT_FALSE(learning.folders[0].unseparated.empty()) << name;
    EXPECT_EQ(UnseparatedReason::Clash, unseparatedReason(learning.folders[0], learning.folders[0].unseparated[0]))
        << name;
}

}  // namespace

// A folder one condition cannot separate gets its best rule with one further condition that must
// not hold, found in all the mail the rule would wrongly take and in little or none of its own.
TEST(LearningExclusion, ASecondConditionSeparatesWhatOneCannot) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, Lines>> messages;
        Lines expectedRules;
        int inboxTaken;  // read inbox mail the rules take
    } cases[] = {
        {"adverts filed elsewhere", senderAndAdverts(1, 5, 0, true),
         {"From: shop@x.jp and not Subject: [AD] -> Main\\User001.box", "Subject: [AD] -> Main\\User002.box"}, 0},
        {"adverts left read in the inbox, within its share: one condition", senderAndAdverts(-1, 8, 0, true),
         {"From: shop@x.jp -> Main\\User001.box"}, 8},
        {"adverts left read in the inbox, more than its share", senderAndAdverts(-1, 9, 0, true),
         {"From: shop@x.jp and not Subject: [AD] -> Main\\User001.box"}, 0},
        {"one advert filed with the sender's mail stays out of both", senderAndAdverts(1, 6, 1, true),
         {"From: shop@x.jp and not Subject: [AD] -> Main\\User001.box"}, 0},
        {"adverts with nothing in common but the sender: no rule", senderAndAdverts(1, 5, 0, false), {}, 0},
    };
    for (const Case& c : cases) {
        LearnInput input;
        input.folders = {"Main\\User001.box", "Main\\User002.box"};
        for (const auto& m : c.messages)
            input.messages.push_back({mail(m.second), m.first});
        Learning learning = learnRules(input);
        EXPECT_EQ(c.expectedRules, rulesOf(learning)) << c.name;
        std::vector<int> to = sortedBy(learning, input);  // no rule takes mail of another folder
        int inboxTaken = 0;
        for (size_t m = 0; m < to.size(); ++m) {
            int folder = input.messages[m].folder;
            inboxTaken += folder < 0 && to[m] != -1;
            EXPECT_TRUE(folder < 0 || to[m] == -1 || to[m] == folder) << c.name << ": message " << m;
        }
        EXPECT_EQ(c.inboxTaken, inboxTaken) << c.name;
        if (c.expectedRules.empty())
            expectClash(learning, c.name);
    }
}

namespace {

// Decodes the one encoded word it knows, as the plug-in's decoder would.
class OneWordDecoder : public LearnDecoder {
public:
    OneWordDecoder(std::string word, std::string text) : word_(std::move(word)), text_(std::move(text)) {}
    std::string decodeHeader(const std::string& value) override {
        std::string out = value;
        size_t at = out.find(word_);
        if (at != std::string::npos)
            out.replace(at, word_.size(), text_);
        return out;
    }

private:
    std::string word_, text_;
};

}  // namespace

TEST(LearningDecoder, DisplayNamesLearntDecodedWhenTheOptionIsOn) {
    LearningMailbox box = buildLearningMailbox();
    const std::string name = "地域スポーツ";
    OneWordDecoder decoder(box.encodedFeed, name);
    const std::pair<LearnDecoder*, std::string> cases[] = {
        {nullptr, "From: " + box.encodedFeed + " -> Main\\User008.box"},
        {&decoder, "From: " + name + (caseMatters(name) ? " [case]" : "") + " -> Main\\User008.box"},
    };
    for (const auto& c : cases) {
        box.input.options.decoder = c.first;
        Lines rules = rulesOf(learnRules(box.input));
        EXPECT_NE(rules.end(), std::find(rules.begin(), rules.end(), c.second)) << ::testing::PrintToString(rules);
    }
}

namespace {

class CountingMonitor : public LearnMonitor {
public:
    explicit CountingMonitor(size_t stopAt) : stopAt_(stopAt) {}
    bool proceed(LearnStage stage, size_t done, size_t total) override {
        ++calls[stage];
        EXPECT_TRUE(total == 0 || done <= total);
        return ++polls_ < stopAt_;
    }
    std::map<LearnStage, size_t> calls;

private:
    size_t stopAt_;
    size_t polls_ = 0;
};

}  // namespace

TEST(LearningMonitor, PolledInEveryStageAndStopsWhenCancelled) {
    LearningMailbox box = buildLearningMailbox();
    Learning whole = learnRules(box.input);
    CountingMonitor never(SIZE_MAX);
    Learning watched = learnRules(box.input, &never);
    EXPECT_FALSE(watched.cancelled);
    EXPECT_EQ(rulesOf(whole), rulesOf(watched));
    EXPECT_GE(never.calls[LearnStage::Preparing], box.input.messages.size());
    EXPECT_GT(never.calls[LearnStage::Learning], box.input.folders.size()) << "polled within a folder too";
    for (size_t stopAt : {size_t(1), box.input.messages.size() + 5,
                          never.calls[LearnStage::Preparing] + never.calls[LearnStage::Learning] / 2}) {
        CountingMonitor cancel(stopAt);
        Learning part = learnRules(box.input, &cancel);
        EXPECT_TRUE(part.cancelled) << stopAt;
        EXPECT_LT(part.rules.size(), whole.rules.size()) << stopAt;
    }
}

TEST(LearningHoldout, DatesAndTheNewestThird) {
    const std::pair<const char*, int64_t> dates[] = {
        {"Thu, 1 Jan 1970 00:00:00 +0000", 0},
        {"Mon, 2 Nov 2026 10:00:00 +0900", 1793581200},
        {"2 Nov 2026 01:00 GMT", 1793581200},
        {"Sun, 01 Nov 26 20:00:00 EST", 1793581200},
        {"Mon, 2 Nov 2026 10:00:00 -0130", 1793581200 + 37800},
        {"29 Feb 2024 00:00:00 +0000", 1709164800},
        {"Mon, 2 Nov", -1},
        {"Mon, 32 Nov 2026 10:00:00 +0900", -1},
        {"2 Foo 2026 10:00:00", -1},
        {"2 Nov 2026 25:00:00", -1},
        {"", -1},
    };
    for (const auto& c : dates)
        EXPECT_EQ(c.second, mailDateSeconds(c.first)) << c.first;

    LearnInput input;
    input.folders = {"A", "B"};
    // Folder 0 by Date (listed out of order), folder 1 in list order (one has no date).
    for (int day : {5, 1, 4, 2, 6, 3})
        input.messages.push_back({mail({"Date: " + std::to_string(day) + " Nov 2026 10:00:00 +0900"}), 0});
    for (int i = 0; i < 3; ++i)
        input.messages.push_back({mail({i == 1 ? "Subject: none" : "Date: 1 Nov 2026 10:00:00 +0900"}), 1});
    HoldoutSplit split = splitNewest(input);
    EXPECT_EQ((std::vector<size_t>{0, 4, 8}), split.heldOut);
    EXPECT_EQ((std::vector<bool>{true, false, true}), split.byDate);
    EXPECT_EQ(6u, split.learnt.messages.size());
}

// The same mailbox learnt by the bare cover (every candidate, one message enough): the traps are
// there, so the figures above are the options' doing.
TEST(LearningMailbox, TheBareCoverFallsIntoItsTraps) {
    LearningMailbox box = buildLearningMailbox();
    box.input.options = LearnOptions::plainCover();
    HoldoutSplit split = splitNewest(box.input);
    Learning learnt = learnRules(split.learnt);
    Figures figures = sortHeldOut(box.input, split, learnt);
    int thin = 0, owner = 0;
    for (const SuggestedRule& rule : learnt.rules) {
        thin += rule.covers < kLeastEvidence;
        owner += foldedText(rule.rule.searchText).find("home.example.jp") != std::string::npos;
    }
    EXPECT_GT(owner, 0) << "the owner's address as the Sender of one list separates it";
    std::cout << "[ figures  ] bare cover: " << learnt.rules.size() << " rules, " << thin << " on fewer than "
              << kLeastEvidence << ", " << owner << " on the owner's address; moved " << figures.moved << ", correct "
              << figures.correct << " of " << figures.filed << "\n";
}

TEST_F(LearningCommand, FolderWithTooLittleMailIsNamedWithTheReason) {
    box.createAccount("Main", "I001OT");
    std::string folder = box.createUserFolder("Main", "001", "few");
    for (int i = 0; i < kLeastEvidence - 1; ++i)
        box.addMessage(folder, mail({"From: rare@x.jp", "Subject: hello there"}));
    std::string out, err;
    EXPECT_EQ(ExitProblems, runCheckCommand({"suggest", "--mailbox", root(), "--account", "Main"}, out, err)) << out;
    for (const char* text : {"分けられない 2 通", "3 通未満のメールにしかありません", "提案できる規則はありません"})
        EXPECT_NE(std::string::npos, out.find(text)) << text << "\n" << out;
}

namespace {

// Messages from memory; an entry named "gone" cannot be read.
class MemoryReader : public LearnMailReader {
public:
    std::vector<LearnEntry> entries;
    std::map<std::string, std::string> files;
    std::vector<LearnEntry> listFolder(const std::string&) override { return entries; }
    bool readMessage(const std::string& entry, size_t most, std::string& bytes) override {
        auto found = files.find(entry);
        if (found == files.end())
            return false;
        bytes = found->second.substr(0, most);
        return true;
    }
};

}  // namespace

TEST(LearningMail, ReadAsThePlugInReadsAndStoppedWhenCancelled) {
    MemoryReader reader;
    reader.entries = {{"F\\1", false}, {"F\\2", true}, {"F\\3", false}, {"F\\gone", false}, {"F\\4", false}};
    reader.files = {{"F\\1", "a"}, {"F\\2", "unread"}, {"F\\3", std::string(kMessageReadCap + 10, 'x')},
                    {"F\\4", std::string("b\0c", 3)}};
    struct Case {
        bool takeUnread;
        size_t stopAt;  // polls before the cancel
        Lines read, huge, binary;
        bool cancelled;
    };
    const Case cases[] = {
        {false, SIZE_MAX, {"F\\1", "F\\3", "F\\4"}, {"F\\3"}, {"F\\4"}, false},
        {true, SIZE_MAX, {"F\\1", "F\\2", "F\\3", "F\\4"}, {"F\\3"}, {"F\\4"}, false},
        {false, 2, {"F\\1"}, {}, {}, true},
    };
    for (const Case& c : cases) {
        CountingMonitor monitor(c.stopAt);
        size_t done = 0;
        LearnFolderRead read = readLearnFolder(reader, "F", c.takeUnread, &monitor, done);
        Lines names;
        for (const LearnFolderMessage& message : read.messages) {
            names.push_back(message.entry);
            EXPECT_LE(message.text.size(), kMessageReadCap);
            EXPECT_EQ(std::string::npos, message.text.find('\0'));
        }
        EXPECT_EQ(c.read, names);
        EXPECT_EQ(c.huge, read.huge);
        EXPECT_EQ(c.binary, read.binary);
        EXPECT_EQ(c.cancelled, read.cancelled);
        EXPECT_EQ(monitor.calls[LearnStage::Reading], done + (c.cancelled ? 1 : 0));
    }
}

// Past the budget of text bytes the oldest messages are left out: what is learnt is the newest
// that fits, in list order, and only those are named as cut.
TEST(LearningMail, WithinTheBudgetTheNewestAreKept) {
    MemoryReader reader;
    reader.entries = {{"F\\1", false}, {"F\\2", false}, {"F\\3", true}, {"F\\4", false}, {"F\\5", false}};
    reader.files = {{"F\\1", std::string(kMessageReadCap + 1, 'h')}, {"F\\2", "bb"}, {"F\\3", "ccc"},
                    {"F\\4", "dddd"}, {"F\\5", "e"}};
    struct Case {
        size_t budget;
        bool takeUnread;
        Lines read, huge;
        size_t dropped;
    } cases[] = {
        {SIZE_MAX, true, {"F\\1", "F\\2", "F\\3", "F\\4", "F\\5"}, {"F\\1"}, 0},
        {kMessageReadCap + 5, true, {"F\\2", "F\\3", "F\\4", "F\\5"}, {}, 1},
        {5, true, {"F\\4", "F\\5"}, {}, 3},
        {7, false, {"F\\2", "F\\4", "F\\5"}, {}, 1},
        {4, true, {"F\\5"}, {}, 4},  // the newest fit alone; the one before it does not
        {0, true, {}, {}, 5},
    };
    for (const Case& c : cases) {
        size_t done = 0;
        LearnFolderRead read = readLearnEntries(reader, reader.entries, c.takeUnread, c.budget, nullptr, done);
        Lines names;
        size_t bytes = 0;
        for (const LearnFolderMessage& message : read.messages) {
            names.push_back(message.entry);
            bytes += message.text.size();
        }
        EXPECT_EQ(c.read, names) << c.budget;
        EXPECT_EQ(c.huge, read.huge) << c.budget;
        EXPECT_EQ(c.dropped, read.dropped) << c.budget;
        EXPECT_LE(bytes, c.budget) << c.budget;
    }
}

namespace {

// One folder of eight from one sender, and inbox mail: `read` read and `unread` unread copies of
// that sender's mail, and two read messages from one-off senders of the sender's domain.
LearnInput senderWithInbox(int read, int unread) {
    LearnInput input;
    input.folders = {"Main\\User001.box"};
    for (int i = 0; i < 8; ++i)
        input.messages.push_back({mail({"From: boss@corp.example", "Subject: w" + std::to_string(i)}), 0});
    for (int i = 0; i < read + unread; ++i)
        input.messages.push_back({mail({"From: boss@corp.example", "Subject: n" + std::to_string(i)}), -1, i >= read});
    for (const char* from : {"From: friend@corp.example", "From: once@corp.example"})
        input.messages.push_back({mail({from, "Subject: hi"}), -1});
    return input;
}

}  // namespace

// Inbox mail is what the rules are for: unread it never keeps a rule out, read only when it is
// more than half of what the rule takes; personal mail of the sender's domain is never taken.
TEST(LearningInbox, ReadMailKeepsARuleOutOnlyAboveItsShare) {
    struct Case {
        int read, unread;
        bool rule;
    } cases[] = {{1, 0, true}, {8, 0, true} /* exactly half */, {9, 0, false}, {0, 20, true}, {8, 20, true}, {9, 20, false}};
    for (const Case& c : cases) {
        LearnInput input = senderWithInbox(c.read, c.unread);
        Learning learning = learnRules(input);
        std::string name = std::to_string(c.read) + " read, " + std::to_string(c.unread) + " unread";
        EXPECT_EQ(c.rule ? Lines{"From: boss@corp.example -> Main\\User001.box"} : Lines{}, rulesOf(learning)) << name;
        std::vector<int> to = sortedBy(learning, input);
        EXPECT_EQ((std::vector<int>{-1, -1}), std::vector<int>(to.end() - 2, to.end())) << name << ": personal mail stays";
        if (!c.rule)
            expectClash(learning, name);
    }
}

// The generated mailbox with its newest third of every folder waiting in the inbox, unread or
// read: the rules learnt from the rest sort that mail exactly, and the mail of no folder stays.
TEST(LearningInbox, NewestThirdWaitingInTheInboxIsSortedExactly) {
    LearningMailbox box = buildLearningMailbox();
    HoldoutSplit split = splitNewest(box.input);
    for (bool unread : {true, false}) {
        LearnInput input = box.input;
        std::vector<bool> waiting(input.messages.size(), false);
        for (size_t m : split.heldOut)
            if (input.messages[m].folder >= 0) {
                waiting[m] = true;
                input.messages[m].folder = -1;
                input.messages[m].unread = unread;
            }
        Learning learning = learnRules(input);
        Lines rules = rulesOf(learning);
        for (const char* rule : {"List-Id: dev.lists.example.org -> Main\\User001.box",
                                 "From: Science < -> Main\\User006.box", "From: Science Weekly -> Main\\User007.box",
                                 "To: announce@lists.example.org -> Main\\User003.box"})
            EXPECT_NE(rules.end(), std::find(rules.begin(), rules.end(), rule)) << rule << (unread ? " unread" : " read");
        std::vector<int> to = sortedBy(learning, input);
        for (size_t m = 0; m < to.size(); ++m)  // waiting mail to its folder, mail of no folder left
            EXPECT_TRUE((!waiting[m] && box.input.messages[m].folder >= 0) || to[m] == box.input.messages[m].folder)
                << m << (unread ? " unread" : " read") << " to " << to[m];
    }
}
