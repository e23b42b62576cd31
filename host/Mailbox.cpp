#include "host/Mailbox.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "tools/sample/SampleMailbox.h"

namespace standin {

namespace {

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Where the host remembers the names its trashed messages had: "name before<TAB>name in the
// trash" per line.
const char kTrashOrigins[] = "standhost-trash.txt";

void writeProfile(const std::string& file, const char* section, const char* key, const std::string& value) {
    WritePrivateProfileStringA(section, key, value.c_str(), file.c_str());
}

}  // namespace

Mailbox::Mailbox(std::string root) : root_(std::move(root)) {
    if (root_.empty() || root_.back() != '\\')
        root_ += '\\';
    CreateDirectoryA(root_.c_str(), nullptr);
    std::string text = readFile(root_ + kTrashOrigins);
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        size_t tab = text.find('\t', at);
        if (tab < end)
            trashedFrom_[text.substr(at, tab - at)] = text.substr(tab + 1, end - tab - 1);
    }
}

void Mailbox::saveTrashOrigins() const {
    std::string text;
    for (const auto& origin : trashedFrom_)
        text += origin.first + "\t" + origin.second + "\n";
    writeFile(root_ + kTrashOrigins, text);
}

std::string Mailbox::createAccount(const std::string& account, const std::string& order) {
    std::string dir = root_ + account + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    writeProfile(dir + "Account.ini", "Property", "Order", order);
    for (const char* special : {"Inbox.box", "Outbox.box"}) {
        std::string folder = account + "\\" + special;
        CreateDirectoryA(folderDir(folder).c_str(), nullptr);
        writeProfile(folderDir(folder) + "Entry.ini", "Property", "Type", "Mail");
        writeMessageList(folder, {});
    }
    std::string trash = account + "\\Trash.box";
    CreateDirectoryA(folderDir(trash).c_str(), nullptr);
    writeMessageList(trash, {});
    return dir;
}

std::string Mailbox::createUserFolder(const std::string& parent, const std::string& id, const std::string& title,
                                      const std::string& subfolderOrder) {
    std::string folder = parent + "\\User" + id + ".box";
    CreateDirectoryA(folderDir(folder).c_str(), nullptr);
    std::string entryIni = folderDir(folder) + "Entry.ini";
    writeProfile(entryIni, "Property", "Title", title);
    if (!subfolderOrder.empty()) {
        writeProfile(entryIni, "Property", "Type", "Subfolder");
        writeProfile(entryIni, "Property", "Order", subfolderOrder);
    } else {
        writeProfile(entryIni, "Property", "Type", "Mail");
        writeMessageList(folder, {});
    }
    return folder;
}

std::string Mailbox::messageListFile(const std::string& folder) const {
    return folderDir(folder) + (isTrashPath(folder) ? "Trash.box" : "Entry.lst");
}

bool Mailbox::isTrashPath(const std::string& folder) {
    return folder.find('\\') == std::string::npos || folder.find("\\Trash.box") != std::string::npos;
}

std::string Mailbox::encodeStatus(bool unread) {
    return sample::statusOf(unread);
}

std::vector<MessageRecord> Mailbox::readMessageList(const std::string& folder) const {
    std::vector<MessageRecord> records;
    std::string text = readFile(messageListFile(folder));
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos) {
            MessageRecord record;
            record.key = line.substr(0, eq);
            record.unread = line.substr(eq + 1) == encodeStatus(true);
            records.push_back(record);
        }
        pos = end + 2;
    }
    return records;
}

void Mailbox::writeMessageList(const std::string& folder, const std::vector<MessageRecord>& records) const {
    std::string text;
    for (const MessageRecord& record : records)
        text += record.key + "=" + encodeStatus(record.unread) + "\r\n";
    writeFile(messageListFile(folder), text);
}

std::vector<std::string> Mailbox::messageKeys(const std::string& folder) const {
    std::vector<std::string> keys;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folderDir(folder) + "*.qpm").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return keys;
    do {
        std::string name = data.cFileName;
        keys.push_back(name.substr(0, name.size() - 4));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string Mailbox::addMessage(const std::string& folder, const std::string& content, bool unread,
                                const std::string& key) {
    std::string name = key;
    if (name.empty()) {
        char buffer[16];
        do {
            snprintf(buffer, sizeof buffer, "%08d", nextKey_++);
        } while (GetFileAttributesA((folderDir(folder) + buffer + ".qpm").c_str()) != INVALID_FILE_ATTRIBUTES);
        name = buffer;
    }
    std::string entry = folder + "\\" + name;
    writeFile(messageFile(entry), content);
    std::vector<MessageRecord> records = readMessageList(folder);
    records.push_back({name, unread});
    writeMessageList(folder, records);
    return entry;
}

std::string Mailbox::moveMessage(const std::string& requested, const std::string& folder) {
    std::string entry = requested;
    auto trashed = trashedFrom_.find(requested);
    if (trashed != trashedFrom_.end() &&
        GetFileAttributesA(messageFile(requested).c_str()) == INVALID_FILE_ATTRIBUTES)
        entry = trashed->second;
    std::string source = parentOf(entry);
    std::string key = lastComponent(entry);
    std::string target = folder;
    if (target.empty()) {
        size_t slash = entry.find('\\');
        target = (slash == std::string::npos ? entry : entry.substr(0, slash)) + "\\Trash.box";
    }
    if (source.empty() || GetFileAttributesA(folderDir(target).c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    // The message keeps its key in the new folder unless that key is taken there.
    std::string newKey = key;
    for (int n = 1; GetFileAttributesA((folderDir(target) + newKey + ".qpm").c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        newKey = key + "_" + std::to_string(n);
    std::string newEntry = target + "\\" + newKey;
    if (!MoveFileA(messageFile(entry).c_str(), messageFile(newEntry).c_str()))
        return std::string();

    bool unread = false;
    std::vector<MessageRecord> from = readMessageList(source);
    for (auto it = from.begin(); it != from.end(); ++it) {
        if (it->key == key) {
            unread = it->unread;
            from.erase(it);
            break;
        }
    }
    writeMessageList(source, from);
    std::vector<MessageRecord> to = readMessageList(target);
    to.push_back({newKey, unread});
    writeMessageList(target, to);
    bool forgotten = trashed != trashedFrom_.end() && entry != requested;
    if (forgotten)
        trashedFrom_.erase(trashed);
    if (isTrashPath(target))
        trashedFrom_[requested] = newEntry;
    if (forgotten || isTrashPath(target))
        saveTrashOrigins();
    return newEntry;
}

bool Mailbox::writeRelative(const std::string& path, const std::string& bytes) const {
    for (size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA((root_ + path.substr(0, slash)).c_str(), nullptr);
    return writeFile(root_ + path, bytes);
}

std::string Mailbox::readFile(const std::string& path, bool* exists) {
    std::string content;
    FILE* file = fopen(path.c_str(), "rb");
    if (exists)
        *exists = file != nullptr;
    if (!file)
        return content;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    fclose(file);
    return content;
}

bool Mailbox::writeFile(const std::string& path, const std::string& content) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}

std::string makeTempDirectory(const std::string& prefix) {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    for (;;) {
        std::string dir = std::string(base) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(++counter) + "-" + std::to_string(GetTickCount());
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir + "\\";
    }
}

bool removeDirectoryTree(const std::string& path) {
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    // An empty path, or a drive's root, would name the root of a whole drive.
    if (dir.size() < 3)
        return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeDirectoryTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryA(dir.c_str()) != 0;
}

}  // namespace standin
