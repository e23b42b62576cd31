#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "plugin/common/Sha256.h"
#include "plugin/history/History.h"
#include "plugin/history/MessageIdentity.h"
#include "plugin/history/MessageListKeys.h"

using namespace corvane;

namespace {

struct Vector {
    std::string input;
    const char* digest;
};

std::string hexOf(const std::array<uint8_t, 32>& digest) {
    std::string out;
    char two[3];
    for (uint8_t byte : digest) {
        snprintf(two, sizeof two, "%02x", byte);
        out += two;
    }
    return out;
}

MessageIdentity identity(bool taken, uint64_t size, const std::string& bytes) {
    return identityOf(bytes.data(), bytes.size(), size, taken);
}

const std::string kHistory = "Main\\Inbox.box\r\nMain\\Inbox.box\\1 Main\\User001.box\r\nMain\\Inbox.box\\2 Main\\Trash.box\r\n";

}  // namespace

TEST(Sha256, KnownVectorsWholeAndInPiecesAcrossBlockEdges) {
    const Vector vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstn"
         "opqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    std::mt19937 random(22);
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.input.size());
        EXPECT_EQ(v.digest, sha256Hex(v.input.data(), v.input.size()));
        Sha256 pieces;
        for (size_t at = 0; at < v.input.size();) {
            size_t take = std::min<size_t>(v.input.size() - at, random() % 130);
            pieces.update(v.input.data() + at, take);
            at += take;
        }
        EXPECT_EQ(v.digest, hexOf(pieces.finish()));
    }
}

TEST(MessageIdentity, SizeAndDigestOfTheBytesReadIdentifyAMessage) {
    std::string bytes = "Subject: a\r\n\r\nbody\0with a NUL\r\n";
    bytes += std::string(1, '\0') + "tail";
    MessageIdentity id = identity(true, 70000, bytes);
    EXPECT_TRUE(sameMessage(id, bytes.data(), bytes.size(), 70000));
    EXPECT_FALSE(sameMessage(id, bytes.data(), bytes.size(), 70001)) << "another true size";
    EXPECT_FALSE(sameMessage(id, bytes.data(), bytes.size() - 1, 70000)) << "a byte after a NUL";
    std::string changed = bytes;
    changed[3] = 'J';
    EXPECT_FALSE(sameMessage(id, changed.data(), changed.size(), 70000));
}

TEST(MessageIdentity, CompanionRoundTripsAndBelongsOnlyToItsHistory) {
    std::vector<MessageIdentity> ids = {identity(true, 12, "one"), identity(false, 99999999999ull, "two")};
    std::string companion = formatIdentities(kHistory, ids);
    std::vector<MessageIdentity> back;
    ASSERT_TRUE(parseIdentities(companion.data(), companion.size(), kHistory.data(), kHistory.size(), 2, back));
    EXPECT_EQ(ids, back);

    std::string other = kHistory + "Main\\Inbox.box\\3 Main\\User001.box\r\n";
    std::string digestLine = companion.substr(22, 64);
    struct Case {
        const char* name;
        std::string companion;
        std::string history;
        size_t moves;
    };
    const Case cases[] = {
        {"another history", companion, other, 2},
        {"another move count", companion, kHistory, 3},
        {"no heading", companion.substr(22), kHistory, 2},
        {"no final line end", companion.substr(0, companion.size() - 2), kHistory, 2},
        {"LF alone", "corvane-identities 1\n" + companion.substr(22), kHistory, 2},
        {"upper-case digest", formatIdentities(kHistory, {ids[0], {false, 1, std::string(64, 'A')}}), kHistory, 2},
        {"short digest", formatIdentities(kHistory, {ids[0], {false, 1, "abc"}}), kHistory, 2},
        {"size too long", std::string(companion).replace(companion.find("99999999999"), 11, "12345678901234567890"),
         kHistory, 2},
        {"size not a number", std::string(companion).replace(companion.find("T 12") + 2, 2, "1x"), kHistory, 2},
        {"size with a leading zero", std::string(companion).replace(companion.find("T 12") + 2, 2, "012"), kHistory, 2},
        {"bad flag", std::string(companion).replace(companion.find("T 12"), 1, "X"), kHistory, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        back = ids;
        EXPECT_FALSE(parseIdentities(c.companion.data(), c.companion.size(), c.history.data(), c.history.size(),
                                     c.moves, back));
        EXPECT_TRUE(back.empty());
    }
    EXPECT_EQ(sha256Hex(kHistory.data(), kHistory.size()), digestLine);
}

TEST(MessageIdentity, ListKeysInOrderBoundedAndNeverOutsideTheFolder) {
    const char* list = "00000001=AAAAAAAAAAAAAAAA\r\n00000001_1=AAAAAAAAAAAAAAAA\r\n..\\x=AAAA\r\nno-equals\r\n"
                       "=AAAA\r\na/b=AA\r\nc:d=AA\n00000002=AAAAAAAAAAAAAAAA";
    EXPECT_EQ((std::vector<std::string>{"00000001", "00000001_1", "00000002"}), messageListKeys(list, 10));
    EXPECT_EQ((std::vector<std::string>{"00000001", "00000001_1"}), messageListKeys(list, 2));
    EXPECT_TRUE(messageListKeys(nullptr, 10).empty());
}

TEST(MessageIdentity, ListKeysNeverHoldAControlCharacter) {
    const struct { const char* line; bool kept; } cases[] = {
        {"00000001=AAAAAAAAAAAAAAAA", true},
        {"A0\r001=AAAAAAAAAAAAAAAA", false},   // a lone CR inside the line
        {"A\t1=AAAAAAAAAAAAAAAA", false},
        {"A\x01=AAAAAAAAAAAAAAAA", false},
        {"A\x7F=AAAAAAAAAAAAAAAA", false},
        {"\x82\xA0=AAAAAAAAAAAAAAAA", true},  // Shift-JIS is no control
    };
    for (const auto& c : cases) {
        std::vector<std::string> keys = messageListKeys(std::string(c.line) + "\r\n");
        EXPECT_EQ(c.kept ? 1u : 0u, keys.size()) << testing::PrintToString(c.line);
    }
}

// The fuzz target's input: the key "A0\r001" came from its second line.
TEST(MessageIdentity, IdentityFuzzListWithALoneCarriageReturn) {
    const std::string list("000000013AAAAAAAAAAAAAAA0\nA0\r001=AAAAAAAAAAAAAAAA\r\n00000001_100001=AAAAAAAAAAAAAAAA\r\n"
                           "=AAAAAAAAAAAAAAAA\r\n..\\x=AAAA\r\n=0001_1=AAAAAAAAAAAAAAAA\xce\nn.\\x=AAAA\r\n=AA\r\n"
                           "noequals\n");
    EXPECT_EQ(std::vector<std::string>{"00000001_100001"}, messageListKeys(list, 50));
}

TEST(HistoryFormat, AnUndoCutShortKeepsTheSourceLineAndTheRecordsNotTried) {
    HistoryRecord record = parseHistoryText(kHistory.c_str());
    EXPECT_EQ(kHistory, formatHistoryFrom(record, 0));
    EXPECT_EQ("Main\\Inbox.box\r\nMain\\Inbox.box\\2 Main\\Trash.box\r\n", formatHistoryFrom(record, 1));
    EXPECT_EQ("Main\\Inbox.box\r\n", formatHistoryFrom(record, 2));
}
