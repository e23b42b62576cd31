#include "TestSupport.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "host/Playground.h"
#include "plugin/resources/resource.h"
#include "tools/sample/SampleMailbox.h"

using standin::DialogRobot;
using standin::SeenDialog;

namespace {

class Playground : public testing_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        sample_ = sample::buildSampleMailbox(20261207, 60);
        for (const sample::SampleFile& file : sample_.files)
            ASSERT_TRUE(host.mailbox().writeRelative(file.path, file.bytes)) << file.path;
        if (!hookModule_.empty()) {
            ASSERT_TRUE(testing_support::copyFileTo(hookModule_, pluginDir + "gantrel.dll"));
        }
        startPlugin();
        robot.always([](const SeenDialog& seen) { return !seen.messageBox && seen.control(IDC_PROGRESS_BAR); },
                     DialogRobot::leave());
        playground_ = std::make_unique<standin::Playground>();
        ASSERT_TRUE(playground_->open());
        main_ = playground_->windows().front();
    }

    void TearDown() override {
        playground_.reset();
        PluginTest::TearDown();
    }

    std::vector<std::string> listKeys(const std::string& folder) {
        std::vector<std::string> keys;
        for (const standin::MessageRecord& record : host.mailbox().readMessageList(folder))
            keys.push_back(record.key);
        return keys;
    }

    std::string keyOf(const std::string& entry) { return entry.substr(entry.rfind('\\') + 1); }

    // Focuses the list's row of key and presses Enter, as the user opens a message.
    HWND openByEnter(const std::string& key) {
        std::vector<std::string> keys = playground_->listedKeys(main_);
        int row = static_cast<int>(std::find(keys.begin(), keys.end(), key) - keys.begin());
        HWND list = playground_->pane(main_)->list;
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        ShowWindow(main_, SW_SHOW);
        SetForegroundWindow(main_);
        SetFocus(list);
        EXPECT_TRUE(standin::StandInHost::sendKey(VK_RETURN));
        std::vector<HWND> views = playground_->viewWindows();
        return views.size() == 1 ? views[0] : nullptr;
    }

    std::string hookModule_;  // set before SetUp: the hook library placed beside the plug-in
    sample::SampleMailbox sample_;
    std::unique_ptr<standin::Playground> playground_;
    HWND main_ = nullptr;
};

class PlaygroundTestHook : public Playground {
protected:
    void SetUp() override {
        hookModule_ = testing_support::testHookModule("testhook_beside");
        Playground::SetUp();
    }
};

class PlaygroundHotkeys : public Playground {
protected:
    void SetUp() override {
        hookModule_ = testing_support::builtModule("gantrel.dll");
        Playground::SetUp();
    }
};

std::string menuLabel(HMENU menu, UINT id) {
    char label[128] = {};
    GetMenuStringA(menu, id, label, sizeof label, MF_BYCOMMAND);
    return label;
}

TEST_F(Playground, OneFolderWindowPerAccountWithTheFolderTreeAndTheInboxListed) {
    std::vector<std::string> accounts = standin::Playground::accountsOf(host.mailbox().root());
    EXPECT_EQ(std::vector<std::string>{sample_.account}, accounts);
    ASSERT_EQ(accounts.size(), playground_->windows().size());
    // The window the plug-in knows as the folder window is the top-level main window.
    EXPECT_EQ(nullptr, GetParent(main_));
    ASSERT_NE(nullptr, host.window(main_));
    EXPECT_EQ(sample_.inbox, host.folderGetCurrentFolder(main_));

    std::vector<std::string> titles = playground_->treeTitles(main_);
    standin::PlaygroundPane* pane = playground_->pane(main_);
    ASSERT_NE(nullptr, pane);
    ASSERT_EQ(pane->folders.size(), titles.size()) << "every folder shown, containers expanded";
    for (size_t i = 0; i < titles.size(); ++i)
        EXPECT_EQ(pane->folders[i].title, titles[i]) << i;
    EXPECT_TRUE(std::count_if(pane->folders.begin(), pane->folders.end(),
                              [](const corvane::FolderEntry& f) { return f.depth > 1; }) > 0)
        << "the sample nests folders";
    EXPECT_EQ(listKeys(sample_.inbox), playground_->listedKeys(main_));

    // The host's ファイル pop-up holds the playground's items; the mail pop-up the plug-in's.
    HMENU file = GetSubMenu(GetMenu(main_), 0);
    char label[128] = {};
    GetMenuStringA(file, standin::kPlaygroundSetup, label, sizeof label, MF_BYCOMMAND);
    EXPECT_STREQ("プラグインの設定(&S)...", label);
    EXPECT_GT(GetMenuStringA(file, standin::kPlaygroundRefresh, label, sizeof label, MF_BYCOMMAND), 0);
}

TEST_F(Playground, ChoosingAFolderSwitchesTheCurrentFolderAndItsList) {
    standin::PlaygroundPane* pane = playground_->pane(main_);
    ASSERT_NE(nullptr, pane);
    for (const corvane::FolderEntry& folder : pane->folders) {
        ASSERT_TRUE(playground_->selectFolder(main_, folder.path)) << folder.path;
        EXPECT_EQ(std::string(folder.path), host.folderGetCurrentFolder(main_));
        EXPECT_EQ(listKeys(folder.path), playground_->listedKeys(main_)) << folder.path;
    }
    EXPECT_FALSE(playground_->selectFolder(main_, "Nowhere\\User999.box"));

    // Mail that arrived behind the window's back shows after 最新の情報に更新.
    ASSERT_TRUE(playground_->selectFolder(main_, sample_.inbox));
    size_t listed = playground_->listedKeys(main_).size();
    const char message[] = "From: a@example.jp\r\nSubject: new\r\n\r\n";
    std::string arrived = keyOf(host.mailbox().addMessage(sample_.inbox, message, false, "90000001"));
    EXPECT_EQ(listed, playground_->listedKeys(main_).size());
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(standin::kPlaygroundRefresh, 1), 0);
    std::vector<std::string> keys = playground_->listedKeys(main_);
    ASSERT_EQ(listed + 1, keys.size());
    EXPECT_EQ(arrived, keys.back());
    EXPECT_EQ(sample_.inbox, host.folderGetCurrentFolder(main_)) << "the current folder stays";
}

TEST_F(Playground, DistributeFromTheMenuMovesTheSelectedMessagesAndRefreshesTheList) {
    ASSERT_TRUE(playground_->selectFolder(main_, sample_.inbox));
    std::vector<std::string> before = playground_->listedKeys(main_);
    ASSERT_GE(before.size(), 40u);
    std::vector<std::string> chosen;
    for (size_t i = 0; i < before.size(); i += 2)
        chosen.push_back(before[i]);
    playground_->selectMessages(main_, chosen);
    // The host hands out exactly the list's selection.
    std::vector<std::string> handedOut;
    for (const char* entry = host.folderGetSelectEntry(main_, TRUE); entry;
         entry = host.folderGetSelectEntry(main_, FALSE))
        handedOut.push_back(entry);
    ASSERT_EQ(chosen.size(), handedOut.size());
    for (size_t i = 0; i < chosen.size(); ++i)
        EXPECT_EQ(sample_.inbox + "\\" + chosen[i], handedOut[i]);

    // The plug-in's item in the host's メール pop-up, chosen as the menu does.
    HMENU mail = GetSubMenu(GetMenu(main_), 2);
    UINT distributeItem = 0;
    for (int i = 0; i < GetMenuItemCount(mail); ++i) {
        char label[128] = {};
        GetMenuStringA(mail, static_cast<UINT>(i), label, sizeof label, MF_BYPOSITION);
        if (std::string(label) == "選択メールのCorvane")
            distributeItem = GetMenuItemID(mail, i);
    }
    ASSERT_EQ(static_cast<UINT>(host.commands[0].id), distributeItem);
    robot.push(DialogRobot::press(IDOK));
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(distributeItem, 0), 0);
    standin::StandInHost::pumpMessages();

    int moved = 0;
    for (const standin::MoveRequest& move : host.moves) {
        EXPECT_NE(chosen.end(), std::find(chosen.begin(), chosen.end(), keyOf(move.entry))) << move.entry;
        moved += move.done;
    }
    ASSERT_GT(moved, 0) << "the sample rules move some of the selection";
    std::vector<std::string> after = playground_->listedKeys(main_);
    EXPECT_EQ(listKeys(sample_.inbox), after);
    EXPECT_EQ(before.size() - static_cast<size_t>(moved), after.size());
    for (const standin::MoveRequest& move : host.moves)
        if (move.done) {
            EXPECT_EQ(after.end(), std::find(after.begin(), after.end(), keyOf(move.entry))) << move.entry;
        }
}

// Enter on a message opens it, read only, in a view window of the host that the plug-in is
// told of under the folder window, with its menu; closing it tells the plug-in first.
TEST_F(PlaygroundTestHook, AViewWindowOpensOnEnterAndIsRegisteredUntilItCloses) {
    std::vector<std::string> keys = playground_->listedKeys(main_);
    ASSERT_GE(keys.size(), 3u);
    HWND view = openByEnter(keys[2]);
    ASSERT_NE(nullptr, view);
    std::string id = std::to_string(reinterpret_cast<UINT_PTR>(view));
    EXPECT_NE(std::string::npos, hookLog().find("append " + std::to_string(reinterpret_cast<UINT_PTR>(main_)) + " " + id + ";"))
        << hookLog();
    ASSERT_NE(nullptr, host.window(view));
    EXPECT_EQ(host.window(main_)->accountDir, host.window(view)->accountDir);
    // The host's view menu, item 32802 relabelled (kind 201); the context menu (kind 202) too.
    EXPECT_EQ("Corvane(&B)\tALT+L", menuLabel(GetSubMenu(GetMenu(view), 3), 32802));
    HMENU context = host.buildViewContextMenu(view);
    EXPECT_EQ("Corvane(&B)", menuLabel(context, 32802));
    DestroyMenu(context);

    const standin::PlaygroundView* shown = playground_->view(view);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(sample_.inbox + "\\" + keys[2], shown->entry);
    EXPECT_TRUE(GetWindowLongA(shown->text, GWL_STYLE) & ES_READONLY);
    char text[256] = {};
    GetWindowTextA(shown->text, text, sizeof text);
    std::string file = standin::Mailbox::readFile(host.mailbox().messageFile(shown->entry));
    std::string firstLine = file.substr(0, file.find_first_of("\r\n"));
    EXPECT_EQ(0u, std::string(text).find(firstLine)) << text;
    SendMessageA(shown->text, WM_CHAR, 'x', 0);
    char after[256] = {};
    GetWindowTextA(shown->text, after, sizeof after);
    EXPECT_STREQ(text, after) << "read only";

    // A second message opens a second view; closing tells the plug-in, then the window goes.
    HWND second = playground_->openMessage(main_, keys[0]);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(nullptr, playground_->openMessage(main_, "no-such-key"));
    SendMessageA(view, WM_CLOSE, 0, 0);
    EXPECT_NE(std::string::npos, hookLog().find("remove " + id + ";")) << hookLog();
    EXPECT_FALSE(IsWindow(view));
    EXPECT_EQ(nullptr, host.window(view));
    EXPECT_EQ(std::vector<HWND>{second}, playground_->viewWindows());
    playground_->closeAll();
    EXPECT_FALSE(IsWindow(second));
    EXPECT_NE(std::string::npos,
              hookLog().find("remove " + std::to_string(reinterpret_cast<UINT_PTR>(second)) + ";"));
}

// With the real hook library: in a view window Alt+L sorts the folder window's selection, Alt+P
// does nothing, and the relabelled menu item starts the distribute command for the folder window.
TEST_F(PlaygroundHotkeys, AltLAndTheRelabelledItemInAViewSortTheFolderSelection) {
    std::vector<std::string> keys = playground_->listedKeys(main_);
    ASSERT_GE(keys.size(), 40u);
    HWND view = openByEnter(keys[0]);
    ASSERT_NE(nullptr, view);
    std::vector<std::string> chosen(keys.begin(), keys.begin() + 30);
    playground_->selectMessages(main_, chosen);
    using Calls = std::vector<std::pair<HWND, int>>;
    SetForegroundWindow(view);
    SetFocus(playground_->view(view)->text);
    standin::StandInHost::pumpFor(100);
    EXPECT_TRUE(standin::StandInHost::sendAltKey('P'));
    EXPECT_TRUE(host.callbacksCalled.empty()) << "Alt+P does nothing in a view";

    robot.push(DialogRobot::press(IDOK));
    SetForegroundWindow(view);
    SetFocus(playground_->view(view)->text);
    EXPECT_TRUE(standin::StandInHost::sendAltKey('L'));
    standin::StandInHost::pumpFor(300);
    EXPECT_EQ((Calls{{main_, host.commands[0].id}}), host.callbacksCalled);
    ASSERT_FALSE(host.moves.empty()) << "the sample rules move some of the selection";
    for (const standin::MoveRequest& move : host.moves)
        EXPECT_NE(chosen.end(), std::find(chosen.begin(), chosen.end(), keyOf(move.entry))) << move.entry;
    EXPECT_EQ(listKeys(sample_.inbox), playground_->listedKeys(main_)) << "the list was reread";

    // The relabelled item, chosen as the menu posts it; a busy host only shows it arrived.
    host.callbacksCalled.clear();
    host.busy = true;
    PostMessageA(view, WM_COMMAND, MAKEWPARAM(32802, 0), 0);
    standin::StandInHost::pumpFor(150);
    host.busy = false;
    EXPECT_EQ((Calls{{main_, host.commands[0].id}}), host.callbacksCalled);
}

// A picture of the playground for the documentation, when CORVANE_SCREENSHOT_DIR names the
// folder a screen grabber watches (scripts/screenshots.sh).
TEST_F(Playground, Screenshot) {
    const char* folder = getenv("CORVANE_SCREENSHOT_DIR");
    if (!folder)
        GTEST_SKIP() << "CORVANE_SCREENSHOT_DIR is not set";
    auto picture = [folder](HWND window, const char* name) {
        standin::StandInHost::pumpFor(600);
        RECT rect = {};
        GetWindowRect(window, &rect);
        std::string request = testing_support::winPath(std::string(folder) + "/.request");
        std::string text = std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) +
                           "+" + std::to_string(rect.left) + "+" + std::to_string(rect.top) + " " + name + "\n";
        ASSERT_TRUE(standin::Mailbox::writeFile(request, text));
        for (int i = 0; i < 200 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(50);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(request.c_str())) << "no picture taken of " << name;
    };
    SetWindowPos(main_, HWND_TOP, 20, 20, 1000, 560, SWP_SHOWWINDOW);
    std::vector<std::string> keys = playground_->listedKeys(main_);
    ASSERT_GE(keys.size(), 8u);
    playground_->selectMessages(main_, {keys[1], keys[2], keys[5]});
    SetForegroundWindow(main_);
    SetFocus(playground_->pane(main_)->list);
    picture(main_, "playground");
    HWND view = playground_->openMessage(main_, keys[2]);
    ASSERT_NE(nullptr, view);
    // Below the main window: without a window manager nothing draws the title bar's place.
    SetWindowPos(view, HWND_TOP, 260, 600, 720, 400, SWP_SHOWWINDOW);
    picture(view, "playground-view");
}

}  // namespace
