#include "plugin/undo/UndoWorker.h"

#include <vector>

#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxFiles.h"
#include "plugin/mailbox/MessageListKeys.h"

namespace corvane {

namespace {

bool fitsPath(const std::string& text) {
    return text.size() < PathBufferSize;
}

// Whether the file has the size; a file whose size cannot be had has none.
bool hasSize(const char* path, uint64_t size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
           ((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == size;
}

// The most entries of a destination's message list that an undo looks through for a message.
constexpr size_t kSearchBound = 100000;

// The entry of folder whose message is the identified one, found through the folder's
// message list; empty when none is, when more than one is, or when the list holds more
// entries than the search looks at (one found among them might not be the only one).
std::string findByIdentity(const std::string& folder, const MessageIdentity& identity) {
    PathBuffer listPath;
    char* list = messageListPath(folder.c_str(), listPath) ? readWholeFile(listPath) : nullptr;
    if (!list)
        return std::string();
    std::vector<std::string> keys;
    try {
        keys = messageListKeys(list, kSearchBound + 1);
    } catch (...) {
        freeText(list);
        throw;
    }
    freeText(list);
    if (keys.size() > kSearchBound)
        return std::string();
    std::vector<char> buffer(kWorkBufferSize);
    std::string found;
    for (const std::string& key : keys) {
        std::string entry = folder + "\\" + key;
        PathBuffer path;
        size_t length = 0;
        uint64_t size = 0;
        if (!fitsPath(entry) || !messageFilePath(entry.c_str(), path) || !hasSize(path, identity.size) ||
            !readFileStart(path, buffer.data(), &length, &size) ||
            !sameMessage(identity, buffer.data(), length, size) || entry == found)
            continue;
        if (!found.empty())
            return std::string();
        found = entry;
    }
    return found;
}

}  // namespace

// The name under which the host knows a recorded message now: the recorded name for the
// trash; where the run found the message's key free in the destination, the key inside it;
// where the key was taken, the one message of the destination with the recorded identity.
// Empty when there is none or it would not fit a path.
std::string UndoRun::addressOf(size_t record) const {
    const HistoryMove& move = record_.moves[record];
    if (!fitsPath(move.entryName) || !fitsPath(move.destFolder))
        return std::string();
    if (classifyFolderPath(move.destFolder.c_str()) == Trash)
        return move.entryName;
    if (!identities_.empty() && identities_[record].keyTaken)
        return findByIdentity(move.destFolder, identities_[record]);
    const char* key = lastPathComponent(move.entryName.c_str());
    std::string address = move.destFolder + "\\" + (key ? key : move.entryName.c_str());
    return fitsPath(address) ? address : std::string();
}

void UndoRun::moveRecords(RunWorker& worker) {
    const char* folder = classifyFolderPath(record_.sourceFolder.c_str()) == Trash ? nullptr : record_.sourceFolder.c_str();
    worker.raiseTimerResolution();
    for (size_t i = 0; i < record_.moves.size(); ++i) {
        // Only a close of the dialog cancels an undo; the records not tried stay in the history.
        if (worker.cancelled())
            break;
        // A record the host could not be given whole is not moved, and counts as not restored.
        std::string address = addressOf(i);
        worker.ask(WM_UNDO_MOVEBACK, [&] {
            moveBack(address, folder);
            tried_ = i + 1;
        });
        worker.stepProgress();
    }
}

void UndoRun::work(RunWorker& worker) {
    worker.showDialog(false);
    int count = 0;
    bool goAhead = false;
    worker.ask(WM_UNDO_COUNT, [&] { goAhead = countAndConfirm(count); });
    if (!goAhead)
        return;
    worker.showDialog(true);
    worker.setProgress(static_cast<size_t>(count), static_cast<size_t>(count), -1);
    worker.ask(WM_UNDO_LOADHISTORY, [this] { loadHistory(); });
    // A source folder that no path can hold cannot be the one the messages came from.
    if (!record_.ok || !fitsPath(record_.sourceFolder))
        return;
    moveRecords(worker);
}

}  // namespace corvane
