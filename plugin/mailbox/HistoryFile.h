// "corvane.his" in the account directory: written at the end of a sorting run, counted before
// an undo.
#pragma once

#include <windows.h>

#include "plugin/mailbox/History.h"

namespace corvane {

// The history file's name in the account directory.
extern const char kHistoryFileName[];

// Replaces the history file in the account directory with the record of this run: the folder
// the window shows now, then one line per move. The new content is written beside the old
// file and then put in its place in one step, so a failed write leaves the previous record
// whole. Returns false when nothing was replaced; nothing is reported.
bool writeHistory(const char* accountDir, HWND folderWindow, const MoveList& moves);

// The number of moves recorded in the history file of the window's account, or -1 when the
// file cannot be opened, -2 when the folder of its first line no longer exists, 0 when it has
// no first line or no move lines.
int countHistory(HWND folderWindow);

}  // namespace corvane
