// Builds a mailbox on disk in the host's layout for native tests and demos: the mailbox root,
// account directories with "Account.ini", folders with "Entry.ini" and their message lists of
// "<key>=<16 Base64 characters>" records, message files "<key>.qpm", and "corvane.ini".
// Folder paths and entry names use '\' as the host does; on disk they map to the system's
// separator. Header-only, so that any test or tool can use it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/sample/SampleMailbox.h"

namespace corvane {
namespace testmailbox {

class MailboxBuilder {
public:
    // root: a directory, created (with its parents) if missing.
    explicit MailboxBuilder(const std::string& root) : root_(root) {
        if (root_.empty() || (root_.back() != '/' && root_.back() != '\\'))
            root_ += '/';
        std::filesystem::create_directories(root_);
    }

    // The root as a directory path ending with a separator.
    const std::string& root() const { return root_; }

    // The account directory with its folder order and the three special folders.
    std::string createAccount(const std::string& account, const std::string& order = "IOT") {
        makeDirectory(account);
        writeFile(account + "\\Account.ini", profile({{"Order", order}}));
        for (const char* special : {"Inbox.box", "Outbox.box"}) {
            std::string folder = account + "\\" + special;
            makeDirectory(folder);
            writeFile(folder + "\\Entry.ini", profile({{"Type", "Mail"}}));
            writeFile(listFile(folder), "");
        }
        makeDirectory(account + "\\Trash.box");
        writeFile(listFile(account + "\\Trash.box"), "");
        return account;
    }

    // A user folder "User<id>.box" below parent (the account, or a folder that holds
    // subfolders); subfolderOrder non-empty makes it a container. Returns its folder path.
    std::string createUserFolder(const std::string& parent, const std::string& id, const std::string& title,
                                 const std::string& subfolderOrder = "") {
        std::string folder = parent + "\\User" + id + ".box";
        makeDirectory(folder);
        if (subfolderOrder.empty()) {
            writeFile(folder + "\\Entry.ini", profile({{"Title", title}, {"Type", "Mail"}}));
            writeFile(listFile(folder), "");
        } else {
            writeFile(folder + "\\Entry.ini",
                      profile({{"Title", title}, {"Type", "Subfolder"}, {"Order", subfolderOrder}}));
        }
        return folder;
    }

    // A message file and its record at the end of the folder's list; key "0000000N" by
    // default. Returns the entry name.
    std::string addMessage(const std::string& folder, const std::string& content, bool unread = false,
                           const std::string& key = "") {
        std::string name = key;
        if (name.empty()) {
            char buffer[16];
            snprintf(buffer, sizeof buffer, "%08d", nextKey_++);
            name = buffer;
        }
        std::string entry = folder + "\\" + name;
        writeFile(entry + ".qpm", content);
        appendFile(listFile(folder), name + "=" + encodeStatus(unread) + "\r\n");
        return entry;
    }

    // "corvane.ini" of the account, written as given (lines joined with CR LF).
    void writeRules(const std::string& account, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        writeFile(account + "\\corvane.ini", text);
    }

    // The message list of a folder, as the host names it: "Trash.box" inside the trash.
    static std::string listFile(const std::string& folder) {
        bool trash = folder.find('\\') == std::string::npos || folder.find("\\Trash.box") != std::string::npos;
        return folder + (trash ? "\\Trash.box" : "\\Entry.lst");
    }

    static std::string encodeStatus(bool unread) { return sample::statusOf(unread); }

    // A message with CR LF line ends: the header lines, an empty line, the body.
    static std::string message(const std::vector<std::string>& headers, const std::string& body) {
        std::string text;
        for (const std::string& header : headers)
            text += header + "\r\n";
        return text + "\r\n" + body;
    }

    // The system path of a host path below the root.
    std::string diskPath(const std::string& relative) const {
        std::string path = root_ + relative;
        for (size_t i = root_.size(); i < path.size(); ++i)
            if (path[i] == '\\')
                path[i] = '/';
        return path;
    }

    void writeFile(const std::string& relative, const std::string& content) const {
        std::ofstream file(diskPath(relative), std::ios::binary | std::ios::trunc);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

    void appendFile(const std::string& relative, const std::string& content) const {
        std::ofstream file(diskPath(relative), std::ios::binary | std::ios::app);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

    std::string readFile(const std::string& relative) const {
        std::ifstream file(diskPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    void removeFile(const std::string& relative) const { std::filesystem::remove(diskPath(relative)); }
    void makeDirectory(const std::string& relative) const { std::filesystem::create_directories(diskPath(relative)); }

private:
    static std::string profile(const std::vector<std::pair<std::string, std::string>>& properties) {
        std::string text = "[Property]\r\n";
        for (const auto& property : properties)
            text += property.first + "=" + property.second + "\r\n";
        return text;
    }

    std::string root_;
    int nextKey_ = 1;
};

}  // namespace testmailbox
}  // namespace corvane
