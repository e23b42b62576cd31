// "corvane.his" in the account directory, and beside it "corvane.hid", the identities of the
// messages it records: written at the end of a sorting run, counted and read before an undo.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin/history/History.h"
#include "plugin/history/MessageIdentity.h"

namespace corvane {

// The history file's name in the account directory, and its companion's.
extern const char kHistoryFileName[];
extern const char kIdentityFileName[];

// Replaces the history file in the account directory (ending with a backslash) with the
// record of this run: the folder the window
// shows now, then one line per move; and its companion with the identities, one per move.
// Each file is written beside the old one and then put in its place in one step, the companion
// first, so a failed write leaves the previous record whole and a companion that does not
// belong to the history beside it is never read as its own. Returns false when the history
// was not replaced; nothing is reported.
bool writeHistory(const char* accountDir, HWND folderWindow, const MoveList& moves,
                  const std::vector<MessageIdentity>& identities);

// Replaces history and companion with these bytes and identities in the same way; without an
// identity for every move, no companion stands beside the new history.
bool replaceHistory(const char* accountDir, const std::string& bytes, const std::vector<MessageIdentity>& identities,
                    size_t moveCount);

// The history as the undo reads it, with the identities of its moves when its companion
// belongs to it (else identities is empty). False when the history cannot be read.
bool loadHistory(const char* accountDir, HistoryRecord& record, std::vector<MessageIdentity>& identities);

// Deletes the history file and its companion.
void deleteHistory(const char* accountDir);

// The number of moves recorded in the history file of the window's account, or -1 when the
// file cannot be opened, -2 when the folder of its first line no longer exists, 0 when it has
// no first line or no move lines.
int countHistory(HWND folderWindow);

}  // namespace corvane
