// The run frame that both commands share: every way out of a run gives back what the run held,
// termination included, and a close of the dialog during a run ends it as a cancel would.
#include "SortingFixture.h"

#include <atomic>

#include "plugin/run/RunFrame.h"

using namespace sorting;
using standin::BoxIcon;

namespace {

std::atomic<int> g_begins{0};
std::atomic<int> g_ends{0};

UINT WINAPI countBegin(UINT) {
    ++g_begins;
    return TIMERR_NOERROR;
}

UINT WINAPI countEnd(UINT) {
    ++g_ends;
    return TIMERR_NOERROR;
}

enum class Worker { Refused, EndsItself, EndsOnCancel, Hangs };

// A kind of run of the test's own: it raises the timer resolution, asks the window thread
// once, and then ends, or is closed and ends on the cancel after one more request, or is
// closed and never ends.
class ProbeRun final : public corvane::RunKind {
public:
    explicit ProbeRun(Worker worker) : worker_(worker), never_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    bool prepare(HWND) override { return worker_ != Worker::Refused; }
    void work(corvane::RunWorker& worker) override {
        worker.raiseTimerResolution();
        worker.ask(WM_APP + 9, [this] { ++served; });
        if (worker_ == Worker::EndsItself)
            return;
        PostMessageA(worker.dialog(), WM_CLOSE, 0, 0);
        if (worker_ == Worker::Hangs)
            WaitForSingleObject(never_.get(), INFINITE);
        while (!worker.cancelled())
            Sleep(1);
        worker.ask(WM_APP + 9, [this] { ++served; });
    }
    void reclaim() override { ++reclaimed; }
    void finish(HWND) override { ++finished; }
    const char* forcedEndText() const override { return "forced"; }

    int served = 0;
    int reclaimed = 0;
    int finished = 0;

private:
    Worker worker_;
    corvane::UniqueHandle never_;
};

struct FrameCase {
    Worker worker;
    int served;
    int timerCalls;  // begins, and as many ends
    int finished;    // reclaimed and finished
    bool forced;
};

class RunFrame : public SortingTest {
protected:
    void TearDown() override {
        corvane::runSeams() = corvane::RunSeams();
        SortingTest::TearDown();
    }
};

TEST_F(RunFrame, EveryWayOutRestoresTheTimerAndReclaimsTerminationIncluded) {
    corvane::runSeams().waitMs = 300;
    corvane::runSeams().beginPeriod = countBegin;
    corvane::runSeams().endPeriod = countEnd;
    const FrameCase cases[] = {
        {Worker::Refused, 0, 0, 0, false},
        {Worker::EndsItself, 1, 1, 1, false},
        {Worker::EndsOnCancel, 2, 1, 1, false},
        {Worker::Hangs, 1, 1, 1, true},
    };
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND owner = host.createFolderWindow("Main", kInbox);
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.worker));
        resetRun();
        if (c.forced)
            answerBox(IDOK);
        g_begins = g_ends = 0;
        ProbeRun run(c.worker);
        corvane::RunSlot slot;
        DWORD since = GetTickCount();
        corvane::runInDialog(plugin.module(), corvane::RunDialog(), owner, run, slot);
        EXPECT_LT(GetTickCount() - since, 10000u);
        EXPECT_EQ(c.served, run.served);
        EXPECT_EQ(c.timerCalls, g_begins.load());
        EXPECT_EQ(c.timerCalls, g_ends.load());
        EXPECT_EQ(c.finished, run.reclaimed);
        EXPECT_EQ(c.finished, run.finished);
        EXPECT_FALSE(slot.busy);
        ASSERT_EQ(c.forced ? 1u : 0u, boxes().size());
        if (c.forced)
            expectBox(boxes()[0], "forced", BoxIcon::Error, "エラー - Corvane");
    }
    host.destroyWindow(owner);
}

// A close posted to the progress dialog at the second move, as Alt+F4 or the host would: the
// run ends well within the wait, as a cancel would end it.
class RunClose : public SortingTest {
protected:
    void closeAtSecondMove() {
        host.onMove = [](const standin::MoveRequest&) {
            if (standin::StandInHost::get().moves.size() == 2)
                PostMessageA(progressDialog(), WM_CLOSE, 0, 0);
        };
    }
    void expectEndedSoon(DWORD since) {
        EXPECT_LT(GetTickCount() - since, 15000u) << "the close waited for the worker instead of serving it";
        host.onMove = nullptr;
    }
};

TEST_F(RunClose, DistributeRecordsWhatItMoved) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(8);
    select(entries);
    closeAtSecondMove();
    answerBox(IDOK);
    DWORD since = GetTickCount();
    distribute();
    expectEndedSoon(since);
    size_t moved = host.moves.size();
    ASSERT_GE(moved, 2u);
    ASSERT_LT(moved, entries.size()) << "the close did not cancel";
    std::vector<std::pair<std::string, std::string>> recorded;
    for (size_t i = 0; i < moved; ++i)
        recorded.emplace_back(entries[i], kWork);
    EXPECT_EQ(historyBytes(kInbox, recorded), readHistory());
    ASSERT_EQ(1u, boxes().size());
    expectBox(boxes()[0], countText("%d件振り分けました", static_cast<int>(moved)), BoxIcon::Information);
}

TEST_F(RunClose, UndoKeepsTheRecordsItDidNotTry) {
    writeRules({}, false, true);
    openFolder(kInbox);
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 8; ++i) {
        std::string entry = mailbox().addMessage(kWork, "Subject: sorted " + std::to_string(i) + "\r\n\r\nx\r\n");
        records.emplace_back(std::string(kInbox) + "\\" + keyOf(entry), kWork);
    }
    standin::Mailbox::writeFile(historyPath(), historyBytes(kInbox, records));
    closeAtSecondMove();
    answerBox(IDYES);
    answerBox(IDOK);
    DWORD since = GetTickCount();
    undo();
    expectEndedSoon(since);
    size_t tried = host.moves.size();
    ASSERT_GE(tried, 2u);
    ASSERT_LT(tried, records.size()) << "the close did not cut the undo short";
    EXPECT_EQ(tried, mailbox().messageKeys(kInbox).size());
    EXPECT_EQ(historyBytes(kInbox, {records.begin() + static_cast<long>(tried), records.end()}), readHistory());
    ASSERT_EQ(2u, boxes().size());
    expectBox(boxes()[1], countText("%d通を元に戻しました", static_cast<int>(tried)), BoxIcon::Information);
}

}  // namespace
