// Crafted message files sorted through the real plug-in: line ends of every wrong kind, headers
// far past the part that is read, NUL and 8-bit bytes everywhere. Each goes where the literal
// reference matcher says, byte for byte unchanged, and undo brings every one back.
#include "SortingFixture.h"

using namespace sorting;

namespace {

std::string repeated(const std::string& piece, size_t bytes) {
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    return text;
}

// A literal with its NUL bytes.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string eightBit(std::mt19937& random, size_t bytes) {
    std::string text(bytes, '\0');
    for (char& c : text)
        c = static_cast<char>(0x80 + random() % 0x80);
    return text;
}

// The corpus: each a file no mail program would write, many carrying text some rule looks for.
std::vector<std::string> hostileCorpus() {
    std::mt19937 random(4242);
    std::vector<std::string> corpus = {
        "",
        "\r\n",
        "\r\n\r\n\r\n",
        "From: Boss <boss@example.co.jp>\nSubject: Re: lf only\n\nURGENT: 家族\n",
        "From: Boss <boss@example.co.jp>\rSubject: Re: cr only\r\rURGENT:\r",
        "Subject:\rRe: lone\r\r\rFrom: a@example.co.jp>\r\n\r\ninvoice  #12\r",
        "\tSubject: Re: continuation\r\n X-ML-Name: corvane-dev\r\n\tFrom: x@example.co.jp>\r\n",
        " only\r\n\tcontinuation\r\n lines\r\n",
        bytes("\0Subject: Re: after nul\r\n\r\n家族"),
        bytes("Subject: Re: nul\0inside\r\nX-Priority: 1\r\n\r\n"),
        bytes("X-ML-Name: corvane-dev\r\nSubject: \0\r\n\r\n\0\0\0家族"),
        "Subject: " + repeated("a", 1 << 20) + "\r\nX-Priority: 1\r\n\r\nURGENT:\r\n",
        "Subject: Re: big header\r\n" + repeated("X-Pad: 0123456789abcdef\r\n", 10 << 20) + "\r\n家族\r\n",
        repeated("X-Pad: 0123456789abcdef\r\n", 10 << 20) + "X-Priority: 1\r\n\r\n",
        repeated("X", 200000) + ": Re: name\r\nSubject: Re: after a long name\r\n\r\n",
        "Subject:" + repeated("\r\n ", 40000) + "Re: folded far\r\n\r\n",
        "From: \x82\r\nSubject: \x82Re: lead byte\r\n\r\n",
        "Subject: \xe0\r\nX-ML-Name: corvane-dev\xff\r\n\r\n",
        "Subject: お知らせ\x81\r\n\r\n",
        "Subject: 週報\r\n\r\n" + eightBit(random, 70000),
        "Subject: [spam] x\r\n" + eightBit(random, 5000),
    };
    // Random bytes of every kind with rule texts sprinkled in.
    static const char* const pieces[] = {"\r", "\n", "\r\n", "\r\n\r\n", " ", "\t", ":", "Subject:", "From:",
                                         "Re:", "X-ML-Name:", "corvane-dev", "example.co.jp>", "家族", "URGENT:",
                                         "invoice #9", "[spam]", "x-priority: 1", "お知らせ", "\x82", "\0"};
    for (int i = 0; i < 40; ++i) {
        std::string text;
        size_t parts = 5 + random() % 60;
        for (size_t p = 0; p < parts; ++p) {
            if (random() % 3 == 0) {
                text += eightBit(random, 1 + random() % 40);
            } else {
                const char* piece = pieces[random() % (sizeof pieces / sizeof pieces[0])];
                text += *piece ? std::string(piece) : std::string(1, '\0');
            }
        }
        corpus.push_back(text);
    }
    return corpus;
}

class Hostile : public SortingTest {};

TEST_F(Hostile, CraftedMessagesSortAsTheReferencePredictsAndComeBackWhole) {
    std::vector<std::string> selection;
    for (const std::string& text : hostileCorpus())
        selection.push_back(mailbox().addMessage(kInbox, text));
    corvane::RuleList rules = fullRules();
    rules.push_back(header("Subject:", "re:", kArchive));
    rules.push_back(header("X-Pad:", "0123", kArchive));
    writeRules(rules, true, true);
    openFolder(kInbox);
    select(selection);
    MailboxState before = snapshot();
    Expectation expected = expectRun(before);
    std::map<std::string, int> byDestination;
    for (const auto& move : expected.moves)
        ++byDestination[move.second];
    ASSERT_GE(byDestination.size(), 4u) << "the corpus reaches most rules";
    ASSERT_LT(expected.moves.size(), selection.size() - 5) << "and some messages stay";

    answerBox(IDOK);
    distribute();
    EXPECT_EQ(expected.after, snapshot());
    ASSERT_EQ(expected.moves.size(), host.moves.size());
    for (size_t i = 0; i < host.moves.size(); ++i)
        EXPECT_EQ(expected.moves[i].first, host.moves[i].entry) << i;
    EXPECT_EQ(historyBytes(kInbox, expected.moves), readHistory());

    undoAnsweringYes();
    EXPECT_EQ(before, snapshot());
}

// Expressions that would run for seconds or minutes on a long run of one letter give up at the
// search's limits and count as no match, so a later rule decides; short messages still match
// them. The run's time is printed, for the record; the cost of each search is measured by the
// benchmarks.
TEST_F(Hostile, ExpressionsThatWouldRunForMinutesGiveUpAndALaterRuleDecides) {
    const std::string run(0xFFFF, 'a');
    std::vector<std::string> hostileEntries, shortEntries;
    for (int i = 0; i < 6; ++i)
        hostileEntries.push_back(mailbox().addMessage(kInbox, run + "!"));
    shortEntries.push_back(mailbox().addMessage(kInbox, "aaab"));
    shortEntries.push_back(mailbox().addMessage(kInbox, "x aab x"));
    writeRules({rule(corvane::WholeMessage, "a+b", kArchive, false, true),
                rule(corvane::WholeMessage, "(?i)(a+)\\1+b", kWork, false, true),
                rule(corvane::WholeMessage, "\\w+\\s+!", kLists, false, true),
                rule(corvane::WholeMessage, "a.*b", kArchive, false, true),
                rule(corvane::WholeMessage, "!", kFamily)},
               true, true);
    openFolder(kInbox);
    std::vector<std::string> selection = hostileEntries;
    selection.insert(selection.end(), shortEntries.begin(), shortEntries.end());
    select(selection);
    MailboxState before = snapshot();

    answerBox(IDOK);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    distribute();
    QueryPerformanceCounter(&end);
    std::printf("hostile expressions: a run over %u messages of 64 KB and 2 short ones took %.0f ms, dialogs included\n",
                static_cast<unsigned>(hostileEntries.size()),
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));

    ASSERT_EQ(selection.size(), host.moves.size());
    MailboxState after = snapshot();
    for (const std::string& entry : hostileEntries)
        EXPECT_EQ(kFamily, after[keyOf(entry)].folder) << entry;
    for (const std::string& entry : shortEntries)
        EXPECT_EQ(kArchive, after[keyOf(entry)].folder) << entry;

    undoAnsweringYes();
    EXPECT_EQ(before, snapshot());
}

}  // namespace
