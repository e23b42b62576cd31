#include "plugin/history/HistoryStore.h"

#include <cstring>

namespace corvane {

const char kHistoryFileName[] = "corvane.his";
const char kIdentityFileName[] = "corvane.hid";
const char kJournalFileName[] = "corvane.jnl";

namespace {

// Same length as the history file's name, so they fit wherever that does.
const char kHistoryTempName[] = "corvane.tmp";
const char kIdentityTempName[] = "corvane.tid";
const char kJournalTempName[] = "corvane.tjn";

const char kJournalHeading[] = "corvane-journal 1";

// A SHA-256 in hexadecimal: the identity's part of a journal line has this many characters after
// its size.
constexpr size_t kDigestLength = 64;

bool hasLineEnd(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Writes bytes beside name and puts them in its place; a failed write leaves name as it was.
bool replaceFile(AccountDisk& disk, const char* name, const char* tempName, const std::string& bytes) {
    if (!disk.write(tempName, bytes)) {
        disk.remove(tempName);
        return false;
    }
    if (!disk.rename(tempName, name)) {
        disk.remove(tempName);
        return false;
    }
    return true;
}

// The companion, then the history; the journal, which still records the same moves, goes last.
bool replacePair(AccountDisk& disk, const std::string& historyBytes, const std::vector<MessageIdentity>& identities) {
    if (!replaceFile(disk, kIdentityFileName, kIdentityTempName, formatIdentities(historyBytes, identities)) ||
        !replaceFile(disk, kHistoryFileName, kHistoryTempName, historyBytes))
        return false;
    disk.remove(kJournalFileName);
    return true;
}

// "T|F size digest entry destination": the identity's three fields, then the entry up to the
// next blank, then the rest.
bool parseJournalLine(const std::string& line, HistoryMove& move, MessageIdentity& identity) {
    size_t sizeEnd = line.find(' ', 2);
    if (sizeEnd == std::string::npos || line.size() < sizeEnd + 1 + kDigestLength + 1)
        return false;
    size_t identityEnd = sizeEnd + 1 + kDigestLength;
    if (line[identityEnd] != ' ' || !parseIdentityLine(line.substr(0, identityEnd), identity))
        return false;
    size_t entryEnd = line.find(' ', identityEnd + 1);
    if (entryEnd == std::string::npos || entryEnd == identityEnd + 1 || entryEnd + 1 == line.size())
        return false;
    move.entryName = line.substr(identityEnd + 1, entryEnd - identityEnd - 1);
    move.destFolder = line.substr(entryEnd + 1);
    return !hasLineEnd(move.entryName) && !hasLineEnd(move.destFolder);
}

}  // namespace

std::string journalStart(const std::string& sourceLine) {
    return std::string(kJournalHeading) + "\r\n" + sourceLine + "\r\n";
}

bool journalLine(const HistoryMove& move, const MessageIdentity& identity, std::string& out) {
    if (move.entryName.empty() || move.destFolder.empty() || hasLineEnd(move.entryName) ||
        hasLineEnd(move.destFolder) || move.entryName.find(' ') != std::string::npos)
        return false;
    out = formatIdentityLine(identity) + " " + move.entryName + " " + move.destFolder + "\r\n";
    return true;
}

bool parseJournal(const std::string& bytes, StoredRecord& out) {
    out = StoredRecord();
    out.fromJournal = true;
    size_t headingEnd = bytes.find("\r\n");
    if (headingEnd == std::string::npos || bytes.compare(0, headingEnd, kJournalHeading) != 0)
        return false;
    size_t sourceEnd = bytes.find("\r\n", headingEnd + 2);
    if (sourceEnd == std::string::npos)
        return false;
    out.record.sourceFolder = bytes.substr(headingEnd + 2, sourceEnd - headingEnd - 2);
    for (size_t at = sourceEnd + 2;;) {
        size_t end = bytes.find("\r\n", at);
        HistoryMove move;
        MessageIdentity identity;
        if (end == std::string::npos || !parseJournalLine(bytes.substr(at, end - at), move, identity))
            break;
        out.record.moves.push_back(move);
        out.identities.push_back(identity);
        at = end + 2;
    }
    out.record.ok = true;
    return true;
}

bool RunRecorder::record(const std::string& entryName, const char* destFolder, const MessageIdentity& identity) {
    std::string line;
    if (broken_ || !journalLine({entryName, destFolder ? destFolder : ""}, identity, line))
        return false;
    // Everything that can want memory comes first, so that the move is in the journal and in
    // memory, or in neither: a history whose moves outnumber its identities is never written.
    std::string pair = entryName + "\n" + destFolder + "\n";
    MessageIdentity kept = identity;
    identities_.reserve(identities_.size() + 1);
    moves_.text.reserve(moves_.text.size() + pair.size());
    // The journal is started by the first move only: a run that moves nothing leaves the record
    // of the run before it in place.
    bool started = !identities_.empty() || (disk_.openJournal(kJournalFileName) && disk_.append(journalStart(sourceLine_)));
    if (!started || !disk_.append(line)) {
        broken_ = true;
        return false;
    }
    moves_.text += pair;
    identities_.push_back(std::move(kept));
    return true;
}

bool RunRecorder::finish() {
    if (identities_.empty())
        return true;
    disk_.closeJournal();
    std::string bytes = formatHistoryLines(sourceLine_, moves_.text);
    return replacePair(disk_, bytes, identities_);
}

bool loadStoredRecord(AccountDisk& disk, StoredRecord& out) {
    std::string bytes;
    if (disk.read(kJournalFileName, bytes) && parseJournal(bytes, out) && !out.record.moves.empty())
        return true;
    out = StoredRecord();
    if (!disk.read(kHistoryFileName, bytes))
        return false;
    out.record = parseHistoryText(bytes.c_str());
    std::string companion;
    if (disk.read(kIdentityFileName, companion))
        parseIdentities(companion.data(), companion.size(), bytes.c_str(), std::strlen(bytes.c_str()),
                        out.record.moves.size(), out.identities);
    return true;
}

StoredCount countStoredRecord(AccountDisk& disk) {
    StoredCount result;
    std::string bytes;
    StoredRecord journal;
    if (disk.read(kJournalFileName, bytes) && parseJournal(bytes, journal) && !journal.record.moves.empty()) {
        result.found = true;
        result.count.hasFirstLine = true;
        result.count.firstLine = journal.record.sourceFolder;
        result.count.moveLines = static_cast<long>(journal.record.moves.size());
        return result;
    }
    if (disk.read(kHistoryFileName, bytes)) {
        result.found = true;
        result.count = countHistoryLines(bytes.data(), bytes.size());
    } else {
        // A file that is there but cannot be read has no first line.
        result.found = disk.exists(kHistoryFileName);
    }
    return result;
}

bool keepStoredMoves(AccountDisk& disk, const StoredRecord& stored, size_t first) {
    const HistoryRecord& record = stored.record;
    std::string historyBytes = formatHistoryFrom(record, first);
    if (stored.identities.size() != record.moves.size()) {
        // A history written without identities stays one.
        if (!disk.remove(kIdentityFileName))
            return false;
        return replaceFile(disk, kHistoryFileName, kHistoryTempName, historyBytes);
    }
    std::vector<MessageIdentity> identities(stored.identities.begin() + static_cast<std::ptrdiff_t>(first),
                                            stored.identities.end());
    std::string journal = journalStart(record.sourceFolder);
    for (size_t i = first; i < record.moves.size(); ++i) {
        std::string line;
        if (!journalLine(record.moves[i], stored.identities[i], line))
            return false;
        journal += line;
    }
    // The journal first: until the pair is whole again, it is the record that readers take.
    return replaceFile(disk, kJournalFileName, kJournalTempName, journal) && replacePair(disk, historyBytes, identities);
}

bool removeStoredRecord(AccountDisk& disk) {
    return disk.remove(kHistoryFileName) && disk.remove(kIdentityFileName) && disk.remove(kJournalFileName);
}

}  // namespace corvane
