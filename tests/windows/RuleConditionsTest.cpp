// Rules of several conditions made in the rule editor, kept through the folder window's save
// and load, and sorting mail as meant; the condition dialog's checks; the rules page's row.
#include "SortingFixture.h"

#include <functional>
#include <string>
#include <vector>

#include "SettingsDriver.h"

using namespace sorting;
using testing_support::ConditionInput;
using testing_support::drive;
using testing_support::EditorDriver;
using testing_support::SheetDriver;
using Rows = std::vector<std::string>;

namespace {

const char kStatement[] = "From: info@bank.example\r\nSubject: Order 1234 statement\r\n\r\nyour balance\r\n";
const char kAdvert[] = "From: info@bank.example\r\nSubject: [AD] Summer offers\r\n\r\nbuy now\r\n";
const char kFriend[] = "From: pal@friend.example\r\nSubject: [AD] from a friend\r\n\r\nURGENT: lunch?\r\n";

// A rule of two conditions, all or any of them, made, saved, read back and sorting the three messages.
struct TwoConditions {
    ConditionInput own;
    bool any;
    const char* folder;
    ConditionInput further;
    const char* condition;
    const char* row;
    Rows sorted;
};
const TwoConditions kOneNegated{{IDC_TARGET_NAMED, "From:", "bank.example", false, false}, false, "Work",
                                {IDC_TARGET_NAMED, "Subject:", "[AD]", true, false}, "Subject:|[AD]|含まない",
                                "From:|bank.example ほか 1 件(すべて)|Work", {kWork, kInbox, kInbox}};
const TwoConditions kAnyOf{{IDC_TARGET_NAMED, "Subject:", "statement", false, false}, true, "Lists",
                           {IDC_TARGET_WHOLE, "", "^URGENT:", false, true}, "すべて|^URGENT:|含む",
                           "Subject:|statement ほか 1 件(いずれか)|Lists", {kLists, kInbox, kLists}};

class RuleConditions : public SortingTest {
protected:
    // The rule editor offers the folders of the account's folder order.
    void SetUp() override {
        SortingTest::SetUp();
        WritePrivateProfileStringA("Property", "Order", "I001002003004OT", (mailbox().root() + "Main\\Account.ini").c_str());
    }
    INT_PTR runSheet(std::function<void(const SheetDriver&)> body) {
        robot.clear();
        robot.push(drive([body](HWND sheet) { body(SheetDriver{sheet}); }));
        return plugin.APCSetup(window_);
    }
    void nextDialog(std::function<void(const EditorDriver&)> body) {
        robot.push(testing_support::driveToEnd([body](HWND dialog) { body(EditorDriver{dialog}); },
                                               [](HWND dialog) { EditorDriver{dialog}.cancel(); }));
    }
    // Adds a further condition through the condition dialog.
    void addCondition(const EditorDriver& editor, const ConditionInput& input) {
        nextDialog([input](const EditorDriver& dialog) {
            dialog.fill(input);
            dialog.ok();
        });
        editor.click(IDC_CONDITION_ADD);
    }
    // Makes a new rule in the editor with edit, gives the rules page's rows and closes the sheet with OK.
    Rows newRule(std::function<void(const EditorDriver&)> edit) {
        Rows rows;
        runSheet([&](const SheetDriver& sheet) {
            nextDialog(edit);
            sheet.click(IDC_RULE_NEW);
            rows = sheet.rows();
            sheet.ok();
        });
        return rows;
    }
    // OK in a dialog that must refuse with message (null: accept).
    void expectRefusal(const EditorDriver& dialog, const char* message) {
        size_t before = robot.seen().size();
        if (message)
            robot.push(DialogRobot::press(IDOK));
        dialog.ok();
        if (!message) {
            EXPECT_EQ(before, robot.seen().size());
            return;
        }
        ASSERT_EQ(before + 1, robot.seen().size()) << "no error box for " << message;
        EXPECT_EQ(message, robot.seen().back().text);
        EXPECT_EQ("エラー - Corvane", robot.seen().back().caption);
    }
    // Closes the folder window (the rules reach the file) and opens a new one (they are read back).
    void reopen() {
        plugin.APCFolderClose(window_);
        openFolder(kInbox);
    }
    // Sorts the three messages and gives the folder each ends in.
    Rows sortThree() {
        const std::vector<std::string> texts{kStatement, kAdvert, kFriend};
        std::vector<std::string> entries;
        for (const std::string& text : texts)
            entries.push_back(mailbox().addMessage(kInbox, text));
        select(entries);
        resetRun();
        distribute();
        Rows folders;
        for (const std::string& text : texts)
            for (const std::string& folder : allFolders())
                for (const std::string& key : mailbox().messageKeys(folder))
                    if (standin::Mailbox::readFile(mailbox().messageFile(folder + "\\" + key)) == text)
                        folders.push_back(folder);
        return folders;
    }
    void makeAndSort(const TwoConditions* c);
    std::string fileKey(const char* section, const char* key) {
        char value[2048] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value,
                                 (mailbox().root() + "Main\\corvane.ini").c_str());
        return value;
    }
};

}  // namespace

void RuleConditions::makeAndSort(const TwoConditions* c) {
    openFolder(kInbox);
    Rows rows = newRule([&](const EditorDriver& editor) {
        EXPECT_TRUE(editor.checked(IDC_ALL_CONDITIONS));
        EXPECT_FALSE(editor.checked(IDC_NEGATE));
        EXPECT_EQ(Rows{}, editor.conditions());
        editor.fill(c->own);
        editor.folder(c->folder);
        editor.check(IDC_ALL_CONDITIONS, !c->any);
        editor.check(IDC_ANY_CONDITION, c->any);
        addCondition(editor, c->further);
        EXPECT_EQ(Rows{c->condition}, editor.conditions());
        editor.ok();
    });
    EXPECT_EQ(Rows{c->row}, rows);
    reopen();
    EXPECT_EQ(c->sorted, sortThree());
    if (!c->any) {
        // The earlier one-condition reader sees a target it never matches; the condition has its key.
        EXPECT_GT(atoll(fileKey("Rule", "rule1").c_str()), 2);
        EXPECT_EQ("2: [AD]: Subject::: 0: 0: 1", fileKey("Conditions", "c1.1"));
    }
}

TEST_F(RuleConditions, TwoConditionsOneNegatedSavedReloadedSortAsMeant) { makeAndSort(&kOneNegated); }
TEST_F(RuleConditions, AnyOfTakesMailThatEitherConditionFinds) { makeAndSort(&kAnyOf); }

TEST_F(RuleConditions, NegatedOwnConditionWithARegexOnSubject) {
    openFolder(kInbox);
    EXPECT_EQ((Rows{"ヘッダ部|^Subject: \\[AD\\] (含まない)|Family"}), newRule([](const EditorDriver& editor) {
                  editor.fill({IDC_TARGET_HEADER_BLOCK, "", "^Subject: \\[AD\\]", true, true});
                  editor.folder("Family");
                  editor.ok();
              }));
    reopen();
    EXPECT_EQ((Rows{kFamily, kInbox, kInbox}), sortThree());
    // Opened again, the editor shows the rule as it was made.
    runSheet([this](const SheetDriver& sheet) {
        nextDialog([](const EditorDriver& editor) {
            for (int id : {IDC_NEGATE, IDC_TARGET_HEADER_BLOCK, IDC_REGEX})
                EXPECT_TRUE(editor.checked(id)) << id;
            editor.cancel();
        });
        sheet.select(0);
        sheet.click(IDC_RULE_EDIT);
        sheet.cancel();
    });
}

TEST_F(RuleConditions, ConditionDialogChecksInTheEditorsOrderAndConditionsAreEditedAndDeleted) {
    openFolder(kInbox);
    Rows rows = newRule([this](const EditorDriver& editor) {
        editor.fill({IDC_TARGET_NAMED, "From:", "bank.example", false, false});
        editor.folder("Work");
        nextDialog([this](const EditorDriver& dialog) {
            EXPECT_TRUE(dialog.checked(IDC_TARGET_NAMED));
            EXPECT_TRUE(dialog.enabled(IDC_REGEX)) << "a condition's expression applies to every target";
            expectRefusal(dialog, "ヘッダ指定がありません");
            dialog.header("Subject:");
            expectRefusal(dialog, "検索文字列がありません");
            dialog.search("(");
            dialog.check(IDC_REGEX, true);
            expectRefusal(dialog, "検索文字列が正規表現として正しくありません");
            dialog.search("^Order [0-9]+");
            expectRefusal(dialog, nullptr);
        });
        editor.click(IDC_CONDITION_ADD);
        addCondition(editor, {IDC_TARGET_WHOLE, "", "balance", true, false});
        EXPECT_EQ((Rows{"Subject:|^Order [0-9]+|含む", "すべて|balance|含まない"}), editor.conditions());

        editor.click(IDC_CONDITION_EDIT);  // nothing selected: nothing opens
        editor.selectCondition(1);
        nextDialog([](const EditorDriver& dialog) {
            EXPECT_EQ("balance", dialog.text(IDC_SEARCH_TEXT));
            EXPECT_TRUE(dialog.checked(IDC_NEGATE));
            EXPECT_TRUE(dialog.checked(IDC_TARGET_WHOLE));
            EXPECT_FALSE(dialog.enabled(IDC_HEADER_NAME));
            dialog.search("changed");
            dialog.cancel();
        });
        editor.click(IDC_CONDITION_EDIT);
        EXPECT_EQ("すべて|balance|含まない", editor.conditions()[1]) << "Cancel keeps the condition";
        nextDialog([](const EditorDriver& dialog) {
            dialog.search("adverts");
            dialog.check(IDC_NEGATE, false);
            dialog.ok();
        });
        editor.click(IDC_CONDITION_EDIT);
        EXPECT_EQ((Rows{"Subject:|^Order [0-9]+|含む", "すべて|adverts|含む"}), editor.conditions());
        editor.click(IDC_CONDITION_DELETE);
        EXPECT_EQ((Rows{"Subject:|^Order [0-9]+|含む"}), editor.conditions());
        editor.ok();
    });
    EXPECT_EQ((Rows{"From:|bank.example ほか 1 件(すべて)|Work"}), rows);
    reopen();
    EXPECT_EQ((Rows{kWork, kInbox, kInbox}), sortThree());
    EXPECT_EQ("<none>", fileKey("Conditions", "c1.2"));
}

TEST_F(RuleConditions, SevenFurtherConditionsAreTheMost) {
    openFolder(kInbox);
    EXPECT_EQ(Rows{}, newRule([this](const EditorDriver& editor) {
                  for (int i = 0; i < 7; ++i)
                      addCondition(editor, {IDC_TARGET_WHOLE, "", "x", false, false});
                  EXPECT_EQ(7u, editor.conditions().size());
                  EXPECT_FALSE(editor.enabled(IDC_CONDITION_ADD));
                  editor.selectCondition(6);
                  editor.click(IDC_CONDITION_DELETE);
                  EXPECT_TRUE(editor.enabled(IDC_CONDITION_ADD));
                  editor.cancel();
              }));
}

// The file through the system's profile functions: an earlier release, which reads rule1, rule2,
// ... with the one-condition form and writes them back, never matches a rule of several
// conditions and reads the rules after it; after it reorders and drops rules, this release reads
// every condition back, and its next save leaves no condition key of the dropped rule.
TEST_F(RuleConditions, AnEarlierReleaseKeepsTheFileThisReleaseReadsBack) {
    using namespace corvane;
    DistributeRule bank = header("From:", "bank.example", kWork);
    bank.conditions.resize(1);
    bank.conditions[0].searchTarget = NamedHeader;
    copyString(bank.conditions[0].headerName, "Subject:");
    copyString(bank.conditions[0].searchText, "[AD]");
    bank.conditions[0].negate = 1;
    DistributeRule notAd = rule(HeaderBlock, "^Subject: \\[AD\\]", kFamily, false, true);
    notAd.negate = 1;
    DistributeRule pal = header("From:", "pal@", kLists);
    writeRules({bank, notAd, pal}, false, false);
    std::string ini = mailbox().root() + "Main\\corvane.ini";
    auto earlierRead = [&ini]() {
        RuleList rules;
        for (int n = 1;; ++n) {
            char value[8192] = {};
            GetPrivateProfileStringA("Rule", ("rule" + std::to_string(n)).c_str(), "", value, sizeof value, ini.c_str());
            DistributeRule r;
            if (!value[0] || !parseRuleValue(value, r))
                return rules;
            rules.push_back(r);
        }
    };
    RuleList earlier = earlierRead();
    ASSERT_EQ(3u, earlier.size());
    EXPECT_EQ(-1, findMatchingRule(RuleList(earlier.begin(), earlier.begin() + 2), kStatement));
    EXPECT_EQ(2, findMatchingRule(earlier, kFriend));

    // The earlier release moves pal to the top, drops the bank rule and saves.
    RuleList reordered{earlier[2], earlier[1]};
    for (size_t i = 0; i < 3; ++i)
        WritePrivateProfileStringA("Rule", ("rule" + std::to_string(i + 1)).c_str(),
                                   i < reordered.size() ? ("\"" + formatRuleValue(reordered[i]) + "\"").c_str() : nullptr,
                                   ini.c_str());
    FolderContext context;
    copyString(context.accountDir, (mailbox().root() + "Main\\").c_str());
    loadRules(context);
    ASSERT_EQ(2, context.ruleCount);
    EXPECT_STREQ("pal@", context.rules[0].searchText);
    EXPECT_EQ(HeaderBlock, context.rules[1].searchTarget);
    EXPECT_EQ(1, context.rules[1].negate);
    EXPECT_EQ("2: [AD]: Subject::: 0: 0: 1", fileKey("Conditions", "c1.1")) << "kept until this release saves";
    saveRules(context);
    EXPECT_EQ("<none>", fileKey("Conditions", "c1.1"));
    FolderContext again;
    copyString(again.accountDir, context.accountDir);
    loadRules(again);
    ASSERT_EQ(2, again.ruleCount);
    EXPECT_EQ(1, again.rules[1].negate);
}
