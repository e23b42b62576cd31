#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "plugin/history/History.h"

using namespace corvane;

namespace {

void trimmed(const char* text, const char* expected) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    std::string buffer(text);
    EXPECT_STREQ(expected, trimLineEnd(&buffer[0]));
}

long countOf(const std::string& bytes) {
    return countHistoryLines(bytes.data(), bytes.size()).moveLines;
}

}  // namespace

TEST(HistoryFormat, SourceLineThenOneLinePerMove) {
    MoveList moves;
    EXPECT_TRUE(moves.empty());
    moves.appendMove("acct\\Inbox.box\\M1", "acct\\Work");
    moves.appendMove("acct\\Inbox.box\\M2", "acct\\My Folder");
    EXPECT_EQ("acct\\Inbox.box\r\nacct\\Inbox.box\\M1 acct\\Work\r\nacct\\Inbox.box\\M2 acct\\My Folder\r\n",
              formatHistory("acct\\Inbox.box", false, moves.text));
    EXPECT_EQ("acct\\Trash.box\\Trash.box\r\n", formatHistory("acct\\Trash.box", true, ""));
    EXPECT_EQ("\r\n", formatHistory(nullptr, false, ""));
}

TEST(HistoryFormat, IncompletePairIsSkipped) {
    EXPECT_EQ("src\r\na b\r\n", formatHistory("src", false, "a\nb\nc\n"));
    EXPECT_EQ("src\r\n", formatHistory("src", false, "a\nb"));
    EXPECT_EQ("src\r\n b\r\n", formatHistory("src", false, "\nb\n"));
}

TEST(HistoryFormat, LongNamesAreWrittenWholeAndReadBack) {
    std::string entry = "acct\\Inbox.box\\" + std::string(400, 'e');
    std::string dest = "acct\\" + std::string(300, 'd');
    MoveList moves;
    moves.appendMove(entry.c_str(), dest.c_str());
    HistoryRecord record = parseHistoryText(formatHistory("acct\\Inbox.box", false, moves.text).c_str());
    ASSERT_EQ(1u, record.moves.size());
    EXPECT_EQ(entry, record.moves[0].entryName);
    EXPECT_EQ(dest, record.moves[0].destFolder);
}

TEST(TrimLineEnd, ThreePassesFromTheEnd) {
    trimmed("a\r\n\r\n", "a");
    trimmed("a\r", "a");
    trimmed("a\n", "a");
    trimmed("a\r\n\n", "a\r");   // the LFs go, the CR before them stays
    trimmed("a\n\r", "a");
    trimmed("a\r\r\n", "a");
    trimmed("\r\n", "");
    trimmed("a\nb", "a\nb");
    EXPECT_EQ(nullptr, trimLineEnd(nullptr));
    char empty[] = "";
    EXPECT_EQ(nullptr, trimLineEnd(empty));
}

TEST(HistoryCount, LinesAfterTheFirst) {
    HistoryCount none = countHistoryLines("", 0);
    EXPECT_FALSE(none.hasFirstLine);
    HistoryCount count = countHistoryLines("acct\\Inbox.box\r\n", 16);
    EXPECT_TRUE(count.hasFirstLine);
    EXPECT_EQ("acct\\Inbox.box", count.firstLine);
    EXPECT_EQ(0, count.moveLines);
    EXPECT_EQ(2, countOf("src\r\na b\r\nc d\r\n"));
    EXPECT_EQ(1, countOf("src\r\na b"));      // a last line without its line end counts
    EXPECT_EQ(2, countOf("src\r\n\r\n\r\n"));  // empty lines count too
}

TEST(HistoryCount, LinesAreReadIn1022ByteParts) {
    EXPECT_EQ(1, countOf("src\r\n" + std::string(1021, 'x') + "\r\n"));
    EXPECT_EQ(2, countOf("src\r\n" + std::string(1022, 'x') + "\r\n"));
    EXPECT_EQ(2, countOf("src\r\n" + std::string(2000, 'x') + "\r\n"));
    HistoryCount longFirst = countHistoryLines((std::string(1500, 's') + "\r\n").c_str(), 1502);
    EXPECT_EQ(std::string(1022, 's'), longFirst.firstLine);
    EXPECT_EQ(1, longFirst.moveLines);
    std::string withNul("sr\0c\r\n", 6);
    EXPECT_EQ("sr", countHistoryLines(withNul.data(), withNul.size()).firstLine);
}

TEST(HistoryParse, SourceFolderAndMoves) {
    HistoryRecord record = parseHistoryText("acct\\Inbox.box\r\nacct\\Inbox.box\\M1 acct\\My Folder\r\n");
    ASSERT_TRUE(record.ok);
    EXPECT_EQ("acct\\Inbox.box", record.sourceFolder);
    ASSERT_EQ(1u, record.moves.size());
    EXPECT_EQ("acct\\Inbox.box\\M1", record.moves[0].entryName);
    EXPECT_EQ("acct\\My Folder", record.moves[0].destFolder);
}

TEST(HistoryParse, MalformedLineEndsTheMoves) {
    EXPECT_FALSE(parseHistoryText(nullptr).ok);
    EXPECT_FALSE(parseHistoryText("").ok);
    EXPECT_FALSE(parseHistoryText("no line end").ok);
    EXPECT_EQ(1u, parseHistoryText("s\r\na b\r\nnoblank\r\nc d\r\n").moves.size());
    EXPECT_EQ(1u, parseHistoryText("s\r\na b\r\nc d").moves.size());
    // The blank of a later line does not split a line that has none.
    EXPECT_EQ(0u, parseHistoryText("s\r\nab\r\nc d\r\n").moves.size());
    EXPECT_EQ(0u, parseHistoryText("s\r\na b\nc d").moves.size());
}

TEST(HistoryParse, WrittenMovesReadBackInOrder) {
    std::mt19937 random(5);
    const std::string entryBytes = "ab\\\x83\x41.=";
    const std::string destBytes = entryBytes + " ";
    auto text = [&](const std::string& bytes, size_t maxLength) {
        std::string out;
        size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i)
            out += bytes[random() % bytes.size()];
        return out;
    };
    for (int round = 0; round < 300; ++round) {
        MoveList moves;
        std::vector<HistoryMove> expected;
        int count = static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i) {
            expected.push_back({text(entryBytes, 300), text(destBytes, 300)});
            moves.appendMove(expected.back().entryName.c_str(), expected.back().destFolder.c_str());
        }
        std::string file = formatHistory("acct\\Inbox.box", false, moves.text);
        HistoryRecord record = parseHistoryText(file.c_str());
        ASSERT_TRUE(record.ok);
        ASSERT_EQ(expected.size(), record.moves.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(expected[i].entryName, record.moves[i].entryName);
            EXPECT_EQ(expected[i].destFolder, record.moves[i].destFolder);
        }
        EXPECT_EQ(count, countOf(file));
    }
}
