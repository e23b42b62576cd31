#include "plugin/undo/UndoWorker.h"

#include <commctrl.h>

#include <string>

#include "plugin/common/TimerResolution.h"
#include "plugin/folders/MessageReading.h"
#include "plugin/mailbox/History.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/resources/resource.h"

namespace corvane {

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

// The name under which the host knows a recorded message now: the recorded name for the
// trash, else the message's key inside its destination. Empty when it would not fit a path.
std::string addressOf(const HistoryMove& move) {
    if (!fitsPath(move.entryName) || !fitsPath(move.destFolder))
        return std::string();
    if (classifyFolderPath(move.destFolder.c_str()) == Trash)
        return move.entryName;
    const char* key = lastPathComponent(move.entryName.c_str());
    std::string address = move.destFolder + "\\" + (key ? key : move.entryName.c_str());
    return fitsPath(address) ? address : std::string();
}

void moveBack(HWND dialog, const HistoryRecord& record) {
    const char* folder = classifyFolderPath(record.sourceFolder.c_str()) == Trash ? nullptr : record.sourceFolder.c_str();
    TimerResolution fineTimer;
    for (const HistoryMove& move : record.moves) {
        // A record the host could not be given whole is not moved, and counts as not restored.
        std::string address = addressOf(move);
        SendMessageA(dialog, WM_UNDO_MOVEBACK, reinterpret_cast<WPARAM>(address.empty() ? nullptr : address.c_str()),
                     reinterpret_cast<LPARAM>(folder));
        SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_STEPIT, 0, 0);
        Sleep(1);
    }
}

void runUndo(HWND dialog) {
    ShowWindow(dialog, SW_HIDE);
    int count = 0;
    BYTE goAhead = 1;
    SendMessageA(dialog, WM_UNDO_COUNT, reinterpret_cast<WPARAM>(&count), reinterpret_cast<LPARAM>(&goAhead));
    if (!goAhead)
        return;
    ShowWindow(dialog, SW_SHOW);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(count)));
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(count), 0);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, static_cast<WPARAM>(-1), 0);
    char* text = nullptr;
    SendMessageA(dialog, WM_UNDO_LOADHISTORY, reinterpret_cast<WPARAM>(&text), 0);
    if (!text)
        return;
    HistoryRecord record;
    try {
        record = parseHistoryText(text);
    } catch (...) {
        freeText(text);
        throw;
    }
    freeText(text);
    // A source folder that no path can hold cannot be the one the messages came from.
    if (!record.ok || !fitsPath(record.sourceFolder))
        return;
    moveBack(dialog, record);
}

}  // namespace

void undoWorker(HWND dialog) {
    try {
        runUndo(dialog);
    } catch (...) {
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

}  // namespace corvane
