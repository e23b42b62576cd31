// Regular expressions that backtrack catastrophically, rescan the rest of the text from every
// place or compare long back references, searched through the rule matching in a 64 KB message
// of one letter: the time one hostile message costs a sorting run, per rule.
#include <benchmark/benchmark.h>

#include <string>

#include <oniguruma.h>

#include "plugin/rules/RuleMatching.h"
#include "plugin/text/MessageReadCap.h"

using namespace corvane;

namespace {

// As much of a message as a run reads.
constexpr size_t kMessageBytes = corvane::kMessageReadCap;

// Each against 64 KB of "a" ending in "!", so that a literal the pattern needs may be there.
const char* const kHostilePatterns[] = {
    "(a|a)*b",  "(a+)+$",     "(a*)*b",     "(a|aa)+$",    "^(a+)+b",   "a*a*a*a*b", "(?:a|a?)+c",
    "(.*a){12}", "(a+)+\\z", "(?:a+){20}!", "a+$",        "(a|b)+c",   "a+b",       "(a+)+!$",
    "[a!]+b",   "\\w+\\s+!", "(a|a)*!b",   "a*a*a*a*!b",  "(.*)*b",    "(a+a+)+b!",
    "a.*b",     "(a+)\\1+b", "(?i)(a+)\\1+b", "(a*)\\1!", "(.+)\\1\\1!",
};

void BM_HostileRegex(benchmark::State& state) {
    const char* pattern = kHostilePatterns[state.range(0)];
    std::string message(kMessageBytes - 1, 'a');
    message += '!';
    OnigRegex regex = compileRuleRegex(pattern);
    if (!regex) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    bool matched = false;
    for (auto _ : state)
        matched = regexSearch(message.c_str(), message.size(), regex);
    onig_free(regex);
    state.SetLabel(std::string(pattern) + (matched ? " matched" : " no match"));
}
BENCHMARK(BM_HostileRegex)
    ->DenseRange(0, sizeof kHostilePatterns / sizeof kHostilePatterns[0] - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
