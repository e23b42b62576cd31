// The decoder against Python's email package: tests/decode/reference.py wrote what Python
// makes of every message of the corpus (tests/fixtures/decode) and of CPython's own email test
// messages, converted to code page 932 as Windows converts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/text/HeaderExtraction.h"
#include "plugin/text/MessageDecoder.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const char* const kCpythonData = "/usr/lib/python3.11/test/test_email/data/";

// The bodies where the decoder and Python part ways on purpose; the test checks that they
// still differ, so the list stays true. Header fields all agree.
const struct {
    const char* message;
    const char* why;
} kAllowedBodyDifferences[] = {
    {"cpython-msg_15", "a multipart that reuses its parent's boundary: Python keeps one more line break"},
    {"cpython-msg_19", "no header fields at all: the header block still ends at the first empty line, "
                       "as for byte matching; Python takes the whole text as the body"},
    {"cpython-msg_38", "delimiter lines of enclosing multiparts inside a text part: they end the outer "
                       "part here, Python drops the lines and keeps the text"},
};

bool bodyMayDiffer(const std::string& stem) {
    for (const auto& allowed : kAllowedBodyDifferences)
        if (stem == allowed.message)
            return true;
    return false;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

struct Expectation {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
};

// "F <name length> <value length>\n" name value "\n" for each field, then "B <length>\n" body "\n".
Expectation parseExpectation(const std::string& text) {
    Expectation e;
    size_t at = 0;
    while (at < text.size()) {
        size_t lineEnd = text.find('\n', at);
        std::istringstream line(text.substr(at, lineEnd - at));
        char kind = 0;
        size_t a = 0, b = 0;
        line >> kind >> a;
        at = lineEnd + 1;
        if (kind == 'B') {
            e.body = text.substr(at, a);
            break;
        }
        line >> b;
        e.fields.emplace_back(text.substr(at, a), text.substr(at + a, b));
        at += a + b + 1;
    }
    return e;
}

std::string messageFor(const fs::path& expected) {
    std::string stem = expected.stem().string();
    fs::path eml = expected;
    eml.replace_extension(".eml");
    if (fs::exists(eml))
        return readFile(eml);
    std::string source = kCpythonData + stem.substr(strlen("cpython-")) + ".txt";
    EXPECT_TRUE(fs::exists(source)) << source << " missing: install libpython3.11-testsuite (scripts/setup.sh does)";
    return withCrlf(readFile(source));
}

std::string decodedBody(MessageDecoder& decoder, const std::string& message) {
    size_t length = 0;
    std::string text(decoder.decodeMessage(message.c_str(), &length));
    size_t split = text.find("\r\n\r\n");
    return split == std::string::npos ? std::string() : text.substr(split + 4);
}

}  // namespace

TEST(DecodeCorpus, HeadersAndBodiesEqualPythonsDecoding) {
    const char* fixtures = getenv("CORVANE_FIXTURES");
    ASSERT_NE(nullptr, fixtures);
    MessageDecoder decoder;
    int messages = 0, fields = 0, cpython = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(fixtures) / "decode")) {
        if (entry.path().extension() != ".expected")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        Expectation expected = parseExpectation(readFile(entry.path()));
        std::string message = messageFor(entry.path());
        ASSERT_LE(message.size(), kMessageReadCap);
        for (const auto& [name, value] : expected.fields) {
            char raw[kHeaderValueSize];
            char decoded[kHeaderValueSize];
            ASSERT_TRUE(extractHeaderValue(message.c_str(), name.c_str(), raw)) << name;
            size_t n = decoder.decodeHeaderValue(raw, strlen(raw), decoded);
            EXPECT_EQ(value, std::string(decoded, n)) << name;
            ++fields;
        }
        if (bodyMayDiffer(entry.path().stem().string()))
            EXPECT_NE(expected.body, decodedBody(decoder, message));
        else
            EXPECT_EQ(expected.body, decodedBody(decoder, message));
        ++messages;
        cpython += entry.path().stem().string().rfind("cpython-", 0) == 0;
    }
    EXPECT_EQ(8 * 2 * 3 + 47, messages);
    EXPECT_EQ(47, cpython);
    EXPECT_GT(fields, 400);
}
