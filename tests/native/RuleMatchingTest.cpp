#include "MatchingReference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/text/HeaderExtraction.h"

using namespace corvane;
using namespace corvane::reference;

namespace {

// x2: the plain pattern matches the text; n: it does not. Both with the literal and the
// prepared form.
void check(const std::string& text, const std::string& pattern, bool matchCase, bool expected) {
    SCOPED_TRACE(testing::Message() << "text=" << testing::PrintToString(text)
                                    << " pattern=" << testing::PrintToString(pattern) << " case=" << matchCase);
    DistributeRule rule = makeRule(WholeMessage, pattern, matchCase);
    EXPECT_EQ(expected, plainMatch(text.c_str(), rule));
    EXPECT_EQ(expected, plainMatchLiteral(text.c_str(), rule));
}

void x2(const std::string& text, const std::string& pattern, bool matchCase) {
    check(text, pattern, matchCase, true);
}

void n(const std::string& text, const std::string& pattern, bool matchCase) {
    check(text, pattern, matchCase, false);
}

bool regexMatches(const char* pattern, const char* text) {
    OnigRegex regex = compileRuleRegex(pattern);
    EXPECT_NE(nullptr, regex) << pattern;
    bool matched = regexSearch(text, strlen(text), regex);
    onig_free(regex);
    return matched;
}

}  // namespace

TEST(PlainMatch, AnchorsAlone) {
    for (bool matchCase : {true, false}) {
        x2("", "^$", matchCase);
        n("x", "^$", matchCase);
        for (const char* lone : {"^", "$"}) {
            x2("", lone, matchCase);
            x2("anything", lone, matchCase);
        }
    }
    x2("$", "$$", true);       // a trailing "$" after the anchor is an ordinary byte
    n("$x", "$$", true);
    x2("^x", "^^", true);
    x2("xa^b$y", "a^b$y", true);  // "^" and "$" inside the pattern are ordinary
}

TEST(PlainMatch, BothAnchorsMeanEquality) {
    x2("Hello", "^hello$", false);
    n("Hello", "^hello$", true);
    x2("Hello", "^Hello$", true);
    n("Hello!", "^Hello$", true);
    n("Hell", "^Hello$", false);
}

TEST(PlainMatch, StartAndEndAnchors) {
    x2("re: topic", "^RE:", false);
    n("re: topic", "^RE:", true);
    n("R", "^RE", false);
    n("a RE:", "^RE:", false);
    x2("a@example.COM", "example.com$", false);
    n("a@example.COM", "example.com$", true);
    n("bc", "abc$", false);     // the pattern is longer than the text
    n("abcx", "abc$", true);
}

TEST(PlainMatch, UnanchoredSearch) {
    x2("", "", true);           // an empty pattern is found by a case-sensitive search
    x2("text", "", true);
    n("text", "", false);       // and by no case-folded one
    n("", "a", false);
    x2("Free Offer", "OFFER", false);
    n("Free Offer", "OFFER", true);
    x2("abcab", "cab", true);
    n("ab", "abc", true);
    // Without matchCase ア (0x83 0x41) and ヂ (0x83 0x61) compare equal; with it they differ.
    x2("\x83\x41", "\x83\x61", false);
    n("\x83\x41", "\x83\x61", true);
    x2("x\x83\x41y", "^X\x83\x61Y$", false);
}

TEST(CaseFoldFind, FirstPosition) {
    const char* text = "xxAbAbab";
    EXPECT_EQ(text + 2, caseFoldFind(text, "aBa"));
    EXPECT_EQ(nullptr, caseFoldFind(text, "abc"));
    EXPECT_EQ(nullptr, caseFoldFind(text, ""));
    EXPECT_EQ(nullptr, caseFoldFind("", "a"));
    EXPECT_EQ(text + 3, caseFoldFind(text, "B"));
    EXPECT_EQ(text + 7, caseFoldFind(text + 6, "B"));
}

TEST(RegexRule, CompilesWithRubySyntaxInAscii) {
    OnigRegex bad = compileRuleRegex("(unclosed");
    EXPECT_EQ(nullptr, bad);
    EXPECT_TRUE(regexMatches("^Subject: .*sale", "From: a\nSubject: big sale\n"));
    EXPECT_TRUE(regexMatches("\\Afoo\\z", "foo"));
    // "$" stands before a line feed only; a CR LF line needs the CR in the pattern.
    EXPECT_FALSE(regexMatches("abc$", "abc\r\nx"));
    EXPECT_TRUE(regexMatches("abc\\r$", "abc\r\nx"));
    EXPECT_TRUE(regexMatches("abc$", "abc\nx"));
    // Every byte is one character: "." matches each byte of a double-byte character.
    EXPECT_TRUE(regexMatches("^\\x83..$", "\x83\x41\x42"));
    EXPECT_FALSE(regexMatches("abc", "ABC"));
    EXPECT_TRUE(regexMatches("(?i)abc", "ABC"));
    EXPECT_FALSE(regexSearch("abc", 3, nullptr));
}

// Ruby syntax, not Oniguruma's own: callouts and the option letters only Oniguruma knows are
// refused, and \N and \O are the plain letters N and O rather than a dot without or
// with line feeds.
TEST(RegexRule, RubySyntaxNotOnigurumasOwn) {
    enum Outcome { Refused, NoMatch, Match };
    struct Case {
        const char* pattern;
        const char* text;
        Outcome expected;
    };
    const Case cases[] = {
        {"(?{probe})a", "a", Refused},  {"(*FAIL)|a", "a", Refused}, {"a(*MAX{2})", "a", Refused},
        {"(?W)a", "a", Refused},        {"(?L)a", "a", Refused},     {"(?C)a", "a", Refused},
        {"\\N", "x", NoMatch},          {"\\N", "N", Match},         {"a\\Ob", "a\nb", NoMatch},
        {"a\\Ob", "aOb", Match},        {"(?m)a.b", "a\nb", Match},   {"(?i)A\\z", "xa", Match},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pattern=" << c.pattern);
        std::string error;
        OnigRegex regex = compileRuleRegex(c.pattern, strlen(c.pattern), &error);
        EXPECT_EQ(c.expected == Refused, regex == nullptr);
        EXPECT_EQ(c.expected == Refused, !error.empty());
        if (!regex)
            continue;
        EXPECT_EQ(c.expected == Match, regexSearch(c.text, strlen(c.text), regex));
        onig_free(regex);
    }
}

TEST(RegexRule, CompileAndReleaseOnlyRegexRulesOffNamedHeader) {
    RuleList rules = {makeRule(WholeMessage, "a+", false, true), makeRule(HeaderBlock, "b", false, true),
                      makeRule(NamedHeader, "c", false, true, "Subject:"), makeRule(WholeMessage, "d", false),
                      makeRule(WholeMessage, "(", false, true)};
    compileRules(rules);
    EXPECT_NE(nullptr, rules[0].regex);
    EXPECT_NE(nullptr, rules[1].regex);
    EXPECT_EQ(nullptr, rules[2].regex);
    EXPECT_EQ(nullptr, rules[3].regex);
    EXPECT_EQ(nullptr, rules[4].regex);
    compileRules(rules);  // again: the old handles are freed, not leaked
    releaseRules(rules);
    for (const DistributeRule& rule : rules)
        EXPECT_EQ(nullptr, rule.regex);
}

namespace {

const char kMessage[] =
    "From: Taro <taro@example.jp>\r\n"
    "Subject:   Hello World\r\n"
    " again\r\n"
    "To: list@example.org\r\n"
    "\r\n"
    "Body text with SALE.\r\n";

int match(RuleList rules, const char* message = kMessage) {
    compileRules(rules);
    std::string buffer(message);
    int literal = findMatchingRuleLiteral(rules, &buffer[0]);
    EXPECT_EQ(std::string(message), buffer);
    int found = findMatchingRule(rules, buffer.c_str());
    EXPECT_EQ(literal, found);
    EXPECT_EQ(std::string(message), buffer);
    releaseRules(rules);
    return found;
}

}  // namespace

TEST(FindMatchingRule, TargetsSeeTheirOwnText) {
    EXPECT_EQ(0, match({makeRule(WholeMessage, "sale", false)}));
    EXPECT_EQ(-1, match({makeRule(HeaderBlock, "sale", false)}));
    EXPECT_EQ(0, match({makeRule(HeaderBlock, "example.org$", true)}));  // end of the last header line
    EXPECT_EQ(-1, match({makeRule(WholeMessage, "example.org$", true)}));
    EXPECT_EQ(0, match({makeRule(NamedHeader, "^hello world again$", false, false, "subject:")}));
    EXPECT_EQ(-1, match({makeRule(NamedHeader, "World", true, false, "X-Subject:")}));
    EXPECT_EQ(-1, match({makeRule(NamedHeader, "sale", false, false, "Body")}));  // not a header
    EXPECT_EQ(-1, match({makeRule(7, "", true)}));                                 // unknown target
    EXPECT_EQ(0, match({makeRule(HeaderBlock, "^To: list.*org\\z", false, true)}));
    EXPECT_EQ(-1, match({makeRule(WholeMessage, "org\\z", false, true)}));
}

TEST(FindMatchingRule, NamedHeaderComparesPlainlyEvenWithRegexSet) {
    EXPECT_EQ(-1, match({makeRule(NamedHeader, "^H.*d", true, true, "Subject:")}));
    EXPECT_EQ(0, match({makeRule(NamedHeader, "^H.*d", true, true, "Subject:")}, "Subject: H.*d\r\n\r\n"));
}

TEST(FindMatchingRule, FirstMatchingRuleWins) {
    EXPECT_EQ(1, match({makeRule(WholeMessage, "absent", false), makeRule(NamedHeader, "taro", false, false, "From:"),
                        makeRule(WholeMessage, "Body", true)}));
    EXPECT_EQ(1, match({makeRule(WholeMessage, "(", false, true), makeRule(WholeMessage, "Body", true)}));
    EXPECT_EQ(2, match({makeRule(NamedHeader, "nobody", false, false, "To:"),
                        makeRule(NamedHeader, "nothing", false, false, "To:"),
                        makeRule(NamedHeader, "LIST@", false, false, "To:")}));
    EXPECT_EQ(-1, match({}));
}

TEST(FindMatchingRule, TextEndsAtItsFirstNul) {
    const char message[] = "Subject: a\r\n\r\nvisible\0hidden";
    std::string buffer(message, sizeof message);
    RuleList rules = {makeRule(WholeMessage, "hidden", true), makeRule(WholeMessage, "visible$", true)};
    EXPECT_EQ(1, findMatchingRule(rules, buffer.c_str()));
}

namespace {

std::string randomText(std::mt19937& random, size_t maxLength, const std::string& alphabet) {
    std::string out;
    size_t length = random() % (maxLength + 1);
    for (size_t i = 0; i < length; ++i)
        out += alphabet[random() % alphabet.size()];
    return out;
}

// A pattern taken from the text (with its case changed here and there) or made up, with
// anchors added at random.
std::string randomPattern(std::mt19937& random, const std::string& text, const std::string& alphabet) {
    std::string pattern;
    if (!text.empty() && random() % 2) {
        size_t start = random() % text.size();
        pattern = text.substr(start, random() % 8);
        for (char& c : pattern)
            if (random() % 3 == 0)
                c = static_cast<char>(isalpha(static_cast<unsigned char>(c)) ? c ^ 0x20 : c);
    } else {
        pattern = randomText(random, 5, alphabet);
    }
    switch (random() % 6) {
    case 0: return "^" + pattern;
    case 1: return pattern + "$";
    case 2: return "^" + pattern + "$";
    case 3: return random() % 2 ? "^" : "$";
    default: return pattern;
    }
}

const std::string kAlphabet = std::string("aAbBzZ^$ \r\n\x83\x41\x61") + '\x82';

}  // namespace

TEST(PlainMatch, PreparedSearchAgreesWithLiteral) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text = randomText(random, 40, kAlphabet);
        std::string pattern = randomPattern(random, text, kAlphabet);
        DistributeRule rule = makeRule(WholeMessage, pattern, random() % 2);
        ASSERT_EQ(plainMatchLiteral(text.c_str(), rule), plainMatch(text.c_str(), rule))
            << "text=" << testing::PrintToString(text) << " pattern=" << testing::PrintToString(pattern)
            << " case=" << int(rule.matchCase);
        std::string bare = pattern;
        ASSERT_EQ(caseFoldFindLiteral(text.c_str(), bare.c_str()), caseFoldFind(text.c_str(), bare.c_str()))
            << "text=" << testing::PrintToString(text) << " pattern=" << testing::PrintToString(bare);
    }
}

TEST(FindMatchingRule, AgreesWithLiteralOnRandomMessages) {
    std::mt19937 random(11);
    const char* names[] = {"Subject:", "subject:", "From:", "To", ""};
    const char* regexes[] = {"a+b", "^Sub", "\\r$", "b\\z", "(", "[", "A.$"};
    for (int round = 0; round < 3000; ++round) {
        std::string message;
        int fields = static_cast<int>(random() % 4);
        for (int i = 0; i < fields; ++i) {
            message += names[random() % 4];
            message += randomText(random, 10, kAlphabet);
            message += "\r\n";
            if (random() % 3 == 0)
                message += (random() % 2 ? " " : "\t") + randomText(random, 6, kAlphabet) + "\r\n";
        }
        if (random() % 2)
            message += "\r\n";
        message += randomText(random, 30, kAlphabet);
        if (random() % 5 == 0)
            message.insert(random() % (message.size() + 1), 1, '\0');
        RuleList rules;
        int count = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            int target = static_cast<int>(random() % 4);
            bool useRegex = random() % 3 == 0;
            std::string pattern = useRegex ? regexes[random() % 7] : randomPattern(random, message, kAlphabet);
            rules.push_back(makeRule(target, pattern, random() % 2, useRegex, names[random() % 5]));
        }
        compileRules(rules);
        std::string buffer = message;
        int literal = findMatchingRuleLiteral(rules, &buffer[0]);
        ASSERT_EQ(message, buffer);
        ASSERT_EQ(literal, findMatchingRule(prepareRules(rules), buffer.c_str()))
            << "message=" << testing::PrintToString(message);
        releaseRules(rules);
    }
}
