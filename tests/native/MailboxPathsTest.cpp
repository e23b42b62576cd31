#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/mailbox/MailboxPaths.h"

using namespace corvane;

namespace {

// "表" is 0x95 0x5C: its second byte looks like a separator but is none.
#define HYOU "\x95\x5C"

void kind(const char* path, FolderKind expected) {
    EXPECT_EQ(expected, classifyFolderPath(path)) << "path: " << path;
}

void last(const char* path, const char* expected) {
    const char* got = lastPathComponent(path);
    if (!expected)
        EXPECT_EQ(nullptr, got) << "path: " << path;
    else
        EXPECT_STREQ(expected, got ? got : "(none)") << "path: " << path;
}

typedef bool (*Former)(const char*, const char*, PathBuffer&);

void formed(Former former, const char* root, const char* relative, const char* expected) {
    PathBuffer out;
    memset(out, 'x', sizeof out);
    EXPECT_TRUE(former(root, relative, out)) << relative;
    EXPECT_STREQ(expected, out);
}

void refused(Former former, const std::string& root, const std::string& relative) {
    PathBuffer out;
    memset(out, 'x', sizeof out);
    EXPECT_FALSE(former(root.c_str(), relative.c_str(), out)) << relative.size();
    EXPECT_STREQ("", out);
}

}  // namespace

TEST(ClassifyFolderPath, SubstringTestsInOrder) {
    kind("acct\\Inbox.box", Inbox);
    kind("acct\\Outbox.box", Outbox);
    kind("acct\\Trash.box", Trash);
    kind("acct\\User003.box", UserFolder);
    kind("acct\\User002.box\\User005.box", UserFolder);
    kind("acct\\Inbox.box\\Trash.box", Trash);
    kind("acct\\Outbox.box\\Inbox.box", Inbox);
    kind("acct\\trash.box", UserFolder);
    kind("acct\\INBOX.BOX", UserFolder);
    kind("acct", Trash);
    kind("trash.box", Trash);
    kind("", Trash);
    kind(nullptr, Trash);
}

TEST(ClassifyFolderPath, TrailByteIsNoSeparator) {
    kind(HYOU "Inbox.box", Trash);
    kind("acct\\" HYOU "Inbox.box", UserFolder);
    kind("acct\\" HYOU "Trash.box", UserFolder);
    kind(HYOU "\\Outbox.box", Outbox);
}

TEST(LastPathComponent, TextAfterLastSeparator) {
    last("acct\\Inbox.box\\00012", "00012");
    last("acct\\Inbox.box\\", "");
    last("\\", "");
    last("00012", nullptr);
    last("", nullptr);
    last(nullptr, nullptr);
    last("acct\\" HYOU, HYOU);
    last(HYOU, nullptr);
    last("\x95", nullptr);  // a lead byte cut off by the end of the text
}

TEST(MailboxPathFormers, FormedFromRoot) {
    formed(formatMessageFilePath, "C:\\Mail\\", "acct\\Inbox.box\\00012", "C:\\Mail\\acct\\Inbox.box\\00012.qpm");
    formed(formatMessageListPath, "C:\\Mail\\", "acct\\Inbox.box", "C:\\Mail\\acct\\Inbox.box\\Entry.lst");
    formed(formatMessageListPath, "C:\\Mail\\", "acct\\Trash.box", "C:\\Mail\\acct\\Trash.box\\Trash.box");
    formed(formatFolderTestPath, "C:\\Mail\\", "acct\\User003.box", "C:\\Mail\\acct\\User003.box\\Entry.ini");
    formed(formatFolderTestPath, "C:\\Mail\\", "acct\\Trash.box", "C:\\Mail\\acct\\Trash.box");
    formed(formatFolderTestPath, "C:\\Mail\\", "", "C:\\Mail\\");
    formed(formatFolderTestPath, "C:\\Mail\\", "acct\\trash.box", "C:\\Mail\\acct\\trash.box\\Entry.ini");
}

TEST(MailboxPathFormers, At259BytesWholeBeyondRefusedAndEmpty) {
    const std::string root = "C:\\Mail\\";
    struct Case {
        Former former;
        size_t suffix;  // bytes the former adds after root and relative part
        const char* relativeStart;
    } cases[] = {
        {formatMessageFilePath, 4, "acct\\Inbox.box\\"},
        {formatMessageListPath, 10, "acct\\Inbox.box\\"},
        {formatMessageListPath, 10, "acct\\Trash.box\\"},
        {formatFolderTestPath, 10, "acct\\Inbox.box\\"},
        {formatFolderTestPath, 0, "acct\\Trash.box\\"},
    };
    for (const Case& c : cases) {
        std::string relative = c.relativeStart;
        relative.resize(259 - root.size() - c.suffix, '1');
        PathBuffer out;
        EXPECT_TRUE(c.former(root.c_str(), relative.c_str(), out)) << c.relativeStart << c.suffix;
        EXPECT_EQ(259u, strlen(out));
        refused(c.former, root, relative + "1");
        refused(c.former, root, relative + std::string(1000, '1'));
    }
}
