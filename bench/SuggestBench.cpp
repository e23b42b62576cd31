// Speed of learning rules from filed mail (corvane-check suggest) as the mailbox grows: n filed
// messages spread over 50 folders, each folder fed by one kind of stream (a list, a sender's
// domain, a numbered subject tag, an alias, an encoded subject), with people who write to
// several folders and a tenth of the mail left in the inbox. The hard mailbox adds folders of
// mail from friends (one rule per friend) and pairs of folders fed by the same list, which no
// rule separates, so that every candidate of theirs is tried. The generated mailbox of the
// learning tests, at 10,000 messages, is measured as well.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "LearningMailbox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/learning/FiledMailLearning.h"
#include "plugin/learning/RuleLearning.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;

namespace {

constexpr int kFolders = 50;

std::string filedMail(int folder, int serial, std::mt19937& random, bool hard) {
    std::string person = "person" + std::to_string(random() % 300) + "@example.co.jp";
    std::string from = "From: " + sample::mimeEncodedWord("山田") + " <" + person + ">\r\n";
    std::string to = "To: main@example.co.jp\r\n";
    std::string subject = "Subject: " + sample::mimeEncodedWord("お知らせ") + " " + std::to_string(serial) + "\r\n";
    std::string extra;
    std::string tag = std::to_string(folder);
    switch (hard ? folder % 7 : folder % 5) {
    case 0: extra = "List-Id: List " + tag + " <list" + tag + ".lists.example.org>\r\n"; break;
    case 1: from = "From: news" + std::to_string(random() % 9) + "@shop" + tag + ".example.com\r\n"; break;
    case 2: subject = "Subject: [team" + tag + ":" + std::to_string(10000 + serial) + "] Re: report\r\n"; break;
    case 3: to = "To: alias" + tag + "@example.co.jp\r\n"; break;
    case 4: subject = "Subject: " + sample::mimeEncodedWord("案件" + tag) + " " + std::to_string(serial) + "\r\n"; break;
    case 5: from = "From: friend" + tag + "_" + std::to_string(random() % 20) + "@mail.example.net\r\n"; break;
    case 6: extra = "List-Id: <shared" + std::to_string(folder / 7) + ".lists.example.org>\r\n"; break;
    }
    std::string body;
    size_t size = 500 + random() % 4000;
    while (body.size() < size)
        body += "The quick brown fox jumps over the lazy dog.\r\n";
    return "Return-Path: <bounce@example.co.jp>\r\nDate: Mon, 2 Nov 2026 10:00:00 +0900\r\nMessage-ID: <" +
           std::to_string(serial) + "@example.co.jp>\r\n" + from + to + subject + extra + "\r\n" + body;
}

LearnInput mailbox(int filed, bool hard) {
    std::mt19937 random(7);
    LearnInput input;
    for (int f = 0; f < kFolders; ++f)
        input.folders.push_back("Main\\User" + std::to_string(100 + f) + ".box");
    for (int i = 0; i < filed; ++i) {
        int folder = static_cast<int>(random() % kFolders);
        // In the hard mailbox a folder after a shared-list folder gets the same list.
        int kind = hard && folder % 7 == 0 && folder > 0 ? folder - 1 : folder;
        input.messages.push_back({filedMail(kind, i, random, hard), folder});
        if (i % 10 == 0) {
            std::string person = "person" + std::to_string(random() % 300) + "@example.co.jp";
            input.messages.push_back({"From: " + person + "\r\nTo: main@example.co.jp\r\nSubject: " +
                                          sample::mimeEncodedWord("こんにちは") + "\r\n\r\nhello\r\n",
                                      -1});
        }
    }
    return input;
}

void learn(benchmark::State& state, bool hard) {
    LearnInput input = mailbox(static_cast<int>(state.range(0)), hard);
    size_t rules = 0, covered = 0, unseparated = 0;
    for (auto _ : state) {
        Learning learning = learnRules(input);
        rules = learning.rules.size();
        covered = unseparated = 0;
        for (const FolderLearning& folder : learning.folders) {
            covered += static_cast<size_t>(folder.covered);
            unseparated += folder.unseparated.size();
        }
        benchmark::DoNotOptimize(learning);
    }
    state.counters["rules"] = static_cast<double>(rules);
    state.counters["covered"] = static_cast<double>(covered);
    state.counters["unseparated"] = static_cast<double>(unseparated);
    state.SetComplexityN(state.range(0));
}

void BM_LearnRules(benchmark::State& state) {
    learn(state, false);
}

void BM_LearnRulesHard(benchmark::State& state) {
    learn(state, true);
}

// The tests' generated mailbox (13 folders: lists, display-name feeds behind one gateway,
// sender domains, a subject tag, the owner on every message) at n messages.
void BM_LearnGeneratedMailbox(benchmark::State& state) {
    LearnInput input = testmailbox::buildLearningMailbox(2026, static_cast<int>(state.range(0))).input;
    size_t rules = 0;
    for (auto _ : state) {
        Learning learning = learnRules(input);
        rules = learning.rules.size();
        benchmark::DoNotOptimize(learning);
    }
    state.counters["rules"] = static_cast<double>(rules);
    state.counters["messages"] = static_cast<double>(input.messages.size());
}

// The same mailbox read through the learning dialog's core, from memory: the dialog's own work
// on top of learnRules (the holdout's second learning, the counts per proposal, the reasons).
class MemoryMail final : public FiledMailReader {
public:
    explicit MemoryMail(const LearnInput& input) {
        for (size_t m = 0; m < input.messages.size(); ++m) {
            int folder = input.messages[m].folder;
            std::string path = folder < 0 ? "Main\\Inbox.box" : input.folders[static_cast<size_t>(folder)];
            std::string name = path + "\\" + std::to_string(m);
            entries_[path].push_back({name, false});
            texts_[name] = &input.messages[m].text;
        }
    }
    bool folderExists(const std::string&) override { return true; }
    std::vector<LearnEntry> listFolder(const std::string& folder) override { return entries_[folder]; }
    bool readMessage(const std::string& entry, size_t most, std::string& bytes) override {
        bytes = texts_[entry]->substr(0, most);
        return true;
    }

private:
    std::map<std::string, std::vector<LearnEntry>> entries_;
    std::map<std::string, const std::string*> texts_;
};

FiledMailSettings dialogSettings(const LearnInput& input) {
    FiledMailSettings settings;
    FolderEntry inbox;
    snprintf(inbox.path, sizeof inbox.path, "Main\\Inbox.box");
    inbox.kind = Inbox;
    settings.folders.push_back(inbox);
    for (const std::string& path : input.folders) {
        FolderEntry folder;
        snprintf(folder.path, sizeof folder.path, "%s", path.c_str());
        folder.kind = UserFolder;
        settings.folders.push_back(folder);
    }
    return settings;
}

void BM_LearnDialogCore(benchmark::State& state) {
    LearnInput input = mailbox(static_cast<int>(state.range(0)), false);
    FiledMailSettings settings = dialogSettings(input);
    MemoryMail mail(input);
    size_t proposals = 0;
    for (auto _ : state) {
        FiledMailLearning learning = learnFromFiledMail(settings, mail, nullptr);
        proposals = learning.proposals.size();
        benchmark::DoNotOptimize(learning);
    }
    state.counters["rules"] = static_cast<double>(proposals);
}

// The peak resident memory of the process after the dialog's core has run once on n messages,
// and how much of it the mail in memory (the stand-in for the host's files) holds. The peak only
// grows: run one size per process (--benchmark_filter=BM_LearnDialogPeak/30000).
void BM_LearnDialogPeak(benchmark::State& state) {
    LearnInput input = mailbox(static_cast<int>(state.range(0)), false);
    size_t mailBytes = 0;
    for (const LearnMessage& message : input.messages)
        mailBytes += message.text.size();
    FiledMailSettings settings = dialogSettings(input);
    MemoryMail mail(input);
    size_t dropped = 0, proposals = 0;
    for (auto _ : state) {
        FiledMailLearning learning = learnFromFiledMail(settings, mail, nullptr);
        dropped = learning.dropped;
        proposals = learning.proposals.size();
    }
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peakMB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["mailMB"] = static_cast<double>(mailBytes) / (1024.0 * 1024.0);
    state.counters["dropped"] = static_cast<double>(dropped);
    state.counters["rules"] = static_cast<double>(proposals);
}

// Stops at the middle poll of one stage and measures the time from that stop to the return.
class StopMonitor final : public FiledMailMonitor {
public:
    StopMonitor(LearnStage stage, size_t at) : stage_(stage), at_(at) {}
    void folderStarted(size_t, size_t) override {}
    bool proceed(LearnStage stage, size_t, size_t) override {
        ++polls[static_cast<int>(stage)];
        if (stage == stage_ && polls[static_cast<int>(stage)] == at_)
            stoppedAt = std::chrono::steady_clock::now();
        return stoppedAt == std::chrono::steady_clock::time_point();
    }
    size_t polls[8] = {};
    std::chrono::steady_clock::time_point stoppedAt;

private:
    LearnStage stage_;
    size_t at_;
};

// How long after a cancel each stage ends the dialog's core, on n messages and one message whose
// 64 KB header holds 10,000 short lines (ms, the worst of the runs).
void BM_LearnCancelLatency(benchmark::State& state) {
    LearnInput input = mailbox(static_cast<int>(state.range(0)), false);
    std::string lines;
    for (int n = 0; lines.size() < 64000; ++n)
        lines += "X-L" + std::to_string(n) + ": v\r\n";
    input.messages.push_back({"From: many@lines.example\r\n" + lines + "\r\nbody\r\n", 0});
    FiledMailSettings settings = dialogSettings(input);
    settings.rules.resize(1);  // an existing rule, so that deciding by the rules is a stage of its own
    copyString(settings.rules[0].searchText, "nobody@nowhere.example");
    copyString(settings.rules[0].headerName, "From:");
    copyString(settings.rules[0].destFolder, input.folders[0].c_str());
    settings.rules[0].searchTarget = NamedHeader;
    MemoryMail mail(input);
    StopMonitor count(LearnStage::Reading, 0);
    learnFromFiledMail(settings, mail, &count);
    const std::pair<const char*, LearnStage> stages[] = {{"reading", LearnStage::Reading},
                                                         {"deciding", LearnStage::Deciding},
                                                         {"preparing", LearnStage::Preparing},
                                                         {"learning", LearnStage::Learning},
                                                         {"counting", LearnStage::Counting}};
    std::map<std::string, double> worst;
    for (auto _ : state)
        for (const auto& stage : stages) {
            StopMonitor stop(stage.second, count.polls[static_cast<int>(stage.second)] / 2 + 1);
            learnFromFiledMail(settings, mail, &stop);
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stop.stoppedAt)
                            .count();
            worst[stage.first] = std::max(worst[stage.first], ms);
        }
    for (const auto& stage : worst)
        state.counters[stage.first + std::string("Ms")] = stage.second;
}

}  // namespace

BENCHMARK(BM_LearnDialogCore)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LearnDialogPeak)->Arg(10000)->Arg(30000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LearnCancelLatency)->Arg(10000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LearnRules)->Arg(1250)->Arg(2500)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_LearnGeneratedMailbox)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LearnRulesHard)->Arg(1250)->Arg(2500)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)
    ->Complexity();
