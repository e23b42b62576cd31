#include "TestSupport.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxFiles.h"

using namespace corvane;
using namespace testing_support;

class MailboxFiles : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(BindHostApi());
        host.mailbox().createUserFolder("Main", "001", "仕事");
        CreateDirectoryA(host.mailbox().folderDir("Main\\User002.box").c_str(), nullptr);  // no Entry.ini
    }
};

TEST_F(MailboxFiles, FoldersExistByTheirSettingsFileOrTheTrashByItsDirectory) {
    struct Case {
        const char* folder;
        bool exists;
    };
    const Case cases[] = {
        {"Main\\Inbox.box", true},   {"Main\\User001.box", true}, {"Main\\User002.box", false},
        {"Main\\Trash.box", true},   {"Main\\User009.box", false}, {"", true},
        {"Main", true},              {"Nobody", false},            {"Main\\trash.box", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.exists, folderExists(c.folder)) << c.folder;
}

TEST_F(MailboxFiles, MessageAndListPathsComeFromTheHostsRoot) {
    PathBuffer path;
    const std::string root = host.mailbox().root();
    ASSERT_TRUE(messageFilePath("Main\\Inbox.box\\00000001", path));
    EXPECT_EQ(root + "Main\\Inbox.box\\00000001.qpm", path);
    ASSERT_TRUE(messageListPath("Main\\Inbox.box", path));
    EXPECT_EQ(root + "Main\\Inbox.box\\Entry.lst", path);
    ASSERT_TRUE(messageListPath("Main\\Trash.box", path));
    EXPECT_EQ(root + "Main\\Trash.box\\Trash.box", path);
    EXPECT_FALSE(messageFilePath(std::string(300, 'x').c_str(), path));
    EXPECT_STREQ("", path);
}
