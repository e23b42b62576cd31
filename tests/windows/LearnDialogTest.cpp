// The learning dialog in the stand-in host: proposals learnt from filed mail, one unchecked, the
// rest added to the sheet and kept by its OK; new mail of the same kinds then sorted by Alt+L as
// proposed and as the rules checker's preview predicts. Every way of not adding adds nothing,
// and a cancel or a close during learning leaves no thread or handle behind.
#include "SettingsDriver.h"
#include "SortingFixture.h"

#include <algorithm>
#include <functional>
#include <map>

#include "tools/check/Preview.h"

using namespace sorting;
using testing_support::drive;
using testing_support::seenCaption;
using testing_support::threadCount;
using testing_support::LearnDriver;
using testing_support::SheetDriver;
using Rows = std::vector<std::string>;

namespace {

const char kLearnCaption[] = "振り分け済みのメールから条件を作る";
const char kExistingRow[] = "Subject:|[spam]|ごみ箱";

std::string mail(const std::string& headers, int n) {
    return headers + "Subject: note " + std::to_string(n) + " w" + std::to_string(n) + "\r\nDate: Mon, " +
           std::to_string(1 + n % 28) + " Dec 2026 10:00:00 +0900\r\n\r\nbody\r\n";
}

std::string boss(int n) { return mail("From: Boss <boss@work.example>\r\nTo: me@home.example\r\n", n); }
std::string list(int n) {
    return mail("From: p" + std::to_string(n) + "@site" + std::to_string(n) +
                    ".example\r\nTo: dev@lists.example\r\nList-Id: <dev.lists.example>\r\n",
                n);
}
std::string mother(int n) { return mail("From: mother@family.example\r\nTo: me@home.example\r\n", n); }
std::string pal(int n) { return mail("From: friend@pal.example\r\nTo: me@home.example\r\n", n); }

// Selects the whole inbox and sorts it by Alt+L, which must move expected as the preview of the
// saved rules predicts.
class LearnTest : public SortingTest {
protected:
    void sortInboxAsPredicted(const std::map<std::string, std::string>& expected) {
        Rows entries;
        for (const std::string& key : mailbox().messageKeys(kInbox))
            entries.push_back(std::string(kInbox) + "\\" + key);
        select(entries);
        corvane::PreviewResult preview = corvane::previewFolder(mailbox().root(), kInbox, false);
        distribute();
        std::map<std::string, std::string> moved, predicted;
        for (const standin::MoveRequest& move : host.moves)
            moved[move.entry] = move.folder;
        for (const corvane::MessageVerdict& verdict : preview.messages)
            if (verdict.outcome == corvane::Outcome::Moves)
                predicted[verdict.entry] = verdict.destination;
        EXPECT_EQ(expected, moved);
        EXPECT_EQ(predicted, moved);
    }
};

class LearnDialog : public LearnTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        WritePrivateProfileStringA("Property", "Order", "I001002003004OT",
                                   (mailbox().root() + "Main\\Account.ini").c_str());
        for (int n = 0; n < 6; ++n) {
            mailbox().addMessage(kWork, boss(n));
            mailbox().addMessage(kLists, list(10 + n));
            mailbox().addMessage(kFamily, mother(20 + n));
        }
        for (int n = 0; n < 3; ++n)
            mailbox().addMessage(kInbox, pal(30 + n));
        writeRules({header("Subject:", "[spam]", kTrash)}, false, false);
        openFolder(kInbox);
    }

    // Opens the sheet, goes to その他 and presses the learning button; progress runs body (none:
    // left to run), the proposals dialog runs learnt. Then the sheet's OK or Cancel.
    void learn(std::function<void(const LearnDriver&)> learnt, bool sheetOk, Rows* sheetRows = nullptr,
               std::function<void(HWND)> progress = nullptr) {
        robot.push(drive([&](HWND sheetWindow) {
            SheetDriver sheet{sheetWindow};
            sheet.showOptions();
            if (progress) {
                robot.clear();
                robot.push(drive(progress));
            }
            if (learnt)
                robot.push(testing_support::driveToEnd([&](HWND dialog) { learnt(LearnDriver{dialog}); },
                                                       [](HWND dialog) { LearnDriver{dialog}.cancel(); }));
            sheet.learnFromFiledMail();
            if (sheetRows)
                *sheetRows = sheet.rows();
            if (IsWindow(sheetWindow))
                sheetOk ? sheet.ok() : sheet.cancel();
        }));
        plugin.APCSetup(window_);
    }

    // The rules file once the folder window has closed, as the rules page shows its rules.
    Rows fileRows() {
        if (IsWindow(window_))
            host.closeFolderWindow(window_);
        corvane::AccountSettings account;
        corvane::copyString(account.accountDir, (mailbox().root() + "Main\\").c_str());
        corvane::loadRules(account);
        static const std::map<std::string, std::string> titles = {
            {kWork, "Work"}, {kLists, "Lists"}, {kFamily, "Family"}, {kArchive, "Archive"}, {kTrash, "ごみ箱"}};
        Rows rows;
        for (const corvane::DistributeRule& rule : account.rules) {
            auto title = titles.find(rule.destFolder);
            rows.push_back(std::string(rule.searchTarget == corvane::NamedHeader ? rule.headerName : "?") + "|" +
                           rule.searchText + "|" + (title == titles.end() ? rule.destFolder : title->second));
        }
        return rows;
    }
};

std::string withoutCount(const std::string& row) {
    return row.substr(0, row.rfind('|'));
}

}  // namespace

TEST_F(LearnDialog, CheckedProposalsJoinTheRulesAndSortNewMailAsThePreviewPredicts) {
    Rows proposals, sheetRows;
    std::vector<bool> checks;
    std::string holdout, unseparated;
    learn(
        [&](const LearnDriver& dialog) {
            proposals = dialog.rows();
            checks = dialog.checks();
            holdout = dialog.text(IDC_LEARN_HOLDOUT);
            unseparated = dialog.text(IDC_LEARN_UNSEPARATED);
            for (size_t row = 0; row < proposals.size(); ++row)
                if (proposals[row].find("|Family|") != std::string::npos)
                    dialog.check(static_cast<int>(row), false);
            dialog.add();
        },
        true, &sheetRows);
    ASSERT_EQ(3u, proposals.size()) << holdout << "\n" << unseparated;
    EXPECT_EQ(std::vector<bool>(3, true), checks);
    Rows expected = {kExistingRow};
    for (const std::string& row : proposals) {
        EXPECT_EQ("6 通 (ほかのフォルダから 0 通)、郵便受けから既読 0 通・未読 0 通", row.substr(row.rfind('|') + 1)) << row;
        if (row.find("|Family|") == std::string::npos)
            expected.push_back(withoutCount(row));
    }
    EXPECT_NE(std::string::npos, holdout.find("適合率 100.0%")) << holdout;
    EXPECT_EQ("どのフォルダのメールも条件で分けられました", unseparated);
    EXPECT_EQ(expected, sheetRows);
    EXPECT_EQ(expected, fileRows());

    resetRun();
    openFolder(kInbox);
    std::string toWork = mailbox().addMessage(kInbox, boss(40));
    std::string toLists = mailbox().addMessage(kInbox, list(41));
    mailbox().addMessage(kInbox, mother(42));
    sortInboxAsPredicted({{toWork, kWork}, {toLists, kLists}});
}

// Unread inbox mail never keeps a rule out; box 1001, unsaved, says whether the row counts it.
TEST_F(LearnDialog, UnreadInboxMailIsCountedAsBox1001ShowsItUnsaved) {
    mailbox().addMessage(kInbox, boss(50), true);
    for (bool checked : {false, true}) {
        Rows proposals;
        robot.push(drive([&](HWND sheetWindow) {
            SheetDriver sheet{sheetWindow};
            CheckDlgButton(sheet.showOptions(), IDC_UNREAD_MAIL, checked ? BST_CHECKED : BST_UNCHECKED);
            robot.push(drive([&](HWND dialog) {
                proposals = LearnDriver{dialog}.rows();
                LearnDriver{dialog}.cancel();
            }));
            sheet.learnFromFiledMail();
            sheet.cancel();
        }));
        plugin.APCSetup(window_);
        std::string work;
        for (const std::string& row : proposals)
            if (row.find("|Work|") != std::string::npos)
                work = row.substr(row.rfind('|') + 1);
        EXPECT_EQ(3u, proposals.size()) << checked;
        EXPECT_EQ(checked ? "6 通 (ほかのフォルダから 0 通)、郵便受けから既読 0 通・未読 1 通"
                          : "6 通 (ほかのフォルダから 0 通)、郵便受けから既読 0 通・未読 0 通",
                  work)
            << checked;
    }
}

TEST_F(LearnDialog, TheDialogsCancelAndTheSheetsCancelAddNothing) {
    struct Case {
        const char* name;
        bool addInDialog;
        bool sheetOk;
    } cases[] = {{"the dialog's キャンセル, then the sheet's OK", false, true},
                 {"追加, then the sheet's キャンセル", true, false}};
    for (const Case& c : cases) {
        Rows sheetRows;
        learn([&](const LearnDriver& dialog) { c.addInDialog ? dialog.add() : dialog.cancel(); }, c.sheetOk,
              &sheetRows);
        EXPECT_EQ(c.addInDialog ? 4u : 1u, sheetRows.size()) << c.name;
        EXPECT_EQ(Rows{kExistingRow}, fileRows()) << c.name;
        openFolder(kInbox);
    }
}

TEST_F(LearnDialog, CancelOrCloseDuringLearningLeavesNoThreadOrHandle) {
    for (int n = 0; n < 150; ++n)
        mailbox().addMessage(kWork, boss(100 + n));
    struct Case {
        const char* name;
        std::function<void(HWND progress)> act;
    } cases[] = {
        {"キャンセル", [](HWND progress) { standin::clickButton(progress, IDC_PROGRESS_CANCEL); }},
        {"the close box", [](HWND progress) { PostMessageA(progress, WM_CLOSE, 0, 0); }},
        {"the folder window closes", [this](HWND) { host.closeFolderWindow(window_); }},
    };
    learn(nullptr, false);  // the sheet's first opening loads what stays loaded
    for (const Case& c : cases) {
        DWORD threads = threadCount(), handles = testing_support::openHandles();
        std::string counts;
        learn(nullptr, false, nullptr, [&](HWND progress) {
            Sleep(50);
            counts = LearnDriver{progress}.text(IDC_LEARN_COUNTS);
            c.act(progress);
        });
        EXPECT_FALSE(seenCaption(robot.seen(), kLearnCaption)) << c.name;
        EXPECT_NE("", counts) << c.name;
        EXPECT_EQ(threads, threadCount()) << c.name;
        EXPECT_EQ(handles, testing_support::openHandles()) << c.name;
        EXPECT_EQ(Rows{kExistingRow}, fileRows()) << c.name;
        openFolder(kInbox);
        resetRun();
    }
}

namespace {

// A new user's mailbox: a list known by its List-Id and one sender, eight of each filed, and
// three new messages of those kinds waiting in the inbox.
class LearnWaitingMail : public LearnTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        WritePrivateProfileStringA("Property", "Order", "I001002003004OT",
                                   (mailbox().root() + "Main\\Account.ini").c_str());
        for (int n = 0; n < 8; ++n) {
            mailbox().addMessage(kWork, boss(n));
            mailbox().addMessage(kLists, list(10 + n));
        }
    }

    // Learns with box 1001 as saved, adds every proposal and keeps them with the sheet's OK;
    // then Alt+L over the inbox, which must move `expected` as the preview of the saved rules
    // predicts. The proposals' rows and the sheet's rows after adding come back.
    void learnAddAndSort(bool unreadMail, const std::map<std::string, std::string>& expected, Rows& proposals,
                         Rows& sheetRows) {
        openFolder(kInbox);
        robot.push(drive([&](HWND sheetWindow) {
            SheetDriver sheet{sheetWindow};
            EXPECT_EQ(unreadMail, IsDlgButtonChecked(sheet.showOptions(), IDC_UNREAD_MAIL) == BST_CHECKED);
            robot.push(drive([&](HWND dialog) {
                proposals = LearnDriver{dialog}.rows();
                LearnDriver{dialog}.add();
            }));
            sheet.learnFromFiledMail();
            sheetRows = sheet.rows();
            sheet.ok();
        }));
        plugin.APCSetup(window_);

        host.closeFolderWindow(window_);  // the sheet's rules are saved as the window closes
        resetRun();
        openFolder(kInbox);
        sortInboxAsPredicted(expected);
    }

    void learnAndSort(bool unreadMail, bool waitingUnread) {
        writeRules({header("Subject:", "[spam]", kTrash)}, unreadMail, false);
        std::map<std::string, std::string> expected = {
            {mailbox().addMessage(kInbox, list(40), waitingUnread), kLists},
            {mailbox().addMessage(kInbox, boss(41), waitingUnread), kWork},
            {mailbox().addMessage(kInbox, list(42), waitingUnread), kLists}};
        Rows proposals, sheetRows;
        learnAddAndSort(unreadMail, expected, proposals, sheetRows);
        const char* inbox = waitingUnread ? "既読 0 通・未読 %d 通" : "既読 %d 通・未読 0 通";
        char lists[64], work[64];
        snprintf(lists, sizeof lists, inbox, 2);
        snprintf(work, sizeof work, inbox, 1);
        ASSERT_EQ(2u, proposals.size());
        for (const std::string& row : proposals) {
            bool toLists = row.find("|Lists|") != std::string::npos;
            EXPECT_NE(std::string::npos, row.find(std::string("8 通 (ほかのフォルダから 0 通)、郵便受けから") +
                                                   (toLists ? lists : work)))
                << row;
        }
    }
};

}  // namespace

TEST_F(LearnWaitingMail, UnreadWithBox1001OnGetsARulePerFolderAndAltLSortsIt) {
    learnAndSort(true, true);
}

TEST_F(LearnWaitingMail, ReadWithBox1001OffGetsTheSameRulesAndAltLSortsIt) {
    learnAndSort(false, false);
}

namespace {

std::string advert(int n) {
    return "From: Boss <boss@work.example>\r\nTo: me@home.example\r\nSubject: [AD] sale " + std::to_string(n) +
           "\r\nDate: Mon, " + std::to_string(1 + n % 28) + " Dec 2026 10:00:00 +0900\r\n\r\nbody\r\n";
}

}  // namespace

// The sender of 仕事 also sends adverts, which the user files in Family: the sender's rule gets a
// second condition that leaves the adverts out, the rules page counts it, and Alt+L sorts the
// waiting sender's mail and advert apart as proposed and as the preview predicts.
TEST_F(LearnWaitingMail, ASendersAdvertsFiledElsewhereGetASecondConditionThatAltLApplies) {
    for (int n = 0; n < 6; ++n)
        mailbox().addMessage(kFamily, advert(20 + n));
    writeRules({header("Subject:", "[spam]", kTrash)}, true, false);
    std::map<std::string, std::string> expected = {{mailbox().addMessage(kInbox, boss(41), true), kWork},
                                                   {mailbox().addMessage(kInbox, advert(42), true), kFamily},
                                                   {mailbox().addMessage(kInbox, list(43), true), kLists}};
    Rows proposals, sheetRows;
    learnAddAndSort(true, expected, proposals, sheetRows);
    Rows conditions;
    for (const std::string& row : proposals)
        conditions.push_back(row.substr(0, row.rfind('|')));
    EXPECT_EQ((Rows{"From:|boss@work.example、かつヘッダ「Subject:」の「[AD]」を含まない|Work",
                    "List-Id:|dev.lists.example|Lists", "Subject:|[AD]|Family"}),
              conditions);
    EXPECT_NE(sheetRows.end(),
              std::find(sheetRows.begin(), sheetRows.end(), "From:|boss@work.example ほか 1 件(すべて)|Work"))
        << ::testing::PrintToString(sheetRows);
}
