#include "TestSupport.h"
#include "plugin/entry/Plugin.h"
#include "plugin/resources/resource.h"

using namespace testing_support;
using standin::SeenDialog;

namespace {

const char kNoHookLine[] = "(Quillpost32ﾌｯｸ：gantrel.dll 未ｲﾝｽﾄｰﾙ)";
const char kRegexLine[] = "(正規表現ｴﾝｼﾞﾝ：oniguruma version 6.9.8)";

class Lifecycle : public PluginTest {
protected:
    const SeenDialog& showAbout(int button, INT_PTR expected) {
        robot.push(standin::DialogRobot::press(button));
        EXPECT_EQ(expected, plugin.APCVersionInfo(nullptr));
        EXPECT_FALSE(robot.seen().empty());
        return robot.seen().back();
    }
    std::string aboutHookLine() {
        const SeenDialog& about = showAbout(IDOK, IDOK);
        const standin::SeenControl* line = about.control(IDC_ABOUT_HOOK);
        return line ? line->text : "<missing>";
    }
};

void expectRect(const SeenDialog& dialog, int id, int x, int y, int cx, int cy) {
    const standin::SeenControl* control = dialog.control(id);
    ASSERT_NE(nullptr, control) << id;
    // Dialog units come back through pixels, so allow one unit of rounding.
    EXPECT_NEAR(x, control->rect.left, 1) << id;
    EXPECT_NEAR(y, control->rect.top, 1) << id;
    EXPECT_NEAR(x + cx, control->rect.right, 1) << id;
    EXPECT_NEAR(y + cy, control->rect.bottom, 1) << id;
}

}  // namespace

TEST_F(Lifecycle, StartUpWithoutHookLibraryRegistersBothCommands) {
    startPlugin();
    EXPECT_STREQ("Corvane", plugin.APCGetPlugName());
    ASSERT_EQ(2u, host.commands.size());
    EXPECT_NE(host.commands[0].id, host.commands[1].id);
    EXPECT_EQ(0, host.commands[0].reserved);
    EXPECT_EQ(0, host.commands[1].reserved);
    EXPECT_EQ(nullptr, GetModuleHandleA("gantrel.dll"));
}

TEST_F(Lifecycle, AboutBoxShowsBothLinesAndEndsWithTheButton) {
    startPlugin();
    const SeenDialog& about = showAbout(IDOK, 1);
    EXPECT_EQ("Corvaneのﾊﾞｰｼﾞｮﾝ情報", about.caption);
    EXPECT_FALSE(about.messageBox);
    ASSERT_NE(nullptr, about.control(IDC_ABOUT_REGEX));
    EXPECT_EQ(kRegexLine, about.control(IDC_ABOUT_REGEX)->text);
    EXPECT_EQ(kNoHookLine, about.control(IDC_ABOUT_HOOK)->text);
    ASSERT_NE(nullptr, about.control(IDOK));
    EXPECT_EQ("OK", about.control(IDOK)->text);
    EXPECT_TRUE(about.control(IDOK)->style & BS_DEFPUSHBUTTON);
    expectRect(about, IDOK, 180, 7, 32, 14);
    expectRect(about, IDC_ABOUT_REGEX, 14, 23, 167, 8);
    expectRect(about, IDC_ABOUT_HOOK, 14, 36, 167, 8);
    bool versionLine = false;
    for (const standin::SeenControl& control : about.controls)
        versionLine |= control.text == "Corvane Ver.1.1.1" && (control.style & SS_NOPREFIX);
    EXPECT_TRUE(versionLine);
    EXPECT_TRUE(about.style & WS_SYSMENU);

    showAbout(IDCANCEL, 2);
}

TEST_F(Lifecycle, AboutBoxWorksBeforeStartUpToo) {
    ASSERT_TRUE(loadPlugin());
    showAbout(IDCANCEL, 2);
}

TEST_F(Lifecycle, CleanUpWithoutHookLibraryUnloadsNothing) {
    startPlugin();
    plugin.APCCleanUp();
    started = false;
    EXPECT_TRUE(plugin.loaded());
    EXPECT_NE(nullptr, GetModuleHandleA("corvane.dll"));
    // With the locks gone a command does nothing, and says nothing.
    HWND folder = host.createFolderWindow("Main", "Main\\Inbox.box");
    host.sendCommand(folder, host.commands[0].id);
    EXPECT_TRUE(robot.created().empty());
    host.destroyWindow(folder);
}

TEST_F(Lifecycle, HookLibraryBesideThePluginIsUsedWhenTheSearchFindsNone) {
    placeHookBesidePlugin("testhook_beside");
    startPlugin();
    EXPECT_EQ("(Quillpost32ﾌｯｸ：gantrel.dll version 9.9-beside)", aboutHookLine());
    std::string expected = "begin " + std::to_string(host.commands[0].id) + " " + std::to_string(host.commands[1].id) + ";";
    EXPECT_EQ(expected, hookLog());
}

TEST_F(Lifecycle, HookLibraryBesideThePluginWinsOverTheStandardSearch) {
    placeHookBesidePlugin("testhook_beside");
    placeHookInCurrentFolder("testhook_search");
    startPlugin();
    EXPECT_EQ("(Quillpost32ﾌｯｸ：gantrel.dll version 9.9-beside)", aboutHookLine());
}

TEST_F(Lifecycle, HookLibraryLackingOnlyItsVersionIsRejectedWhole) {
    placeHookBesidePlugin("testhook_noversion");
    startPlugin();
    EXPECT_EQ(nullptr, GetModuleHandleA("gantrel.dll"));
    EXPECT_EQ(kNoHookLine, aboutHookLine());
}

TEST_F(Lifecycle, CleanUpStopsTheHooksAndUnloadsTheLibrary) {
    placeHookBesidePlugin("testhook_beside");
    startPlugin();
    HMODULE hook = GetModuleHandleA("gantrel.dll");
    ASSERT_NE(nullptr, hook);
    auto log = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(hook, "testHookLog")));
    // Keep the library mapped so that its log can be read after the plug-in let it go.
    HMODULE extra = LoadLibraryA((pluginDir + "gantrel.dll").c_str());
    plugin.APCCleanUp();
    started = false;
    std::string text = log();
    EXPECT_NE(std::string::npos, text.find("end;")) << text;
    FreeLibrary(extra);
    EXPECT_EQ(nullptr, GetModuleHandleA("gantrel.dll")) << "the plug-in released its reference";
}

TEST_F(Lifecycle, CommandOpensTheProgressDialogOverTheFolderWindow) {
    startPlugin();
    HWND folder = host.createFolderWindow("Main", "Main\\Inbox.box");
    host.sendCommand(folder, host.commands[0].id);
    host.sendCommand(folder, host.commands[1].id);
    ASSERT_EQ(2u, host.callbacksCalled.size());
    EXPECT_EQ(folder, host.callbacksCalled[0].first);
    // Both commands share dialog 108; a second run after the first shows that the lock was left.
    host.sendCommand(folder, host.commands[0].id);
    ASSERT_EQ(3u, robot.created().size());
    for (const std::string& caption : robot.created())
        EXPECT_EQ("Corvane", caption);
    host.destroyWindow(folder);
}

TEST_F(Lifecycle, BusyHostMakesACommandDoNothing) {
    startPlugin();
    HWND folder = host.createFolderWindow("Main", "Main\\Inbox.box");
    host.busy = true;
    host.sendCommand(folder, host.commands[0].id);
    host.sendCommand(folder, host.commands[1].id);
    EXPECT_EQ(2u, host.callbacksCalled.size());
    EXPECT_TRUE(robot.created().empty());
    EXPECT_EQ(2, host.calls["APAIsBusy"]);
    host.destroyWindow(folder);
}
