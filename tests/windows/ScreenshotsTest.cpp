// Pictures of every dialog for the documentation. They run only when CORVANE_SCREENSHOT_DIR
// names the (Unix) folder to write them to; scripts/screenshots.sh sets it.
#include <cstdlib>
#include <functional>
#include <string>

#include "SettingsDriver.h"
#include "TestSupport.h"
#include "plugin/resources/resource.h"

using namespace testing_support;
using standin::DialogRobot;

namespace {

const char* screenshotDir() {
    return getenv("CORVANE_SCREENSHOT_DIR");
}

void letPaint() {
    for (int i = 0; i < 5; ++i) {
        standin::StandInHost::pumpMessages();
        Sleep(60);
    }
}

// Grabs a part of the X screen around the windows (a dropped-down list is a window of its own).
void capture(const char* name, std::initializer_list<HWND> windows) {
    letPaint();
    RECT area = {};
    bool first = true;
    for (HWND window : windows) {
        RECT rect;
        if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
            continue;
        if (first)
            area = rect;
        else
            UnionRect(&area, &area, &rect);
        first = false;
    }
    InflateRect(&area, 2, 2);
    // The script that runs the tests grabs the screen when a request file appears and
    // removes the file when the picture is written.
    std::string request = winPath(std::string(screenshotDir()) + "/.request");
    std::string text = std::to_string(area.right - area.left) + "x" + std::to_string(area.bottom - area.top) + "+" +
                       std::to_string(area.left) + "+" + std::to_string(area.top) + " " + name + "\n";
    ASSERT_TRUE(standin::Mailbox::writeFile(request, text));
    for (int i = 0; i < 200 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(request.c_str())) << "no picture taken for " << name;
}

class Screenshots : public PluginTest {
protected:
    void SetUp() override {
        if (!screenshotDir())
            GTEST_SKIP() << "CORVANE_SCREENSHOT_DIR is not set";
        PluginTest::SetUp();
        standin::Mailbox& mailbox = host.mailbox();
        mailbox.createAccount("Main", "IO001002T");
        mailbox.createUserFolder("Main", "001", "仕事");
        mailbox.createUserFolder("Main", "002", "メーリングリスト", "005006");
        mailbox.createUserFolder("Main\\User002.box", "005", "開発者会議");
        mailbox.createUserFolder("Main\\User002.box", "006", "お知らせ");
        const char* rules[] = {
            "2: [dev-ml]: Subject::: 0: 0: Main\\User002.box\\User005.box",
            "2: boss@example.jp: From::: 0: 0: Main\\User001.box",
            "1: ^X-Spam-Flag:: YES: : 0: 1: Main\\Trash.box",
            "0: 請求書: : 1: 0: Main\\User001.box",
            "2: news: X-Ml-Name::: 0: 0: Main\\User002.box\\User006.box",
            "0: 下書き: : 0: 0: Main\\Outbox.box",
            // From: bank.example and, as its further condition 1 (key c1.1), no [AD] in Subject:.
            "1073741970: bank.example: From::: 0: 0: Main\\User001.box",
        };
        for (size_t i = 0; i < sizeof rules / sizeof rules[0]; ++i)
            WritePrivateProfileStringA("Rule", ("rule" + std::to_string(i + 1)).c_str(),
                                       (std::string("\"") + rules[i] + "\"").c_str(),
                                       (mailbox.root() + "Main\\corvane.ini").c_str());
        WritePrivateProfileStringA("Conditions", "c1.1", "\"2: [AD]: Subject::: 0: 0: 1\"",
                                   (mailbox.root() + "Main\\corvane.ini").c_str());
        startPlugin();
        folder = host.createFolderWindow("Main", "Main\\Inbox.box");
        plugin.APCFolderCreate(folder);
    }

    // A skipped test was never set up: there is nothing to tear down (and no folder to remove).
    void TearDown() override {
        if (screenshotDir())
            PluginTest::TearDown();
    }

    INT_PTR runSheet(std::function<void(const SheetDriver&)> body) {
        robot.push(drive([body](HWND sheet) { body(SheetDriver{sheet}); }));
        return plugin.APCSetup(folder);
    }

    void editorPicture(const SheetDriver& sheet, int button, const char* name) {
        robot.push(drive([name](HWND dialog) {
            HWND combo = GetDlgItem(dialog, IDC_DEST_FOLDER);
            SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
            COMBOBOXINFO info = {};
            info.cbSize = sizeof info;
            GetComboBoxInfo(combo, &info);
            capture(name, {dialog, info.hwndList});
            SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
            EditorDriver{dialog}.cancel();
        }));
        if (button == IDC_RULE_EDIT)
            sheet.select(4);
        sheet.click(button);
    }

    HWND folder = nullptr;
};

}  // namespace

TEST_F(Screenshots, AboutBox) {
    robot.push(drive([](HWND dialog) {
        capture("about", {dialog});
        EndDialog(dialog, IDOK);
    }));
    plugin.APCVersionInfo(folder);
}

INT_PTR CALLBACK plainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The progress dialog's template as the plug-in carries it (a run ends too soon to be caught).
TEST_F(Screenshots, ProgressDialog) {
    robot.push(drive([](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 40, 0);
        capture("progress", {dialog});
        EndDialog(dialog, IDCANCEL);
    }));
    DialogBoxParamA(plugin.module(), MAKEINTRESOURCEA(IDD_PROGRESS), folder, plainDialogProc, 0);
}

TEST_F(Screenshots, SettingsDialogs) {
    runSheet([this](const SheetDriver& sheet) {
        sheet.select(2);
        capture("rules-page", {sheet.sheet});
        editorPicture(sheet, IDC_RULE_NEW, "rule-editor-new");
        editorPicture(sheet, IDC_RULE_EDIT, "rule-editor-edit");
        HWND options = sheet.showOptions();
        CheckDlgButton(options, IDC_REPORT_RESULT, BST_CHECKED);
        capture("options-page", {sheet.sheet});
        robot.push(drive([](HWND dialog) {
            capture("import-confirm", {dialog});
            EndDialog(dialog, IDCANCEL);
        }));
        sheet.importHostRules();
        sheet.cancel();
    });
}

// The editor of a rule with further conditions, and the dialog that makes one.
TEST_F(Screenshots, RuleEditorWithConditions) {
    runSheet([this](const SheetDriver& sheet) {
        robot.push(drive([this](HWND dialog) {
            EditorDriver editor{dialog};
            robot.push(drive([](HWND conditionDialog) {
                EditorDriver condition{conditionDialog};
                condition.target(IDC_TARGET_NAMED);
                condition.header("Subject:");
                condition.search("^Order [0-9]+");
                condition.check(IDC_REGEX, true);
                capture("condition-dialog", {conditionDialog});
                condition.ok();
            }));
            editor.click(IDC_CONDITION_ADD);
            capture("rule-editor-conditions", {dialog});
            editor.cancel();
        }));
        sheet.select(6);
        sheet.click(IDC_RULE_EDIT);
        sheet.cancel();
    });
}

// The learning dialog over mail filed in three folders, and its progress dialog's template.
TEST_F(Screenshots, LearnDialog) {
    standin::Mailbox& mailbox = host.mailbox();
    const std::pair<const char*, std::string> streams[] = {
        {"Main\\User001.box", "From: Partner <partner@client.example.co.jp>\r\n"},
        {"Main\\User002.box\\User005.box", "From: member@dev.example.org\r\nList-Id: <dev.corvane.example.org>\r\n"},
        {"Main\\User002.box\\User006.box", "From: news@shop.example.com\r\n"}};
    for (int n = 0; n < 6; ++n)
        for (const auto& stream : streams)
            mailbox.addMessage(stream.first, stream.second + "To: me@example.jp\r\nSubject: mail " + std::to_string(n) +
                                                 " no" + std::to_string(n) + "\r\n\r\nbody\r\n");
    mailbox.addMessage("Main\\User001.box", "From: someone@else.example\r\nSubject: once\r\n\r\nbody\r\n");
    robot.always([](const standin::SeenDialog& seen) { return seen.caption == "Corvane"; }, DialogRobot::leave());
    runSheet([](const SheetDriver& sheet) {
        sheet.showOptions();
        standin::StandInHost::get().robot().push(drive([](HWND dialog) {
            LearnDriver{dialog}.check(1, false);
            capture("learn-dialog", {dialog});
            LearnDriver{dialog}.cancel();
        }));
        sheet.learnFromFiledMail();
        sheet.cancel();
    });
    robot.clear();
    robot.push(drive([](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_LEARN_COUNTS, "フォルダ 2 / 4、メール 96 通");
        SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 4));
        SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 2, 0);
        capture("learn-progress", {dialog});
        EndDialog(dialog, IDCANCEL);
    }));
    DialogBoxParamA(plugin.module(), MAKEINTRESOURCEA(IDD_LEARN_PROGRESS), folder, plainDialogProc, 0);
}

// A second account whose rules have a fault of each kind, over an inbox of a few messages: the
// marked rules page, then a new rule tried from the editor with why for one message.
TEST_F(Screenshots, MarkedRulesAndTry) {
    standin::Mailbox& mailbox = host.mailbox();
    mailbox.createAccount("Sub", "I001002OT");
    mailbox.createUserFolder("Sub", "001", "取引先");
    mailbox.createUserFolder("Sub", "002", "ニュース");
    const char* rules[] = {
        "2: client.example.co.jp: From::: 0: 0: Sub\\User001.box",
        "2: example.co.jp: From::: 0: 0: Sub\\User002.box",
        "2: [old-ml]: Subject::: 0: 0: Sub\\User009.box",
        "1: ^X-Mailer:: (Bulk: : 0: 1: Sub\\User002.box",
        "2: 見積: Subject::: 0: 0: Sub\\User001.box",
    };
    for (size_t i = 0; i < sizeof rules / sizeof rules[0]; ++i)
        WritePrivateProfileStringA("Rule", ("rule" + std::to_string(i + 1)).c_str(),
                                   (std::string("\"") + rules[i] + "\"").c_str(),
                                   (mailbox.root() + "Sub\\corvane.ini").c_str());
    const char* mails[][2] = {{"Partner <partner@client.example.co.jp>", "Re: 納期の件"},
                              {"news@shop.example.com", "今週のお知らせ"},
                              {"Partner <partner@client.example.co.jp>", "お知らせ: 休業日"},
                              {"info@news.example.org", "お知らせ 12 月号"},
                              {"friend@home.example.net", "週末の予定"}};
    for (const auto& mail : mails)
        mailbox.addMessage("Sub\\Inbox.box", std::string("From: ") + mail[0] + "\r\nTo: me@example.jp\r\nSubject: " +
                                                 mail[1] + "\r\n\r\nbody\r\n");
    HWND sub = host.createFolderWindow("Sub", "Sub\\Inbox.box");
    plugin.APCFolderCreate(sub);
    robot.always([](const standin::SeenDialog& seen) { return seen.caption == "Corvane"; }, DialogRobot::leave());
    robot.push(drive([](HWND sheetWindow) {
        SheetDriver sheet{sheetWindow};
        sheet.settleMarks();
        capture("rules-page-marks", {sheet.sheet});
        standin::StandInHost::get().robot().push(drive([](HWND editor) {
            EditorDriver{editor}.header("Subject:");
            EditorDriver{editor}.search("お知らせ");
            EditorDriver{editor}.folder("ニュース");
            standin::StandInHost::get().robot().push(drive([](HWND dialog) {
                TryDriver{dialog}.doubleClick(1);
                capture("try-dialog", {dialog});
                TryDriver{dialog}.close();
            }));
            EditorDriver{editor}.tryRule();
            EditorDriver{editor}.cancel();
        }));
        sheet.click(IDC_RULE_NEW);
        sheet.cancel();
    }));
    plugin.APCSetup(sub);
    robot.clear();
}
