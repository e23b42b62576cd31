// Expressions that cost a search of a hostile message quadratic work end within the search's
// retry and step limits and count as no match, though a match waits after the long run of
// letters; ordinary rules over a whole message, and the same hostile expressions on short
// texts, still find their matches.
#include "MatchingReference.h"

#include <gtest/gtest.h>

#include <oniguruma.h>

#include <string>

#include "plugin/rules/RuleMatching.h"

namespace {

bool searchText(const char* pattern, const std::string& text) {
    OnigRegex regex = corvane::compileRuleRegex(pattern);
    EXPECT_NE(nullptr, regex) << pattern;
    bool matched = corvane::regexSearch(text.c_str(), text.size(), regex);
    if (regex)
        onig_free(regex);
    return matched;
}

// text: as many "a" as given, then the tail.
void x2(const char* pattern, size_t letters, const char* tail) {
    EXPECT_TRUE(searchText(pattern, std::string(letters, 'a') + tail)) << pattern << " " << letters << tail;
}

void n(const char* pattern, size_t letters, const char* tail) {
    EXPECT_FALSE(searchText(pattern, std::string(letters, 'a') + tail)) << pattern << " " << letters << tail;
}

TEST(RegexLimits, BacktrackingAtEveryPlaceEndsAtTheRetryLimit) {
    // About letters squared over two retries before the match at the end.
    x2("(a|b)+c", 1000, "!ac");
    x2("([ab]|b)+c", 1000, "!ac");
    n("(a|b)+c", 20000, "!ac");
    n("([ab]|b)+c", 20000, "!ac");
    n("a(a|b)+$", 0xFFF0, "!ab");
    // Backtracking inside one place ends at the per-match limit, as before.
    n("^(a|a)*b", 0xFFF0, "!");
    x2("(a+)+!$", 0xFFF0, "!");
}

TEST(RegexLimits, RescansWithoutBacktrackingEndAtTheStepLimit) {
    // Each start place runs over every letter after it without one retry.
    x2("a+b", 1000, "!ab");
    x2("[a!]+b", 1000, "c!b");
    x2("\\w+\\s+!", 1000, "!a !");
    x2("a.*b", 1000, "!\nab");
    n("a+b", 20000, "!ab");
    n("[a!]+b", 0xFFF0, "c!b");
    n("\\w+\\s+!", 0xFFF0, "!a !");
    n("a.*b", 0xFFF0, "!\nab");
    // A match at the first place costs one pass, however long the text.
    x2("a+b", 0xFFF0, "b");
    x2("a.*!", 0xFFF0, "!");
}

TEST(RegexLimits, LongBackReferenceComparesEndAtTheStepLimit) {
    x2("(a+)\\1+b", 100, "b");
    x2("(?i)(a+)\\1!", 200, "!");
    n("(a+)\\1+b", 0xFFF0, "!aab");
    n("(?i)(a+)\\1+b", 0xFFF0, "!AAB");
    n("(a*)\\1!", 0xFFF1, "!");  // an even run would match at the first place
    // With a nesting level, the look through the match stack is charged too.
    x2("(?<x>a+)\\k<x+0>b", 100, "!aab");
    n("(?<x>a+)\\k<x+0>b", 0xFFF0, "!aab");
}

// About 64 KB of a mailing-list message: header lines, quoted replies, Japanese text, addresses.
std::string ordinaryMessage() {
    const char* const pieces[] = {
        "the ",   "meeting ", "price ",           "\x82\xa0\x82\xa2 ", "\x8a\xbf\x8e\x9a ", "Re: ",
        "info@example.com ", "2026-12-08 ",     "\r\n",              "Subject: hello\r\n", "> quoted text\r\n",
        "http://example.com/x?y=1 ",
    };
    std::string text;
    unsigned state = 1;
    while (text.size() < 0xFF00) {
        state = state * 1103515245u + 12345u;
        text += pieces[(state >> 16) % (sizeof pieces / sizeof pieces[0])];
    }
    return text;
}

TEST(RegexLimits, OrdinaryRulesStillFindAMatchAtTheEndOfAWholeMessage) {
    const std::string body = ordinaryMessage();
    const struct {
        const char* pattern;
        const char* tail;
    } cases[] = {
        {"(foo|bar|baz|qux|quux|corge|grault|garply|waldo|fred|plugh|xyzzy|thud)", " thud"},
        {"^Subject:.*(sale|ad)!", "\r\nSubject: big sale!"},
        {"[0-9]{3}-[0-9]{4}", " 123-4567"},
        {"\\b\\w+@example\\.org", " sales@example.org"},
        {"(?i)meeting.*tomorrow", " MEETING TOMORROW"},
        {"^>.*\\d{5}", "\r\n> order 12345"},
        {"(\\w+)\\s+\\1\\s+\\1\\s+\\1!", " go go go go!"},
        {"[a-z]+://[^ ]+\\.jp", " https://example.co.jp"},
        {"(?i)(re|fw|fwd):\\s*\\[ml", " FW: [ML"},
        {"\\x8a\\xbf\\x8e\\x9a.*\\x8f\\x49", " \x8a\xbf\x8e\x9a\x8f\x49"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(searchText(c.pattern, body)) << c.pattern;
        EXPECT_TRUE(searchText(c.pattern, body + c.tail)) << c.pattern;
    }
}

}  // namespace
