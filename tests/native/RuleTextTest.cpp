#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "plugin/rules/RuleText.h"

using namespace corvane;

namespace {

// A rule as plain values, for one-line expectations.
struct Fields {
    int target;
    std::string text, header;
    int matchCase, useRegex;
    std::string dest;
};

bool operator==(const Fields& a, const Fields& b) {
    return a.target == b.target && a.text == b.text && a.header == b.header && a.matchCase == b.matchCase &&
           a.useRegex == b.useRegex && a.dest == b.dest;
}

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << f.target << " [" << f.text << "] [" << f.header << "] " << f.matchCase << ' ' << f.useRegex
               << " [" << f.dest << "]";
}

Fields fieldsOf(const DistributeRule& rule) {
    return {rule.searchTarget, rule.searchText, rule.headerName, rule.matchCase, rule.useRegex, rule.destFolder};
}

DistributeRule ruleOf(const Fields& f) {
    DistributeRule rule;
    rule.searchTarget = f.target;
    strcpy(rule.searchText, f.text.c_str());
    strcpy(rule.headerName, f.header.c_str());
    rule.matchCase = static_cast<uint8_t>(f.matchCase);
    rule.useRegex = static_cast<uint8_t>(f.useRegex);
    strcpy(rule.destFolder, f.dest.c_str());
    return rule;
}

// The reader as the rules file was always read: each field ends at the first colon and blank.
bool literalRead(const char* value, Fields& out) {
    const char* p = value;
    std::string field[5];
    for (std::string& f : field) {
        const char* end = strstr(p, ": ");
        if (!end)
            return false;
        f.assign(p, end);
        p = end + 2;
    }
    const char* end = strstr(p, ": ");
    out.dest = end ? std::string(p, end) : std::string(p);
    for (int i = 1; i <= 2; ++i) {
        unescapeColons(&field[i][0]);
        field[i].resize(strlen(field[i].c_str()));
    }
    out.target = atoi(field[0].c_str());
    out.text = field[1];
    out.header = field[2];
    out.matchCase = atoi(field[3].c_str()) == 1;
    out.useRegex = atoi(field[4].c_str()) == 1;
    return true;
}

void reads(const std::string& value, const Fields& expected) {
    DistributeRule rule;
    ASSERT_TRUE(parseRuleValue(value.c_str(), rule)) << value;
    EXPECT_EQ(expected, fieldsOf(rule)) << value;
    EXPECT_EQ(nullptr, rule.regex);
}

void fails(const std::string& value) {
    DistributeRule rule = ruleOf({7, "kept", "kept", 1, 1, "kept"});
    EXPECT_FALSE(parseRuleValue(value.c_str(), rule)) << value.substr(0, 80);
    EXPECT_EQ((Fields{7, "kept", "kept", 1, 1, "kept"}), fieldsOf(rule));
}

void separatorAt(const char* text, int offset) {
    const char* found = findFieldSeparator(text);
    EXPECT_EQ(offset, found ? static_cast<int>(found - text) : -1) << text;
}

void unescapes(const char* text, const char* expected) {
    std::string buffer = text;
    unescapeColons(&buffer[0]);
    EXPECT_STREQ(expected, buffer.c_str()) << text;
}

void fits(const Fields& f, bool expected) {
    EXPECT_EQ(expected, ruleFitsRecord(ruleOf(f))) << f;
}

// Random text over bytes that stress the format: colons, blanks, quotes, backslashes,
// Shift-JIS lead bytes followed by 0x5C, 0x3A or ordinary second bytes.
std::string randomText(std::mt19937& random, size_t maxLength, bool allowColonBlank) {
    static const char pieces[][3] = {":", ":", " ", "\"", "\\", "a", "Z", "1", "\x95\x5C", "\x81\x3A",
                                     "\x82\xA0", "\xE0\x40", "\xB1", "$", "^"};
    std::string text;
    size_t length = std::uniform_int_distribution<size_t>(0, maxLength)(random);
    while (text.size() < length) {
        const char* piece = pieces[random() % (sizeof pieces / sizeof pieces[0])];
        if (text.size() + strlen(piece) > length)
            piece = "a";
        if (!allowColonBlank && piece[0] == ' ' && !text.empty() && text.back() == ':')
            continue;
        if (!allowColonBlank && piece[0] == ':' && text.size() + 1 < length && random() % 2 == 0) {
            text += ":a";
            continue;
        }
        text += piece;
    }
    if (!allowColonBlank) {
        for (size_t at = text.find(": "); at != std::string::npos; at = text.find(": "))
            text[at] = '-';
    }
    return text;
}

Fields randomRule(std::mt19937& random, bool allowColonBlank, bool longFields) {
    size_t textMax = longFields ? 1023 : 40;
    size_t destMax = longFields ? 259 : 40;
    Fields f;
    f.target = static_cast<int>(random());
    f.text = randomText(random, textMax, allowColonBlank);
    f.header = randomText(random, textMax, allowColonBlank);
    f.matchCase = static_cast<int>(random() % 2);
    f.useRegex = static_cast<int>(random() % 2);
    f.dest = randomText(random, destMax, false);
    return f;
}

}  // namespace

TEST(ColonEscaping, DoubledAndUndoubledLeftToRight) {
    EXPECT_EQ("Subject::", escapeColons("Subject:"));
    EXPECT_EQ("a::::b", escapeColons("a::b"));
    EXPECT_EQ("", escapeColons(""));
    EXPECT_EQ("", escapeColons(nullptr));
    unescapes("Subject::", "Subject:");
    unescapes("a:::", "a::");
    unescapes("::::", "::");
    unescapes("a:b", "a:b");
    unescapes(":", ":");
    unescapes("", "");
}

TEST(FieldSeparator, UnpairedColonFollowedByBlank) {
    separatorAt("a: b", 1);
    separatorAt(": ", 0);
    separatorAt("a:: b", -1);
    separatorAt("a::: b", 3);
    separatorAt("a:::: b", -1);
    separatorAt("a:b: c", 3);
    separatorAt("Re:: x: y", 6);
    separatorAt("::", -1);
    separatorAt("a:", -1);
    separatorAt("", -1);
}

TEST(RuleValue, ReadsFieldsOfWrittenValues) {
    reads("2: [list-a]: Subject::: 0: 0: Main\\User003.box", {2, "[list-a]", "Subject:", 0, 0, "Main\\User003.box"});
    reads("0: : : 0: 0: acct\\Inbox.box", {0, "", "", 0, 0, "acct\\Inbox.box"});
    reads("1: x::: : 1: 1: d", {1, "x:", "", 1, 1, "d"});
    reads("1: a::::b: : 0: 1: d", {1, "a::b", "", 0, 1, "d"});
    reads("0: Re:: [list]: Subject::: 0: 0: d", {0, "Re: [list]", "Subject:", 0, 0, "d"});
    reads("0:  lead: trail : 0: 0:  d ", {0, " lead", "trail ", 0, 0, " d "});
    reads("0: a: b: 0: 0: ", {0, "a", "b", 0, 0, ""});
    reads("0: a: b: 0: 0: acct\\x: rest: more", {0, "a", "b", 0, 0, "acct\\x"});
    reads("0: a: b: 0: 0: acct\\x:: rest", {0, "a", "b", 0, 0, "acct\\x:"});
}

TEST(RuleValue, NumbersReadAsLeadingIntegers) {
    reads("abc: t: h: 1: 1: d", {0, "t", "h", 1, 1, "d"});
    reads("-3: t: h: 1: 1: d", {-3, "t", "h", 1, 1, "d"});
    reads("7x: t: h: 1: 1: d", {7, "t", "h", 1, 1, "d"});
    reads(" 2: t: h: 1: 1: d", {2, "t", "h", 1, 1, "d"});
    reads("99999999999: t: h: 1: 1: d", {INT_MAX, "t", "h", 1, 1, "d"});
    reads("-99999999999: t: h: 1: 1: d", {INT_MIN, "t", "h", 1, 1, "d"});
    reads("0: t: h: 2: yes: d", {0, "t", "h", 0, 0, "d"});
    reads("0: t: h: 1abc: 01: d", {0, "t", "h", 1, 1, "d"});
    reads("0: t: h: -1: 4294967297: d", {0, "t", "h", 0, 0, "d"});
    reads("0: t: h: : : d", {0, "t", "h", 0, 0, "d"});
}

TEST(RuleValue, MissingSeparatorsFail) {
    fails("");
    fails("\"\"");
    fails("0");
    fails("0: a");
    fails("0: a: b");
    fails("0: a: b: 1");
    fails("0: a: b: 1: 0");
    fails("0: a: b: 1: 0:d");
    fails("0: Re:: x: b: 1: 0");
}

TEST(RuleValue, OverlongFieldsFailInsteadOfShortening) {
    const std::string text1023(1023, 't'), dest259(259, 'd');
    reads("0: " + text1023 + ": h: 0: 0: d", {0, text1023, "h", 0, 0, "d"});
    reads("0: t: " + text1023 + ": 0: 0: d", {0, "t", text1023, 0, 0, "d"});
    reads("0: " + std::string(2046, ':') + ": h: 0: 0: d", {0, std::string(1023, ':'), "h", 0, 0, "d"});
    reads("0: t: h: 0: 0: " + dest259, {0, "t", "h", 0, 0, dest259});
    reads("0: t: h: 0: 0: " + dest259 + ": tail", {0, "t", "h", 0, 0, dest259});
    fails("0: " + text1023 + "t: h: 0: 0: d");
    fails("0: t: " + text1023 + "t: 0: 0: d");
    fails("0: " + std::string(2048, ':') + ": h: 0: 0: d");
    fails("0: t: h: 0: 0: " + dest259 + "d");
    fails("0: t: h: 0: 0: " + std::string(100000, 'd'));
}

TEST(RuleValue, DestIsTrashDerivedFromDestination) {
    struct Case {
        const char* dest;
        uint8_t trash;
    } cases[] = {{"acct\\Trash.box", 1}, {"acct\\Inbox.box", 0}, {"acct\\User003.box", 0}, {"", 1}, {"acct", 1}};
    for (const Case& c : cases) {
        DistributeRule rule;
        ASSERT_TRUE(parseRuleValue((std::string("0: t: h: 0: 0: ") + c.dest).c_str(), rule));
        EXPECT_EQ(c.trash, rule.destIsTrash) << c.dest;
    }
}

TEST(RuleValue, WrittenForm) {
    EXPECT_EQ("2: [list-a]: Subject::: 0: 0: Main\\User003.box",
              formatRuleValue(ruleOf({2, "[list-a]", "Subject:", 0, 0, "Main\\User003.box"})));
    EXPECT_EQ("0: : : 0: 0: d", formatRuleValue(ruleOf({0, "", "", 0, 0, "d"})));
    EXPECT_EQ("-5: a::::b: h: 1: 1: d", formatRuleValue(ruleOf({-5, "a::b", "h", 7, 255, "d"})));
    DistributeRule unterminated = ruleOf({0, "", "", 0, 0, ""});
    memset(unterminated.destFolder, 'd', sizeof unterminated.destFolder);
    EXPECT_EQ(std::string("0: : : 0: 0: ") + std::string(260, 'd'), formatRuleValue(unterminated));
}

TEST(RuleValue, ValuesTheLiteralReaderReadsReadIdentically) {
    std::mt19937 random(2024);
    for (int i = 0; i < 20000; ++i) {
        Fields original = randomRule(random, false, i % 10 == 0);
        std::string value = formatRuleValue(ruleOf(original));
        Fields literal;
        ASSERT_TRUE(literalRead(value.c_str(), literal)) << value;
        ASSERT_EQ(original, literal) << value;
        DistributeRule rule;
        ASSERT_TRUE(parseRuleValue(value.c_str(), rule)) << value;
        ASSERT_EQ(literal, fieldsOf(rule)) << value;
    }
}

TEST(RuleValue, WrittenRulesReadBackExactly) {
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        Fields original = randomRule(random, true, i % 4 == 0);
        DistributeRule rule;
        std::string value = formatRuleValue(ruleOf(original));
        ASSERT_TRUE(parseRuleValue(value.c_str(), rule)) << value;
        ASSERT_EQ(original, fieldsOf(rule)) << value;
    }
    Fields longest{INT_MIN, std::string(1023, ':'), std::string(1023, '\x5C'), 1, 1, std::string(259, ':')};
    DistributeRule rule;
    ASSERT_TRUE(parseRuleValue(formatRuleValue(ruleOf(longest)).c_str(), rule));
    EXPECT_EQ(longest, fieldsOf(rule));
}

TEST(RuleFitsRecord, StorableAndReadableWhole) {
    fits({2, "[list-a]", "Subject:", 0, 0, "Main\\User003.box"}, true);
    fits({0, "Re: x", "Subject:", 0, 0, "acct\\Inbox.box"}, true);
    fits({0, "t", "h", 0, 0, "acct\\x: y"}, false);
    fits({0, "a\nb", "h", 0, 0, "d"}, false);
    fits({0, "a", "h\r", 0, 0, "d"}, false);
    // The longest record: both texts escape to 2046 bytes each.
    fits({-2147483647, std::string(1023, ':'), std::string(1023, ':'), 1, 1, std::string(259, 'd')}, true);
    DistributeRule unterminated = ruleOf({0, "", "", 0, 0, ""});
    memset(unterminated.searchText, 't', sizeof unterminated.searchText);
    EXPECT_FALSE(ruleFitsRecord(unterminated));
}
