// The try of a rule from the rule editor in the stand-in host: the rows and the count line for a
// rule typed and not kept, why for one message, the options as the sheet holds them, and a
// cancel or a close during a large folder leaving no thread or handle behind. Nothing moves,
// and the sheet's キャンセル keeps nothing.
#include "SettingsDriver.h"
#include "SortingFixture.h"

#include <functional>

using namespace sorting;
using testing_support::drive;
using testing_support::seenCaption;
using testing_support::threadCount;
using testing_support::EditorDriver;
using testing_support::SheetDriver;
using testing_support::TryDriver;
using Rows = std::vector<std::string>;

namespace {

const char kTryCaption[] = "条件を試す";
// 会議 in ISO-2022-JP, encoded as a header word.
const char kEncodedMeeting[] = "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=";

std::string mail(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: me@home.example\r\nSubject: " + subject + "\r\n\r\nbody\r\n";
}

class TryRule : public SortingTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        WritePrivateProfileStringA("Property", "Order", "I001002003004OT",
                                   (mailbox().root() + "Main\\Account.ini").c_str());
        writeRules({header("From:", "boss", kWork)}, false, false);
    }

    struct Typed {
        const char* header;
        const char* search;
        std::function<void(const EditorDriver&)> more;  // further conditions, before the try
    };

    // Opens the sheet, sets the options page's boxes, types a new rule in the editor and tries
    // it: progress runs with the progress dialog (none: left to run), tried with the try dialog
    // (none: it must not show). Then the editor's and the sheet's キャンセル.
    void tryNewRule(const Typed& typed, std::function<void(const TryDriver&)> tried,
                    std::function<void(HWND)> progress = nullptr, int unreadBox = -1, int decodeBox = -1,
                    Rows* sheetRows = nullptr) {
        robot.push(drive([&](HWND sheetWindow) {
            SheetDriver sheet{sheetWindow};
            if (unreadBox >= 0 || decodeBox >= 0) {
                HWND options = sheet.showOptions();
                CheckDlgButton(options, IDC_UNREAD_MAIL, unreadBox > 0 ? BST_CHECKED : BST_UNCHECKED);
                CheckDlgButton(options, IDC_DECODE_MIME, decodeBox > 0 ? BST_CHECKED : BST_UNCHECKED);
            }
            robot.push(drive([&](HWND editorWindow) {
                EditorDriver editor{editorWindow};
                editor.header(typed.header);
                editor.search(typed.search);
                editor.folder("Lists");
                if (typed.more)
                    typed.more(editor);
                if (progress) {
                    robot.clear();
                    robot.push(drive(progress));
                }
                if (tried)
                    robot.push(testing_support::driveToEnd([&](HWND dialog) { tried(TryDriver{dialog}); },
                                                           [](HWND dialog) { TryDriver{dialog}.close(); }));
                editor.tryRule();
                editor.cancel();
            }));
            sheet.click(IDC_RULE_NEW);
            if (sheetRows)
                *sheetRows = sheet.rows();
            sheet.cancel();
        }));
        plugin.APCSetup(window_);
    }

    // The rules in the file once the folder window has closed, as "header|text".
    Rows fileRules() {
        if (IsWindow(window_))
            host.closeFolderWindow(window_);
        corvane::AccountSettings account;
        corvane::copyString(account.accountDir, (mailbox().root() + "Main\\").c_str());
        corvane::loadRules(account);
        Rows rows;
        for (const corvane::DistributeRule& each : account.rules)
            rows.push_back(std::string(each.headerName) + "|" + each.searchText);
        return rows;
    }
};

}  // namespace

TEST_F(TryRule, NewRuleOnFourMessagesListsThreeOneTakenByRuleOneAndMovesAndKeepsNothing) {
    std::string boss = keyOf(mailbox().addMessage(kInbox, mail("boss@work.example", "report A")));
    std::string palB = keyOf(mailbox().addMessage(kInbox, mail("pal@home.example", "report B")));
    std::string palC = keyOf(mailbox().addMessage(kInbox, mail("pal@home.example", "weekly report")));
    mailbox().addMessage(kInbox, mail("pal@home.example", "hello"));
    openFolder(kInbox);
    MailboxState before = snapshot();
    Rows rows, sheetRows;
    std::string count, whyFirst, whySecond;
    tryNewRule({"Subject:", "report"}, [&](const TryDriver& dialog) {
        rows = dialog.rows();
        count = dialog.text(IDC_TRY_COUNT);
        dialog.doubleClick(0);
        whyFirst = dialog.text(IDC_TRY_WHY);
        dialog.doubleClick(1);
        whySecond = dialog.text(IDC_TRY_WHY);
        dialog.close();
    }, nullptr, -1, -1, &sheetRows);
    EXPECT_EQ((Rows{boss + "|boss@work.example|report A|1", palB + "|pal@home.example|report B|",
                    palC + "|pal@home.example|weekly report|"}),
              rows);
    EXPECT_EQ("このフォルダの 4 通のうち 3 通に一致します(うち 1 通は前の規則が先に取ります)", count);
    struct Case {
        const std::string& why;
        const char* text;
        bool present;
    } cases[] = {
        {whyFirst, "規則 1: ", true},   {whyFirst, "一致します。", true}, {whyFirst, "規則 2", false},
        {whySecond, "規則 1: ", true},  {whySecond, "一致しません", true}, {whySecond, "規則 2: ", true},
        {whySecond, "「report B」", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.present, c.why.find(c.text) != std::string::npos) << c.text << "\n" << c.why;
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(before, snapshot());
    EXPECT_EQ(1u, sheetRows.size());
    EXPECT_EQ(Rows{"From:|boss"}, fileRules());
}

TEST_F(TryRule, ARuleOfSeveralConditionsIsTriedAsTypedAndExplainedByCondition) {
    mailbox().addMessage(kInbox, mail("pal@home.example", "report B"));
    std::string weekly = keyOf(mailbox().addMessage(kInbox, mail("pal@home.example", "weekly report")));
    std::string hello = keyOf(mailbox().addMessage(kInbox, mail("pal@home.example", "hello")));
    openFolder(kInbox);
    auto notReport = [this](const EditorDriver& editor) {
        robot.push(drive([](HWND dialog) {
            EditorDriver{dialog}.fill({IDC_TARGET_NAMED, "Subject:", "report B", true, false});
            EditorDriver{dialog}.ok();
        }));
        editor.click(IDC_CONDITION_ADD);
    };
    Rows rows;
    std::string why;
    tryNewRule({"From:", "pal", notReport}, [&](const TryDriver& dialog) {
        rows = dialog.rows();
        dialog.doubleClick(0);
        why = dialog.text(IDC_TRY_WHY);
        dialog.close();
    });
    EXPECT_EQ((Rows{weekly + "|pal@home.example|weekly report|", hello + "|pal@home.example|hello|"}), rows);
    for (const char* text : {"条件 1: 満たします", "条件 2: 満たします(決め手)"})
        EXPECT_NE(std::string::npos, why.find(text)) << text << "\n" << why;
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(Rows{"From:|boss"}, fileRules());
}

TEST_F(TryRule, FollowsTheUnreadAndDecodingBoxesAsTheSheetHoldsThem) {
    mailbox().addMessage(kInbox, mail("a@b.example", kEncodedMeeting), true);
    mailbox().addMessage(kInbox, mail("a@b.example", kEncodedMeeting));
    struct Case {
        int unreadBox, decodeBox;
        const char* count;
    } cases[] = {
        {0, 0, "このフォルダの 2 通のうち 0 通に一致します(うち 0 通は前の規則が先に取ります)"},
        {1, 0, "このフォルダの 2 通のうち 0 通に一致します(うち 0 通は前の規則が先に取ります)"},
        {0, 1, "このフォルダの 2 通のうち 1 通に一致します(うち 0 通は前の規則が先に取ります)"},
        {1, 1, "このフォルダの 2 通のうち 2 通に一致します(うち 0 通は前の規則が先に取ります)"},
    };
    for (const Case& c : cases) {
        openFolder(kInbox);
        std::string count;
        Rows rows;
        tryNewRule({"Subject:", "会議"}, [&](const TryDriver& dialog) {
            count = dialog.text(IDC_TRY_COUNT);
            rows = dialog.rows();
            dialog.close();
        }, nullptr, c.unreadBox, c.decodeBox);
        EXPECT_EQ(c.count, count) << c.unreadBox << c.decodeBox;
        for (const std::string& row : rows)
            EXPECT_NE(std::string::npos, row.find("|会議|")) << row;  // shown decoded either way
        host.closeFolderWindow(window_);
        resetRun();
    }
}

TEST_F(TryRule, CancelOrCloseDuringALargeFolderLeavesNoThreadOrHandle) {
    std::vector<standin::MessageRecord> records;
    for (int n = 0; n < 3000; ++n) {
        char key[16];
        snprintf(key, sizeof key, "%08d", n + 1);
        standin::Mailbox::writeFile(mailbox().messageFile(std::string(kInbox) + "\\" + key),
                                    mail("pal@home.example", "report " + std::to_string(n)));
        records.push_back({key, false});
    }
    mailbox().writeMessageList(kInbox, records);
    struct Case {
        const char* name;
        std::function<void(HWND progress)> act;
    } cases[] = {
        {"キャンセル", [](HWND progress) { standin::clickButton(progress, IDC_PROGRESS_CANCEL); }},
        {"the close box", [](HWND progress) { PostMessageA(progress, WM_CLOSE, 0, 0); }},
    };
    openFolder(kInbox);
    tryNewRule({"Subject:", "nothing"}, [](const TryDriver& dialog) { dialog.close(); });  // loads what stays loaded
    for (const Case& c : cases) {
        resetRun();
        DWORD threads = threadCount(), handles = testing_support::openHandles();
        std::string counts;
        tryNewRule({"Subject:", "report"}, nullptr, [&](HWND progress) {
            char text[256] = {};
            GetDlgItemTextA(progress, IDC_LEARN_COUNTS, text, sizeof text);
            counts = text;
            c.act(progress);
        });
        EXPECT_FALSE(seenCaption(robot.seen(), kTryCaption)) << c.name;
        EXPECT_NE(std::string::npos, counts.find("/ 3000 通")) << c.name << ": " << counts;
        EXPECT_EQ(threads, threadCount()) << c.name;
        EXPECT_EQ(handles, testing_support::openHandles()) << c.name;
        EXPECT_TRUE(host.moves.empty()) << c.name;
    }
}
