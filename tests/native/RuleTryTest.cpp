// Trying a rule on a folder before keeping it: which messages it takes, which an earlier rule
// takes first, what the count line says, where the try stops when asked, and why.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleTry.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;

namespace {

DistributeRule header(const char* name, const char* text, const char* dest = "Main\\Work") {
    DistributeRule rule;
    rule.searchTarget = NamedHeader;
    copyString(rule.headerName, name);
    copyString(rule.searchText, text);
    copyString(rule.destFolder, dest);
    return rule;
}

DistributeRule whole(const char* text, bool regex) {
    DistributeRule rule = header("", text);
    rule.searchTarget = WholeMessage;
    rule.useRegex = regex;
    return rule;
}

std::string mail(const char* from, const char* subject) {
    return std::string("From: ") + from + "\r\nSubject: " + subject + "\r\n\r\nbody\r\n";
}

// A folder held in memory: entry name to text, with unread ones.
struct Folder {
    std::vector<std::string> entries;
    std::map<std::string, std::string> texts;
    std::vector<bool> unread;
    int reads = 0;

    void add(const std::string& text, bool isUnread = false) {
        std::string entry = "Main\\Inbox.box\\M" + std::to_string(entries.size() + 1);
        entries.push_back(entry);
        texts[entry] = text;
        unread.push_back(isUnread);
    }
    FolderMessages messages() const { return FolderMessages{entries, unread}; }
    TryReader reader() {
        return [this](const std::string& entry) {
            ++reads;
            return texts[entry].c_str();
        };
    }
};

Folder fourMessages() {
    Folder folder;
    folder.add(mail("boss@work.example", "report A"));
    folder.add(mail("pal@home.example", "report B"));
    folder.add(mail("pal@home.example", "weekly report"));
    folder.add(mail("pal@home.example", "hello"));
    return folder;
}

// Runs a try of rules[tried] over the folder to the end.
void tryAll(RuleTry& run, Folder& folder) {
    EXPECT_TRUE(tryFolder(run, folder.messages(), folder.reader(), [](size_t) { return true; }));
}

std::vector<std::string> rowTexts(const RuleTry& run) {
    std::vector<std::string> out;
    for (const TriedMessage& row : run.rows())
        out.push_back(row.key + "|" + row.from + "|" + row.subject + "|" +
                      (row.earlierRule ? std::to_string(row.earlierRule) : ""));
    return out;
}

}  // namespace

TEST(RuleTry, PlacesTheTriedRuleWhereItWillStand) {
    RuleList working = {header("From:", "a"), header("From:", "b")};
    struct Case {
        int place;
        size_t index;
        const char* texts;
    } cases[] = {{0, 0, "new b "}, {1, 1, "a new "}, {-1, 2, "a b new "}, {2, 2, "a b new "}, {7, 2, "a b new "}};
    for (const Case& c : cases) {
        size_t index = 99;
        std::string texts;
        for (const DistributeRule& rule : placeTriedRule(working, header("To:", "new"), c.place, &index))
            texts += std::string(rule.searchText) + " ";
        EXPECT_EQ(c.index, index) << c.place;
        EXPECT_EQ(c.texts, texts) << c.place;
    }
}

// What the rule takes and what an earlier rule takes first; rules after it do not matter.
TEST(RuleTry, EditedRuleIsTriedInItsPlaceAndLaterRulesDoNotMatter) {
    struct Case {
        const char* name;
        int place;
        std::vector<std::string> rows;
        const char* countLine;
    } cases[] = {
        {"first: nothing before it", 0,
         {"M1|boss@work.example|report A|", "M2|pal@home.example|report B|", "M3|pal@home.example|weekly report|"},
         "このフォルダの 4 通のうち 3 通に一致します(うち 0 通は前の規則が先に取ります)"},
        {"second: rule 1 takes the boss's mail", 1,
         {"M1|boss@work.example|report A|1", "M2|pal@home.example|report B|", "M3|pal@home.example|weekly report|"},
         "このフォルダの 4 通のうち 3 通に一致します(うち 1 通は前の規則が先に取ります)"},
        {"new, after a rule that takes every report", -1,
         {"M1|boss@work.example|report A|1", "M2|pal@home.example|report B|3", "M3|pal@home.example|weekly report|3"},
         "このフォルダの 4 通のうち 3 通に一致します(うち 3 通は前の規則が先に取ります)"},
    };
    RuleList working = {header("From:", "boss"), header("To:", "nobody"), header("Subject:", "report")};
    for (const Case& c : cases) {
        Folder folder = fourMessages();
        size_t index = 0;
        RuleList rules = placeTriedRule(working, header("Subject:", "report"), c.place, &index);
        RuleTry run(rules, index, VerdictOptions());
        tryAll(run, folder);
        EXPECT_EQ(c.rows, rowTexts(run)) << c.name;
        EXPECT_EQ(c.countLine, run.countLine()) << c.name;
    }
}

TEST(RuleTry, FollowsTheSheetsUnreadAndDecodingOptions) {
    std::string encoded = "=?ISO-2022-JP?B?" + sample::base64("\x1b$B2q5D\x1b(B") + "?=";  // 会議
    struct Case {
        const char* name;
        bool unreadMail, decodeMime;
        int matched, reads;
    } cases[] = {
        {"unread left alone and not read", false, false, 0, 1},
        {"unread taken, raw text", true, false, 0, 2},
        {"unread taken, decoded", true, true, 2, 2},
        {"decoded, unread left alone", false, true, 1, 1},
    };
    for (const Case& c : cases) {
        Folder folder;
        folder.add(mail("a@b.example", encoded.c_str()), true);
        folder.add(mail("a@b.example", encoded.c_str()));
        RuleTry run({header("Subject:", "会議")}, 0, VerdictOptions{c.unreadMail, c.decodeMime});
        tryAll(run, folder);
        EXPECT_EQ(c.matched, run.counts().matched) << c.name;
        EXPECT_EQ(c.reads, folder.reads) << c.name;
        EXPECT_EQ(2, run.counts().messages) << c.name;
        for (const TriedMessage& row : run.rows())
            EXPECT_EQ("会議", row.subject) << c.name;  // shown decoded whatever the option
    }
}

TEST(RuleTry, UnreadableMessagesAndBrokenExpressionsMatchNothing) {
    struct Case {
        const char* name;
        DistributeRule rule;
        bool readable;
        int matched;
    } cases[] = {
        {"readable, expression", whole("re(port|ply)", true), true, 3},
        {"unreadable", whole("report", false), false, 0},
        {"expression that does not compile", whole("report(", true), true, 0},
    };
    for (const Case& c : cases) {
        Folder folder = fourMessages();
        RuleTry run({c.rule}, 0, VerdictOptions());
        EXPECT_TRUE(tryFolder(run, folder.messages(),
                              [&](const std::string& entry) { return c.readable ? folder.texts[entry].c_str() : nullptr; },
                              [](size_t) { return true; }));
        EXPECT_EQ(c.matched, run.counts().matched) << c.name;
        EXPECT_EQ(4, run.counts().messages) << c.name;
    }
}

TEST(RuleTry, StopsBeforeTheNextMessageOnceAskedTo) {
    struct Case {
        size_t stopAt;  // the poll that answers no
        bool finished;
        int messages;
    } cases[] = {{0, false, 0}, {1, false, 1}, {3, false, 3}, {4, true, 4}, {100, true, 4}};
    for (const Case& c : cases) {
        Folder folder = fourMessages();
        RuleTry run({header("Subject:", "report")}, 0, VerdictOptions());
        std::vector<size_t> polls;
        bool finished = tryFolder(run, folder.messages(), folder.reader(), [&](size_t done) {
            polls.push_back(done);
            return done < c.stopAt;
        });
        EXPECT_EQ(c.finished, finished) << c.stopAt;
        EXPECT_EQ(c.messages, run.counts().messages) << c.stopAt;
        EXPECT_EQ(c.messages, folder.reads) << c.stopAt;
        // One poll before every message: a cancel waits for one message at most.
        for (size_t i = 0; i < polls.size(); ++i)
            EXPECT_EQ(i, polls[i]) << c.stopAt;
        EXPECT_EQ(std::min<size_t>(c.stopAt + 1, 4), polls.size()) << c.stopAt;
    }
}

TEST(RuleTry, WhyShowsEachRuleUpToTheDecidingOne) {
    Folder folder = fourMessages();
    RuleList rules = {header("To:", "nobody"), header("From:", "boss"), header("Subject:", "report")};
    RuleTry run(rules, 2, VerdictOptions());
    tryAll(run, folder);
    ASSERT_EQ(3u, run.rows().size());
    struct Case {
        size_t row;
        std::vector<const char*> present, absent;
    } cases[] = {
        {0, {"規則 1: ", "比べるヘッダがありません", "規則 2: ", "一致します。", "「boss@work.example」"}, {"規則 3"}},
        {1, {"規則 1: ", "規則 2: ", "「pal@home.example」", "規則 3: ", "一致します。", "「report B」"}, {}},
    };
    for (const Case& c : cases) {
        const TriedMessage& row = run.rows()[c.row];
        std::string why = run.why(row, folder.texts[row.entry].c_str());
        for (const char* text : c.present)
            EXPECT_NE(std::string::npos, why.find(text)) << c.row << " lacks " << text << "\n" << why;
        for (const char* text : c.absent)
            EXPECT_EQ(std::string::npos, why.find(text)) << c.row << " has " << text << "\n" << why;
    }
    EXPECT_NE(std::string::npos, run.why(run.rows()[0], nullptr).find("メールを読めません"));
}

TEST(RuleTry, ARuleOfSeveralConditionsIsTriedAndExplainedConditionByCondition) {
    Folder folder = fourMessages();
    DistributeRule tried = header("From:", "pal");  // pal's reports, not the weekly one
    RuleCondition report, weekly;
    for (RuleCondition* c : {&report, &weekly}) {
        c->searchTarget = NamedHeader;
        copyString(c->headerName, "Subject:");
    }
    copyString(report.searchText, "report");
    copyString(weekly.searchText, "weekly");
    weekly.negate = 1;
    tried.conditions = {report, weekly};
    RuleTry run({tried}, 0, VerdictOptions());
    tryAll(run, folder);
    ASSERT_EQ(std::vector<std::string>({"M2|pal@home.example|report B|"}), rowTexts(run));
    const char* whyWeekly[] = {"条件 1: 満たします", "条件 2: 満たします", "条件 3: 満たしません(決め手)"};
    TriedMessage weeklyReport;
    weeklyReport.entry = "Main\\Inbox.box\\M3";
    std::string why = run.why(weeklyReport, folder.texts[weeklyReport.entry].c_str());
    for (const char* text : whyWeekly)
        EXPECT_NE(std::string::npos, why.find(text)) << text << "\n" << why;
}

TEST(RuleTry, ListsAFoldersEntriesWithTheirUnreadMarks) {
    std::string unread = sample::base64(std::string(3, '\0') + "\x40" + std::string(8, '\0'));
    std::string read = sample::base64(std::string(12, '\0'));
    FolderMessages folder = listFolderMessages(("A1=" + read + "\r\nB2=" + unread + "\r\n").c_str(), "Main\\Inbox.box");
    EXPECT_EQ((std::vector<std::string>{"Main\\Inbox.box\\A1", "Main\\Inbox.box\\B2"}), folder.entries);
    EXPECT_EQ((std::vector<bool>{false, true}), folder.unread);
    EXPECT_TRUE(listFolderMessages(nullptr, "Main\\Inbox.box").entries.empty());
}
