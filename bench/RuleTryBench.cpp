// Speed of trying a rule from the rule editor on a large folder: the sample mailbox's inbox at
// 10,000 messages, its nine rules in front and a new rule at the end, raw and decoded. Besides
// the time of the whole try, it reports how often the try asks whether to go on (once per
// message) and the longest stretch between two asks, which bounds how long a cancel waits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>

#include "plugin/rules/RuleText.h"
#include "plugin/rules/RuleTry.h"
#include "plugin/text/MessageReadCap.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;

namespace {

constexpr int kMessages = 10000;

struct TryFixture {
    std::map<std::string, std::string> texts;  // entry -> text as a run reads it
    std::string listText;
    std::string folder;
    RuleList rules;

    TryFixture() {
        sample::SampleMailbox box = sample::buildSampleMailbox(20261207, kMessages);
        folder = box.inbox;
        for (const sample::SampleFile& file : box.files) {
            if (file.path == folder + "\\Entry.lst")
                listText = file.bytes;
            else if (file.path.size() > 4 && file.path.compare(file.path.size() - 4, 4, ".qpm") == 0)
                texts[file.path.substr(0, file.path.size() - 4)] =
                    std::string(file.bytes, 0, std::min(file.bytes.size(), kMessageReadCap)).c_str();
            else if (file.path.find("corvane.ini") != std::string::npos)
                readRules(file.bytes);
        }
    }

    void readRules(const std::string& ini) {
        size_t at = 0;
        while ((at = ini.find("\nrule", at)) != std::string::npos) {
            size_t equals = ini.find('=', at), end = ini.find('\r', at + 1);
            at = end;
            DistributeRule rule;
            if (equals != std::string::npos && end != std::string::npos &&
                parseRuleValue(ini.substr(equals + 1, end - equals - 1).c_str(), rule)) {
                finishLoadedRule(rule);
                rules.push_back(rule);
            }
        }
    }
};

const TryFixture& fixture() {
    static TryFixture built;
    return built;
}

DistributeRule newRule() {
    DistributeRule rule;
    rule.searchTarget = NamedHeader;
    std::string("Subject:").copy(rule.headerName, 8);
    std::string("Re:").copy(rule.searchText, 3);
    std::string("Main\\Inbox.box").copy(rule.destFolder, 14);
    return rule;
}

void BM_TryRuleOnFolder(benchmark::State& state) {
    const TryFixture& data = fixture();
    size_t tried = 0;
    RuleList rules = placeTriedRule(data.rules, newRule(), -1, &tried);
    VerdictOptions options{true, state.range(0) != 0};
    size_t polls = 0, messages = 0;
    double longestGap = 0;
    int matched = 0;
    for (auto _ : state) {
        FolderMessages folder = listFolderMessages(data.listText.c_str(), data.folder);
        RuleTry run(rules, tried, options);
        auto last = std::chrono::steady_clock::now();
        tryFolder(run, folder,
                  [&](const std::string& entry) {
                      auto found = data.texts.find(entry);
                      return found == data.texts.end() ? nullptr : found->second.c_str();
                  },
                  [&](size_t) {
                      auto now = std::chrono::steady_clock::now();
                      longestGap = std::max(longestGap, std::chrono::duration<double, std::milli>(now - last).count());
                      last = now;
                      ++polls;
                      return true;
                  });
        messages += folder.entries.size();
        matched = run.counts().matched;
    }
    state.counters["messages"] = static_cast<double>(messages) / static_cast<double>(state.iterations());
    state.counters["matched"] = matched;
    state.counters["pollsPerMessage"] = static_cast<double>(polls) / static_cast<double>(messages);
    state.counters["longestGapMs"] = longestGap;
}
BENCHMARK(BM_TryRuleOnFolder)->ArgName("decode")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
