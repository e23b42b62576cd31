// The option decodeMime in the plug-in: read from corvane.ini and written back only when it is
// on or already there; with it rules match the decoded text, and the checker's preview predicts
// every move either way. The project's code-page-932 table against the system's.
#include <filesystem>
#include <map>

#include "SortingFixture.h"
#include "TestPaths.h"
#include "plugin/text/Cp932.h"
#include "tools/check/Checker.h"
#include "tools/check/ProfileFile.h"

using namespace sorting;

namespace {

const char kJisInvoice[] =
    "From: a@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCQEE1YT1xJE4kNDBGRmIbKEIgTm8uNTAwMg==?=\r\n\r\nbody\r\n";
const char kUtf8Invoice[] =
    "From: b@example.jp\r\nSubject: =?UTF-8?B?6KuL5rGC5pu444Gu44GU5qGI5YaFIE5vLjUwMDM=?=\r\n\r\nbody\r\n";
const char kSubjectRule[] = "rule1=\"2: 請求書: Subject::: 0: 0: Main\\User001.box\"\r\n";

class DecodeOption : public SortingTest {
protected:
    std::string iniPath() { return mailbox().root() + "Main\\corvane.ini"; }

    // Every move the plug-in asked the host for: entry -> folder.
    std::map<std::string, std::string> runOver(const std::vector<std::string>& entries) {
        resetRun();
        openFolder(kInbox);
        select(entries);
        distribute();
        std::map<std::string, std::string> moved;
        for (const standin::MoveRequest& move : host.moves)
            moved[move.entry] = move.folder;
        return moved;
    }

    std::map<std::string, std::string> subjectRuleMoves(const char* option) {
        standin::Mailbox::writeFile(iniPath(), std::string("[Generic]\r\n") + option + "[Rule]\r\n" + kSubjectRule);
        return runOver({mailbox().addMessage(kInbox, kJisInvoice), mailbox().addMessage(kInbox, kUtf8Invoice)});
    }
};

}  // namespace

TEST_F(DecodeOption, OnTheJapaneseSubjectRuleMovesBothEncodedMessages) {
    EXPECT_EQ(2u, subjectRuleMoves("decodemime=1\r\n").size());
}

TEST_F(DecodeOption, OffItMovesNeither) {
    EXPECT_EQ(0u, subjectRuleMoves("decodemime=0\r\n").size());
}

TEST_F(DecodeOption, WithoutTheKeyItMovesNeither) {
    EXPECT_EQ(0u, subjectRuleMoves("").size());
}

TEST_F(DecodeOption, ThePreviewPredictsEveryMoveOfTheDecodeCorpusBothWays) {
    std::vector<std::string> entries;
    for (const auto& file : std::filesystem::directory_iterator(std::string(CORVANE_SOURCE_DIR) + "/tests/fixtures/decode"))
        if (file.path().extension() == ".eml")
            entries.push_back(mailbox().addMessage(kInbox, standin::Mailbox::readFile(file.path().string())));
    entries.push_back(mailbox().addMessage(kInbox, kJisInvoice));
    entries.push_back(mailbox().addMessage(kInbox, kUtf8Invoice));
    ASSERT_EQ(50u, entries.size());
    const std::string rules = std::string("[Rule]\r\n") + kSubjectRule +
                              "rule2=\"0: ｷｬﾝｾﾙ: : 0: 0: Main\\User002.box\"\r\n"
                              "rule3=\"1: (?m)^From:.Caf: : 0: 1: Main\\User003.box\"\r\n"
                              "rule4=\"0: \xFA\x5C: : 0: 0: Main\\User004.box\"\r\n"
                              "rule5=\"1: (?m)^Subject:.Invoice No\\.500[0-9]: : 0: 1: Main\\User002.box\"\r\n"
                              "rule6=\"0: (?m)^<b>.*No\\.50: : 0: 1: Main\\User003.box\"\r\n";
    size_t movedWithout = 0;
    for (const char* option : {"decodemime=0\r\n", "decodemime=1\r\n"}) {
        SCOPED_TRACE(option);
        if (option[11] == '1')
            undoAnsweringYes();  // every message back in the inbox under its name
        ASSERT_EQ(50u, mailbox().messageKeys(kInbox).size());
        standin::Mailbox::writeFile(iniPath(), std::string("[Generic]\r\n") + option + rules);
        corvane::PreviewResult preview = corvane::previewFolder(mailbox().root(), kInbox, false);
        std::map<std::string, std::string> predicted;
        for (const corvane::MessageVerdict& verdict : preview.messages)
            if (verdict.outcome == corvane::Outcome::Moves)
                predicted[verdict.entry] = verdict.destination;
        std::map<std::string, std::string> moved = runOver(entries);
        EXPECT_EQ(predicted, moved);
        if (option[11] == '0')
            movedWithout = moved.size();
        else
            EXPECT_GT(moved.size(), movedWithout + 40);
    }
}

TEST_F(DecodeOption, WrittenOnlyWhenOnOrAlreadyInTheFile) {
    const struct {
        const char* before;  // the file's [Generic] lines
        bool on;
        const char* written;  // what its decodemime line is after the save, or none
    } cases[] = {
        {"unreadmail=0\r\n", false, nullptr},
        {"unreadmail=0\r\n", true, "decodemime=1"},
        {"decodemime=1\r\n", false, "decodemime=0"},
        {"decodemime=0\r\n", false, "decodemime=0"},
    };
    for (const auto& c : cases) {
        standin::Mailbox::writeFile(iniPath(), std::string("[Generic]\r\n") + c.before);
        corvane::FolderContext context;
        corvane::copyString(context.accountDir, (mailbox().root() + "Main\\").c_str());
        corvane::loadRules(context);
        context.decodeMime = c.on;
        corvane::saveRules(context);
        std::string text = standin::Mailbox::readFile(iniPath());
        if (c.written)
            EXPECT_NE(std::string::npos, text.find(c.written)) << c.before << text;
        else
            EXPECT_EQ(std::string::npos, text.find("decodemime")) << text;
        corvane::FolderContext reread;
        corvane::copyString(reread.accountDir, context.accountDir);
        corvane::loadRules(reread);
        EXPECT_EQ(c.on, reread.decodeMime);
    }
}

TEST(Cp932Table, EqualsTheSystemCodePage) {
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsDBCSLeadByteEx(932, static_cast<BYTE>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t wide[2] = {};
            int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2);
            char32_t ours = corvane::cp932::pairToUnicode(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            ASSERT_EQ(n == 1 ? static_cast<char32_t>(wide[0]) : 0, ours) << std::hex << lead << " " << trail;
        }
    }
    int differences = 0;
    for (unsigned c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        wchar_t wide = static_cast<wchar_t>(c);
        char bytes[4] = {};
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &usedDefault);
        int system = usedDefault || n <= 0 ? -1
                   : n == 1 ? static_cast<unsigned char>(bytes[0])
                            : static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
        int ours = corvane::cp932::fromUnicode(c);
        bool jisForm = c == 0x301C || c == 0x2016 || c == 0x2212 || c == 0xA2 || c == 0xA3 || c == 0xAC;
        if (jisForm)
            continue;  // ours maps them as the best fit does; without best fit the system has none
        if (system != ours && ++differences <= 20)
            ADD_FAILURE() << std::hex << "U+" << c << " system " << system << " ours " << ours;
    }
    EXPECT_EQ(0, differences);
}

TEST_F(DecodeOption, TheCheckerReadsTheRulesFileAsTheProfileCallsDo) {
    const char* const values[] = {"\xED\x40", "\x87\x90\xFA\x4A", "\x85\x40x", "\x81\x20y", "ab\x82", "請求書ｷｬﾝ"};
    std::string file = "[Rule]\r\n";
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        file += "k" + std::to_string(i) + "=" + values[i] + "\r\n";
    standin::Mailbox::writeFile(iniPath(), file);
    corvane::ProfileFile checker(file);
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        std::string key = "k" + std::to_string(i);
        char read[256] = {};
        GetPrivateProfileStringA("Rule", key.c_str(), "", read, sizeof read, iniPath().c_str());
        EXPECT_EQ(std::string(read), checker.readString("Rule", key.c_str(), sizeof read)) << key;
    }
}
