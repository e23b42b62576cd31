// A run of 1,000 selected messages under Wine, timed: the plug-in's own time per message apart
// from its 1 ms pauses and the host's moves. Not part of the normal run; start it with
// --gtest_also_run_disabled_tests --gtest_filter=DistributeBench.* through scripts/wine-run.sh.
#include "SortingFixture.h"

#include <cstdio>

#include "plugin/distribute/MessageReading.h"

using namespace sorting;

namespace {

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What Sleep(1) really costs on a thread other than the window thread.
const int kPauseRounds = 300;
DWORD WINAPI pauseThread(void* out) {
    double start = seconds();
    for (int i = 0; i < kPauseRounds; ++i)
        Sleep(1);
    *static_cast<double*>(out) = (seconds() - start) / kPauseRounds;
    return 0;
}

double measuredPause() {
    double result = 0;
    HANDLE thread = CreateThread(nullptr, 0, pauseThread, &result, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return result;
}

HWND g_progressBar;
double g_progressStep;

DWORD WINAPI progressThread(void*) {
    double begin = seconds();
    for (int i = 0; i < 300; ++i)
        SendMessageA(g_progressBar, PBM_STEPIT, 0, 0);
    g_progressStep = (seconds() - begin) / 300;
    return 0;
}

// The parts of the plug-in's own time, measured apart in this process with the same code: a
// message file read into the work buffer and matched, and one progress step sent from another
// thread to a progress bar of this thread (Wine's cross-thread SendMessage).
std::string breakdown(const std::vector<std::string>& files, const corvane::RuleList& rules) {
    std::vector<char> buffer(corvane::kWorkBufferSize);
    corvane::RuleList compiled = rules;
    corvane::compileRules(compiled);
    corvane::PreparedRules prepared = corvane::prepareRules(compiled);
    double start = seconds();
    for (const std::string& file : files)
        corvane::readFileStart(file.c_str(), buffer.data());
    double read = (seconds() - start) / files.size();
    std::vector<std::string> texts;
    for (const std::string& file : files)
        texts.push_back(corvane::readFileStart(file.c_str(), buffer.data()) ? buffer.data() : "");
    start = seconds();
    for (int round = 0; round < 10; ++round)
        for (const std::string& text : texts)
            corvane::findMatchingRule(prepared, text.c_str());
    double match = (seconds() - start) / (10.0 * texts.size());
    corvane::releaseRules(compiled);

    HWND bar = g_progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 20, nullptr, nullptr, nullptr,
                          nullptr);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 300));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    HANDLE thread = CreateThread(nullptr, 0, progressThread, nullptr, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        standin::StandInHost::pumpMessages();
    CloseHandle(thread);
    DestroyWindow(bar);
    char text[256];
    std::snprintf(text, sizeof text,
                  "  of which: file read %.1f us, matching %.1f us, one progress step sent across threads %.1f us\n",
                  read * 1e6, match * 1e6, g_progressStep * 1e6);
    return text;
}

class DistributeBench : public SortingTest {
protected:
    void timeRun(const char* label, const std::string& folder, const corvane::RuleList& rules) {
        std::mt19937 random(7);
        std::vector<std::string> entries;
        for (int i = 0; i < kMessages; ++i)
            entries.push_back(mailbox().addMessage(folder, composeMessage(random, i), i % 7 == 3));
        std::vector<std::string> files;
        for (const std::string& entry : entries)
            files.push_back(mailbox().messageFile(entry));
        writeRules(rules, false, false);
        HWND window = openFolder(folder);
        select(entries);
        std::string parts = breakdown(files, rules);
        host.moves.clear();
        host.moveSeconds = 0;
        double pause = measuredPause();
        double start = seconds();
        distribute();
        double total = seconds() - start;
        double own = total - host.moveSeconds - pause * kMessages;
        std::printf("%s: %d messages, %zu moves: total %.1f ms, host moves %.1f ms, pauses %d x %.3f ms\n"
                    "  plug-in's own time: %.1f ms, %.1f us per message\n",
                    label, kMessages, host.moves.size(), total * 1e3, host.moveSeconds * 1e3, kMessages, pause * 1e3,
                    own * 1e3, own * 1e6 / kMessages);
        std::printf("%s", parts.c_str());
        plugin.APCFolderClose(window);
        host.destroyWindow(window);
        EXPECT_GT(total, 0.0);
    }

    static constexpr int kMessages = 1000;
};

TEST_F(DistributeBench, DISABLED_ThousandSelectedMessages) {
    timeRun("eleven rules, most messages moved", kInbox, fullRules());
    corvane::RuleList none;
    for (int i = 0; i < 10; ++i)
        none.push_back(rule(corvane::WholeMessage, ("no such text " + std::to_string(i)).c_str(), kWork, i % 2 == 0));
    none.push_back(rule(corvane::WholeMessage, "(?i)never\\s+here", kWork, false, true));
    none.push_back(header("Subject:", "^nothing$", kWork));
    timeRun("twelve rules, none matches (every rule tried on every message)", kArchive, none);
}

}  // namespace
