#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "plugin/rules/HostRuleParse.h"
#include "plugin/rules/RuleText.h"

using namespace corvane;

namespace {

struct Split {
    std::string header, text, folder;
};

bool operator==(const Split& a, const Split& b) {
    return a.header == b.header && a.text == b.text && a.folder == b.folder;
}

std::ostream& operator<<(std::ostream& out, const Split& s) {
    return out << '[' << s.header << "] [" << s.text << "] [" << s.folder << ']';
}

bool split(const std::string& value, Split& out) {
    char header[1024], text[1024];
    PathBuffer folder;
    memset(header, 'x', sizeof header);
    memset(text, 'x', sizeof text);
    memset(folder, 'x', sizeof folder);
    bool ok = parseHostRule(value.c_str(), header, text, folder);
    out = {header, text, folder};
    return ok;
}

// The split as the host's rules were always read: header and text end at the first colon and
// blank, the folder is the rest.
bool literalSplit(const std::string& value, Split& out) {
    size_t first = value.find(": ");
    if (first == std::string::npos)
        return false;
    size_t second = value.find(": ", first + 2);
    if (second == std::string::npos)
        return false;
    std::string header = value.substr(0, first), text = value.substr(first + 2, second - first - 2);
    unescapeColons(&header[0]);
    unescapeColons(&text[0]);
    out = {header.c_str(), text.c_str(), value.substr(second + 2)};
    return true;
}

void splits(const std::string& value, const Split& expected) {
    Split got;
    EXPECT_TRUE(split(value, got)) << value;
    EXPECT_EQ(expected, got) << value;
}

void refused(const std::string& value) {
    Split got;
    EXPECT_FALSE(split(value, got)) << value.substr(0, 80);
    EXPECT_EQ((Split{"", "", ""}), got);
}

std::string randomPiece(std::mt19937& random, size_t maxLength) {
    static const char alphabet[] = "::  ab\\\"\x95\x5C\x81\x3A";
    std::string text;
    size_t length = random() % (maxLength + 1);
    while (text.size() < length)
        text += alphabet[random() % (sizeof alphabet - 1)];
    return text;
}

}  // namespace

TEST(HostRule, SplitsThreeFields) {
    splits("Subject::: [list-a]: acct\\User001.box", {"Subject:", "[list-a]", "acct\\User001.box"});
    splits("From::: a@b: acct\\x: y: z", {"From:", "a@b", "acct\\x: y: z"});
    splits("Subject::: Re:: x: acct\\f", {"Subject:", "Re: x", "acct\\f"});
    splits(": x: f", {"", "x", "f"});
    splits("h: : ", {"h", "", ""});
    splits("h::::: t::: f", {"h::", "t:", "f"});
}

TEST(HostRule, MissingSeparatorRefused) {
    refused("");
    refused("Subject:");
    refused("Subject::: text");
    refused("h: t:f");
    refused("h:: t: f");
    refused("h::::: t:: f");
}

TEST(HostRule, OverlongFieldsRefusedWhole) {
    const std::string long1023(1023, 'a'), long259(259, 'f');
    splits(long1023 + ": " + long1023 + ": " + long259, {long1023, long1023, long259});
    splits(std::string(2046, ':') + ": t: f", {std::string(1023, ':'), "t", "f"});
    refused(long1023 + "a: t: f");
    refused("h: " + long1023 + "a: f");
    refused("h: t: " + long259 + "f");
    refused("h: t: " + std::string(100000, 'f'));
}

TEST(HostRule, ValuesTheLiteralSplitReadsSplitIdentically) {
    std::mt19937 random(99);
    for (int i = 0; i < 20000; ++i) {
        std::string header = randomPiece(random, 20), text = randomPiece(random, 20);
        for (std::string* s : {&header, &text})
            for (size_t at = s->find(": "); at != std::string::npos; at = s->find(": "))
                (*s)[at] = '-';
        std::string value = escapeColons(header.c_str()) + ": " + escapeColons(text.c_str()) + ": " +
                            randomPiece(random, 20);
        Split literal, got;
        ASSERT_TRUE(literalSplit(value, literal)) << value;
        ASSERT_TRUE(split(value, got)) << value;
        ASSERT_EQ(literal, got) << value;
        ASSERT_EQ(header, got.header) << value;
        ASSERT_EQ(text, got.text) << value;
    }
}
