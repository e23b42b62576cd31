#include "plugin/history/HistoryFile.h"

#include <algorithm>
#include <climits>
#include <string>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

const char kHistoryBusyText[] =
    "この口座の振り分けか元に戻す処理が別のウィンドウで実行中です.\nそれが終わってからもう一度実行してください.";

namespace {

const char kLockFileName[] = "corvane.lck";

bool writeAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

}  // namespace

bool AccountDiskWin::path(const char* name, PathBuffer& out) const {
    return accountFilePath(dir_.c_str(), name, out);
}

bool AccountDiskWin::read(const char* name, std::string& bytes) {
    PathBuffer full;
    return path(name, full) && readWholeFile(full, bytes);
}

bool AccountDiskWin::exists(const char* name) {
    PathBuffer full;
    DWORD attributes = path(name, full) ? GetFileAttributesA(full) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool AccountDiskWin::write(const char* name, const std::string& bytes) {
    PathBuffer full;
    if (!path(name, full))
        return false;
    UniqueFile file(CreateFileA(full, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
}

bool AccountDiskWin::rename(const char* from, const char* to) {
    PathBuffer fromPath, toPath;
    return path(from, fromPath) && path(to, toPath) &&
           MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool AccountDiskWin::remove(const char* name) {
    PathBuffer full;
    if (!path(name, full))
        return false;
    return DeleteFileA(full) || GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES;
}

// The journal is read by others while the run holds it, and is never flushed per move: a
// process that dies leaves what it wrote to the system, which writes it out in its own time.
bool AccountDiskWin::openJournal(const char* name) {
    PathBuffer full;
    if (!path(name, full))
        return false;
    journal_.reset(CreateFileA(full, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return journal_.valid();
}

bool AccountDiskWin::append(const std::string& bytes) {
    return journal_ && writeAll(journal_.get(), bytes);
}

std::string historySourceLine(HWND folderWindow) {
    const char* source = hostApi().APAFolderGetCurrentFolder(folderWindow);
    if (!source)
        source = "";
    return historySourceLine(source, classifyFolderPath(source) == Trash);
}

int countHistory(HWND folderWindow) {
    AccountDiskWin disk(hostApi().APAGetAccount(folderWindow));
    StoredCount stored = countStoredRecord(disk);
    if (!stored.found)
        return -1;
    if (!stored.count.hasFirstLine)
        return 0;
    if (!folderExists(stored.count.firstLine.c_str()))
        return -2;
    return stored.count.moveLines > INT_MAX ? INT_MAX : static_cast<int>(stored.count.moveLines);
}

bool HistoryLock::acquire(const char* accountDir) {
    PathBuffer full;
    if (!accountFilePath(accountDir, kLockFileName, full))
        return true;
    file_.reset(CreateFileA(full, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file_.valid() || GetLastError() != ERROR_SHARING_VIOLATION;
}

bool HistoryLock::acquireOrTell(HWND owner, const char* accountDir) {
    if (acquire(accountDir))
        return true;
    ShowErrorBox(owner, kHistoryBusyText);
    return false;
}

}  // namespace corvane
