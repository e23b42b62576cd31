// The account's record of its last sorting run, kept so that no failure or death of the process
// at any file step leaves the run's moves without their identities, or with another run's.
// Platform-free: the files are reached through AccountDisk.
//
// Three files in the account directory:
//   corvane.his  the history, in the host's long-standing format (History.h);
//   corvane.hid  its companion of identities, one per move (MessageIdentity.h);
//   corvane.jnl  the journal: the record of a run while it lasts, and of any replacement of
//                the pair while it is under way. On disk, every line ending in CR LF:
//                  corvane-journal 1
//                  <line 1 of the history: the source folder>
//                  <T|F> <true size> <SHA-256> <entry> <destination>   (one per move, in order)
//
// A run appends one journal line per move before the host is asked to make it, so a process
// that dies loses no move. A run that ends writes the companion, then the history, each through
// a temporary file and a rename, and only then deletes the journal. A journal with at least one
// move is therefore always the newest record, and readers take it before the pair; a torn last
// line (a write cut short) is not a move, because the host was not asked before it was whole.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "plugin/history/History.h"
#include "plugin/history/MessageIdentity.h"

namespace corvane {

extern const char kHistoryFileName[];
extern const char kIdentityFileName[];
extern const char kJournalFileName[];

// The account directory's files by name. Each call is one step that may fail; a step that
// fails has changed at most the file it names.
class AccountDisk {
public:
    virtual ~AccountDisk() = default;
    // The whole file; false when it cannot be read.
    virtual bool read(const char* name, std::string& bytes) = 0;
    virtual bool exists(const char* name) = 0;
    // Creates or empties the file, writes bytes and flushes them to the disk.
    virtual bool write(const char* name, const std::string& bytes) = 0;
    // Puts from in the place of to, replacing it, in one step.
    virtual bool rename(const char* from, const char* to) = 0;
    // True when the file is gone, also when it was not there.
    virtual bool remove(const char* name) = 0;
    // The journal of a run: created empty and kept open, then appended to, then closed.
    virtual bool openJournal(const char* name) = 0;
    virtual bool append(const std::string& bytes) = 0;
    virtual void closeJournal() = 0;
};

// One record as the undo reads it: moves and, when known, one identity per move.
struct StoredRecord {
    HistoryRecord record;
    std::vector<MessageIdentity> identities;  // empty for a history written without them
    bool fromJournal = false;
};

// What the undo's count step sees: the history's lines as before, or the journal's moves.
struct StoredCount {
    bool found = false;  // a journal with moves, or a history file that exists
    HistoryCount count;
};

// A journal's bytes for its source line, and one journal line (with its CR LF) for a move; false
// when the move cannot be written as one line (a line end in it, or a blank in its entry).
std::string journalStart(const std::string& sourceLine);
bool journalLine(const HistoryMove& move, const MessageIdentity& identity, std::string& out);
// The journal's moves up to its first line that is torn or malformed; false without its heading
// and source line.
bool parseJournal(const std::string& bytes, StoredRecord& out);

// The record of one sorting run as it goes.
class RunRecorder {
public:
    RunRecorder(AccountDisk& disk, std::string sourceLine) : disk_(disk), sourceLine_(std::move(sourceLine)) {}
    ~RunRecorder() { disk_.closeJournal(); }
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;
    // Before the host is asked for a move: true when the move is journalled; the host must not be
    // asked for a move that is not. The first move starts the journal. A move that one journal
    // line cannot hold is refused alone; once the journal cannot be written (broken), every
    // further move is refused.
    bool record(const std::string& entryName, const char* destFolder, const MessageIdentity& identity);
    // At the run's end: the pair replaced, then the journal deleted. False when the pair was not
    // replaced, which leaves the journal as the run's record.
    bool finish();
    size_t moves() const { return identities_.size(); }
    bool broken() const { return broken_; }

private:
    AccountDisk& disk_;
    std::string sourceLine_;
    MoveList moves_;
    std::vector<MessageIdentity> identities_;
    bool broken_ = false;
};

// The record the undo works on: a journal with moves first, else the history with its companion
// when that belongs to it. False when there is neither.
bool loadStoredRecord(AccountDisk& disk, StoredRecord& out);
StoredCount countStoredRecord(AccountDisk& disk);

// After an undo cut short: the record keeps the moves from first on, with their identities.
bool keepStoredMoves(AccountDisk& disk, const StoredRecord& stored, size_t first);

// After an undo that is done: the history, its companion and the journal, in that order, so that
// a history is never left without its companion. False at the first file that stays.
bool removeStoredRecord(AccountDisk& disk);

}  // namespace corvane
