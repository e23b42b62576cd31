// The undo's search by identity: exactly one message of the folder must match, and one undo reads
// each folder's list once and each file's size once, whatever the number of records.
#include "plugin/history/IdentitySearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace corvane;

namespace {

// Message files in memory, with a count of every look-up.
class MemoryFiles final : public MessageFiles {
public:
    std::map<std::string, std::string> lists;     // folder -> list text
    std::map<std::string, std::string> messages;  // entry -> bytes
    int listReads = 0, sizeLookups = 0, headReads = 0;

    void add(const std::string& folder, const std::string& key, const std::string& bytes) {
        lists[folder] += key + "=AAAAAAAAAAAAAAAA\r\n";
        messages[folder + "\\" + key] = bytes;
    }
    bool readList(const std::string& folder, std::string& text) override {
        ++listReads;
        auto it = lists.find(folder);
        return it != lists.end() && (text = it->second, true);
    }
    bool fileSize(const std::string& entry, uint64_t& size) override {
        ++sizeLookups;
        auto it = messages.find(entry);
        return it != messages.end() && (size = it->second.size(), true);
    }
    bool readHead(const std::string& entry, std::vector<char>& buffer, size_t& read, uint64_t& size) override {
        ++headReads;
        auto it = messages.find(entry);
        if (it == messages.end())
            return false;
        buffer.assign(it->second.begin(), it->second.end());
        read = buffer.size();
        size = it->second.size();
        return true;
    }
};

MessageIdentity identity(const std::string& bytes) {
    return identityOf(bytes.data(), bytes.size(), bytes.size(), true);
}

struct FindCase {
    const char* name;
    std::function<void(MemoryFiles&)> change;  // after the folder was filled with a, bb, ccc
    const char* looked;                        // the bytes looked for
    const char* found;                         // the entry, or "" for none
};

TEST(IdentitySearch, FindsTheOneMessageWithTheIdentityAndNoOther) {
    const FindCase cases[] = {
        {"one match", nullptr, "bb", "Dest\\2"},
        {"none", nullptr, "dd", ""},
        {"same size, other bytes", nullptr, "xx", ""},
        {"a twin", [](MemoryFiles& f) { f.add("Dest", "4", "bb"); }, "bb", ""},
        {"listed twice counts once", [](MemoryFiles& f) { f.lists["Dest"] += "2=AAAAAAAAAAAAAAAA\r\n"; }, "bb", "Dest\\2"},
        {"file gone", [](MemoryFiles& f) { f.messages.erase("Dest\\2"); }, "bb", ""},
        {"no list", [](MemoryFiles& f) { f.lists.erase("Dest"); }, "bb", ""},
        {"a key naming a file elsewhere", [](MemoryFiles& f) { f.add("Dest", "..\\Other\\9", "zz"); }, "zz", ""},
    };
    for (const FindCase& c : cases) {
        MemoryFiles files;
        for (const char* bytes : {"a", "bb", "ccc"})
            files.add("Dest", std::to_string(std::string(bytes).size()), bytes);
        if (c.change)
            c.change(files);
        IdentitySearch search(files);
        EXPECT_EQ(c.found, search.find("Dest", identity(c.looked))) << c.name;
    }
}

TEST(IdentitySearch, OneUndoReadsEachListOnceAndEachSizeOnce) {
    MemoryFiles files;
    constexpr int kFolder = 300;
    for (int i = 0; i < kFolder; ++i)
        files.add("Dest", std::to_string(i), "message " + std::string(static_cast<size_t>(i), 'x'));
    IdentitySearch search(files);
    for (int i = 0; i < kFolder; i += 3)
        EXPECT_EQ("Dest\\" + std::to_string(i), search.find("Dest", identity(files.messages["Dest\\" + std::to_string(i)])));
    EXPECT_EQ(1, files.listReads);
    // The index's look-ups, then one more per candidate, whose bytes alone are read.
    EXPECT_EQ(kFolder + kFolder / 3, files.sizeLookups);
    EXPECT_EQ(kFolder / 3, files.headReads);
}

TEST(IdentitySearch, AMessageMovedAwayDuringTheUndoIsNotFoundAgain) {
    MemoryFiles files;
    files.add("Dest", "1", "same");
    IdentitySearch search(files);
    EXPECT_EQ("Dest\\1", search.find("Dest", identity("same")));
    files.messages.erase("Dest\\1");
    EXPECT_EQ("", search.find("Dest", identity("same")));
    EXPECT_FALSE(search.holds("Dest\\1", identity("same")));
}

}  // namespace
