// What the distribute and undo tests share: a mailbox of generated mail in several folders,
// rules written to the account's "corvane.ini" before the folder window opens, runs of the two
// commands through the stand-in host, and an expectation of every run computed here with the
// literal matching reference, apart from the plug-in's own code paths.
#pragma once

#include "tests/native/MatchingReference.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "TestSupport.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RuleText.h"
#include "plugin/rules/RulesFile.h"
#include "plugin/windows/FolderRegistry.h"

namespace sorting {

using standin::DialogRobot;
using standin::SeenDialog;

const char kInbox[] = "Main\\Inbox.box";
const char kOutbox[] = "Main\\Outbox.box";
const char kTrash[] = "Main\\Trash.box";
const char kWork[] = "Main\\User001.box";
const char kLists[] = "Main\\User002.box";
const char kFamily[] = "Main\\User003.box";
const char kArchive[] = "Main\\User004.box";

inline const std::vector<std::string>& allFolders() {
    static const std::vector<std::string> folders = {kInbox, kOutbox, kTrash, kWork, kLists, kFamily, kArchive};
    return folders;
}

inline corvane::DistributeRule rule(int target, const char* searchText, const char* dest, bool matchCase = false,
                                    bool useRegex = false, const char* headerName = "") {
    corvane::DistributeRule r;
    r.searchTarget = target;
    corvane::copyString(r.searchText, searchText);
    corvane::copyString(r.headerName, headerName);
    r.matchCase = matchCase;
    r.useRegex = useRegex;
    corvane::copyString(r.destFolder, dest);
    corvane::finishLoadedRule(r);
    return r;
}

inline corvane::DistributeRule header(const char* name, const char* text, const char* dest, bool matchCase = false,
                                      bool useRegex = false) {
    return rule(corvane::NamedHeader, text, dest, matchCase, useRegex, name);
}

// Rules of every target, with anchors, both case modes and regular expressions. The first
// sends replies to the folder they are in, spelt in another case.
inline corvane::RuleList fullRules() {
    using namespace corvane;
    return {
        header("Subject:", "^Re:", "main\\inbox.box", true),
        header("From:", "example.co.jp>$", kWork),
        header("X-ML-Name:", "^corvane-dev$", kLists, true),
        rule(HeaderBlock, "^Subject: \\[spam\\]", kTrash, false, true),
        rule(WholeMessage, "家族", kFamily),
        rule(WholeMessage, "(?i)invoice\\s+#\\d+", kWork, false, true),
        rule(HeaderBlock, "x-priority: 1", kWork),
        header("Subject:", "お知らせ$", kLists, true),
        rule(HeaderBlock, "^Return-Path: <bounce", kLists, true),
        header("Subject:", "週報.*", kFamily, true, true),
        rule(WholeMessage, "URGENT:", kWork, true),
    };
}

// One generated message: realistic headers in Shift-JIS and ISO-2022-JP, some folded, with
// bodies that rules may or may not find.
inline std::string composeMessage(std::mt19937& random, int serial) {
    static const char* const senders[] = {
        "Boss <boss@example.co.jp>", "\"山田 太郎\" <yamada@example.jp>", "noreply@shop.example.com",
        "dev-ml@lists.example.org", "母 <mother@family.example.ne.jp>", "ALERTS@Monitor.Example.COM",
        "Sato <sato@EXAMPLE.CO.JP>", "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <tanaka@example.net>"};
    static const char* const subjects[] = {
        "会議のお知らせ", "Re: 見積書の件", "[spam] You won!!!", "Invoice #12345", "週報", "RE: lunch",
        "=?ISO-2022-JP?B?GyRCMnFEOSROJCpDTiRpJDsbKEI=?=", "お知らせ", "週報.*", "[SPAM] cheap", "re: 打ち合わせ",
        "ｶﾀｶﾅの件名", "ご案内"};
    static const char* const bodies[] = {
        "いつもお世話になっております。\r\n資料を添付します。\r\n", "家族で旅行に行きました。\r\n",
        "Please find the INVOICE   #998 attached.\r\n", "URGENT: please reply\r\n", "カゾクの写真です\r\n",
        "invoice#12 is not a match\r\n", "本文なし\r\n", "GyRCJDMkcyRLJEEkTxsoQg==\r\n"};
    auto pick = [&](const auto& list) { return list[random() % (sizeof list / sizeof list[0])]; };
    std::string text;
    if (random() % 9 == 0)
        text += "Return-Path: <bounce-" + std::to_string(serial) + "@lists.example.org>\r\n";
    text += std::string("From: ") + pick(senders) + "\r\n";
    text += "To: me@example.jp\r\n";
    text += std::string(random() % 3 == 0 ? "subject: " : "Subject: ") + pick(subjects) + "\r\n";
    if (random() % 6 == 0)
        text += "\tの続き\r\n continued\r\n";
    text += "Date: Mon, 7 Dec 2026 10:" + std::to_string(10 + serial % 50) + ":00 +0900\r\n";
    text += "Message-ID: <" + std::to_string(serial) + ".gen@example.jp>\r\n";
    switch (random() % 8) {
    case 0: text += "X-ML-Name: corvane-dev\r\n"; break;
    case 1: text += "X-ML-Name: Corvane-Dev\r\n"; break;
    case 2: text += "X-Priority: 1 (Highest)\r\n"; break;
    case 3: text += "X-ML-Name: corvane-dev-jp\r\n"; break;
    default: break;
    }
    text += "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n";
    text += pick(bodies);
    return text;
}

inline uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// Every message of the mailbox: key -> (folder, content hash).
struct Location {
    std::string folder;
    uint64_t hash = 0;
    bool operator==(const Location& other) const { return folder == other.folder && hash == other.hash; }
};
typedef std::map<std::string, Location> MailboxState;

// Each folder's messages as the sorted hashes of their contents: what a run and its undo leave
// as they found it, whatever keys the host gave on the way.
typedef std::map<std::string, std::vector<uint64_t>> FolderContents;

inline std::string keyOf(const std::string& entry) {
    return entry.substr(entry.rfind('\\') + 1);
}

class SortingTest : public testing_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        startPlugin();
        for (const auto& folder : {std::make_pair("001", "Work"), std::make_pair("002", "Lists"),
                                   std::make_pair("003", "Family"), std::make_pair("004", "Archive")})
            host.mailbox().createUserFolder("Main", folder.first, folder.second);
        resetRun();
    }

    // An undo with the question, if it comes, answered Yes and its result box OK, from a fresh
    // robot and no recorded moves; returns the texts of the boxes it showed.
    std::vector<std::string> undoAnsweringYes(bool asks = true) {
        resetRun();
        if (asks)
            answerBox(IDYES);
        answerBox(IDOK);
        undo();
        std::vector<std::string> texts;
        for (const SeenDialog& box : boxes())
            texts.push_back(box.text);
        return texts;
    }

    // The state each run of a command starts from: no moves recorded, and a robot with nothing
    // recorded or queued that leaves the progress dialog to run and end by itself.
    void resetRun() {
        host.moves.clear();
        robot.clear();
        robot.always([](const SeenDialog& seen) { return !seen.messageBox && seen.caption == "Corvane"; },
                     DialogRobot::leave());
    }

    standin::Mailbox& mailbox() { return host.mailbox(); }

    // count invoice messages in the inbox, the kind an invoice rule sends to Work.
    std::vector<std::string> addInvoices(int count, bool everySecondUnread = false) {
        std::vector<std::string> entries;
        for (int i = 0; i < count; ++i)
            entries.push_back(mailbox().addMessage(
                kInbox, "From: shop@example.com\r\nSubject: Invoice #" + std::to_string(i) + "\r\n\r\nbody\r\n",
                everySecondUnread && i % 2 == 1));
        return entries;
    }


    // Rules and options into the account's "corvane.ini", as the settings sheet leaves them.
    void writeRules(const corvane::RuleList& rules, bool unreadMail, bool reportResult) {
        corvane::FolderContext context;
        corvane::copyString(context.accountDir, (mailbox().root() + "Main\\").c_str());
        context.setRules(rules);
        context.unreadMail = unreadMail;
        context.reportResult = reportResult;
        corvane::saveRules(context);
        rules_ = rules;
        unreadMail_ = unreadMail;
    }

    // A folder window over folder, announced to the plug-in.
    HWND openFolder(const std::string& folder) {
        HWND window = host.createFolderWindow("Main", folder);
        plugin.APCFolderCreate(window);
        window_ = window;
        folder_ = folder;
        return window;
    }

    void select(const std::vector<std::string>& entries) {
        host.setSelection(window_, entries);
        selection_ = entries;
    }

    void distribute() { host.sendCommand(window_, host.commands[0].id); }
    void undo() { host.sendCommand(window_, host.commands[1].id); }

    MailboxState snapshot() {
        MailboxState state;
        for (const std::string& folder : allFolders())
            for (const std::string& key : mailbox().messageKeys(folder))
                state[key] = {folder, fnv1a(standin::Mailbox::readFile(mailbox().messageFile(folder + "\\" + key)))};
        return state;
    }

    FolderContents folderContents() {
        FolderContents all;
        for (const std::string& folder : allFolders()) {
            std::vector<uint64_t>& hashes = all[folder];
            for (const std::string& key : mailbox().messageKeys(folder))
                hashes.push_back(fnv1a(standin::Mailbox::readFile(mailbox().messageFile(folder + "\\" + key))));
            std::sort(hashes.begin(), hashes.end());
        }
        return all;
    }

    // Where each selected message must be after a run, computed from the files with the literal
    // reference matcher; the moves the plug-in must hand to the host, in order.
    struct Expectation {
        MailboxState after;
        std::vector<std::pair<std::string, std::string>> moves;  // entry, destination as the rule holds it
    };
    Expectation expectRun(const MailboxState& before, bool listReadable = true) {
        corvane::RuleList compiled = rules_;
        for (corvane::DistributeRule& r : compiled)
            if (corvane::searchesByRegex(r))
                r.regex = corvane::compileRuleRegex(r.searchText);
        std::map<std::string, bool> unread;
        if (listReadable)
            for (const standin::MessageRecord& record : mailbox().readMessageList(folder_))
                unread.emplace(record.key, record.unread);
        Expectation expected;
        expected.after = before;
        for (const std::string& entry : selection_) {
            if (entry.size() > 259)
                continue;
            if (!unreadMail_ && unread[keyOf(entry)])
                continue;
            std::string bytes = standin::Mailbox::readFile(mailbox().messageFile(entry));
            bytes.resize(std::min<size_t>(bytes.size(), 0x10000));
            std::vector<char> text(bytes.begin(), bytes.end());
            text.push_back('\0');
            int match = corvane::reference::findMatchingRuleLiteral(compiled, text.data());
            if (match < 0 || _stricmp(compiled[match].destFolder, folder_.c_str()) == 0)
                continue;
            expected.moves.emplace_back(entry, compiled[match].destFolder);
            expected.after[keyOf(entry)].folder = compiled[match].destFolder;
        }
        corvane::releaseRules(compiled);
        return expected;
    }

    static std::string historyBytes(const std::string& firstLine,
                                    const std::vector<std::pair<std::string, std::string>>& moves) {
        std::string text = firstLine + "\r\n";
        for (const auto& move : moves)
            text += move.first + " " + move.second + "\r\n";
        return text;
    }

    std::string historyPath() { return mailbox().root() + "Main\\corvane.his"; }
    std::string readHistory(bool* exists = nullptr) { return standin::Mailbox::readFile(historyPath(), exists); }

    std::vector<SeenDialog> boxes() const {
        std::vector<SeenDialog> list;
        for (const SeenDialog& seen : robot.seen())
            if (seen.messageBox)
                list.push_back(seen);
        return list;
    }

    // Answers the next box with button, first noting the owner's progress bar position.
    void answerBox(int button, int* barPosition = nullptr) {
        robot.push([button, barPosition](HWND box, SeenDialog& seen) {
            if (barPosition)
                *barPosition = static_cast<int>(SendDlgItemMessageA(GetWindow(box, GW_OWNER), IDC_PROGRESS_BAR,
                                                                    PBM_GETPOS, 0, 0));
            DialogRobot::press(button)(box, seen);
        });
    }

    static HWND progressDialog() { return FindWindowA("#32770", "Corvane"); }

    // Another host process distributes the inbox, all of it selected, and is killed without
    // clean-up at its move number `move` (from 1): before the file moves, or after it. Then this
    // host reads the mailbox again, as a new host process would.
    void distributeInChildKilled(int move, bool afterTheMove) {
        std::string event = "corvane-test-stop-" + std::to_string(GetCurrentProcessId());
        HANDLE stopped = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        ASSERT_TRUE(stopped);
        std::string script = tempDir + "kill.txt";
        ASSERT_TRUE(standin::Mailbox::writeFile(script, "mailbox " + mailbox().root() + "\nload\nstartup\nstop-at-move " +
                                                            std::to_string(move) + (afterTheMove ? " after " : " before ") +
                                                            event + "\nopen-folder Main " + kInbox +
                                                            "\nselect-all\ncommand distribute\n"));
        std::string line = "\"" + testing_support::builtModule("standhost.exe") + "\" --script \"" + script + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        BOOL launched = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        DWORD woke = WAIT_FAILED;
        if (launched) {
            HANDLE waits[] = {stopped, process.hProcess};
            woke = WaitForMultipleObjects(2, waits, FALSE, 180000);
            TerminateProcess(process.hProcess, 9);
            WaitForSingleObject(process.hProcess, 30000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(stopped);
        ASSERT_TRUE(launched);
        ASSERT_EQ(WAIT_OBJECT_0, woke) << "the host did not reach its stop";
        // This host plays the one started again on the mailbox.
        host.reopenMailbox();
    }

    corvane::RuleList rules_;
    bool unreadMail_ = false;
    HWND window_ = nullptr;
    std::string folder_;
    std::vector<std::string> selection_;
};

inline void expectBox(const SeenDialog& box, const std::string& text, standin::BoxIcon icon,
                      const std::string& caption = "Corvane") {
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(static_cast<int>(icon), static_cast<int>(box.icon)) << box.text;
}

inline std::string countText(const char* format, int count) {
    char text[256];
    snprintf(text, sizeof text, format, count);
    return text;
}

}  // namespace sorting
