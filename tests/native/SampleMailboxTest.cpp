#include <gtest/gtest.h>

#include <map>
#include <set>

#include "plugin/rules/RuleText.h"
#include "tools/sample/SampleMailbox.h"

using namespace sample;

TEST(SampleMailbox, JisConversionAndEncodedWords) {
    // 会議 is JIS X 0208 0x3271 0x3544.
    EXPECT_EQ("\x1B$B2q5D\x1B(B", sjisToIso2022jp("会議"));
    EXPECT_EQ("a\x1B$B$\"\x1B(Bb", sjisToIso2022jp("aあb"));
    EXPECT_EQ("=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=", mimeEncodedWord("会議"));
    EXPECT_EQ("", base64(""));
    EXPECT_EQ("YQ==", base64("a"));
    EXPECT_EQ("YWJj", base64("abc"));
}

TEST(SampleMailbox, SameSeedSameMailboxAndEveryRuleReads) {
    SampleMailbox one = buildSampleMailbox(7, 120);
    SampleMailbox two = buildSampleMailbox(7, 120);
    ASSERT_EQ(one.files.size(), two.files.size());
    for (size_t i = 0; i < one.files.size(); ++i)
        EXPECT_EQ(one.files[i].bytes, two.files[i].bytes) << one.files[i].path;
    EXPECT_EQ(120u, one.messages.size());

    std::map<std::string, int> kinds;
    int unread = 0;
    for (const SampleMessage& m : one.messages) {
        ++kinds[m.kind];
        unread += m.unread;
    }
    EXPECT_GE(kinds.size(), 7u);
    EXPECT_GT(unread, 0);

    std::string ini;
    for (const SampleFile& f : one.files)
        if (f.path == "Main\\corvane.ini")
            ini = f.bytes;
    std::set<int> targets;
    int rules = 0;
    for (size_t pos = ini.find("rule"); pos != std::string::npos; pos = ini.find("rule", pos + 1)) {
        size_t open = ini.find('"', pos), close = ini.find("\"\r\n", pos);
        corvane::DistributeRule rule;
        ASSERT_TRUE(corvane::parseRuleValue(ini.substr(open + 1, close - open - 1).c_str(), rule));
        targets.insert(rule.searchTarget);
        ++rules;
        pos = close;
    }
    EXPECT_EQ(9, rules);
    EXPECT_EQ((std::set<int>{0, 1, 2}), targets);
}
