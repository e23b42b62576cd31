#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugin/mailbox/FolderTree.h"

using namespace corvane;

namespace {

const char Root[] = "C:\\Mail\\";
const char Account[] = "C:\\Mail\\acct\\";

// Profile values by "file|key" (section "Property" only, as the walk reads), the mailbox root,
// and a record of the files read.
class FakeSource : public FolderTreeSource {
public:
    std::map<std::string, std::string> values;
    std::string root = Root;
    std::string everyType, everyOrder;  // answered for every Entry.ini not in values
    mutable std::vector<std::string> filesRead;

    std::string readProfileString(const char* file, const char* section, const char* key) const override {
        EXPECT_STREQ("Property", section);
        EXPECT_LT(strlen(file), PathBufferSize);
        filesRead.push_back(file);
        auto found = values.find(std::string(file) + "|" + key);
        if (found != values.end())
            return found->second;
        if (strstr(file, "Entry.ini") && !strcmp(key, "Type"))
            return everyType;
        if (strstr(file, "Entry.ini") && !strcmp(key, "Order"))
            return everyOrder;
        return "";
    }

    bool toMailboxRelative(const char* fullDir, PathBuffer& out) const override {
        return corvane::toMailboxRelative(root.c_str(), fullDir, out);
    }

    void set(const std::string& file, const char* key, const char* value) {
        values[file + "|" + key] = value;
    }
    void folder(const std::string& dir, const char* type, const char* order, const char* title) {
        set(dir + "Entry.ini", "Type", type);
        set(dir + "Entry.ini", "Order", order);
        set(dir + "Entry.ini", "Title", title);
    }
};

// One entry as "kind depth hasSubfolders path title".
std::string describe(const FolderEntry& e) {
    return std::to_string(e.kind) + " " + std::to_string(e.depth) + " " + std::to_string(e.hasSubfolders) + " " +
           e.path + " " + e.title;
}

std::vector<std::string> walk(const FakeSource& source, const char* accountDir = Account) {
    FolderList list;
    listAccountFolders(list, accountDir, source);
    std::vector<std::string> lines;
    for (const FolderEntry& e : list)
        lines.push_back(describe(e));
    return lines;
}

std::vector<std::string> walkOrder(FakeSource& source, const char* order) {
    source.set(std::string(Account) + "Account.ini", "Order", order);
    return walk(source);
}

typedef std::vector<std::string> Lines;

void relative(const char* fullDir, const char* expected) {
    PathBuffer out;
    memset(out, 'x', sizeof out);
    bool ok = toMailboxRelative(Root, fullDir, out);
    EXPECT_EQ(expected != nullptr, ok) << fullDir;
    EXPECT_STREQ(expected ? expected : "", out) << fullDir;
}

const Lines specialThree = {"1 1 0 acct\\Inbox.box 郵便受け", "3 1 0 acct\\Outbox.box 送信箱",
                            "2 1 0 acct\\Trash.box ごみ箱"};

}  // namespace

TEST(MailboxRelative, PartBelowRootUpToLastSeparator) {
    relative("C:\\Mail\\acct\\Inbox.box\\", "acct\\Inbox.box");
    relative("c:\\mail\\acct\\", "acct");
    relative("C:\\Mail\\acct\\x", "acct");
    relative("C:\\Mail\\\\", "");
    relative("C:\\Mail\\acct\\\x95\x5C", "acct");
    relative("D:\\Mail\\acct\\", nullptr);
    relative("C:\\Mail\\", nullptr);
    relative("C:\\Mail\\acct", nullptr);
    relative("C:\\Mai", nullptr);
    relative("", nullptr);
    relative(("C:\\Mail\\" + std::string(259, 'a') + "\\").c_str(), std::string(259, 'a').c_str());
    relative(("C:\\Mail\\" + std::string(260, 'a') + "\\").c_str(), nullptr);
}

TEST(FolderTree, AccountOrder) {
    FakeSource source;
    EXPECT_EQ(specialThree, walk(source));
    EXPECT_EQ(specialThree, walkOrder(source, "IOT"));
    EXPECT_EQ((Lines{"1 1 0 acct\\Inbox.box 郵便受け"}), walkOrder(source, "I"));

    source.folder(std::string(Account) + "User001.box\\", "", "", "仕事");
    EXPECT_EQ((Lines{"1 1 0 acct\\Inbox.box 郵便受け", "5 1 0 acct\\User001.box 仕事", "2 1 0 acct\\Trash.box ごみ箱"}),
              walkOrder(source, "I001T"));
}

TEST(FolderTree, SubfoldersFollowTheirParent) {
    FakeSource source;
    source.folder(std::string(Account) + "User002.box\\", "Subfolder", "005I", "親");
    source.folder(std::string(Account) + "User002.box\\User005.box\\", "", "", "子");
    EXPECT_EQ((Lines{"4 1 1 acct\\User002.box 親", "5 2 0 acct\\User002.box\\User005.box 子",
                     "1 2 0 acct\\User002.box\\Inbox.box 郵便受け", "2 1 0 acct\\Trash.box ごみ箱"}),
              walkOrder(source, "002T"));

    source.folder(std::string(Account) + "User002.box\\", "subfolder", "005", "親");
    EXPECT_EQ((Lines{"5 1 0 acct\\User002.box 親"}), walkOrder(source, "002"));
}

TEST(FolderTree, TitlesAndIds) {
    FakeSource source;
    source.folder(std::string(Account) + "User003.box\\", "", "", "");
    EXPECT_EQ((Lines{"5 1 0 acct\\User003.box 不明なフォルダ(003)"}), walkOrder(source, "003"));
    EXPECT_EQ((Lines{"5 1 0 acct\\User004.box 不明なフォルダ(004)"}), walkOrder(source, "004"));
    EXPECT_EQ((Lines{"5 1 0 acct\\Userx-y.box 不明なフォルダ(x-y)"}), walkOrder(source, "x-y"));
    EXPECT_EQ((Lines{"1 1 0 acct\\Inbox.box 郵便受け", "5 1 0 acct\\User005.box 不明なフォルダ(5)"}),
              walkOrder(source, "I5"));
    EXPECT_EQ((Lines{"5 1 0 acct\\User012.box 不明なフォルダ(12)"}), walkOrder(source, "12"));
    EXPECT_EQ((Lines{"5 1 0 acct\\User0I1.box 不明なフォルダ(0I1)", "2 1 0 acct\\Trash.box ごみ箱"}),
              walkOrder(source, "0I1T"));
}

TEST(FolderTree, OutsideTheRootNoEntriesButSubfoldersVisited) {
    FakeSource source;
    source.root = "D:\\Other\\";
    source.folder(std::string(Account) + "User002.box\\", "Subfolder", "005", "親");
    EXPECT_EQ(Lines{}, walkOrder(source, "I002"));
    const std::string childFile = std::string(Account) + "User002.box\\User005.box\\Entry.ini";
    EXPECT_EQ(2, std::count(source.filesRead.begin(), source.filesRead.end(), childFile));
}

TEST(FolderTree, FoldersWhoseFilesWouldNotFitAreLeftOut) {
    // A folder is kept while its directory and the 9-byte "Entry.ini" stay within 259 bytes.
    struct Case {
        size_t prefixLength;
        std::vector<int32_t> kinds;
    } cases[] = {
        {238, {Inbox, Outbox, UserFolder, Trash}},
        {239, {Inbox, Outbox, Trash}},
        {240, {Inbox, Trash}},
        {241, {}},
    };
    for (const Case& c : cases) {
        FakeSource source;
        std::string account = Root + std::string(c.prefixLength - strlen(Root) - 1, 'a') + "\\";
        source.set(account + "Account.ini", "Order", "IO001T");
        FolderList list;
        listAccountFolders(list, account.c_str(), source);
        std::vector<int32_t> kinds;
        for (const FolderEntry& e : list)
            kinds.push_back(e.kind);
        EXPECT_EQ(c.kinds, kinds) << c.prefixLength;
    }
}

TEST(FolderTree, EndlessNestingStopsAtPathLength) {
    FakeSource source;
    source.everyType = "Subfolder";
    source.everyOrder = "001";
    std::vector<std::string> lines = walkOrder(source, "001");
    // "C:\Mail\acct\" is 13 bytes; each level adds "User001.box\" (12) and must leave room for
    // "Entry.ini" (9): 13 + 12 * n + 9 <= 259.
    const size_t levels = (259 - 9 - 13) / 12;
    ASSERT_EQ(levels, lines.size());
    EXPECT_EQ(0u, lines.back().rfind("4 " + std::to_string(levels) + " 1 ", 0)) << lines.back();
    for (const std::string& file : source.filesRead)
        EXPECT_LE(file.size(), 259u);
}

TEST(FolderTree, RepeatedIdsCannotMakeTheWalkEndless) {
    FakeSource source;
    source.everyType = "Subfolder";
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "001";
    source.everyOrder = many;
    FolderList list;
    enumerateFolders(list, 0, Account, many.c_str(), source);
    EXPECT_FALSE(list.empty());
    EXPECT_LE(list.size(), kMaxFolderVisits);
    EXPECT_LE(source.filesRead.size(), 3 * kMaxFolderVisits);
}
