// Expressions that backtrack at every start place of a message: a search ends within its retry
// limit, counting as no match, while a match within the limit is still found.
#include "MatchingReference.h"

#include <gtest/gtest.h>

#include <oniguruma.h>

#include <string>

#include "plugin/distribute/RuleMatching.h"

namespace {

// text: as many "a" as given, then the tail.
bool search(const char* pattern, size_t letters, const char* tail) {
    std::string text(letters, 'a');
    text += tail;
    OnigRegex regex = corvane::compileRuleRegex(pattern);
    EXPECT_NE(nullptr, regex) << pattern;
    bool matched = corvane::regexSearch(text.c_str(), text.size(), regex);
    if (regex)
        onig_free(regex);
    return matched;
}

void x2(const char* pattern, size_t letters, const char* tail) {
    EXPECT_TRUE(search(pattern, letters, tail)) << pattern << " " << letters << tail;
}

void n(const char* pattern, size_t letters, const char* tail) {
    EXPECT_FALSE(search(pattern, letters, tail)) << pattern << " " << letters << tail;
}

TEST(RegexRetryLimit, QuadraticSearchesEndAtTheLimitAndCheaperOnesStillMatch) {
    // About letters squared over two retries before the match at the end.
    x2("(a|b)+c", 1000, "!ac");
    x2("([ab]|b)+c", 1000, "!ac");
    n("(a|b)+c", 20000, "!ac");
    n("([ab]|b)+c", 20000, "!ac");
    n("a(a|b)+$", 0xFFF0, "!");
    // Backtracking inside one place ends at the per-match limit, as before.
    n("^(a|a)*b", 0xFFF0, "!");
    x2("(a+)+!$", 0xFFF0, "!");
}

}  // namespace
