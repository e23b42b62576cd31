#include <functional>
#include <string>
#include <vector>

#include "SettingsDriver.h"
#include "TestSupport.h"
#include "plugin/resources/resource.h"

using namespace testing_support;
using standin::DialogRobot;
using standin::SeenDialog;
using Rows = std::vector<std::string>;

namespace {

// Rules as the file stores them, and the rows the rules page shows for them.
const char kRuleA[] = "2: alpha: Subject::: 0: 0: Main\\User001.box";
const char kRuleB[] = "1: beta: : 1: 0: Main\\Inbox.box";
const char kRuleC[] = "0: gamma: : 0: 1: Main\\Trash.box";
const char kRuleD[] = "2: delta: From::: 1: 0: Main\\Outbox.box";
const char kRuleE[] = "0: epsilon: : 0: 0: Main\\User002.box\\User005.box";
const char kRowA[] = "Subject:|alpha|仕事";
const char kRowB[] = "ヘッダ部|beta|郵便受け";
const char kRowC[] = "すべて|gamma|ごみ箱";
const char kRowD[] = "From:|delta|送信箱";
const char kRowE[] = "すべて|epsilon|音楽";

const char kErrorCaption[] = "エラー - Corvane";

class Settings : public PluginTest {
protected:
    // Account Main: inbox, 仕事 (001), 趣味 (002, holding 音楽 005), trash.
    void SetUp() override {
        PluginTest::SetUp();
        host.mailbox().createAccount("Main", "I001002T");
        host.mailbox().createUserFolder("Main", "001", "仕事");
        host.mailbox().createUserFolder("Main", "002", "趣味", "005");
        host.mailbox().createUserFolder("Main\\User002.box", "005", "音楽");
        startPlugin();
    }

    std::string accountFile(const char* name) const { return host.mailbox().root() + "Main\\" + name; }

    void writeRules(const std::vector<std::string>& values) const {
        for (size_t i = 0; i < values.size(); ++i)
            writeKey("corvane.ini", "Rule", ("rule" + std::to_string(i + 1)).c_str(), "\"" + values[i] + "\"");
    }
    void writeKey(const char* file, const char* section, const char* key, const std::string& value) const {
        WritePrivateProfileStringA(section, key, value.c_str(), accountFile(file).c_str());
    }
    std::string readKey(const char* section, const char* key) const {
        char value[2048] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, accountFile("corvane.ini").c_str());
        return value;
    }
    // rule1 .. rule<count> of the file, and whether the key after them is absent.
    std::vector<std::string> fileRules(int count) const {
        std::vector<std::string> values;
        for (int n = 1; n <= count + 1; ++n)
            values.push_back(readKey("Rule", ("rule" + std::to_string(n)).c_str()));
        return values;
    }

    void openFolder(bool registered = true) {
        folder = host.createFolderWindow("Main", "Main\\Inbox.box");
        if (registered)
            plugin.APCFolderCreate(folder);
    }
    // The record reaches the file when its window closes.
    void closeFolder() { plugin.APCFolderClose(folder); }

    INT_PTR runSheet(std::function<void(const SheetDriver&)> body) {
        robot.push(drive([body](HWND sheet) { body(SheetDriver{sheet}); }));
        return plugin.APCSetup(folder);
    }
    // The next rule editor runs body.
    void nextEditor(std::function<void(const EditorDriver&)> body) {
        robot.push(drive([body](HWND dialog) {
            body(EditorDriver{dialog});
            // A body that left its editor open would leave the test waiting for ever.
            if (IsWindowVisible(dialog)) {
                ADD_FAILURE() << "the editor is still open";
                EditorDriver{dialog}.cancel();
            }
        }));
    }
    // Presses OK in the editor and expects the error box with message, or none when message is null.
    void expectRefusal(const EditorDriver& editor, const char* message) {
        size_t before = robot.seen().size();
        if (message)
            robot.push(DialogRobot::press(IDOK));
        editor.ok();
        if (!message) {
            EXPECT_EQ(before, robot.seen().size());
            return;
        }
        if (robot.seen().size() != before + 1) {
            ADD_FAILURE() << "no error box for " << message;
            return;
        }
        const SeenDialog& box = robot.seen().back();
        EXPECT_TRUE(box.messageBox);
        EXPECT_EQ(kErrorCaption, box.caption);
        EXPECT_EQ(message, box.text);
        EXPECT_EQ(standin::BoxIcon::Error, box.icon);
    }

    HWND folder = nullptr;
};

}  // namespace

TEST_F(Settings, EmptyListNewRuleBecomesRowZeroAndReachesTheFileAfterOk) {
    openFolder();
    INT_PTR result = runSheet([this](const SheetDriver& sheet) {
        EXPECT_EQ(3, sheet.columns());
        EXPECT_TRUE(sheet.rows().empty());
        EXPECT_EQ(0, GetWindowLongA(sheet.sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        char caption[256] = {};
        GetWindowTextA(sheet.sheet, caption, sizeof caption);
        EXPECT_NE(nullptr, strstr(caption, "Corvane")) << caption;
        nextEditor([](const EditorDriver& editor) {
            EXPECT_TRUE(editor.checked(IDC_TARGET_NAMED));
            EXPECT_EQ(-1, editor.folderSelection());
            EXPECT_TRUE(editor.checked(IDC_REGEX)) << "checked but disabled until a whole-text target is chosen";
            EXPECT_FALSE(editor.enabled(IDC_REGEX));
            EXPECT_TRUE(editor.enabled(IDC_HEADER_NAME));
            EXPECT_EQ((Rows{"郵便受け 1 1", "仕事 1 5", "趣味 1 4", "音楽 2 5", "ごみ箱 1 2"}), editor.folderItems());
            editor.header("Subject:");
            editor.search("abc");
            editor.folder("郵便受け");
            editor.ok();
        });
        sheet.click(IDC_RULE_NEW);
        EXPECT_EQ((Rows{"Subject:|abc|郵便受け"}), sheet.rows());
        EXPECT_EQ(0, sheet.selected());
        EXPECT_EQ(0, sheet.image(0));
        sheet.ok();
    });
    EXPECT_GT(result, 0);
    EXPECT_EQ("<none>", readKey("Rule", "rule1")) << "the sheet does not write the file";
    closeFolder();
    EXPECT_EQ("2: abc: Subject::: 0: 1: Main\\Inbox.box", readKey("Rule", "rule1"));
}

TEST_F(Settings, RowsShowTargetHeaderNameTrashAndFolderIcons) {
    writeRules({kRuleA, kRuleB, kRuleC, kRuleD, kRuleE, "0: x: : 0: 0: NoBackslash"});
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        EXPECT_EQ((Rows{kRowA, kRowB, kRowC, kRowD, kRowE, "すべて|x|ごみ箱"}), sheet.rows());
        const int images[] = {4, 0, 1, 2, 4, 1};
        for (int row = 0; row < 6; ++row)
            EXPECT_EQ(images[row], sheet.image(row)) << row;
        EXPECT_EQ(-1, sheet.selected());
        sheet.cancel();
    });
}

TEST_F(Settings, DeletingTheLastAndTheOnlyRow) {
    writeRules({kRuleA, kRuleB, kRuleC});
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        sheet.click(IDC_RULE_DELETE);  // nothing selected: nothing happens
        EXPECT_EQ((Rows{kRowA, kRowB, kRowC}), sheet.rows());
        sheet.select(2);
        sheet.click(IDC_RULE_DELETE);
        EXPECT_EQ((Rows{kRowA, kRowB}), sheet.rows());
        EXPECT_EQ(1, sheet.selected()) << "the new last row";
        sheet.select(0);
        sheet.click(IDC_RULE_DELETE);
        EXPECT_EQ((Rows{kRowB}), sheet.rows());
        EXPECT_EQ(0, sheet.selected()) << "the row at the same index";
        sheet.click(IDC_RULE_DELETE);
        EXPECT_TRUE(sheet.rows().empty());
        EXPECT_EQ(-1, sheet.selected());
        sheet.ok();
    });
    EXPECT_EQ((Rows{"<none>", "<none>", "<none>", "<none>"}), fileRules(3)) << "all three keys deleted at once";
    closeFolder();
    EXPECT_EQ((Rows{"<none>"}), fileRules(0));
}

TEST_F(Settings, UpAndDownKeepTheListAndTheWorkingRulesInStep) {
    writeRules({kRuleA, kRuleB, kRuleC, kRuleD});
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        struct Step {
            int button;
            Rows rows;
            int selected;
        };
        const Step steps[] = {
            {IDC_RULE_UP, {kRowB, kRowA, kRowC, kRowD}, 0},
            {IDC_RULE_DOWN, {kRowA, kRowB, kRowC, kRowD}, 1},
            {IDC_RULE_DOWN, {kRowA, kRowC, kRowB, kRowD}, 2},
            {IDC_RULE_DOWN, {kRowA, kRowC, kRowD, kRowB}, 3},
            {IDC_RULE_DOWN, {kRowA, kRowC, kRowD, kRowB}, 3},  // the last row cannot go down
        };
        sheet.select(1);
        for (const Step& step : steps) {
            sheet.click(step.button);
            EXPECT_EQ(step.rows, sheet.rows());
            EXPECT_EQ(step.selected, sheet.selected());
        }
        sheet.select(0);
        sheet.click(IDC_RULE_UP);  // the first row cannot go up
        EXPECT_EQ((Rows{kRowA, kRowC, kRowD, kRowB}), sheet.rows());
        EXPECT_EQ(0, sheet.selected());
        EXPECT_EQ(1, sheet.image(1)) << "the icon moves with its rule";
        EXPECT_EQ(0, sheet.image(3));
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ((Rows{kRuleA, kRuleC, kRuleD, kRuleB, "<none>"}), fileRules(4));
}

TEST_F(Settings, OkAfterDeletingTwoOfFiveDeletesKeysFourAndFiveAtOnce) {
    writeRules({kRuleA, kRuleB, kRuleC, kRuleD, kRuleE});
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        sheet.select(1);
        sheet.click(IDC_RULE_DELETE);
        sheet.select(2);
        sheet.click(IDC_RULE_DELETE);
        EXPECT_EQ((Rows{kRowA, kRowC, kRowE}), sheet.rows());
        sheet.ok();
    });
    EXPECT_EQ((Rows{kRuleA, kRuleB, kRuleC, "<none>", "<none>", "<none>"}), fileRules(5));
    closeFolder();
    EXPECT_EQ((Rows{kRuleA, kRuleC, kRuleE, "<none>"}), fileRules(3));
}

TEST_F(Settings, CancelAfterEveryKindOfChangeLeavesTheRecordAsItWas) {
    writeRules({kRuleA, kRuleB, kRuleC});
    writeKey("corvane.ini", "Generic", "unreadmail", "1");
    writeKey("Account.ini", "Distribute", "Rule1", "Subject::: [x]: Main\\User001.box");
    openFolder();
    INT_PTR result = runSheet([this](const SheetDriver& sheet) {
        nextEditor([](const EditorDriver& editor) {
            editor.header("To:");
            editor.search("new");
            editor.folder("仕事");
            editor.ok();
        });
        sheet.click(IDC_RULE_NEW);
        nextEditor([](const EditorDriver& editor) {
            editor.search("changed");
            editor.ok();
        });
        sheet.select(0);
        sheet.click(IDC_RULE_EDIT);
        sheet.select(1);
        sheet.click(IDC_RULE_DOWN);
        sheet.click(IDC_RULE_DELETE);
        HWND options = sheet.showOptions();
        CheckDlgButton(options, IDC_UNREAD_MAIL, BST_UNCHECKED);
        CheckDlgButton(options, IDC_REPORT_RESULT, BST_CHECKED);
        robot.push(DialogRobot::press(IDOK));  // import confirmation
        robot.push(DialogRobot::press(IDOK));  // result box
        sheet.importHostRules();
        EXPECT_EQ(0u, robot.seen().back().text.find("1件")) << robot.seen().back().text;
        EXPECT_EQ((Rows{"Subject:|changed|仕事", kRowC, "To:|new|仕事", "Subject:|[x]|仕事"}), sheet.rows());
        sheet.cancel();
    });
    EXPECT_EQ(0, result);
    closeFolder();
    EXPECT_EQ((Rows{kRuleA, kRuleB, kRuleC, "<none>"}), fileRules(3));
    EXPECT_EQ("1", readKey("Generic", "unreadmail"));
    EXPECT_EQ("0", readKey("Generic", "reportresult"));
}

TEST_F(Settings, SheetOverAnUnregisteredWindowShowsNothingAndOkChangesNothing) {
    writeRules({kRuleA, kRuleB});
    openFolder(false);
    INT_PTR result = runSheet([this](const SheetDriver& sheet) {
        EXPECT_EQ(0, sheet.columns());
        EXPECT_TRUE(sheet.rows().empty());
        nextEditor([this](const EditorDriver& editor) {
            EXPECT_TRUE(editor.folderItems().empty());
            EXPECT_EQ(0, SendDlgItemMessageA(editor.dialog, IDC_HEADER_NAME, CB_GETCOUNT, 0, 0));
            editor.header("Subject:");
            editor.search("x");
            size_t seen = robot.seen().size();
            editor.ok();  // accepts nothing and says nothing
            EXPECT_EQ(seen, robot.seen().size());
            editor.cancel();
        });
        sheet.click(IDC_RULE_NEW);
        EXPECT_TRUE(sheet.rows().empty());
        HWND options = sheet.showOptions();
        EXPECT_FALSE(IsDlgButtonChecked(options, IDC_UNREAD_MAIL));
        sheet.ok();
    });
    EXPECT_GT(result, 0);
    EXPECT_EQ((Rows{kRuleA, kRuleB, "<none>"}), fileRules(2));
}

TEST_F(Settings, EditorRefusesInItsOrderAndCompilesOnlyWholeTextTargets) {
    openFolder();
    runSheet([this](const SheetDriver& sheet) {
        nextEditor([this](const EditorDriver& editor) {
            // The header check comes before the empty search text.
            expectRefusal(editor, "ヘッダ指定がありません");
            editor.header("Subject:");
            expectRefusal(editor, "検索文字列がありません");
            editor.search("(");
            expectRefusal(editor, "移動先フォルダがありません");
            editor.folder("趣味");
            expectRefusal(editor, "そのフォルダは指定できません");
            editor.folder("音楽");
            editor.target(IDC_TARGET_HEADER_BLOCK);
            EXPECT_FALSE(editor.enabled(IDC_HEADER_NAME));
            EXPECT_FALSE(editor.enabled(IDC_MATCH_CASE));
            EXPECT_TRUE(editor.enabled(IDC_REGEX));
            EXPECT_TRUE(editor.checked(IDC_REGEX));
            expectRefusal(editor, "検索文字列が正規表現として正しくありません");
            editor.target(IDC_TARGET_WHOLE);
            expectRefusal(editor, "検索文字列が正規表現として正しくありません");
            editor.check(IDC_REGEX, false);
            editor.target(IDC_TARGET_NAMED);
            EXPECT_TRUE(editor.enabled(IDC_HEADER_NAME));
            EXPECT_FALSE(editor.enabled(IDC_REGEX));
            editor.check(IDC_REGEX, true);
            editor.check(IDC_MATCH_CASE, true);
            expectRefusal(editor, nullptr);  // a header search is never compiled
        });
        sheet.click(IDC_RULE_NEW);
        EXPECT_EQ((Rows{"Subject:|(|音楽"}), sheet.rows());
        nextEditor([this](const EditorDriver& editor) {
            editor.target(IDC_TARGET_HEADER_BLOCK);
            editor.search("^From: .*x");
            editor.folder("ごみ箱");
            expectRefusal(editor, nullptr);
        });
        sheet.click(IDC_RULE_NEW);
        EXPECT_EQ((Rows{"Subject:|(|音楽", "ヘッダ部|^From: .*x|ごみ箱"}), sheet.rows());
        EXPECT_EQ(1, sheet.image(1));
        EXPECT_EQ(1, sheet.selected());
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ((Rows{"2: (: Subject::: 1: 1: Main\\User002.box\\User005.box", "1: ^From:: .*x: : 0: 1: Main\\Trash.box",
                    "<none>"}),
              fileRules(2));
}

// An account directory whose name holds a byte pair the code page has no character for: the
// save would leave out a rule sending mail there, so the editor refuses it.
TEST_F(Settings, EditorRefusesARuleTheSaveWouldLeaveOut) {
    const std::string account = "Mail\x85\x40";
    host.mailbox().createAccount(account, "IT");
    folder = host.createFolderWindow(account, account + "\\Inbox.box");
    plugin.APCFolderCreate(folder);
    runSheet([this](const SheetDriver& sheet) {
        nextEditor([this](const EditorDriver& editor) {
            editor.target(IDC_TARGET_WHOLE);
            editor.search("x");
            editor.folder("郵便受け");
            expectRefusal(editor, "この振り分け条件は設定ファイルに正しく保存できないため指定できません");
            editor.cancel();
        });
        sheet.click(IDC_RULE_NEW);
        EXPECT_EQ(Rows{}, sheet.rows());
        sheet.ok();
    });
    closeFolder();
}

TEST_F(Settings, EditModeStartsFromTheRuleAndCancelKeepsIt) {
    writeRules({"2: delta: From::: 1: 0: Main\\User001.box", "1: gone: : 0: 1: Main\\User999.box", "7: odd: X-Odd::: 1: 0: Main\\User001.box"});
    openFolder();
    runSheet([this](const SheetDriver& sheet) {
        nextEditor([](const EditorDriver& editor) {
            EXPECT_TRUE(editor.checked(IDC_TARGET_NAMED));
            EXPECT_TRUE(editor.checked(IDC_MATCH_CASE));
            EXPECT_FALSE(editor.checked(IDC_REGEX));
            EXPECT_EQ(1, editor.folderSelection());
            editor.search("changed");
            editor.cancel();
        });
        sheet.click(IDC_RULE_EDIT);  // nothing selected: no editor
        sheet.select(0);
        sheet.doubleClick();
        EXPECT_EQ("From:|delta|仕事", sheet.rows()[0]) << "Cancel kept the row";

        nextEditor([this](const EditorDriver& editor) {
            EXPECT_TRUE(editor.checked(IDC_TARGET_HEADER_BLOCK));
            EXPECT_EQ(-1, editor.folderSelection()) << "a destination that no longer exists";
            expectRefusal(editor, "移動先フォルダがありません");
            editor.cancel();
        });
        sheet.select(1);
        sheet.click(IDC_RULE_EDIT);

        nextEditor([this](const EditorDriver& editor) {
            for (int radio : {IDC_TARGET_NAMED, IDC_TARGET_HEADER_BLOCK, IDC_TARGET_WHOLE})
                EXPECT_FALSE(editor.checked(radio)) << radio;
            for (int control : {IDC_HEADER_NAME, IDC_MATCH_CASE, IDC_REGEX})
                EXPECT_TRUE(editor.enabled(control)) << control;
            expectRefusal(editor, nullptr);
        });
        sheet.select(2);
        sheet.click(IDC_RULE_EDIT);
        EXPECT_EQ((Rows{"From:|delta|仕事", "ヘッダ部|gone|", "X-Odd:|odd|仕事"}), sheet.rows());
        EXPECT_EQ(2, sheet.selected());
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ("2: odd: X-Odd::: 1: 0: Main\\User001.box", readKey("Rule", "rule3"));
}

TEST_F(Settings, OptionsChangeOnlyWithOk) {
    writeKey("corvane.ini", "Generic", "unreadmail", "1");
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        HWND options = sheet.showOptions();
        EXPECT_TRUE(IsDlgButtonChecked(options, IDC_UNREAD_MAIL));
        EXPECT_FALSE(IsDlgButtonChecked(options, IDC_REPORT_RESULT));
        CheckDlgButton(options, IDC_UNREAD_MAIL, BST_UNCHECKED);
        sheet.cancel();
    });
    runSheet([](const SheetDriver& sheet) {
        HWND options = sheet.showOptions();
        EXPECT_TRUE(IsDlgButtonChecked(options, IDC_UNREAD_MAIL)) << "Cancel kept the option";
        CheckDlgButton(options, IDC_REPORT_RESULT, BST_CHECKED);
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ("1", readKey("Generic", "unreadmail"));
    EXPECT_EQ("1", readKey("Generic", "reportresult"));
}

TEST_F(Settings, DecodeMimeBoxAppliedWithOkAndWrittenOnceSet) {
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        HWND options = sheet.showOptions();
        EXPECT_FALSE(IsDlgButtonChecked(options, IDC_DECODE_MIME));
        CheckDlgButton(options, IDC_DECODE_MIME, BST_CHECKED);
        sheet.cancel();
    });
    closeFolder();
    EXPECT_EQ("<none>", readKey("Generic", "decodemime")) << "never set: the file does not get the key";
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        CheckDlgButton(sheet.showOptions(), IDC_DECODE_MIME, BST_CHECKED);
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ("1", readKey("Generic", "decodemime"));
    openFolder();
    runSheet([](const SheetDriver& sheet) {
        HWND options = sheet.showOptions();
        EXPECT_TRUE(IsDlgButtonChecked(options, IDC_DECODE_MIME));
        CheckDlgButton(options, IDC_DECODE_MIME, BST_UNCHECKED);
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ("0", readKey("Generic", "decodemime")) << "once in the file, the key stays";
}

TEST_F(Settings, ImportOfHostRules) {
    writeRules({kRuleB});
    writeKey("Account.ini", "Distribute", "CharSize", "1");
    writeKey("Account.ini", "Distribute", "Rule1", "Subject::: [list-a]: Main\\User001.box");
    writeKey("Account.ini", "Distribute", "Rule2", "X-Ml-Name::: b: Main\\Trash.box");
    writeKey("Account.ini", "Distribute", "Rule4", "To::: never: Main\\Inbox.box");
    openFolder();
    runSheet([this](const SheetDriver& sheet) {
        sheet.showOptions();
        robot.push(DialogRobot::press(IDCANCEL));
        sheet.importHostRules();
        EXPECT_EQ((Rows{kRowB}), sheet.rows()) << "cancelled";
        const SeenDialog& confirm = robot.seen().back();
        EXPECT_EQ("振り分け条件のインポート", confirm.caption);
        ASSERT_NE(nullptr, confirm.control(IDOK));
        EXPECT_EQ("ｲﾝﾎﾟｰﾄ開始", confirm.control(IDOK)->text);
        EXPECT_EQ("ｷｬﾝｾﾙ", confirm.control(IDCANCEL)->text);

        robot.push(DialogRobot::press(IDOK));
        robot.push(DialogRobot::press(IDOK));
        sheet.importHostRules();
        const SeenDialog& box = robot.seen().back();
        EXPECT_EQ("Corvane", box.caption);
        EXPECT_EQ(standin::BoxIcon::Information, box.icon);
        EXPECT_EQ("2件の振り分け条件をインポートしました\n\n【重要】\n現在はまだ確定していません."
                  "「振り分け条件」タブで内容を確認し, 正しければ[OK]ボタンを押してください.",
                  box.text);
        EXPECT_EQ((Rows{kRowB, "Subject:|[list-a]|仕事", "X-Ml-Name:|b|ごみ箱"}), sheet.rows());
        EXPECT_EQ(2, sheet.selected());
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ((Rows{kRuleB, "2: [list-a]: Subject::: 1: 0: Main\\User001.box", "2: b: X-Ml-Name::: 1: 0: Main\\Trash.box",
                    "<none>"}),
              fileRules(3));
}

// A folder field holding a colon and a blank would read back from the rules file as another
// folder: such a host rule is left out and said so; the rules after it are still imported.
TEST_F(Settings, ImportLeavesOutHostRulesTheFileCannotKeep) {
    writeKey("Account.ini", "Distribute", "Rule1", "Subject::: x: Main\\User001.box: y");
    writeKey("Account.ini", "Distribute", "Rule2", "From::: a: " + std::string(300, 'z'));
    writeKey("Account.ini", "Distribute", "Rule3", "To::: kept: Main\\Inbox.box");
    writeKey("Account.ini", "Distribute", "Rule4", "no separators");
    writeKey("Account.ini", "Distribute", "Rule5", "Cc::: after the end: Main\\Inbox.box");
    openFolder();
    runSheet([this](const SheetDriver& sheet) {
        sheet.showOptions();
        robot.push(DialogRobot::press(IDOK));
        robot.push(DialogRobot::press(IDOK));
        robot.push(DialogRobot::press(IDOK));
        sheet.importHostRules();
        ASSERT_GE(robot.seen().size(), 2u);
        const SeenDialog& result = robot.seen()[robot.seen().size() - 2];
        EXPECT_EQ(0u, result.text.find("1件の振り分け条件をインポートしました")) << result.text;
        const SeenDialog& refused = robot.seen().back();
        EXPECT_EQ(kErrorCaption, refused.caption);
        EXPECT_EQ(0u, refused.text.find("2件の振り分け条件は")) << refused.text;
        EXPECT_EQ((Rows{"To:|kept|郵便受け"}), sheet.rows());
        sheet.ok();
    });
    closeFolder();
    EXPECT_EQ((Rows{"2: kept: To::: 0: 0: Main\\Inbox.box", "<none>"}), fileRules(1));
}
