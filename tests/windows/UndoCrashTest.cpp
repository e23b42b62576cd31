// The undo after what can go wrong between a run and its undo, with real file moves: a file step
// of the run's record that fails, the host process killed part way through a run, a free key that
// the host gave to another message, and an undo started in a second window of the account while
// a run is under way. After each, Alt+P moves back messages of the run and no other, and every
// message is where it was before the run or where the run put it.
#include "SortingFixture.h"

using namespace sorting;

namespace {

constexpr int kMessages = 12;
constexpr int kDestinationCount = 4;
const char* const kDestinations[kDestinationCount] = {kWork, kLists, kFamily, kTrash};
const char* const kSubjects[kDestinationCount] = {"to work", "to lists", "to family", "to trash"};

std::string messageText(int n) {
    return std::string("Subject: ") + kSubjects[n % kDestinationCount] + " number " + std::to_string(n) + "\r\n\r\nbody " +
           std::string(static_cast<size_t>(n % 4), '.') + "\r\n";
}

// content hash -> folder; every message of the fixture has its own content.
typedef std::map<uint64_t, std::string> Places;

class UndoCrash : public SortingTest {
protected:
    void SetUp() override {
        SortingTest::SetUp();
        writeRules({header("Subject:", "to work", kWork), header("Subject:", "to lists", kLists),
                    header("Subject:", "to family", kFamily), header("Subject:", "to trash", kTrash)},
                   true, false);
        for (int n = 0; n < kMessages; ++n) {
            char key[16];
            snprintf(key, sizeof key, "%08d", n + 1);
            inbox_.push_back(mailbox().addMessage(kInbox, messageText(n), false, key));
            // Every third key is taken in the destination by a message of its own.
            if (n % 3 == 0)
                mailbox().addMessage(kDestinations[n % kDestinationCount],
                                     "Subject: own " + std::to_string(n) + "\r\n\r\nkept\r\n", false, key);
        }
        before_ = places();
    }

    Places places() {
        Places all;
        for (const std::string& folder : allFolders())
            for (const std::string& key : mailbox().messageKeys(folder))
                all[fnv1a(standin::Mailbox::readFile(mailbox().messageFile(folder + "\\" + key)))] = folder;
        return all;
    }

    // Messages whose folder differs between two states.
    static int differing(const Places& a, const Places& b) {
        int count = 0;
        for (const auto& place : a)
            count += b.count(place.first) == 0 || b.at(place.first) != place.second;
        return count;
    }

    // After the undo: every message where it was before the run or where the run left it, and
    // exactly `back` of the run's messages back where they were.
    void expectUndone(const Places& afterRun, int back) {
        Places now = places();
        ASSERT_EQ(before_.size(), now.size());
        int cameBack = 0;
        for (const auto& place : now) {
            const std::string& was = before_.at(place.first);
            EXPECT_TRUE(place.second == was || place.second == afterRun.at(place.first))
                << "a message the run did not move went to " << place.second;
            cameBack += place.second == was && afterRun.at(place.first) != was;
        }
        EXPECT_EQ(back, cameBack);
    }

    std::string restoredText(int restored, int failed) {
        char text[256];
        if (restored == 0)
            return "予期せぬエラーが発生しています.\n元に戻せません.";
        snprintf(text, sizeof text, failed ? "%d通を元に戻しました.\n%d通は戻せませんでした." : "%d通を元に戻しました",
                 restored, failed);
        return text;
    }

    bool hasRecord() {
        bool history = false, journal = false;
        standin::Mailbox::readFile(historyPath(), &history);
        standin::Mailbox::readFile(mailbox().root() + "Main\\corvane.jnl", &journal);
        return history || journal;
    }

    std::vector<std::string> inbox_;
    Places before_;
};

// ---- A file step of the run's record that fails ----

// The plug-in's own calls to the file functions, the one numbered failAt failing.
int fileSteps = 0;
int failAt = 0;
bool failing() { return ++fileSteps == failAt; }

BOOL WINAPI failingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD wrote, LPOVERLAPPED overlapped) {
    if (failing()) {
        if (wrote)
            *wrote = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return WriteFile(file, data, size, wrote, overlapped);
}
BOOL WINAPI failingFlush(HANDLE file) { return failing() ? FALSE : FlushFileBuffers(file); }
BOOL WINAPI failingMoveFileEx(LPCSTR from, LPCSTR to, DWORD flags) {
    return failing() ? SetLastError(ERROR_SHARING_VIOLATION), FALSE : MoveFileExA(from, to, flags);
}
BOOL WINAPI failingDeleteFile(LPCSTR name) {
    return failing() ? SetLastError(ERROR_SHARING_VIOLATION), FALSE : DeleteFileA(name);
}

class UndoAfterFailedStep : public UndoCrash, public testing::WithParamInterface<int> {};

TEST_P(UndoAfterFailedStep, MovesBackOnlyWhatTheRunMoved) {
    // A record of an earlier run, that a failed step must not bring back in place of this one.
    standin::Mailbox::writeFile(historyPath(), std::string(kInbox) + "\r\n" + kWork + "\\00000099 " + kLists + "\r\n");
    const std::pair<const char*, void*> seams[] = {{"WriteFile", reinterpret_cast<void*>(&failingWriteFile)},
                                                  {"FlushFileBuffers", reinterpret_cast<void*>(&failingFlush)},
                                                  {"MoveFileExA", reinterpret_cast<void*>(&failingMoveFileEx)},
                                                  {"DeleteFileA", reinterpret_cast<void*>(&failingDeleteFile)}};
    for (const auto& seam : seams)
        ASSERT_NE(nullptr, plugin.redirectImport("kernel32.dll", seam.first, seam.second)) << seam.first;
    openFolder(kInbox);
    select(inbox_);
    fileSteps = 0;
    failAt = GetParam();
    distribute();
    const int stepsMade = fileSteps;
    failAt = 0;
    // 20 steps: the journal's start and 12 appends, 3 for each file of the pair, the journal's removal.
    EXPECT_GE(stepsMade, std::min(GetParam(), 20)) << "a file step the seam did not see";
    const Places afterRun = places();
    int moved = static_cast<int>(host.moves.size());
    ASSERT_EQ(moved, differing(before_, afterRun));
    std::vector<std::string> texts = undoAnsweringYes(hasRecord());
    ASSERT_EQ(2u, texts.size()) << (texts.empty() ? "" : texts[0]);
    if (moved == 0) {
        // Nothing moved: the earlier run's record is offered, and finds nothing of its own.
        EXPECT_EQ(countText("%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？", 1), texts[0]);
        EXPECT_EQ(restoredText(0, 1), texts[1]);
    } else {
        EXPECT_EQ(countText("%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？", moved), texts[0]);
        EXPECT_EQ(restoredText(moved, 0), texts[1]);
    }
    expectUndone(afterRun, moved);
}

// The steps of a run of 12 moves: the journal's start and 12 appends, the companion's and the
// history's write, flush and rename, the journal's removal; and some past the last.
INSTANTIATE_TEST_SUITE_P(EachStep, UndoAfterFailedStep, testing::Range(1, 24));

// ---- The host process killed part way through a run ----

class UndoAfterKill : public UndoCrash, public testing::WithParamInterface<int> {};

TEST_P(UndoAfterKill, MovesBackExactlyTheMovesMade) {
    const int k = GetParam();
    // Killed before move k + 1 (journalled, not made) or, for all, after the last.
    ASSERT_NO_FATAL_FAILURE(k < kMessages ? distributeInChildKilled(k + 1, false) : distributeInChildKilled(k, true));
    const Places afterRun = places();
    ASSERT_EQ(k, differing(before_, afterRun));
    // A journalled move that the host never made is offered, and not found.
    int recorded = k < kMessages ? k + 1 : k;
    openFolder(kInbox);
    std::vector<std::string> texts = undoAnsweringYes();
    ASSERT_EQ(2u, texts.size()) << (texts.empty() ? "" : texts[0]);
    EXPECT_EQ(countText("%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？", recorded), texts[0]);
    EXPECT_EQ(restoredText(k, recorded - k), texts[1]);
    expectUndone(afterRun, k);
    EXPECT_EQ(before_, places());
}

INSTANTIATE_TEST_SUITE_P(K, UndoAfterKill, testing::Values(0, 1, 7, kMessages - 1, kMessages));

// ---- A free key that the host gave to another message ----

TEST_F(UndoCrash, AFreeKeyNowHoldingAnotherMessageLeavesThatMessageAlone) {
    openFolder(kInbox);
    select(inbox_);
    distribute();
    ASSERT_EQ(static_cast<size_t>(kMessages), host.moves.size());
    // Message 2 went to Family under its free key; the user moves it on, and the host files
    // another message under the freed key.
    std::string moved = std::string(kFamily) + "\\00000003";
    ASSERT_FALSE(mailbox().moveMessage(moved, kArchive).empty());
    std::string other = "Subject: someone else's\r\n\r\nnot sorted\r\n";
    mailbox().addMessage(kFamily, other, false, "00000003");
    before_[fnv1a(other)] = kFamily;
    const Places afterTamper = places();
    std::vector<std::string> texts = undoAnsweringYes();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(restoredText(kMessages - 1, 1), texts[1]);
    EXPECT_EQ(kFamily, places().at(fnv1a(other)));
    EXPECT_EQ(kArchive, places().at(fnv1a(messageText(2))));
    expectUndone(afterTamper, kMessages - 1);
}

// ---- Two windows of one account ----

TEST_F(UndoCrash, AnUndoFromAnotherWindowDuringARunIsRefusedAndTheRecordStaysWhole) {
    HWND work = host.createFolderWindow("Main", kWork);
    plugin.APCFolderCreate(work);
    openFolder(kInbox);
    select(inbox_);
    bool tried = false;
    host.onMove = [&](const standin::MoveRequest&) {
        if (tried)
            return;
        tried = true;
        host.sendCommand(work, host.commands[1].id);
    };
    answerBox(IDOK);
    distribute();
    host.onMove = nullptr;
    ASSERT_TRUE(tried);
    ASSERT_EQ(1u, boxes().size());
    expectBox(boxes()[0], "この口座の振り分けか元に戻す処理が別のウィンドウで実行中です.\nそれが終わってからもう一度実行してください.",
              standin::BoxIcon::Error, "エラー - Corvane");
    ASSERT_EQ(static_cast<size_t>(kMessages), host.moves.size());
    std::vector<std::pair<std::string, std::string>> recorded;
    for (int n = 0; n < kMessages; ++n)
        recorded.emplace_back(inbox_[n], kDestinations[n % kDestinationCount]);
    EXPECT_EQ(historyBytes(kInbox, recorded), readHistory());
    std::vector<std::string> texts = undoAnsweringYes();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(restoredText(kMessages, 0), texts[1]);
    EXPECT_EQ(before_, places());
}

}  // namespace
