#include <gtest/gtest.h>

#include <string>

#include "tools/check/ProfileFile.h"

using namespace corvane;

namespace {

// The value a lookup returns from a file, with a buffer of bufferSize bytes.
void read(const std::string& file, const char* section, const char* key, const std::string& expected,
          size_t bufferSize = 1024) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(file) << " [" << section << "] " << key);
    ProfileFile profile(file);
    size_t length = 99;
    EXPECT_EQ(expected, profile.readString(section, key, bufferSize, &length));
    EXPECT_EQ(expected.size(), length);
}

void readInt(const std::string& value, unsigned expected) {
    SCOPED_TRACE(value);
    ProfileFile profile("[G]\r\nk=" + value + "\r\n");
    EXPECT_EQ(expected, profile.readInt("G", "k", 3));
}

}  // namespace

TEST(ProfileFile, LookupsAsThePrivateProfileFunctions) {
    read("[Rule]\r\nrule1=abc\r\n", "Rule", "rule1", "abc");
    read("[rule]\nRULE1=abc\n", "Rule", "rule1", "abc");                 // names fold, LF alone ends lines
    read("  [ Rule ]  \r\n  rule1  =  a b  \r\n", "Rule", "rule1", "a b");  // blanks trimmed
    read("[Rule]\r\nrule1=\" a: b \"\r\n", "Rule", "rule1", " a: b ");   // one pair of quotes removed
    read("[Rule]\r\nrule1='x'\r\n", "Rule", "rule1", "x");
    read("[Rule]\r\nrule1=\"\"\r\n", "Rule", "rule1", "");
    read("[Rule]\r\nrule1=\"x\r\n", "Rule", "rule1", "\"x");             // unmatched quote stays
    read("[Rule]\r\nrule1=\"x'\r\n", "Rule", "rule1", "\"x'");
    read("[Rule]\r\nrule1=a\r\nrule1=b\r\n", "Rule", "rule1", "a");      // first key wins
    read("[Rule]\r\nrule1=a\r\n[Rule]\r\nrule2=b\r\n", "Rule", "rule2", "");  // only the first section
    read("[Rule]\r\n;rule1=a\r\n", "Rule", "rule1", "");
    read("rule1=a\r\n[Rule]\r\n", "Rule", "rule1", "");
    read("[Rule]\r\nrule1\r\nrule1=a\r\n", "Rule", "rule1", "");         // a bare key hides the later one
    read("[Rule]\r\nrule1=a=b\r\n", "Rule", "rule1", "a=b");
    read("\xEF\xBB\xBF[Rule]\r\nrule1=a\r\n", "Rule", "rule1", "a");
    read("[Rule]\r\nrule1=abcdef\r\n", "Rule", "rule1", "abc", 4);       // cut to the buffer
    read("[Rule]\r\nrule1=\"abcdef\"\r\n", "Rule", "rule1", "abcde", 6);
}

TEST(ProfileFile, IntegersAsGetPrivateProfileInt) {
    readInt("1", 1);
    readInt("  2", 2);
    readInt("12abc", 12);
    readInt("yes", 0);
    readInt("", 3);
    readInt("-1", static_cast<unsigned>(-1));
    readInt("+7", 7);
    ProfileFile missing("[G]\r\n");
    EXPECT_EQ(3u, missing.readInt("G", "k", 3));
}

TEST(ProfileFile, LinesKeepTheirNumbersAndKinds) {
    ProfileFile profile("; comment\r\n[Generic]\r\nunreadmail=1\r\n\r\n[Rule]\r\nrule1=x\r\nstray\r\n[Generic]\r\nx=1\r\n");
    const std::vector<ProfileLine>& lines = profile.lines();
    ASSERT_EQ(9u, lines.size());
    EXPECT_EQ(ProfileLine::Comment, lines[0].kind);
    EXPECT_EQ(ProfileLine::Section, lines[1].kind);
    EXPECT_EQ(3, profile.find("generic", "UnreadMail")->number);
    EXPECT_EQ(6, profile.find("Rule", "rule1")->number);
    EXPECT_FALSE(lines[6].hasEquals);
    EXPECT_EQ(1, lines[7].sectionIndex);
    EXPECT_EQ(nullptr, profile.find("Generic", "x"));
    EXPECT_FALSE(profile.isEffective(lines[8]));
    EXPECT_TRUE(profile.isEffective(lines[5]));
}
