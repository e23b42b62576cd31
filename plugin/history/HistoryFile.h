// The account's record of its last run on the Windows file system (HistoryStore.h says which
// files and in which order), and the lock that keeps one run at a time on it.
#pragma once

#include <windows.h>

#include <string>

#include "plugin/common/WinHandle.h"
#include "plugin/history/HistoryStore.h"
#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

// The files of one account directory (ending with a backslash). A name that would not fit a
// path can be neither read nor written.
class AccountDiskWin final : public AccountDisk {
public:
    explicit AccountDiskWin(const char* accountDir) : dir_(accountDir ? accountDir : "") {}
    bool read(const char* name, std::string& bytes) override;
    bool exists(const char* name) override;
    bool write(const char* name, const std::string& bytes) override;
    bool rename(const char* from, const char* to) override;
    bool remove(const char* name) override;
    bool openJournal(const char* name) override;
    bool append(const std::string& bytes) override;
    void closeJournal() override { journal_.reset(); }

private:
    bool path(const char* name, PathBuffer& out) const;

    std::string dir_;
    UniqueFile journal_;
};

// Line 1 of a history written now for the window: the folder it shows, with "\Trash.box"
// appended for the trash.
std::string historySourceLine(HWND folderWindow);

// The number of moves recorded for the window's account, or -1 when there is no record, -2 when
// the folder of its first line no longer exists, 0 when it has no first line or no move lines.
int countHistory(HWND folderWindow);

// Keeps the account's record to one run at a time, across windows and processes: a file in the
// account directory held open without sharing, gone when the holder ends, however it ends.
class HistoryLock {
public:
    // False when another run of the account holds it. A directory where the file cannot be made
    // for another reason holds no record either, and does not stop the run.
    bool acquire(const char* accountDir);
    // The same, telling the user in a box over owner when another run holds it.
    bool acquireOrTell(HWND owner, const char* accountDir);
    void release() { file_.reset(); }

private:
    UniqueFile file_;
};

// What a run says when another run of the account holds the lock.
extern const char kHistoryBusyText[];

}  // namespace corvane
