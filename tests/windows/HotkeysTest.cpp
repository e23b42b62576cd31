// The real plug-in with the real hook library: host menu items and Alt+L / Alt+P reach the
// plug-in's commands in registered host windows and nowhere else.
#include "TestSupport.h"
#include "plugin/resources/resource.h"

using namespace testing_support;

namespace {

void pumpFor(DWORD milliseconds) {
    standin::StandInHost::pumpFor(milliseconds);
}

void altWith(WORD virtualKey, int repeats = 0) {
    EXPECT_TRUE(standin::StandInHost::sendAltKey(virtualKey, repeats));
}

class Hotkeys : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(copyFileTo(builtModule("gantrel.dll"), pluginDir + "gantrel.dll"));
        startPlugin();
        // The commands only need to arrive; the busy host keeps them from opening dialogs.
        host.busy = true;
    }
    HWND showFolder() {
        HWND window = host.openFolderWindow("Main", "Main\\Inbox.box");
        ShowWindow(window, SW_SHOW);
        return window;
    }
    HWND showView(const char* account) {
        HWND window = host.openViewWindow(account);
        ShowWindow(window, SW_SHOW);
        return window;
    }
    void focus(HWND window) {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        SetFocus(window);
        pumpFor(100);
        ASSERT_EQ(window, GetFocus());
        host.callbacksCalled.clear();
        host.commandsReceived.clear();
        host.keysReceived.clear();
    }
    std::vector<std::pair<HWND, int>> calls() const { return host.callbacksCalled; }
    int distribute() const { return host.commands.at(0).id; }
    int undo() const { return host.commands.at(1).id; }
};

}  // namespace

TEST_F(Hotkeys, WithTheHookLibraryTheAboutBoxShowsItsVersion) {
    robot.push(standin::DialogRobot::press(IDOK));
    plugin.APCVersionInfo(nullptr);
    ASSERT_EQ(1u, robot.seen().size());
    EXPECT_EQ("(Quillpost32ﾌｯｸ：gantrel.dll version 1.0)", robot.seen()[0].control(IDC_ABOUT_HOOK)->text);
}

TEST_F(Hotkeys, HostMenuItemsBecomeThePluginsCommandsInRegisteredWindowsOnly) {
    HWND folder = showFolder();
    HWND view = showView("Main");
    HWND stranger = host.createFolderWindow("Main", "Main\\Inbox.box");  // never told to the plug-in
    PostMessageA(folder, WM_COMMAND, 32826, 0);
    PostMessageA(folder, WM_COMMAND, 32825, 0);
    PostMessageA(view, WM_COMMAND, 32802, 0);
    PostMessageA(stranger, WM_COMMAND, 32826, 0);
    pumpFor(150);
    using Calls = std::vector<std::pair<HWND, int>>;
    EXPECT_EQ((Calls{{folder, distribute()}, {folder, undo()}, {folder, distribute()}}), calls());
    for (const auto& received : host.commandsReceived) {
        EXPECT_NE(view, received.first) << "32802 is dropped in the view window";
        if (received.first == stranger) {
            EXPECT_EQ(32826u, received.second);
        }
    }
}

TEST_F(Hotkeys, AltLAndAltPStartTheCommandsInFolderAndViewWindows) {
    HWND folder = showFolder();
    HWND view = showView("Main");
    using Calls = std::vector<std::pair<HWND, int>>;

    focus(folder);
    altWith('L');
    EXPECT_EQ((Calls{{folder, distribute()}}), calls());
    focus(folder);
    altWith('L', 5);  // held down: one command for the first press
    EXPECT_EQ((Calls{{folder, distribute()}}), calls());
    focus(folder);
    altWith('P');
    EXPECT_EQ((Calls{{folder, undo()}}), calls());

    focus(view);
    altWith('L');
    EXPECT_EQ((Calls{{folder, distribute()}}), calls());
    focus(view);
    altWith('P');
    EXPECT_TRUE(calls().empty()) << "Alt+P does nothing in a view window";

    focus(folder);
    EXPECT_TRUE(standin::StandInHost::sendKey('L'));
    EXPECT_TRUE(calls().empty());
    ASSERT_FALSE(host.keysReceived.empty()) << "L without Alt reaches the window";
    EXPECT_EQ(static_cast<WPARAM>('L'), host.keysReceived.back().second);
}

TEST_F(Hotkeys, KeysInWindowsThePluginDoesNotKnowPassThrough) {
    HWND stranger = host.createFolderWindow("Main", "Main\\Inbox.box");
    ShowWindow(stranger, SW_SHOW);
    focus(stranger);
    altWith('L');
    EXPECT_TRUE(calls().empty());
    bool sawL = false;
    for (const auto& received : host.keysReceived)
        sawL |= received.first == stranger && received.second == 'L';
    EXPECT_TRUE(sawL);
}

TEST_F(Hotkeys, CleanUpEndsTheHooksAndUnloadsTheLibrary) {
    HWND folder = showFolder();
    plugin.APCCleanUp();
    started = false;
    EXPECT_EQ(nullptr, GetModuleHandleA("gantrel.dll"));
    host.commandsReceived.clear();
    PostMessageA(folder, WM_COMMAND, 32826, 0);
    pumpFor(100);
    ASSERT_EQ(1u, host.commandsReceived.size());
    EXPECT_EQ(32826u, host.commandsReceived[0].second);
    EXPECT_TRUE(calls().empty());
}
