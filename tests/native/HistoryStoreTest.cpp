// The account's record of its last run through every file step: each write, flush, rename,
// delete and journal append made to fail, or made the point where the process dies, and after
// each the record the undo would take must be one the run or the undo could leave: a run's moves
// that were asked of the host, each with its identity, never a history read by key and never an
// older run's record in place of a newer one.
#include "plugin/history/HistoryStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace corvane;

namespace {

struct Died {};

// The account directory in memory. Step n (counted from 1) fails, or is where the process dies:
// a write or append cut there leaves half its bytes.
class MemoryDisk final : public AccountDisk {
public:
    std::map<std::string, std::string> files;
    int steps = 0;
    int faultAt = 0;
    bool dies = false;
    std::string faultName;  // the file the faulty step named

    bool read(const char* name, std::string& bytes) override {
        auto it = files.find(name);
        return it != files.end() && (bytes = it->second, true);
    }
    bool exists(const char* name) override { return files.count(name) != 0; }
    bool write(const char* name, const std::string& bytes) override {
        if (!step(name, [&] { files[name] = bytes.substr(0, bytes.size() / 2); }))
            return false;
        files[name] = bytes;
        return step(name, [] {});  // the flush
    }
    bool rename(const char* from, const char* to) override {
        if (!files.count(from) || !step(to, [] {}))
            return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool remove(const char* name) override {
        if (!step(name, [] {}))
            return false;
        files.erase(name);
        return true;
    }
    bool openJournal(const char* name) override {
        if (!step(name, [] {}))
            return false;
        journal_ = name;
        files[journal_].clear();
        return true;
    }
    bool append(const std::string& bytes) override {
        if (journal_.empty() || !step(journal_, [&] { files[journal_] += bytes.substr(0, bytes.size() / 2); }))
            return false;
        files[journal_] += bytes;
        return true;
    }
    void closeJournal() override { journal_.clear(); }

private:
    template <typename Cut>
    bool step(const std::string& name, Cut cut) {
        if (++steps != faultAt)
            return true;
        faultName = name;
        cut();
        if (dies)
            throw Died();
        return false;
    }
    std::string journal_;
};

MessageIdentity identityFor(const std::string& entry) {
    return identityOf(entry.data(), entry.size(), entry.size() + 7, entry.back() % 2 == 0);
}

// A run's moves: "<run>-<n>" from the inbox into Work.
std::vector<HistoryMove> movesOf(const std::string& run, size_t count) {
    std::vector<HistoryMove> moves;
    for (size_t i = 0; i < count; ++i)
        moves.push_back({"Main\\Inbox.box\\" + run + std::to_string(i), "Main\\User 001.box"});
    return moves;
}

// A run through the recorder that stops at the first move it cannot record; the moves asked.
size_t runRecorder(AccountDisk& disk, const std::vector<HistoryMove>& moves) {
    RunRecorder recorder(disk, "Main\\Inbox.box");
    size_t asked = 0;
    for (const HistoryMove& move : moves) {
        if (!recorder.record(move.entryName, move.destFolder.c_str(), identityFor(move.entryName)))
            break;
        ++asked;
    }
    recorder.finish();
    return asked;
}

// The moves of what the undo would take now, as "entry>destination" texts; "" for none. Fails the
// test for a record with moves but without one identity each.
std::vector<std::string> undoable(MemoryDisk& disk) {
    StoredRecord stored;
    disk.faultAt = 0;
    if (!loadStoredRecord(disk, stored))
        return {};
    std::vector<std::string> out;
    for (size_t i = 0; i < stored.record.moves.size(); ++i) {
        const HistoryMove& move = stored.record.moves[i];
        EXPECT_LT(i, stored.identities.size()) << "a record read by key: " << move.entryName;
        if (i < stored.identities.size()) {
            EXPECT_EQ(identityFor(move.entryName), stored.identities[i]) << move.entryName;
        }
        out.push_back(move.entryName + ">" + move.destFolder);
    }
    return out;
}

std::vector<std::string> texts(const std::vector<HistoryMove>& moves, size_t first = 0, size_t count = SIZE_MAX) {
    std::vector<std::string> out;
    for (size_t i = first; i < moves.size() && out.size() < count; ++i)
        out.push_back(moves[i].entryName + ">" + moves[i].destFolder);
    return out;
}

const std::vector<HistoryMove> kEarlier = movesOf("a", 2);
const std::vector<HistoryMove> kRun = movesOf("b", 3);

// What the disk holds before the action: run A's pair, then run B whole or dead after 3 moves.
void earlierPair(MemoryDisk& disk) { runRecorder(disk, kEarlier); }
void runEnded(MemoryDisk& disk) {
    earlierPair(disk);
    runRecorder(disk, kRun);
}
void runDied(MemoryDisk& disk) {
    earlierPair(disk);
    RunRecorder recorder(disk, "Main\\Inbox.box");
    for (const HistoryMove& move : kRun)
        recorder.record(move.entryName, move.destFolder.c_str(), identityFor(move.entryName));
}

StoredRecord loaded(MemoryDisk& disk) {
    StoredRecord stored;
    loadStoredRecord(disk, stored);
    return stored;
}

struct StepCase {
    const char* name;
    std::function<void(MemoryDisk&)> before;
    // The action; returns the moves asked of the host (for a run), else 0.
    std::function<size_t(MemoryDisk&)> action;
    // What the undo may take after the action stopped at a fault, given the moves asked.
    std::function<std::vector<std::vector<std::string>>(size_t asked)> allowed;
};

const StepCase kStepCases[] = {
    {"a run: the moves asked, or the earlier run when none was", earlierPair,
     [](MemoryDisk& disk) { return runRecorder(disk, kRun); },
     [](size_t asked) {
         return std::vector<std::vector<std::string>>{asked ? texts(kRun, 0, asked) : texts(kEarlier)};
     }},
    {"an undo cut short after one record", runEnded,
     [](MemoryDisk& disk) { return keepStoredMoves(disk, loaded(disk), 1), size_t(0); },
     [](size_t) { return std::vector<std::vector<std::string>>{texts(kRun), texts(kRun, 1)}; }},
    {"an undo cut short of a run that died", runDied,
     [](MemoryDisk& disk) { return keepStoredMoves(disk, loaded(disk), 1), size_t(0); },
     [](size_t) { return std::vector<std::vector<std::string>>{texts(kRun), texts(kRun, 1)}; }},
    {"an undo done", runEnded, [](MemoryDisk& disk) { return removeStoredRecord(disk), size_t(0); },
     [](size_t) { return std::vector<std::vector<std::string>>{texts(kRun), {}}; }},
    {"an undo done of a run that died", runDied, [](MemoryDisk& disk) { return removeStoredRecord(disk), size_t(0); },
     [](size_t) { return std::vector<std::vector<std::string>>{texts(kRun), {}}; }},
};

// Runs the action with a fault at step n; false once n is past its last step.
bool actWithFault(const StepCase& c, int n, bool dies, MemoryDisk& disk, size_t& asked) {
    c.before(disk);
    disk.steps = 0;
    disk.faultAt = n;
    disk.dies = dies;
    asked = 0;
    try {
        asked = c.action(disk);
    } catch (const Died&) {
        // The moves recorded so far were asked of the host; the journal says how many.
        std::string journal;
        StoredRecord stored;
        if (disk.read(kJournalFileName, journal) && parseJournal(journal, stored))
            asked = stored.record.moves.size();
    }
    return disk.steps >= n;
}

TEST(HistoryStore, EveryFaultAtEveryFileStepLeavesARecordTheUndoMayTake) {
    for (const StepCase& c : kStepCases) {
        for (bool dies : {false, true}) {
            int n = 1;
            for (;; ++n) {
                MemoryDisk disk;
                size_t asked = 0;
                if (!actWithFault(c, n, dies, disk, asked))
                    break;
                std::vector<std::vector<std::string>> allowed = c.allowed(asked);
                std::vector<std::string> now = undoable(disk);
                EXPECT_NE(allowed.end(), std::find(allowed.begin(), allowed.end(), now))
                    << c.name << (dies ? ", died" : ", failed") << " at step " << n << " (" << disk.faultName
                    << "), " << asked << " asked, " << now.size() << " undoable";
            }
            EXPECT_GT(n, 3) << c.name << ": too few steps to have tried each";
        }
    }
}

TEST(HistoryStore, ACompanionWriteThatFailsLeavesTheEarlierPairWhole) {
    MemoryDisk clean;
    earlierPair(clean);
    for (int n = 1;; ++n) {
        MemoryDisk disk;
        size_t asked = 0;
        if (!actWithFault(kStepCases[0], n, false, disk, asked))
            break;
        if (disk.faultName != "corvane.tid" && disk.faultName != kIdentityFileName)
            continue;
        EXPECT_EQ(clean.files[kHistoryFileName], disk.files[kHistoryFileName]) << n;
        EXPECT_EQ(clean.files[kIdentityFileName], disk.files[kIdentityFileName]) << n;
        EXPECT_EQ(texts(kRun), undoable(disk)) << "the journal stays the run's record";
    }
}

TEST(HistoryStore, ARunThatEndsLeavesThePairAsBeforeAndNoJournal) {
    MemoryDisk disk;
    runEnded(disk);
    std::string history = "Main\\Inbox.box\r\n";
    for (const HistoryMove& move : kRun)
        history += move.entryName + " " + move.destFolder + "\r\n";
    EXPECT_EQ(history, disk.files[kHistoryFileName]);
    EXPECT_EQ(0u, disk.files.count(kJournalFileName));
    EXPECT_EQ(3, countStoredRecord(disk).count.moveLines);
}

TEST(HistoryStore, ARunThatMovesNothingLeavesTheEarlierRecord) {
    MemoryDisk disk;
    earlierPair(disk);
    std::map<std::string, std::string> before = disk.files;
    runRecorder(disk, {});
    EXPECT_EQ(before, disk.files);
}

TEST(HistoryStore, TheJournalOfARunThatDiedIsCountedBeforeTheEarlierPair) {
    MemoryDisk disk;
    runDied(disk);
    StoredCount count = countStoredRecord(disk);
    EXPECT_TRUE(count.found);
    EXPECT_EQ("Main\\Inbox.box", count.count.firstLine);
    EXPECT_EQ(3, count.count.moveLines);
    EXPECT_TRUE(loaded(disk).fromJournal);
}

struct JournalCase {
    const char* name;
    std::string tail;  // after the heading and the source line
    size_t moves;
};

std::string journalLineOf(const std::string& entry, const std::string& dest) {
    std::string line;
    EXPECT_TRUE(journalLine({entry, dest}, identityFor(entry), line));
    return line;
}

TEST(HistoryStore, AJournalIsReadUpToItsFirstLineThatIsTornOrMalformed) {
    const std::string one = journalLineOf("Main\\Inbox.box\\1", "Main\\User 001.box");
    const std::string two = journalLineOf("Main\\Inbox.box\\2", "Main\\Trash.box");
    const JournalCase cases[] = {
        {"whole", one + two, 2},
        {"torn last line", one + two.substr(0, two.size() - 1), 1},
        {"torn in the digest", one + two.substr(0, 30), 1},
        {"no destination", one + two.substr(0, two.rfind(' ')) + "\r\n" + one, 1},
        {"a bad digest", one + "F 12 " + std::string(64, 'g') + " e d\r\n" + one, 1},
        {"a lone line feed", one + two.substr(0, two.size() - 4) + "\nx\r\n" + one, 1},
        {"empty", "", 0},
    };
    for (const JournalCase& c : cases) {
        StoredRecord stored;
        ASSERT_TRUE(parseJournal(journalStart("Main\\Inbox.box") + c.tail, stored)) << c.name;
        EXPECT_EQ(c.moves, stored.record.moves.size()) << c.name;
        EXPECT_EQ(c.moves, stored.identities.size()) << c.name;
    }
    StoredRecord stored;
    EXPECT_FALSE(parseJournal("corvane-journal 2\r\nMain\\Inbox.box\r\n" + one, stored));
    EXPECT_FALSE(parseJournal(journalStart("Main\\Inbox.box").substr(0, 25), stored));
}

TEST(HistoryStore, AMoveThatOneLineCannotHoldIsNotRecorded) {
    std::string line;
    for (const HistoryMove& move : std::vector<HistoryMove>{
             {"Main\\Inbox.box\\a b", "Main\\Work"}, {"Main\\Inbox.box\\a\r\n", "Main\\Work"},
             {"Main\\Inbox.box\\a", "Main\\Wo\nrk"}, {"", "Main\\Work"}, {"Main\\Inbox.box\\a", ""}})
        EXPECT_FALSE(journalLine(move, identityFor("x"), line)) << move.entryName << " " << move.destFolder;
    MemoryDisk disk;
    earlierPair(disk);
    RunRecorder recorder(disk, "Main\\Inbox.box");
    EXPECT_FALSE(recorder.record("Main\\Inbox.box\\a b", "Main\\Work", identityFor("Main\\Inbox.box\\a b")));
    EXPECT_FALSE(recorder.broken()) << "the message stays, and the run goes on";
    EXPECT_EQ(texts(kEarlier), undoable(disk)) << "no journal for a run that moved nothing yet";
    EXPECT_TRUE(recorder.record("Main\\Inbox.box\\c", "Main\\Work", identityFor("Main\\Inbox.box\\c")));
    EXPECT_EQ(std::vector<std::string>{"Main\\Inbox.box\\c>Main\\Work"}, undoable(disk));
}

TEST(HistoryStore, AJournalThatCannotBeWrittenStopsTheRun) {
    for (int n : {1, 2, 3}) {  // the journal's creation, its start, the first move's line
        MemoryDisk disk;
        earlierPair(disk);
        disk.steps = 0;
        disk.faultAt = n;
        RunRecorder recorder(disk, "Main\\Inbox.box");
        EXPECT_FALSE(recorder.record("Main\\Inbox.box\\c", "Main\\Work", identityFor("Main\\Inbox.box\\c"))) << n;
        EXPECT_TRUE(recorder.broken()) << n;
        EXPECT_FALSE(recorder.record("Main\\Inbox.box\\d", "Main\\Work", identityFor("Main\\Inbox.box\\d"))) << n;
        EXPECT_TRUE(recorder.finish()) << n;
        EXPECT_EQ(texts(kEarlier), undoable(disk)) << n;
    }
}

}  // namespace
