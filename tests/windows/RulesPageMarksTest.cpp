// The rules page's marks in the stand-in host: a rules file with a fault of each kind, each row's
// tooltip telling its own, and the marks following the sheet as it changes (the decoding box of
// the options page, a deleted rule).
#include "SettingsDriver.h"
#include "SortingFixture.h"

#include <functional>

using namespace sorting;
using testing_support::drive;
using testing_support::SheetDriver;
using Tips = std::vector<std::string>;

namespace {

// The tooltip the page gives each row, as the list view asks for it.
Tips rowTips(const SheetDriver& sheet) {
    Tips tips;
    sheet.settleMarks();
    int rows = ListView_GetItemCount(sheet.list());
    for (int row = 0; row < rows; ++row) {
        char text[1024] = {};
        NMLVGETINFOTIPA tip = {};
        tip.hdr.hwndFrom = sheet.list();
        tip.hdr.idFrom = IDC_RULE_LIST;
        tip.hdr.code = LVN_GETINFOTIPA;
        tip.pszText = text;
        tip.cchTextMax = sizeof text;
        tip.iItem = row;
        SendMessageA(sheet.rulesPage(), WM_NOTIFY, IDC_RULE_LIST, reinterpret_cast<LPARAM>(&tip));
        tips.push_back(text);
    }
    return tips;
}

// Whether each tip holds its expected part ("" expects an empty tip).
void expectTips(const Tips& tips, const std::vector<const char*>& parts, const char* when) {
    ASSERT_EQ(parts.size(), tips.size()) << when;
    for (size_t row = 0; row < parts.size(); ++row) {
        if (!*parts[row])
            EXPECT_EQ("", tips[row]) << when << " row " << row;
        else
            EXPECT_NE(std::string::npos, tips[row].find(parts[row])) << when << " row " << row << ": " << tips[row];
    }
}

class RulesPageMarks : public SortingTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        writeRules({header("From:", "boss", kWork), header("From:", "boss", kLists),
                    header("Subject:", "x", "Main\\User099.box"),
                    rule(corvane::HeaderBlock, "(unclosed", kWork, false, true), header("Subject:", "会議", kFamily),
                    header("Subject:", "hello", kFamily)},
                   false, false);
        mailbox().addMessage(kInbox, "From: boss@work.example\r\nSubject: plan\r\n\r\nbody\r\n");
        mailbox().addMessage(kInbox, "From: pal@home.example\r\nSubject: hello\r\n\r\nbody\r\n");
        openFolder(kInbox);
    }
};

}  // namespace

TEST_F(RulesPageMarks, EachFaultIsMarkedWithItsReasonAndFollowsTheSheet) {
    Tips opened, decoding, deleted;
    robot.push(drive([&](HWND sheetWindow) {
        SheetDriver sheet{sheetWindow};
        opened = rowTips(sheet);
        CheckDlgButton(sheet.showOptions(), IDC_DECODE_MIME, BST_CHECKED);
        PropSheet_SetCurSel(sheet.sheet, nullptr, 0);
        decoding = rowTips(sheet);
        sheet.select(0);
        sheet.click(IDC_RULE_DELETE);
        deleted = rowTips(sheet);
        sheet.cancel();
    }));
    plugin.APCSetup(window_);
    expectTips(opened,
               {"", "前の規則が先に取る", "振り分け先フォルダ「Main\\User099.box」がありません", "正規表現のエラー: ",
                "ASCII 以外の文字", ""},
               "as opened");
    expectTips(decoding,
               {"", "前の規則が先に取る", "振り分け先フォルダ「Main\\User099.box」がありません", "正規表現のエラー: ", "",
                ""},
               "with decoding");
    expectTips(deleted, {"", "振り分け先フォルダ「Main\\User099.box」がありません", "正規表現のエラー: ", "", ""},
               "rule 1 deleted");
}
