// The history file of a sorting run ("corvane.his"): the move list built during the run, the
// exact bytes written, and the readers that count and parse it. Platform-free.
//
// On disk: line 1 is the source folder (with "\Trash.box" appended for the trash), then one
// line per move, "entry destination", every line ending in CR LF. Entry names hold no blank;
// a destination may, so a move line is split at its first blank.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

// Messages handed to the host during a run: "entry\ndestination\n" per move, in run order.
// It grows as needed, so long names never overrun it.
struct MoveList {
    std::string text;

    void appendMove(const char* entryName, const char* destFolder);
    bool empty() const { return text.empty(); }
};

// The file's bytes: the source line, then one line per complete pair of the move list. A pair
// whose second line feed is missing is not written. Names are written whole, whatever their
// length, so that undo finds every moved message.
std::string formatHistory(const char* sourceFolder, bool sourceIsTrash, const std::string& moveList);

// Line 1 without its line end: the source folder, with "\Trash.box" appended for the trash.
std::string historySourceLine(const char* sourceFolder, bool sourceIsTrash);

// The file's bytes for a source line made already (historySourceLine) and the move list.
std::string formatHistoryLines(const std::string& sourceLine, const std::string& moveList);

// Strips the line end in place: trailing CR LF pairs, then trailing CRs, then trailing LFs.
// Returns text, or null for a null or empty text.
char* trimLineEnd(char* text);

// What the undo command's count step sees, reading the file's bytes as a text-mode stream (CR
// LF read as LF) in lines of at most 1022 bytes: the first line (line end trimmed) and the
// number of lines read after it. A line longer than 1022 bytes is read, and counted, in parts.
struct HistoryCount {
    bool hasFirstLine = false;
    std::string firstLine;
    long moveLines = 0;
};

HistoryCount countHistoryLines(const char* bytes, size_t size);

// The file as the undo worker reads it: text split at CR LF, line 1 the source folder, each
// further line split at its first blank into entry and destination. A line without a blank or
// without its CR LF ends the moves. ok is false when there is no first line ended by CR LF.
struct HistoryMove {
    std::string entryName;
    std::string destFolder;
};

struct HistoryRecord {
    bool ok = false;
    std::string sourceFolder;
    std::vector<HistoryMove> moves;
};

HistoryRecord parseHistoryText(const char* text);

// The file's bytes for the record's source line and its moves from first on (the records an
// undo cut short did not try).
std::string formatHistoryFrom(const HistoryRecord& record, size_t first);

}  // namespace corvane
