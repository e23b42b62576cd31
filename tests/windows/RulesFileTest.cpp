// The rules file through the real private-profile functions, on the bytes they write. These
// tests run the plug-in's code linked into the test program, so the record can be inspected.
#include <random>

#include "TestSupport.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/rules/RuleText.h"
#include "plugin/rules/RulesFile.h"

using namespace corvane;
using namespace testing_support;

namespace {

class RulesFile : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(BindHostApi());
        copyString(context.accountDir, (host.mailbox().root() + "Main\\").c_str());
        iniPath = std::string(context.accountDir) + "corvane.ini";
    }
    void writeIni(const std::string& text) { ASSERT_TRUE(standin::Mailbox::writeFile(iniPath, text)); }
    std::string ini() const { return standin::Mailbox::readFile(iniPath); }
    bool iniHas(const std::string& line) const { return ini().find(line + "\r\n") != std::string::npos; }
    void load() {
        context.clearRules();
        loadRules(context);
    }

    AccountSettings context;
    std::string iniPath;
};

DistributeRule rule(int target, const std::string& text, const std::string& header, bool matchCase, bool regex,
                    const std::string& dest) {
    DistributeRule r;
    r.searchTarget = target;
    copyString(r.searchText, text.c_str());
    copyString(r.headerName, header.c_str());
    r.matchCase = matchCase;
    r.useRegex = regex;
    copyString(r.destFolder, dest.c_str());
    finishLoadedRule(r);
    return r;
}

void expectSameRule(const DistributeRule& a, const DistributeRule& b) {
    EXPECT_EQ(a.searchTarget, b.searchTarget);
    EXPECT_STREQ(a.searchText, b.searchText);
    EXPECT_STREQ(a.headerName, b.headerName);
    EXPECT_EQ(a.matchCase, b.matchCase);
    EXPECT_EQ(a.useRegex, b.useRegex);
    EXPECT_STREQ(a.destFolder, b.destFolder);
    EXPECT_EQ(a.destIsTrash, b.destIsTrash);
}

}  // namespace

TEST_F(RulesFile, NoFileGivesNoRulesAndSavingCreatesTheOptions) {
    context.unreadMail = context.reportResult = false;
    load();
    EXPECT_EQ(0, context.ruleCount);
    EXPECT_FALSE(context.unreadMail);
    saveRules(context);
    EXPECT_TRUE(iniHas("[Generic]"));
    EXPECT_TRUE(iniHas("unreadmail=0"));
    EXPECT_TRUE(iniHas("reportresult=0"));
    EXPECT_EQ(std::string::npos, ini().find("[Rule]"));
}

TEST_F(RulesFile, TheDocumentedExampleIsWrittenAsShown) {
    context.appendRule(rule(NamedHeader, "[list-a]", "Subject:", false, false, "Main\\User003.box"));
    saveRules(context);
    EXPECT_TRUE(iniHas("rule1=\"2: [list-a]: Subject::: 0: 0: Main\\User003.box\"")) << ini();
    load();
    ASSERT_EQ(1, context.ruleCount);
    EXPECT_STREQ("Subject:", context.rules[0].headerName);
    EXPECT_STREQ("[list-a]", context.rules[0].searchText);
}

TEST_F(RulesFile, ReadingStopsAtTheFirstGapAndTheStaleKeySurvivesASave) {
    writeIni("[Rule]\r\nrule1=\"0: a: : 0: 0: Main\\Inbox.box\"\r\nrule2=\"0: b: : 0: 0: Main\\Inbox.box\"\r\n"
             "rule4=\"0: d: : 0: 0: Main\\Inbox.box\"\r\n");
    load();
    ASSERT_EQ(2, context.ruleCount);
    EXPECT_STREQ("b", context.rules[1].searchText);
    saveRules(context);
    EXPECT_TRUE(iniHas("rule4=\"0: d: : 0: 0: Main\\Inbox.box\""));
    load();
    EXPECT_EQ(2, context.ruleCount);
}

TEST_F(RulesFile, EmptyAndQuoteOnlyFirstValuesLoadNothing) {
    for (const char* value : {"rule1=\r\n", "rule1=\"\"\r\n"}) {
        writeIni(std::string("[Rule]\r\n") + value + "rule2=\"0: b: : 0: 0: Main\\Inbox.box\"\r\n");
        load();
        EXPECT_EQ(0, context.ruleCount) << value;
    }
}

TEST_F(RulesFile, FieldsReadAsTheFileHasThem) {
    struct Case {
        const char* value;
        const char* text;
        const char* header;
        int matchCase, useRegex;
        const char* dest;
    };
    const Case cases[] = {
        {"0: : : 0: 0: Main\\Inbox.box", "", "", 0, 0, "Main\\Inbox.box"},
        {"1: ends::: : 1: 1: Main\\Inbox.box", "ends:", "", 1, 1, "Main\\Inbox.box"},
        {"1: a:::: b: : 0: 0: Main\\Inbox.box", "a:: b", "", 0, 0, "Main\\Inbox.box"},
        {"2: x: Subject::: 2: yes: Main\\Inbox.box", "x", "Subject:", 0, 0, "Main\\Inbox.box"},
        {"0: x: : 1: 1: Main\\A: B", "x", "", 1, 1, "Main\\A"},
        // Written by hand, a colon and blank in the text shifts the fields.
        {"9: Re: x: : 0: 0: Main", "Re", "x", 0, 0, "0"},
    };
    for (const Case& c : cases) {
        writeIni(std::string("[Rule]\r\nrule1=\"") + c.value + "\"\r\n");
        load();
        ASSERT_EQ(1, context.ruleCount) << c.value << "\n" << ini();
        const DistributeRule& r = context.rules[0];
        EXPECT_STREQ(c.text, r.searchText) << c.value;
        EXPECT_STREQ(c.header, r.headerName) << c.value;
        EXPECT_EQ(c.matchCase, r.matchCase) << c.value;
        EXPECT_EQ(c.useRegex, r.useRegex) << c.value;
        EXPECT_STREQ(c.dest, r.destFolder) << c.value;
    }
}

TEST_F(RulesFile, OptionsReadOnlyAsOneOrZeroAndAbsentOnesKeepTheirValue) {
    struct Case {
        const char* generic;
        bool before, unread, report;
    };
    const Case cases[] = {
        {"unreadmail=1\r\nreportresult=1\r\n", false, true, true},
        {"unreadmail=2\r\nreportresult=yes\r\n", true, false, false},
        {"", true, true, true},
        {"", false, false, false},
        {"reportresult=0\r\n", true, true, false},
    };
    for (const Case& c : cases) {
        writeIni(std::string("[Generic]\r\n") + c.generic);
        context.unreadMail = context.reportResult = c.before;
        load();
        EXPECT_EQ(c.unread, context.unreadMail) << c.generic;
        EXPECT_EQ(c.report, context.reportResult) << c.generic;
    }
}

TEST_F(RulesFile, ShrinkingDeletesTheKeysAtOnceAndTheRestWaitForTheSave) {
    for (int i = 1; i <= 5; ++i)
        context.appendRule(rule(WholeMessage, "r" + std::to_string(i), "", false, false, "Main\\Inbox.box"));
    saveRules(context);
    RuleList shorter(context.rules.begin(), context.rules.begin() + 3);
    shorter[0] = rule(WholeMessage, "changed", "", false, false, "Main\\Inbox.box");
    int oldCount = context.ruleCount;
    context.setRules(shorter);
    deleteRuleKeys(&context, context.ruleCount + 1, oldCount);
    std::string text = ini();
    EXPECT_EQ(std::string::npos, text.find("rule4="));
    EXPECT_EQ(std::string::npos, text.find("rule5="));
    EXPECT_TRUE(iniHas("rule1=\"0: r1: : 0: 0: Main\\Inbox.box\""));
    saveRules(context);
    EXPECT_TRUE(iniHas("rule1=\"0: changed: : 0: 0: Main\\Inbox.box\""));
    deleteRuleKeys(nullptr, 1, 3);
    deleteRuleKeys(&context, 3, 2);
    EXPECT_TRUE(iniHas("rule3=\"0: r3: : 0: 0: Main\\Inbox.box\""));
}

TEST_F(RulesFile, ARuleThatCannotReadBackWholeIsLeftOutAndTheRestCloseUp) {
    context.appendRule(rule(WholeMessage, "a", "", false, false, "Main\\Inbox.box"));
    context.appendRule(rule(WholeMessage, "b", "", false, false, "Main\\A: B"));
    context.appendRule(rule(WholeMessage, "c", "", false, false, "Main\\Inbox.box"));
    saveRules(context);
    load();
    ASSERT_EQ(2, context.ruleCount);
    EXPECT_STREQ("a", context.rules[0].searchText);
    EXPECT_STREQ("c", context.rules[1].searchText);
    EXPECT_EQ(std::string::npos, ini().find("rule3="));
}

TEST_F(RulesFile, TextsTheCodePageWouldChangeAreNotStorable) {
    EXPECT_TRUE(ruleStorable(rule(WholeMessage, "\x95\x5C\xB1", "", false, false, "Main\\Inbox.box")));
    EXPECT_FALSE(ruleStorable(rule(WholeMessage, "\x8A\x3A", "", false, false, "Main\\Inbox.box")));
    EXPECT_FALSE(ruleStorable(rule(WholeMessage, "a", "\x82", false, false, "Main\\Inbox.box")));
}

TEST_F(RulesFile, AValueTooLongForTheReaderStopsLoadingInsteadOfShorteningIt) {
    writeIni("[Rule]\r\nrule1=\"0: a: : 0: 0: Main\\Inbox.box\"\r\nrule2=\"0: " + std::string(9000, 'x') +
             ": : 0: 0: Main\\Inbox.box\"\r\n");
    load();
    EXPECT_EQ(1, context.ruleCount);
}

// Random rules of every shape, at the records' maximum lengths too, go through the real
// writer and reader and come back identical.
TEST_F(RulesFile, RandomRulesRoundTripThroughTheFile) {
    std::mt19937 random(20261207);
    const std::string alphabet[] = {":", " ", ": ", "::", "\"", "'", "a", "Z", "\\", "=", ";", "[", "]", "\t",
                                    "\x95\x5C", "\x83\x41", "\x82\xA0", "\x8E\x9A", "\xB1"};
    auto text = [&](size_t maxLength) {
        std::string s;
        size_t length = random() % 3 == 0 ? maxLength : random() % 40;
        while (s.size() < length) {
            const std::string& piece = alphabet[random() % (sizeof alphabet / sizeof alphabet[0])];
            if (s.size() + piece.size() > length)
                break;
            s += piece;
        }
        return s;
    };
    for (int round = 0; round < 40; ++round) {
        context.clearRules();
        RuleList written;
        for (int i = 0; i < 6; ++i) {
            std::string dest = "Main\\" + text(250);
            while (dest.find(": ") != std::string::npos)
                dest.replace(dest.find(": "), 2, "_ ");
            DistributeRule r = rule(static_cast<int>(random() % 4), text(1023), text(1023), random() % 2, random() % 2, dest);
            ASSERT_TRUE(ruleStorable(r)) << formatRuleValue(r);
            written.push_back(r);
        }
        context.setRules(written);
        DeleteFileA(iniPath.c_str());
        saveRules(context);
        load();
        ASSERT_EQ(6, context.ruleCount) << "round " << round;
        for (int i = 0; i < 6; ++i)
            expectSameRule(written[static_cast<size_t>(i)], context.rules[static_cast<size_t>(i)]);
    }
}
