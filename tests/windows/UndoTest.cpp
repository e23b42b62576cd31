#include "SortingFixture.h"

using namespace sorting;
using standin::BoxIcon;

namespace {

const char kQuestion[] = "%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？";

class Undo : public SortingTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        writeRules({}, false, true);
        openFolder(kInbox);
    }

    // Three messages as a run left them in Work, and the history that records it.
    std::vector<std::string> sortedThree() {
        std::vector<std::string> keys;
        std::string history = std::string(kInbox) + "\r\n";
        for (int i = 0; i < 3; ++i) {
            std::string entry = mailbox().addMessage(kWork, "Subject: sorted " + std::to_string(i) + "\r\n\r\nx\r\n");
            keys.push_back(keyOf(entry));
            history += std::string(kInbox) + "\\" + keys.back() + " " + kWork + "\r\n";
        }
        writeHistory(history);
        return keys;
    }

    void writeHistory(const std::string& bytes) { standin::Mailbox::writeFile(historyPath(), bytes); }
    bool historyExists() {
        bool exists = false;
        readHistory(&exists);
        return exists;
    }
    void confirmWith(int button) {
        robot.push([this, button](HWND box, SeenDialog& seen) {
            question_ = seen;
            DialogRobot::press(button)(box, seen);
        });
    }

    SeenDialog question_;
};

struct BrokenCase {
    const char* history;  // nullptr: no file
    const char* text;
};

TEST_F(Undo, AHistoryThatCannotBeUndoneIsNamedAndLeftAlone) {
    const BrokenCase cases[] = {
        {nullptr, "振り分け記録ファイルがみつかりません.\n元に戻せません."},
        {"", "振り分け記録ファイルが破損しています.\n元に戻せません."},
        {"Main\\Inbox.box\r\n", "振り分け記録ファイルが破損しています.\n元に戻せません."},
        {"Main\\User009.box\r\nMain\\User009.box\\1 Main\\User001.box\r\n",
         "振り分け元フォルダがみつかりません.\n元に戻せません."},
        // A directory without its settings file is no folder.
        {"Main\\User005.box\r\nMain\\User005.box\\1 Main\\User001.box\r\n",
         "振り分け元フォルダがみつかりません.\n元に戻せません."},
    };
    CreateDirectoryA(mailbox().folderDir("Main\\User005.box").c_str(), nullptr);
    for (const BrokenCase& c : cases) {
        DeleteFileA(historyPath().c_str());
        if (c.history)
            writeHistory(c.history);
        resetRun();
        answerBox(IDOK);
        undo();
        ASSERT_EQ(1u, boxes().size()) << c.text;
        expectBox(boxes()[0], c.text, BoxIcon::Error, "エラー - Corvane");
        EXPECT_TRUE(host.moves.empty());
        EXPECT_EQ(c.history != nullptr, historyExists());
        if (c.history) {
            EXPECT_EQ(c.history, readHistory());
        }
    }
}

TEST_F(Undo, DeclinedUndoChangesNothing) {
    sortedThree();
    std::string history = readHistory();
    confirmWith(IDNO);
    undo();
    ASSERT_EQ(1u, boxes().size());
    expectBox(question_, countText(kQuestion, 3), BoxIcon::Warning);
    std::vector<int> buttons = question_.buttonIds();
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), buttons);
    ASSERT_NE(nullptr, question_.control(IDNO));
    EXPECT_TRUE(question_.control(IDNO)->style & BS_DEFPUSHBUTTON) << "No is the default";
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(history, readHistory());
}

struct OutcomeCase {
    int refused;  // how many of the three the host refuses
    const char* text;
    BoxIcon icon;
    bool historyKept;
};

TEST_F(Undo, ReportsWhatCameBackAndDropsTheHistoryOnlyWhenSomethingDid) {
    const OutcomeCase cases[] = {
        {0, "3通を元に戻しました", BoxIcon::Information, false},
        {1, "2通を元に戻しました.\n1通は戻せませんでした.", BoxIcon::Information, false},
        {3, "予期せぬエラーが発生しています.\n元に戻せません.", BoxIcon::Error, true},
    };
    for (const OutcomeCase& c : cases) {
        for (const std::string& key : mailbox().messageKeys(kInbox))
            mailbox().moveMessage(std::string(kInbox) + "\\" + key, kArchive);
        std::vector<std::string> keys = sortedThree();
        resetRun();
        int refused = c.refused;
        host.refuseMove = [refused](const std::string&, const std::string&) {
            return static_cast<int>(standin::StandInHost::get().moves.size()) < refused;
        };
        int barAtFirstMove = -1;
        host.onMove = [&barAtFirstMove](const standin::MoveRequest&) {
            if (standin::StandInHost::get().moves.size() == 1)
                barAtFirstMove = static_cast<int>(
                    SendDlgItemMessageA(progressDialog(), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
        };
        int barAtEnd = -1;
        confirmWith(IDYES);
        answerBox(IDOK, &barAtEnd);
        undo();
        ASSERT_EQ(2u, boxes().size()) << c.text;
        expectBox(boxes()[1], c.text, c.icon, c.icon == BoxIcon::Error ? "エラー - Corvane" : "Corvane");
        ASSERT_EQ(3u, host.moves.size());
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(std::string(kWork) + "\\" + keys[i], host.moves[i].entry);
            EXPECT_EQ(kInbox, host.moves[i].folder);
        }
        EXPECT_EQ(3u - c.refused, mailbox().messageKeys(kInbox).size());
        EXPECT_EQ(c.historyKept, historyExists());
        EXPECT_EQ(3, barAtFirstMove) << "the bar starts full";
        EXPECT_EQ(0, barAtEnd) << "and runs down to empty";
        host.onMove = nullptr;
        host.refuseMove = nullptr;
        for (const std::string& key : mailbox().messageKeys(kWork))
            mailbox().moveMessage(std::string(kWork) + "\\" + key, kArchive);
    }
}

TEST_F(Undo, TrashDestinationsGoByTheRecordedNameAndAMalformedLineEndsTheUndo) {
    std::string inTrash = mailbox().addMessage(kTrash, "Subject: a\r\n\r\n");
    std::string inWork = mailbox().addMessage(kWork, "Subject: b\r\n\r\n");
    std::string afterBadLine = mailbox().addMessage(kWork, "Subject: c\r\n\r\n");
    std::string recorded = std::string(kInbox) + "\\" + keyOf(inTrash);
    writeHistory(std::string(kInbox) + "\r\n" + recorded + " " + kTrash + "\r\n" + std::string(kInbox) + "\\" +
                 keyOf(inWork) + " " + kWork + "\r\n" + "no-blank-here\r\n" + std::string(kInbox) + "\\" +
                 keyOf(afterBadLine) + " " + kWork + "\r\n");
    confirmWith(IDYES);
    answerBox(IDOK);
    undo();
    expectBox(question_, countText(kQuestion, 4), BoxIcon::Warning);
    ASSERT_EQ(2u, host.moves.size());
    EXPECT_EQ(recorded, host.moves[0].entry) << "the trash is addressed by the recorded name";
    EXPECT_EQ(inWork, host.moves[1].entry);
    ASSERT_EQ(2u, boxes().size());
    expectBox(boxes()[1], "1通を元に戻しました.\n1通は戻せませんでした.", BoxIcon::Information);
    EXPECT_EQ(std::vector<std::string>{keyOf(afterBadLine)}, mailbox().messageKeys(kWork));
    EXPECT_EQ(std::vector<std::string>{keyOf(inTrash)}, mailbox().messageKeys(kTrash));
}

TEST_F(Undo, EnterAndEscapeDoNothingAndOverlongRecordsAreNotHandedOver) {
    std::vector<std::string> keys = sortedThree();
    std::string history = readHistory();
    history += std::string(kInbox) + "\\" + std::string(280, 'z') + " " + kWork + "\r\n";
    writeHistory(history);
    host.onMove = [](const standin::MoveRequest&) {
        if (standin::StandInHost::get().moves.size() == 1) {
            SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    };
    confirmWith(IDYES);
    answerBox(IDOK);
    undo();
    EXPECT_EQ(3u, host.moves.size());
    ASSERT_EQ(2u, boxes().size());
    expectBox(boxes()[1], "3通を元に戻しました.\n1通は戻せませんでした.", BoxIcon::Information);
    EXPECT_EQ(3u, mailbox().messageKeys(kInbox).size());
}

TEST_F(Undo, AWindowWithoutRecordEndsTheDialogSilently) {
    sortedThree();
    HWND other = host.createFolderWindow("Main", kArchive);
    host.sendCommand(other, host.commands[1].id);
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(host.moves.empty());
    EXPECT_TRUE(historyExists());
    host.destroyWindow(other);
}

}  // namespace
