#include "SortingFixture.h"

#include <functional>

using namespace sorting;
using standin::BoxIcon;

namespace {

const char kMovedFormat[] = "%d件振り分けました";

class Distribute : public SortingTest {
protected:

    // Closes the record (which saves its rules), writes new rules and opens it again.
    void reopen(const corvane::RuleList& rules, bool unreadMail = false, bool reportResult = true) {
        plugin.APCFolderClose(window_);
        writeRules(rules, unreadMail, reportResult);
        plugin.APCFolderCreate(window_);
    }

    int movesDone() const {
        return static_cast<int>(std::count_if(host.moves.begin(), host.moves.end(),
                                              [](const standin::MoveRequest& m) { return m.done; }));
    }

    void expectHostMoves(const Expectation& expected) {
        ASSERT_EQ(expected.moves.size(), host.moves.size());
        for (size_t i = 0; i < host.moves.size(); ++i) {
            EXPECT_EQ(expected.moves[i].first, host.moves[i].entry) << i;
            bool trash = corvane::classifyFolderPath(expected.moves[i].second.c_str()) == corvane::Trash;
            EXPECT_EQ(!trash, host.moves[i].folderGiven) << i;
            if (!trash) {
                EXPECT_EQ(expected.moves[i].second, host.moves[i].folder) << i;
            }
        }
    }
};

void expectSameMailbox(const MailboxState& expected, const MailboxState& actual) {
    EXPECT_EQ(expected.size(), actual.size());
    for (const auto& message : expected) {
        auto found = actual.find(message.first);
        ASSERT_NE(actual.end(), found) << "lost: " << message.first;
        EXPECT_EQ(message.second.folder, found->second.folder) << message.first;
        EXPECT_EQ(message.second.hash, found->second.hash) << "changed: " << message.first;
    }
}

TEST_F(Distribute, SortsAGeneratedMailboxAndUndoBringsItBack) {
    std::mt19937 random(20261207);
    std::vector<std::string> selection;
    for (int i = 0; i < 210; ++i)
        selection.push_back(mailbox().addMessage(kInbox, composeMessage(random, i), i % 7 == 3));
    for (int i = 0; i < 20; ++i)
        mailbox().addMessage(kArchive, composeMessage(random, 500 + i));
    for (int i = 0; i < 5; ++i)
        mailbox().addMessage(kWork, composeMessage(random, 600 + i));
    // Only the first 65536 bytes are compared, and a NUL ends the text.
    selection.push_back(mailbox().addMessage(kInbox, "Subject: big\r\n\r\n" + std::string(0x10000, 'a') + "家族\r\n"));
    selection.push_back(mailbox().addMessage(kInbox, std::string("Subject: nul\r\n\r\n\0家族\r\n", 22)));
    // A name longer than any path is left out of the run.
    selection.insert(selection.begin() + 5, std::string(kInbox) + "\\" + std::string(300, 'k'));
    writeRules(fullRules(), false, true);
    openFolder(kInbox);
    select(selection);

    MailboxState before = snapshot();
    ASSERT_GE(before.size(), 230u);
    Expectation expected = expectRun(before);
    std::map<std::string, int> byDestination;
    for (const auto& move : expected.moves)
        ++byDestination[move.second];
    ASSERT_GE(byDestination.size(), 4u) << "the mail exercises most rules";
    ASSERT_LT(expected.moves.size(), 200u) << "some messages stay";

    answerBox(IDOK);
    distribute();
    expectSameMailbox(expected.after, snapshot());
    expectHostMoves(expected);
    EXPECT_EQ(static_cast<int>(expected.moves.size()), movesDone());
    ASSERT_EQ(1u, boxes().size());
    expectBox(boxes()[0], countText(kMovedFormat, movesDone()), BoxIcon::Information);
    EXPECT_EQ(historyBytes(kInbox, expected.moves), readHistory());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((mailbox().root() + "Main\\corvane.tmp").c_str()));

    // Undo: everything comes back, what went to the trash too: the host finds a message it put
    // in the trash by the name it had before.
    ASSERT_GT(byDestination[kTrash], 0);
    MailboxState afterUndo = before;
    undoAnsweringYes();
    expectSameMailbox(afterUndo, snapshot());
    ASSERT_EQ(2u, boxes().size());
    expectBox(boxes()[1], countText("%d通を元に戻しました", static_cast<int>(expected.moves.size())),
              BoxIcon::Information);
    bool exists = true;
    readHistory(&exists);
    EXPECT_FALSE(exists);
}

struct RefusalCase {
    int missingAt;  // 0: no rules at all
    const char* text;
};

TEST_F(Distribute, RefusesToStartWithoutRulesOrWithAMissingDestination) {
    const RefusalCase cases[] = {
        {0, "振り分け条件がありません"},
        {1, "条件1番目の振り分け先フォルダが存在しません.\n別のグループフォルダに移動されたか削除された可能性があります. "
            "条件を見直してください."},
        {2, "条件2番目の振り分け先フォルダが存在しません.\n別のグループフォルダに移動されたか削除された可能性があります. "
            "条件を見直してください."},
    };
    addInvoices(3);
    writeRules({}, false, true);
    openFolder(kInbox);
    select(addInvoices(2));
    for (const RefusalCase& c : cases) {
        corvane::RuleList rules;
        if (c.missingAt > 0) {
            for (int position = 1; position <= 3; ++position)
                rules.push_back(rule(corvane::WholeMessage, "Invoice", position == c.missingAt ? "Main\\User009.box" : kWork));
        }
        reopen(rules);
        robot.clear();
        host.calls.clear();
        answerBox(IDOK);
        distribute();
        ASSERT_EQ(1u, boxes().size()) << c.missingAt;
        expectBox(boxes()[0], c.text, BoxIcon::Error, "エラー - Corvane");
        EXPECT_TRUE(robot.created().size() == 2u) << "only the progress dialog and the box";
        EXPECT_EQ(0, host.calls["APAFolderGetSelectEntry"]) << c.missingAt;
        EXPECT_TRUE(host.moves.empty());
        EXPECT_EQ(std::string(), readHistory());
    }
}

TEST_F(Distribute, CancelLetsTheCurrentMessageFinishAndRecordsTheMovesSoFar) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(8);
    select(entries);
    for (size_t k : {1u, 4u}) {
        resetRun();
        host.onMove = [k](const standin::MoveRequest&) {
            standin::StandInHost& h = standin::StandInHost::get();
            if (h.moves.size() == k)
                SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED), 0);
        };
        answerBox(IDOK);
        distribute();
        ASSERT_EQ(k, host.moves.size());
        std::vector<std::pair<std::string, std::string>> moved;
        for (size_t i = 0; i < k; ++i)
            moved.emplace_back(entries[i], kWork);
        EXPECT_EQ(historyBytes(kInbox, moved), readHistory());
        ASSERT_EQ(1u, boxes().size());
        expectBox(boxes()[0], countText(kMovedFormat, static_cast<int>(k)), BoxIcon::Information);
        EXPECT_EQ(8 - k, mailbox().messageKeys(kInbox).size());
        // Put them back for the next case.
        for (size_t i = 0; i < k; ++i)
            mailbox().moveMessage(std::string(kWork) + "\\" + keyOf(entries[i]), kInbox);
    }
}

TEST_F(Distribute, EnterAndEscapeDoNothingWhileTheRunGoesOn) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    openFolder(kInbox);
    select(addInvoices(5));
    host.onMove = [](const standin::MoveRequest&) {
        if (standin::StandInHost::get().moves.size() == 1) {
            SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    };
    distribute();
    EXPECT_EQ(5u, host.moves.size());
    EXPECT_EQ(5u, mailbox().messageKeys(kWork).size());
}

struct UnreadCase {
    bool unreadMail;
    bool removeList;
    size_t moved;
};

TEST_F(Distribute, UnreadMessagesAreSkippedUnlessTheOptionSaysSoButStillStepTheBar) {
    const UnreadCase cases[] = {{false, false, 3}, {true, false, 6}, {false, true, 6}};
    writeRules({}, false, true);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(6, true);
    select(entries);
    for (const UnreadCase& c : cases) {
        reopen({rule(corvane::WholeMessage, "Invoice", kWork)}, c.unreadMail);
        std::string listFile = mailbox().messageListFile(kInbox);
        std::string list = standin::Mailbox::readFile(listFile);
        if (c.removeList)
            DeleteFileA(listFile.c_str());
        resetRun();
        int bar = -1;
        answerBox(IDOK, &bar);
        distribute();
        EXPECT_EQ(c.moved, host.moves.size()) << c.unreadMail << c.removeList;
        EXPECT_EQ(6, bar) << "every selected message steps the bar";
        for (const standin::MoveRequest& move : host.moves) {
            size_t index = std::find(entries.begin(), entries.end(), move.entry) - entries.begin();
            EXPECT_TRUE(c.unreadMail || c.removeList || index % 2 == 0) << move.entry;
        }
        if (c.removeList)
            standin::Mailbox::writeFile(listFile, list);
        for (const standin::MoveRequest& move : host.moves)
            mailbox().moveMessage(std::string(kWork) + "\\" + keyOf(move.entry), kInbox);
    }
}

TEST_F(Distribute, FirstMatchingRuleDecidesEvenWhenItNamesTheCurrentFolder) {
    writeRules({header("Subject:", "^re:", "MAIN\\INBOX.BOX"), rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    std::string reply = mailbox().addMessage(kInbox, "Subject: RE: Invoice #3\r\n\r\nthanks\r\n");
    std::string invoice = mailbox().addMessage(kInbox, "Subject: Invoice #4\r\n\r\nplease pay\r\n");
    select({reply, invoice});
    answerBox(IDOK);
    distribute();
    ASSERT_EQ(1u, host.moves.size());
    EXPECT_EQ(invoice, host.moves[0].entry);
    EXPECT_EQ(historyBytes(kInbox, {{invoice, kWork}}), readHistory());
    EXPECT_EQ(std::vector<std::string>{keyOf(reply)}, mailbox().messageKeys(kInbox));
}

TEST_F(Distribute, RefusedMovesAreRecordedButNotCounted) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork), rule(corvane::WholeMessage, "body", kTrash)}, false, true);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(6);
    select(entries);
    int asked = 0;
    host.refuseMove = [&asked](const std::string&, const std::string&) { return ++asked % 2 == 0; };
    answerBox(IDOK);
    distribute();
    ASSERT_EQ(6u, host.moves.size());
    std::vector<std::pair<std::string, std::string>> recorded;
    for (const std::string& entry : entries)
        recorded.emplace_back(entry, kWork);
    EXPECT_EQ(historyBytes(kInbox, recorded), readHistory());
    ASSERT_EQ(1u, boxes().size());
    expectBox(boxes()[0], countText(kMovedFormat, 3), BoxIcon::Information);
    EXPECT_EQ(3u, mailbox().messageKeys(kInbox).size());
}

TEST_F(Distribute, EveryMoveRefusedStillShowsZeroAndNothingSelectedWritesNoHistory) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    standin::Mailbox::writeFile(historyPath(), "Main\\Inbox.box\r\nMain\\Inbox.box\\x Main\\User001.box\r\n");
    host.refuseMove = [](const std::string&, const std::string&) { return true; };
    std::vector<std::string> entries = addInvoices(2);
    select(entries);
    answerBox(IDOK);
    distribute();
    std::string written = historyBytes(kInbox, {{entries[0], kWork}, {entries[1], kWork}});
    EXPECT_EQ(written, readHistory());
    select({});
    answerBox(IDOK);
    distribute();
    EXPECT_EQ(written, readHistory()) << "a run that hands nothing over keeps the last record";
    ASSERT_EQ(2u, boxes().size());
    expectBox(boxes()[0], countText(kMovedFormat, 0), BoxIcon::Information);
    expectBox(boxes()[1], countText(kMovedFormat, 0), BoxIcon::Information);
    EXPECT_EQ(2u, host.moves.size());
}

TEST_F(Distribute, AHistoryThatCannotBeWrittenLeavesTheLastRecordWhole) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    openFolder(kInbox);
    std::string old = "Main\\Inbox.box\r\nMain\\Inbox.box\\x Main\\User001.box\r\n";
    standin::Mailbox::writeFile(historyPath(), old);
    // The new record is written beside the old one first; here that place is taken.
    ASSERT_TRUE(CreateDirectoryA((mailbox().root() + "Main\\corvane.tmp").c_str(), nullptr));
    select(addInvoices(2));
    distribute();
    EXPECT_EQ(2u, mailbox().messageKeys(kWork).size());
    EXPECT_EQ(old, readHistory());
}

TEST_F(Distribute, WithoutReportResultNoBoxFollowsTheRun) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    openFolder(kInbox);
    select(addInvoices(3));
    distribute();
    EXPECT_EQ(3u, host.moves.size());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Distribute, RunFromTheTrashIsRecordedAsTheTrashAndUndoneIntoIt) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kTrash);
    std::vector<std::string> entries;
    for (int i = 0; i < 3; ++i)
        entries.push_back(mailbox().addMessage(kTrash, "Subject: Invoice #" + std::to_string(i) + "\r\n\r\nx\r\n"));
    select(entries);
    answerBox(IDOK);
    distribute();
    std::vector<std::pair<std::string, std::string>> moved;
    for (const std::string& entry : entries)
        moved.emplace_back(entry, kWork);
    EXPECT_EQ(historyBytes("Main\\Trash.box\\Trash.box", moved), readHistory());
    EXPECT_EQ(3u, mailbox().messageKeys(kWork).size());

    host.moves.clear();
    answerBox(IDYES);
    answerBox(IDOK);
    undo();
    ASSERT_EQ(3u, host.moves.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(kWork) + "\\" + keyOf(entries[i]), host.moves[i].entry);
        EXPECT_FALSE(host.moves[i].folderGiven) << "back to the trash";
    }
    EXPECT_EQ(3u, mailbox().messageKeys(kTrash).size());
    ASSERT_EQ(3u, boxes().size());
    expectBox(boxes()[2], "3通を元に戻しました", BoxIcon::Information);
}

// The 1 ms timer resolution of the workers' pauses, seen through the plug-in's imports of
// winmm: raised once before a run's loop, held through every move, restored however the run
// ends; a run that stops before its loop never raises it.
struct TimerCase {
    const char* name;
    std::function<void()> run;
    size_t moves;
    const char* log;
};

TEST_F(Distribute, TimerResolutionIsRaisedForEachRunAndRestoredOnEveryWayOut) {
    ASSERT_TRUE(host.watchTimerPeriods(plugin));
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(4);
    bool cancelAtFirstMove = false;
    size_t logStart = 0;
    std::vector<std::string> logsAtMoves;
    host.onMove = [&](const standin::MoveRequest&) {
        logsAtMoves.push_back(host.timerPeriodLog().substr(logStart));
        if (cancelAtFirstMove)
            SendMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED), 0);
    };
    const TimerCase cases[] = {
        {"run to the end", [&] { select(entries); distribute(); }, 4, "+1-1"},
        {"undo to the end", [&] { undoAnsweringYes(); }, 4, "+1-1"},
        {"run cancelled", [&] { cancelAtFirstMove = true; distribute(); cancelAtFirstMove = false; }, 1, "+1-1"},
        {"undo declined", [&] { answerBox(IDNO); undo(); }, 0, ""},
        {"undo of the cancelled run", [&] { undoAnsweringYes(); }, 1, "+1-1"},
        {"undo of a broken history",
         [&] { standin::Mailbox::writeFile(historyPath(), ""); answerBox(IDOK); undo(); }, 0, ""},
        {"run refused for a missing destination",
         [&] { reopen({rule(corvane::WholeMessage, "Invoice", "Main\\User009.box")}); answerBox(IDOK); distribute(); },
         0, ""},
    };
    for (const TimerCase& c : cases) {
        SCOPED_TRACE(c.name);
        resetRun();
        logsAtMoves.clear();
        logStart = host.timerPeriodLog().size();
        c.run();
        EXPECT_EQ(c.moves, host.moves.size());
        EXPECT_EQ(std::vector<std::string>(c.moves, "+1"), logsAtMoves);
        EXPECT_EQ(c.log, host.timerPeriodLog().substr(logStart));
    }
}

}  // namespace
