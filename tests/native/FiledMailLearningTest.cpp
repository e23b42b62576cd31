// The learning dialog's core: which mail it reads (user folders that exist, the inbox's mail as
// mail that must stay, unread or not as box 1001 says), the working rules in front, the counts
// shown per proposal, the folders it cannot separate, and a cancel at any stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LearningMailbox.h"
#include "plugin/history/MessageListKeys.h"
#include "plugin/learning/FiledMailLearning.h"
#include "plugin/rules/MessageVerdict.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;

namespace {

typedef std::vector<std::string> Lines;

const char kInbox[] = "Main\\Inbox.box";
const char kWork[] = "Main\\User001.box";
const char kHobby[] = "Main\\User002.box";
const char kFew[] = "Main\\User003.box";
const char kGone[] = "Main\\User004.box";

std::string message(const std::string& from, const std::string& extra, int n) {
    return "From: " + from + "\r\nTo: me@home.example\r\n" + extra + "Subject: w" + std::to_string(n) + " x" +
           std::to_string(n) + "\r\n\r\nhi\r\n";
}

FolderEntry folder(const char* path, const char* title, int kind) {
    FolderEntry entry;
    snprintf(entry.path, sizeof entry.path, "%s", path);
    snprintf(entry.title, sizeof entry.title, "%s", title);
    entry.kind = kind;
    entry.depth = 1;
    return entry;
}

// An account in memory: 仕事 (4 from one sender), 趣味 (4 of one list), 少ない (2 from one
// sender: under the minimum), a folder whose settings file is gone, and the inbox.
class MemoryReader : public FiledMailReader {
public:
    explicit MemoryReader(bool filled = true) {
        if (!filled)
            return;
        for (int n = 0; n < 4; ++n) {
            add(kWork, message(sample::mimeEncodedWord("山田") + " <boss@work.example>", "", n), false);
            add(kHobby, message("p" + std::to_string(n) + "@mail.example", "List-Id: <hobby.list.example>\r\n", 10 + n),
                false);
            add(kGone, message("gone@gone.example", "", 20 + n), false);
        }
        for (int n = 0; n < 2; ++n)
            add(kFew, message("rare@few.example", "", 30 + n), false);
        add(kInbox, message("friend@pal.example", "", 40), false);
    }
    void add(const std::string& folder, const std::string& text, bool unread) {
        std::string name = folder + "\\" + std::to_string(texts_.size());
        entries_[folder].push_back({name, unread});
        texts_[name] = text;
    }
    bool folderExists(const std::string& folder) override { return folder != kGone; }
    std::vector<LearnEntry> listFolder(const std::string& folder) override {
        listed.push_back(folder);
        return entries_[folder];
    }
    bool readMessage(const std::string& entry, size_t most, std::string& bytes) override {
        bytes = texts_[entry].substr(0, most);
        return true;
    }
    Lines listed;

private:
    std::map<std::string, std::vector<LearnEntry>> entries_;
    std::map<std::string, std::string> texts_;
};

FiledMailSettings settingsOf(bool unreadMail, RuleList rules = RuleList(), bool decodeMime = false) {
    FiledMailSettings settings;
    settings.folders = {folder(kInbox, "郵便受け", Inbox), folder(kWork, "仕事", UserFolder),
                        folder(kHobby, "趣味", UserFolder), folder(kFew, "少ない", UserFolder),
                        folder(kGone, "消えた", UserFolder), folder("Main\\Trash.box", "ごみ箱", Trash)};
    settings.rules = std::move(rules);
    settings.unreadMail = unreadMail;
    settings.decodeMime = decodeMime;
    return settings;
}

DistributeRule fromRule(const char* text, const char* dest) {
    DistributeRule rule;
    rule.searchTarget = NamedHeader;
    snprintf(rule.headerName, sizeof rule.headerName, "From:");
    snprintf(rule.searchText, sizeof rule.searchText, "%s", text);
    snprintf(rule.destFolder, sizeof rule.destFolder, "%s", dest);
    return rule;
}

// "title takes/other" per proposal.
Lines proposalsOf(const FiledMailLearning& learning) {
    Lines out;
    for (const Proposal& proposal : learning.proposals)
        out.push_back(proposal.folderTitle + " " + std::to_string(proposal.takes) + "/" +
                      std::to_string(proposal.takesOther) + " -> " + proposal.rule.destFolder);
    return out;
}

bool mentions(const Lines& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

// Stops at the given poll of one stage (0: never) and records the folders started.
class Monitor : public FiledMailMonitor {
public:
    Monitor(LearnStage stopStage, int stopAt) : stopStage_(stopStage), stopAt_(stopAt) {}
    void folderStarted(size_t index, size_t count) override {
        started.push_back(std::to_string(index) + "/" + std::to_string(count));
    }
    bool proceed(LearnStage stage, size_t, size_t) override {
        stages.insert(static_cast<int>(stage));
        return stage != stopStage_ || ++polls_ != stopAt_;
    }
    Lines started;
    std::set<int> stages;

private:
    LearnStage stopStage_;
    int stopAt_;
    int polls_ = 0;
};

}  // namespace

TEST(FiledMailLearning, ProposesPerFolderWithTheWorkingRulesInFrontAndTheInboxAsItRuns) {
    struct Case {
        const char* name;
        bool unreadMail;
        bool unreadBossInInbox;
        RuleList rules;
        bool decodeMime;
        Lines proposals;
        const char* unseparatedPart;  // a text of the line on 仕事, or "" when it is separated
    } cases[] = {
        {"plain", false, false, {}, false, {"仕事 4/0 -> Main\\User001.box", "趣味 4/0 -> Main\\User002.box"}, ""},
        {"unread inbox mail left alone", false, true, {}, false, {"仕事 4/0 -> Main\\User001.box", "趣味 4/0 -> Main\\User002.box"}, ""},
        {"unread inbox mail taken by a run is what the rules are for", true, true, {}, false,
         {"仕事 4/0 -> Main\\User001.box", "趣味 4/0 -> Main\\User002.box"}, ""},
        {"a working rule already sorts 仕事", false, false, {fromRule("boss@", kWork)}, false,
         {"趣味 4/0 -> Main\\User002.box"}, ""},
        {"a working rule sends 仕事 elsewhere", false, false, {fromRule("boss@", kHobby)}, false,
         {"趣味 4/0 -> Main\\User002.box"}, "振り分け条件 1 が先に"},
        {"raw text: a working rule on the decoded name takes nothing", false, false, {fromRule("山田", kWork)}, false,
         {"仕事 4/0 -> Main\\User001.box", "趣味 4/0 -> Main\\User002.box"}, ""},
        {"decoded text: the same rule already sorts 仕事", false, false, {fromRule("山田", kWork)}, true,
         {"趣味 4/0 -> Main\\User002.box"}, ""},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        if (c.unreadBossInInbox)
            reader.add(kInbox, message(sample::mimeEncodedWord("山田") + " <boss@work.example>", "", 50), true);
        FiledMailLearning learning = learnFromFiledMail(settingsOf(c.unreadMail, c.rules, c.decodeMime), reader, nullptr);
        EXPECT_FALSE(learning.cancelled) << c.name;
        EXPECT_EQ(c.proposals, proposalsOf(learning)) << c.name;
        EXPECT_EQ((Lines{kWork, kHobby, kFew, kInbox}), reader.listed) << c.name << ": the gone folder is not read";
        EXPECT_TRUE(mentions(learning.unseparatedTexts, "「少ない」 の 2 通")) << c.name;
        if (*c.unseparatedPart)
            EXPECT_TRUE(mentions(learning.unseparatedTexts, c.unseparatedPart)) << c.name;
        else
            EXPECT_FALSE(mentions(learning.unseparatedTexts, "「仕事」")) << c.name;
        EXPECT_NE(std::string::npos, learning.holdoutText.find("適合率")) << c.name;
        EXPECT_EQ(4u, learning.foldersRead) << c.name;
    }
}

// A budget of text shared by the folders' number of messages: past its share a folder keeps
// its newest messages, and the learning says how many it left out.
TEST(FiledMailLearning, PastTheTextBudgetEachFolderKeepsItsNewest) {
    for (size_t budget : {kLearnTextBudget, size_t(0)}) {
        MemoryReader reader;
        FiledMailSettings settings = settingsOf(false);
        settings.textBudget = budget;
        FiledMailLearning learning = learnFromFiledMail(settings, reader, nullptr);
        EXPECT_EQ(budget ? 0u : 11u, learning.dropped) << budget;
        EXPECT_EQ((budget ? Lines{"仕事 4/0 -> Main\\User001.box", "趣味 4/0 -> Main\\User002.box"} : Lines{}),
                  proposalsOf(learning)) << budget;
    }
}

TEST(FiledMailLearning, CancelAtAnyStageProposesNothing) {
    struct Case {
        LearnStage stage;
        int stopAt;  // 0: never
    } cases[] = {{LearnStage::Reading, 1},   {LearnStage::Reading, 11}, {LearnStage::Preparing, 1},
                 {LearnStage::Learning, 1},  {LearnStage::Learning, 0}};
    for (const Case& c : cases) {
        MemoryReader reader;
        Monitor monitor(c.stage, c.stopAt);
        FiledMailLearning learning = learnFromFiledMail(settingsOf(false), reader, &monitor);
        bool stopped = c.stopAt != 0;
        std::string name = std::to_string(static_cast<int>(c.stage)) + "/" + std::to_string(c.stopAt);
        EXPECT_EQ(stopped, learning.cancelled) << name;
        EXPECT_EQ(stopped, learning.proposals.empty()) << name;
        EXPECT_EQ(stopped, learning.holdoutText.empty()) << name;
        EXPECT_TRUE(monitor.stages.count(static_cast<int>(c.stage))) << name;
        if (!stopped) {
            EXPECT_EQ((Lines{"0/4", "1/4", "2/4", "3/4"}), monitor.started);
            EXPECT_EQ(11u, learning.messagesRead);
        }
    }
}

namespace {

// The small mailbox a new user has: a list known by its List-Id filed in 仕事 and one sender's
// mail in 趣味, eight each; two of the list's and one of the sender's waiting in the inbox
// (unread or read), and a friend's read message there that no folder should take.
void fillSmallMailbox(MemoryReader& reader, bool waitingUnread) {
    for (int n = 0; n < 10; ++n) {
        bool waiting = n >= 8;
        reader.add(waiting ? kInbox : kWork,
                   message("m" + std::to_string(n) + "@members.example", "List-Id: Club <club.list.example>\r\n", n),
                   waiting && waitingUnread);
        if (n <= 8)
            reader.add(n == 8 ? kInbox : kHobby, message("shop@store.example", "", 20 + n), n == 8 && waitingUnread);
    }
    reader.add(kInbox, message("friend@pal.example", "", 40), false);
}

// "title takes/other inbox read/unread"; words: and the rule in words.
Lines inboxCountsOf(const FiledMailLearning& learning, bool words) {
    Lines out;
    for (const Proposal& proposal : learning.proposals)
        out.push_back(proposal.folderTitle + " " + std::to_string(proposal.takes) + "/" +
                      std::to_string(proposal.takesOther) + " inbox " + std::to_string(proposal.inboxRead) + "/" +
                      std::to_string(proposal.inboxUnread) + (words ? " " + proposalText(proposal.rule) : ""));
    return out;
}

std::string advert(int n) {
    return "From: shop@store.example\r\nTo: me@home.example\r\nSubject: [AD] sale " + std::to_string(n) +
           "\r\n\r\nhi\r\n";
}

// A sender's mail in 仕事 and its adverts in 趣味, one of each waiting in the inbox.
void fillSenderAndAdverts(MemoryReader& reader, bool waitingUnread) {
    for (int n = 0; n < 8; ++n)
        reader.add(kWork, message("shop@store.example", "", n), false);
    for (int n = 0; n < 5; ++n)
        reader.add(kHobby, advert(n), false);
    reader.add(kInbox, message("shop@store.example", "", 9), waitingUnread);
    reader.add(kInbox, advert(9), waitingUnread);
}

}  // namespace

// The mail waiting in the inbox gets its rules, counted and run as a run runs them (sorted: where
// they put the inbox's mail); a sender whose adverts go elsewhere gets a rule of two conditions.
TEST(FiledMailLearning, TheMailWaitingInTheInboxGetsItsRules) {
    const char* sender = "ヘッダ「From:」の「shop@store.example」、かつヘッダ「Subject:」の「[AD]」を含まない";
    struct Case {
        const char* name;
        void (*fill)(MemoryReader&, bool);
        bool unreadMail, waitingUnread;  // box 1001; the waiting messages
        Lines proposals;
        Lines sorted;
    } cases[] = {
        {"option on, waiting unread", fillSmallMailbox, true, true, {"仕事 8/0 inbox 0/2", "趣味 8/0 inbox 0/1"},
         {"Main\\User001.box", "Main\\User002.box", "Main\\User001.box", "-"}},
        {"option off, waiting read", fillSmallMailbox, false, false, {"仕事 8/0 inbox 2/0", "趣味 8/0 inbox 1/0"},
         {"Main\\User001.box", "Main\\User002.box", "Main\\User001.box", "-"}},
        {"option off, waiting unread: not read, not taken", fillSmallMailbox, false, true,
         {"仕事 8/0 inbox 0/0", "趣味 8/0 inbox 0/0"}, {"-", "-", "-", "-"}},
        {"adverts, option on", fillSenderAndAdverts, true, true,
         {"仕事 8/0 inbox 0/1 " + std::string(sender), "趣味 5/0 inbox 0/1 ヘッダ「Subject:」の「[AD]」"},
         {"Main\\User001.box", "Main\\User002.box"}},
        {"adverts, option off: not read, not taken", fillSenderAndAdverts, false, true,
         {"仕事 8/0 inbox 0/0 " + std::string(sender), "趣味 5/0 inbox 0/0 ヘッダ「Subject:」の「[AD]」"}, {"-", "-"}},
    };
    for (const Case& c : cases) {
        MemoryReader reader(false);
        c.fill(reader, c.waitingUnread);
        FiledMailSettings settings = settingsOf(c.unreadMail);
        settings.folders.resize(3);
        FiledMailLearning learning = learnFromFiledMail(settings, reader, nullptr);
        EXPECT_EQ(c.proposals, inboxCountsOf(learning, c.fill == fillSenderAndAdverts)) << c.name;
        EXPECT_TRUE(learning.unseparatedTexts.empty()) << c.name;
        EXPECT_TRUE(c.fill != fillSenderAndAdverts || learning.holdoutText.find("適合率 100.0%") != std::string::npos)
            << c.name << learning.holdoutText;
        RuleList rules;
        for (const Proposal& proposal : learning.proposals)
            rules.push_back(proposal.rule);
        MessageJudge judge(rules, VerdictOptions{c.unreadMail, false});
        Lines sorted;
        for (const LearnEntry& entry : reader.listFolder(kInbox)) {
            std::string text;
            reader.readMessage(entry.name, kMessageReadCap, text);
            Verdict verdict = judge.judge(text.c_str(), entry.unread);
            sorted.push_back(verdict.taken && verdict.rule >= 0 ? rules[static_cast<size_t>(verdict.rule)].destFolder
                                                                : "-");
        }
        EXPECT_EQ(c.sorted, sorted) << c.name;
    }
}

namespace {

// The generated learning mailbox through a reader, with one message whose 64 KB header holds
// 10,000 short lines filed in its first folder.
class GeneratedReader : public MemoryReader {
public:
    explicit GeneratedReader(const testmailbox::LearningMailbox& box) : MemoryReader(false) {
        std::string lines;
        for (int n = 0; lines.size() < 60000; ++n)
            lines += "X-L" + std::to_string(n) + ": v\r\n";
        add(box.input.folders[0], "From: many@lines.example\r\n" + lines + "\r\nbody\r\n", false);
        for (const LearnMessage& message : box.input.messages)
            add(message.folder < 0 ? kInbox : box.input.folders[static_cast<size_t>(message.folder)], message.text,
                false);
    }
    bool folderExists(const std::string&) override { return true; }
};

// Counts the polls of each stage and the most work done between two of them; stops at the
// given poll of one stage (0: never).
class GapMonitor : public FiledMailMonitor {
public:
    GapMonitor(LearnStage stopStage, size_t stopAt) : stopStage_(stopStage), stopAt_(stopAt) {}
    void folderStarted(size_t, size_t) override {}
    void unitsBeforePoll(LearnStage stage, size_t units) override { gap[stage] = std::max(gap[stage], units); }
    bool proceed(LearnStage stage, size_t, size_t) override {
        if (stopped)
            ++afterStop;
        stopped = stopped || (stage == stopStage_ && ++polls[stage] == stopAt_);
        if (stage != stopStage_)
            ++polls[stage];
        return !stopped;
    }
    std::map<LearnStage, size_t> polls, gap;
    bool stopped = false;
    int afterStop = 0;

private:
    LearnStage stopStage_;
    size_t stopAt_;
};

}  // namespace

// Every long stage polls with at most kLearnPollUnits units of work between two polls, a header
// of 10,000 lines included, and a stop at any of them ends the learning with nothing proposed
// and no poll after it.
TEST(FiledMailLearning, EveryStagePollsWithinABoundedGapAndStopsThere) {
    testmailbox::LearningMailbox box = testmailbox::buildLearningMailbox(2026, 400);
    const LearnStage stages[] = {LearnStage::Reading, LearnStage::Deciding, LearnStage::Preparing,
                                 LearnStage::Learning, LearnStage::Counting};
    GeneratedReader reader(box);
    FiledMailSettings settings;
    settings.folders.push_back(folder(kInbox, "郵便受け", Inbox));
    for (size_t f = 0; f < box.input.folders.size(); ++f)
        settings.folders.push_back(folder(box.input.folders[f].c_str(), box.titles[f].c_str(), UserFolder));
    settings.rules = {fromRule("nobody@nowhere.example", box.input.folders[0].c_str())};
    GapMonitor watch(LearnStage::Reading, 0);
    FiledMailLearning whole = learnFromFiledMail(settings, reader, &watch);
    ASSERT_FALSE(whole.cancelled);
    ASSERT_FALSE(whole.proposals.empty());
    for (LearnStage stage : stages) {
        int name = static_cast<int>(stage);
        EXPECT_GT(watch.polls[stage], 2u) << name;
        EXPECT_LE(watch.gap[stage], kLearnPollUnits) << name;
        for (size_t stopAt : {size_t(1), watch.polls[stage] / 2, watch.polls[stage]}) {
            GapMonitor stop(stage, stopAt);
            FiledMailLearning part = learnFromFiledMail(settings, reader, &stop);
            EXPECT_TRUE(part.cancelled) << name << " at " << stopAt;
            EXPECT_TRUE(part.proposals.empty()) << name << " at " << stopAt;
            EXPECT_EQ(0, stop.afterStop) << name << " at " << stopAt;
        }
    }
}

TEST(MessageListKeys, KeysInListOrderOnceEachFromWellFormedLines) {
    struct Case {
        const char* name;
        std::string text;
        Lines keys;
    } cases[] = {
        {"two records", "a=AAAAAAAAAAAAAAAA\r\nb=AAAAAAAAAAAAAAAA\r\n", {"a", "b"}},
        {"no final line end", "a=AAAAAAAAAAAAAAAA\nb=AAAAAAAAAAAAAAAA", {"a", "b"}},
        {"listed twice", "a=AAAAAAAAAAAAAAAA\na=AAAAAAAAAAAAAAAB\n", {"a"}},
        {"short status, no key, no equals", "a=AAA\n=AAAAAAAAAAAAAAAA\nplain\nc=AAAAAAAAAAAAAAAA\n", {"c"}},
        {"status not Base64", "a=AAAAAAAAAAAAAAA*\n", {}},
        {"NUL in the line", std::string("a\0b=AAAAAAAAAAAAAAAA\n", 21), {}},
        {"key naming a file elsewhere", "..\\x=AAAAAAAAAAAAAAAA\na/b=AAAAAAAAAAAAAAAA\nc:d=AAAAAAAAAAAAAAAA\n", {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.keys, messageListKeys(c.text)) << c.name;
}
