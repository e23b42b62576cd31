// Folder and view windows coming and going. The record tests run the plug-in's code linked into
// the test program so that records can be looked at; the hook-list tests run the real plug-in
// with a stand-in hook library that records its calls.
#include "TestSupport.h"
#include "plugin/common/StrUtil.h"
#include "plugin/entry/Plugin.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/rules/RuleText.h"
#include "plugin/windows/FolderRegistry.h"

using namespace corvane;
using namespace testing_support;

namespace {

const char kRuleA[] = "rule1=\"0: alpha: : 0: 0: Main\\Inbox.box\"\r\n";
const char kRuleB[] = "rule1=\"1: beta: : 1: 0: Other\\Inbox.box\"\r\n";

class FolderRecords : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(BindHostApi());
        host.mailbox().createAccount("Other");
        writeIni("Main", std::string("[Rule]\r\n") + kRuleA);
        writeIni("Other", std::string("[Generic]\r\nunreadmail=1\r\n[Rule]\r\n") + kRuleB);
    }
    void TearDown() override {
        for (HWND window : folderRegistry().windows())
            ::APCFolderClose(window);
        PluginTest::TearDown();
    }
    std::string iniPath(const char* account) { return host.mailbox().root() + account + "\\corvane.ini"; }
    void writeIni(const char* account, const std::string& text) {
        ASSERT_TRUE(standin::Mailbox::writeFile(iniPath(account), text));
    }
    std::string ini(const char* account) { return standin::Mailbox::readFile(iniPath(account)); }
    HWND openFolder(const char* account) {
        HWND window = host.createFolderWindow(account, std::string(account) + "\\Inbox.box");
        ::APCFolderCreate(window);
        return window;
    }
    static DistributeRule extraRule(const char* text) {
        DistributeRule rule;
        copyString(rule.searchText, text);
        copyString(rule.destFolder, "Main\\Inbox.box");
        finishLoadedRule(rule);
        return rule;
    }
};

}  // namespace

TEST_F(FolderRecords, CreateLoadsTheAccountsRulesIntoAFreshRecord) {
    HWND window = openFolder("Main");
    FolderContext* context = folderRegistry().find(window);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(window, context->folderWindow);
    EXPECT_EQ(host.mailbox().root() + "Main\\", context->accountDir);
    ASSERT_EQ(1, context->ruleCount);
    EXPECT_STREQ("alpha", context->rules[0].searchText);
    EXPECT_FALSE(context->unreadMail);
    EXPECT_EQ(nullptr, context->workBuffer);
    // A second create for the same window starts over instead of doubling the rules.
    ::APCFolderCreate(window);
    EXPECT_EQ(1, folderRegistry().find(window)->ruleCount);
}

TEST_F(FolderRecords, LoadWithTheSameAccountWritesNothingAndKeepsUnsavedChanges) {
    HWND window = openFolder("Main");
    FolderContext* context = folderRegistry().find(window);
    context->appendRule(extraRule("unsaved"));
    std::string before = ini("Main");
    ::APCFolderLoad(window, 0);
    EXPECT_EQ(before, ini("Main"));
    EXPECT_EQ(context, folderRegistry().find(window));
    EXPECT_EQ(2, context->ruleCount);
}

TEST_F(FolderRecords, LoadAfterAnAccountSwitchSavesTheOldAndLoadsTheNew) {
    HWND window = openFolder("Main");
    folderRegistry().find(window)->appendRule(extraRule("unsaved"));
    host.setAccount(window, "Other", "Other\\Inbox.box");
    ::APCFolderLoad(window, 0);
    EXPECT_NE(std::string::npos, ini("Main").find("rule2=\"0: unsaved: : 0: 0: Main\\Inbox.box\""));
    FolderContext* context = folderRegistry().find(window);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(host.mailbox().root() + "Other\\", context->accountDir);
    ASSERT_EQ(1, context->ruleCount);
    EXPECT_STREQ("beta", context->rules[0].searchText);
    EXPECT_TRUE(context->unreadMail);
}

TEST_F(FolderRecords, NullOrUnknownWindowsChangeNothing) {
    ::APCFolderCreate(nullptr);
    EXPECT_TRUE(folderRegistry().windows().empty());
    HWND stranger = host.createFolderWindow("Main", "Main\\Inbox.box");
    DeleteFileA(iniPath("Main").c_str());
    ::APCFolderLoad(stranger, 0);
    ::APCFolderClose(stranger);
    ::APCFolderClose(nullptr);
    EXPECT_EQ(GetFileAttributesA(iniPath("Main").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FolderRecords, TwoWindowsOfOneAccountKeepTheirOwnRecordAndTheLastCloseWins) {
    HWND first = openFolder("Main");
    HWND second = openFolder("Main");
    FolderContext* a = folderRegistry().find(first);
    FolderContext* b = folderRegistry().find(second);
    ASSERT_NE(a, b);
    a->appendRule(extraRule("from-first"));
    b->setRules({extraRule("from-second")});
    ::APCFolderClose(first);
    EXPECT_NE(std::string::npos, ini("Main").find("from-first"));
    ::APCFolderClose(second);
    EXPECT_NE(std::string::npos, ini("Main").find("rule1=\"0: from-second: "));
    EXPECT_EQ(nullptr, folderRegistry().find(first));
}

TEST_F(FolderRecords, AViewBelongsToTheLowestFolderWindowOfItsAccount) {
    HWND first = openFolder("Main");
    HWND second = openFolder("Main");
    openFolder("Other");
    HWND view = host.createViewWindow("Main");
    HWND lowest = reinterpret_cast<UINT_PTR>(first) < reinterpret_cast<UINT_PTR>(second) ? first : second;
    EXPECT_EQ(lowest, FindFolderForView(view));
    HWND lonely = host.createViewWindow("Nobody");
    EXPECT_EQ(nullptr, FindFolderForView(lonely));
}

namespace {

class HookList : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        host.mailbox().createAccount("Other");
        placeHookBesidePlugin("testhook_beside");
        startPlugin();
    }
    static std::string id(HWND window) { return std::to_string(reinterpret_cast<UINT_PTR>(window)); }
    std::string logSinceStart() {
        std::string log = hookLog();
        return log.substr(log.find(';') + 1);  // after "begin ...;"
    }
};

}  // namespace

TEST_F(HookList, FolderAndViewWindowsAreRegisteredAndRemovedByTheirOwnCalls) {
    HWND folder = host.openFolderWindow("Main", "Main\\Inbox.box");
    HWND view = host.openViewWindow("Main");
    HWND stranger = host.openViewWindow("Nobody");
    host.closeFolderWindow(folder);
    host.closeViewWindow(view);
    host.closeViewWindow(stranger);
    EXPECT_EQ("append 0 " + id(folder) + ";append " + id(folder) + " " + id(view) + ";remove " + id(folder) +
                  ";remove " + id(view) + ";remove " + id(stranger) + ";",
              logSinceStart());
}

TEST_F(HookList, AnAccountSwitchMovesTheFolderEntryToTheEnd) {
    HWND folder = host.openFolderWindow("Main", "Main\\Inbox.box");
    host.switchFolderAccount(folder, "Main", "Main\\Inbox.box");
    host.switchFolderAccount(folder, "Other", "Other\\Inbox.box");
    EXPECT_EQ("append 0 " + id(folder) + ";remove " + id(folder) + ";append 0 " + id(folder) + ";", logSinceStart());
}
