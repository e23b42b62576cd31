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
        robot.push(drive([body](HWND dialog) { body(EditorDriver{dialog}); }));
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
