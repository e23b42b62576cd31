#include <gtest/gtest.h>

#include <cstring>

#include "plugin/common/StrUtil.h"

using namespace corvane;

TEST(BoundedCopy, FitsWholeOrIsCutAndTerminated) {
    char small[4];
    EXPECT_TRUE(copyString(small, "abc"));
    EXPECT_STREQ(small, "abc");
    EXPECT_FALSE(copyString(small, "abcd"));
    EXPECT_STREQ(small, "abc");
    EXPECT_TRUE(copyString(small, nullptr));
    EXPECT_STREQ(small, "");
}

TEST(BoundedCopy, CopyBytesStopsAtCountOrNul) {
    char buffer[8];
    EXPECT_TRUE(copyBytes(buffer, "abcdef", 3));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_TRUE(copyBytes(buffer, "ab\0cd", 5));
    EXPECT_STREQ(buffer, "ab");
    EXPECT_FALSE(copyBytes(buffer, "0123456789", 10));
    EXPECT_STREQ(buffer, "0123456");
}

TEST(BoundedFormat, ReportsTruncation) {
    char buffer[6];
    EXPECT_TRUE(formatBuffer(buffer, "%d-%d", 12, 34));
    EXPECT_STREQ(buffer, "12-34");
    EXPECT_FALSE(formatBuffer(buffer, "%s", "toolong"));
    EXPECT_STREQ(buffer, "toolo");
}

TEST(CaseFolding, OnlyAsciiLettersFold) {
    EXPECT_EQ(0, compareNoCase("Subject:", "SUBJECT:"));
    EXPECT_EQ(0, compareNoCase("\x83\x41", "\x83\x61"));  // ア and ヂ share the lead byte
    EXPECT_NE(0, compareNoCase("\xC0", "\xE0"));         // no Latin-1 folding
    EXPECT_EQ(0, compareNoCase("abcX", "ABCy", 3));
    EXPECT_LT(compareNoCase("abc", "abd"), 0);
    EXPECT_GT(compareNoCase("abc", "ab"), 0);
}

TEST(SjisFolder, TrailByteBackslashIsNoSeparator) {
    EXPECT_EQ(0u, sjisFolderLength("corvane.dll"));
    EXPECT_EQ(3u, sjisFolderLength("C:\\corvane.dll"));
    // "表" is 0x95 0x5C: its second byte must not end the folder.
    const char path[] = "C:\\\x95\x5C\\x.dll";
    EXPECT_EQ(6u, sjisFolderLength(path));
    EXPECT_EQ(7u, sjisFolderLength("C:/a/b/x"));
}
