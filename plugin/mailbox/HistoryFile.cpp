#include "plugin/mailbox/HistoryFile.h"

#include <algorithm>
#include <climits>
#include <string>

#include "plugin/common/StrUtil.h"
#include "plugin/common/WinHandle.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"

namespace corvane {

const char kHistoryFileName[] = "corvane.his";
const char kIdentityFileName[] = "corvane.hid";

namespace {

// Same length as the history file's name, so they fit wherever that does.
const char kHistoryTempName[] = "corvane.tmp";
const char kIdentityTempName[] = "corvane.tid";

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

// Writes bytes beside the account file name and puts them in its place in one step.
bool replaceAccountFile(const char* accountDir, const char* name, const char* tempName, const std::string& bytes) {
    PathBuffer path, tempPath;
    if (!accountFilePath(accountDir, name, path) || !accountFilePath(accountDir, tempName, tempPath))
        return false;
    {
        UniqueFile file(CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileA(tempPath);
            return false;
        }
    }
    if (!MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(tempPath);
        return false;
    }
    return true;
}

void deleteAccountFile(const char* accountDir, const char* name) {
    PathBuffer path;
    if (accountFilePath(accountDir, name, path))
        DeleteFileA(path);
}

}  // namespace

bool writeHistory(const char* accountDir, HWND folderWindow, const MoveList& moves,
                  const std::vector<MessageIdentity>& identities) {
    const char* source = hostApi().APAFolderGetCurrentFolder(folderWindow);
    if (!source)
        source = "";
    std::string bytes = formatHistory(source, classifyFolderPath(source) == Trash, moves.text);
    return replaceHistory(accountDir, bytes, identities, parseHistoryText(bytes.c_str()).moves.size());
}

bool replaceHistory(const char* accountDir, const std::string& bytes, const std::vector<MessageIdentity>& identities,
                    size_t moveCount) {
    bool companion = !identities.empty() && identities.size() == moveCount &&
                     replaceAccountFile(accountDir, kIdentityFileName, kIdentityTempName, formatIdentities(bytes, identities));
    if (!companion)
        deleteAccountFile(accountDir, kIdentityFileName);
    return replaceAccountFile(accountDir, kHistoryFileName, kHistoryTempName, bytes);
}

bool loadHistory(const char* accountDir, HistoryRecord& record, std::vector<MessageIdentity>& identities) {
    identities.clear();
    PathBuffer path, companionPath;
    if (!accountFilePath(accountDir, kHistoryFileName, path) || !accountFilePath(accountDir, kIdentityFileName, companionPath))
        return false;
    size_t length = 0;
    char* text = readWholeFile(path, &length);
    if (!text)
        return false;
    size_t companionLength = 0;
    char* companion = readWholeFile(companionPath, &companionLength);
    try {
        record = parseHistoryText(text);
        if (companion)
            parseIdentities(companion, companionLength, text, length, record.moves.size(), identities);
    } catch (...) {
        freeText(companion);
        freeText(text);
        throw;
    }
    freeText(companion);
    freeText(text);
    return true;
}

void deleteHistory(const char* accountDir) {
    deleteAccountFile(accountDir, kHistoryFileName);
    deleteAccountFile(accountDir, kIdentityFileName);
}
int countHistory(HWND folderWindow) {
    PathBuffer path;
    if (!formatBuffer(path, "%s%s", hostApi().APAGetAccount(folderWindow), kHistoryFileName))
        return -1;
    size_t length = 0;
    char* text = readWholeFile(path, &length);
    if (!text) {
        DWORD attributes = GetFileAttributesA(path);
        // A file that opens but cannot be read has no first line.
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : -1;
    }
    HistoryCount count = countHistoryLines(text, length);
    freeText(text);
    if (!count.hasFirstLine)
        return 0;
    if (!folderExists(count.firstLine.c_str()))
        return -2;
    return count.moveLines > INT_MAX ? INT_MAX : static_cast<int>(count.moveLines);
}

}  // namespace corvane
