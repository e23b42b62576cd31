#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/text/HeaderExtraction.h"

using namespace corvane;

namespace {

// x2: the field is found with this value; n: no value.
void x2(const std::string& text, const char* name, const std::string& expected) {
    SCOPED_TRACE(testing::Message() << "text=" << testing::PrintToString(text) << " name=" << name);
    char value[kHeaderValueSize];
    ASSERT_TRUE(extractHeaderValue(text.c_str(), name, value));
    EXPECT_EQ(expected, std::string(value));
}

void n(const std::string& text, const char* name) {
    SCOPED_TRACE(testing::Message() << "text=" << testing::PrintToString(text) << " name=" << name);
    char value[kHeaderValueSize];
    memset(value, 'q', sizeof value);
    EXPECT_FALSE(extractHeaderValue(text.c_str(), name, value));
    EXPECT_EQ('\0', value[0]);
}

}  // namespace

TEST(HeaderBlockEnd, StopsBeforeTheFirstEmptyLine) {
    EXPECT_EQ(7u, headerBlockEnd("From: a\r\n\r\nbody\r\n\r\nmore"));
    EXPECT_EQ(0u, headerBlockEnd("\r\n\r\nbody"));
    EXPECT_EQ(16u, headerBlockEnd("From: a\r\nTo: b\r\n"));  // no empty line: the whole text
    EXPECT_EQ(7u, headerBlockEnd("From: a\0\r\n\r\n"));      // the text ends at its NUL
    EXPECT_EQ(9u, headerBlockEnd("From: a\n\n\r\n\r\n"));    // bare line feeds do not count
}

TEST(HeaderValue, FieldAtTheStartOfALine) {
    x2("Subject: hello\r\n\r\nbody\r\n", "Subject:", "hello");
    x2("From: a\r\nsubject: lower\r\n\r\n", "Subject:", "lower");
    x2("SUBJECT:tight\r\n", "Subject:", "tight");
    x2("Subject:\t tab kept\r\n", "Subject:", "\t tab kept");
    x2("Subject:    \r\n", "Subject:", "");
    x2("Subject: first\r\nSubject: second\r\n", "Subject:", "first");
    x2("X-Subject: no\r\nSubject: yes\r\n", "Subject:", "yes");
    n("X-Subject: no\r\n\r\n", "Subject:");
    x2("Subject: hi\r\n", "Subject", ": hi");
    x2("Subject-Extra: hi\r\n", "Subject", "-Extra: hi");
    x2("First line\r\nX: y\r\n", "", "First line");
    x2("\x83\x41: kana name\r\n", "\x83\x61:", "kana name");  // second bytes fold too
}

TEST(HeaderValue, OnlyTheHeaderBlockAndOnlyWholeLines) {
    n("From: a\r\n\r\nSubject: in body\r\n", "Subject:");
    n("", "Subject:");
    n("Subject: no line end", "Subject:");
    n("Subject: bare feed\n\n", "Subject:");
    n("From: a\r\nSubject: last line unended", "Subject:");
    n("From: a\r\nSubject: x\0\r\n", "Subject:");
    // A name holding a line end must not reach into the next line.
    n("Subject: a\r\nFrom: b\r\n", "Subject: a\r\nFrom:");
}

TEST(HeaderValue, ContinuationLinesUnfold) {
    x2("Subject: one\r\n two\r\n\tthree\r\nFrom: x\r\n", "Subject:", "one two three");
    x2("Subject: a\r\n \t  b\r\n\r\n c\r\n", "Subject:", "a b");
    x2("Subject: a\r\n   \r\nTo: c\r\n", "Subject:", "a ");
    x2("Subject:\r\n folded\r\n", "Subject:", " folded");
    n("Subject: a\r\n b", "Subject:");  // a continuation without its line end spoils the field
}

TEST(HeaderValue, ContinuationThatDoesNotFitIsLeftOut) {
    std::string fits(1021, 'f');  // "a" + " " + 1021 bytes = 1023
    x2("Subject: a\r\n " + fits + "\r\n", "Subject:", "a " + fits);
    std::string tooLong(1022, 'L');  // would make 1024
    x2("Subject: a\r\n " + tooLong + "\r\n b\r\n", "Subject:", "a b");
    n("Subject: a\r\n " + tooLong, "Subject:");
}

TEST(HeaderValue, OverLongFirstLineIsCutAtACharacterBoundary) {
    std::string exact(1023, 'x');
    x2("Subject: " + exact + "\r\n more\r\n", "Subject:", exact);
    std::string longer(1500, 'y');
    x2("Subject: " + longer + "\r\n", "Subject:", std::string(1023, 'y'));
    // A double-byte character across the 1023rd byte is left out whole.
    std::string kana = std::string(1022, 'k') + "\x82\xA0" + "tail";
    x2("Subject: " + kana + "\r\n", "Subject:", std::string(1022, 'k'));
    std::string evenKana;
    for (int i = 0; i < 600; ++i)
        evenKana += "\x82\xA0";
    char value[kHeaderValueSize];
    ASSERT_TRUE(extractHeaderValue(("Subject: " + evenKana + "\r\n").c_str(), "Subject:", value));
    EXPECT_EQ(1022u, strlen(value));
}
