// A mailbox on disk in the host's formats: the mailbox root, account directories with their
// "Account.ini", folder directories with "Entry.ini", message files ("<key>.qpm") and each
// folder's message list of "<key>=<16 Base64 characters>" records.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace standin {

struct MessageRecord {
    std::string key;
    bool unread = false;
};

class Mailbox {
public:
    // root: a Windows directory path ending with a backslash; created if missing.
    explicit Mailbox(std::string root);

    const std::string& root() const { return root_; }

    // "Acc" -> "<root>Acc\" with its Account.ini ("Property"/"Order") and the three special
    // folders. order: the account's folder order, for example "IOT" or "I001T".
    std::string createAccount(const std::string& account, const std::string& order = "IOT");
    // A user folder "User<id>.box" below parent (a folder path, or the account name for the
    // top level); subfolderOrder non-empty makes it a container of subfolders.
    std::string createUserFolder(const std::string& parent, const std::string& id, const std::string& title,
                                 const std::string& subfolderOrder = "");

    // Adds a message file to a folder and its record to the folder's message list; returns
    // the entry name (folder path, backslash, key).
    std::string addMessage(const std::string& folder, const std::string& content, bool unread = false,
                           const std::string& key = "");

    // The host's move: the message file and its list record go from the entry's folder into
    // folder (a folder path), or into the trash of the entry's account when folder is empty.
    // A message the host put in the trash is still found by the entry name it had before, also
    // by a later host process on the same mailbox (the host keeps that in a file at the root).
    // Returns the new entry name, or empty when the move could not be made.
    std::string moveMessage(const std::string& entry, const std::string& folder);

    std::string folderDir(const std::string& folder) const { return root_ + folder + "\\"; }
    std::string messageFile(const std::string& entry) const { return root_ + entry + ".qpm"; }
    std::string messageListFile(const std::string& folder) const;
    std::vector<MessageRecord> readMessageList(const std::string& folder) const;
    void writeMessageList(const std::string& folder, const std::vector<MessageRecord>& records) const;
    // Keys of the message files in a folder, sorted.
    std::vector<std::string> messageKeys(const std::string& folder) const;

    // Writes a file below the root, making its folders first; path is '\' separated.
    bool writeRelative(const std::string& path, const std::string& bytes) const;

    static std::string encodeStatus(bool unread);
    // The host's trash test of a folder path: no '\' at all, or "\Trash.box" in it.
    static bool isTrashPath(const std::string& folder);
    static std::string readFile(const std::string& path, bool* exists = nullptr);
    static bool writeFile(const std::string& path, const std::string& content);

private:
    void saveTrashOrigins() const;

    std::string root_;
    int nextKey_ = 1;
    std::map<std::string, std::string> trashedFrom_;  // entry before the trash -> entry in it
};

// A fresh empty directory under the temporary folder, ending with a backslash.
std::string makeTempDirectory(const std::string& prefix);
bool removeDirectoryTree(const std::string& path);

}  // namespace standin
