#include "TestSupport.h"

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

    sample::SampleMailbox sample_;
    std::unique_ptr<standin::Playground> playground_;
    HWND main_ = nullptr;
};

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

// A picture of the playground for the documentation, when CORVANE_SCREENSHOT_DIR names the
// folder a screen grabber watches (scripts/screenshots.sh).
TEST_F(Playground, Screenshot) {
    const char* folder = getenv("CORVANE_SCREENSHOT_DIR");
    if (!folder)
        GTEST_SKIP() << "CORVANE_SCREENSHOT_DIR is not set";
    SetWindowPos(main_, HWND_TOP, 20, 20, 1000, 560, SWP_SHOWWINDOW);
    std::vector<std::string> keys = playground_->listedKeys(main_);
    ASSERT_GE(keys.size(), 8u);
    playground_->selectMessages(main_, {keys[1], keys[2], keys[5]});
    SetForegroundWindow(main_);
    SetFocus(playground_->pane(main_)->list);
    standin::StandInHost::pumpFor(600);
    RECT rect = {};
    GetWindowRect(main_, &rect);
    std::string request = testing_support::winPath(std::string(folder) + "/.request");
    std::string text = std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) + "+" +
                       std::to_string(rect.left) + "+" + std::to_string(rect.top) + " playground\n";
    ASSERT_TRUE(standin::Mailbox::writeFile(request, text));
    for (int i = 0; i < 200 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(request.c_str())) << "no picture taken";
}

}  // namespace
