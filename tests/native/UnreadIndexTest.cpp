#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "plugin/mailbox/UnreadIndex.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;

namespace {

// The status text of a record whose 12 status bytes are all others but the fourth.
std::string status(unsigned char fourth, unsigned char others = 0) {
    std::string bytes(12, static_cast<char>(others));
    bytes[3] = static_cast<char>(fourth);
    return sample::base64(bytes);
}

const std::string kUnread = status(0x40);
const std::string kRead = status(0xBF, 0xFF);  // every bit but the unread one

void x2(const std::string& list, const char* entry) {
    SCOPED_TRACE(testing::Message() << "list=" << testing::PrintToString(list) << " entry=" << entry);
    EXPECT_TRUE(isUnread(list.c_str(), entry));
    const char* entries[] = {entry};
    EXPECT_TRUE(findUnreadEntries(list.c_str(), entries, 1)[0]);
}

void n(const std::string& list, const char* entry) {
    SCOPED_TRACE(testing::Message() << "list=" << testing::PrintToString(list) << " entry=" << entry);
    EXPECT_FALSE(isUnread(list.c_str(), entry));
    const char* entries[] = {entry};
    EXPECT_FALSE(findUnreadEntries(list.c_str(), entries, 1)[0]);
}

}  // namespace

TEST(UnreadMark, FourthStatusByteBit40) {
    x2("[x]\r\nM001=" + kUnread + "\r\n", "acct\\Inbox.box\\M001");
    n("M001=" + kRead + "\r\n", "acct\\Inbox.box\\M001");
    x2("M001=" + status(0xC0, 0xFF) + "\r\n", "acct\\Inbox.box\\M001");
    n("M001=" + status(0x00, 0x40) + "\r\n", "acct\\Inbox.box\\M001");  // bit in another byte
    n("M002=" + kUnread + "\r\n", "acct\\Inbox.box\\M001");
    n("m001=" + kUnread + "\r\n", "acct\\Inbox.box\\M001");  // keys are case-sensitive
}

TEST(UnreadMark, StatusLengthAndAlphabet) {
    x2("M1=" + kUnread.substr(0, 12), "a\\M1");       // 12 characters: still a multiple of 4
    x2("M1=" + kUnread.substr(0, 8), "a\\M1");
    n("M1=" + kUnread.substr(0, 15), "a\\M1");        // the text ends early
    n("M1=" + kUnread.substr(0, 4), "a\\M1");         // no fourth byte at all
    n("M1=", "a\\M1");
    x2("M1=AA=AQ!!!========", "a\\M1");                // pad and strangers count as 0
    x2("M1=" + kUnread + "\r\nM1=" + kRead, "a\\M1");  // the first record counts
}

TEST(UnreadMark, KeyIsFoundAnywhereInTheList) {
    // "M1=" is the tail of "XM1=": that record is hit first.
    n("XM1=" + kRead + "\r\nM1=" + kUnread, "a\\M1");
    x2("XM1=" + kUnread + "\r\nM1=" + kRead, "a\\M1");
    x2("junk M1=" + kUnread, "a\\M1");
    x2("A=B=" + kUnread, "a\\A=B");   // a key holding "="
    x2("Z=" + kUnread, "folder\\");   // an empty last component: the key is "="
}

TEST(UnreadMark, EntriesWithoutKeyAreNotUnread) {
    n("M1=" + kUnread, "M1");
    n("M1=" + kUnread, "");
    EXPECT_FALSE(isUnread(nullptr, "a\\M1"));
    EXPECT_FALSE(isUnread("M1=AAAAQAAAAAAAAAAA", nullptr));
    const char* entries[] = {nullptr, "M1", "a\\M1"};
    std::vector<bool> flags = findUnreadEntries(("M1=" + kUnread).c_str(), entries, 3);
    EXPECT_EQ((std::vector<bool>{false, false, true}), flags);
    EXPECT_EQ(std::vector<bool>(3, false), findUnreadEntries(nullptr, entries, 3));
}

TEST(UnreadMark, LongKeysAreSearchedWhole) {
    std::string name(300, 'k');
    std::string entry = "acct\\Inbox.box\\" + name;
    x2(name + "=" + kUnread, entry.c_str());
    // Its first 255 bytes alone must not match another record.
    n(name.substr(0, 254) + "=" + kUnread, entry.c_str());
}

TEST(UnreadMark, IndexedLookupAgreesWithPlainSearch) {
    std::mt19937 random(20240611);
    const char pieces[] = "ab=\\AQ\r\n";
    auto piece = [&](size_t maxLength) {
        std::string out;
        size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i)
            out += pieces[random() % (sizeof pieces - 1)];
        return out;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<std::string> keys;
        for (int i = 0; i < 12; ++i)
            keys.push_back(piece(5));
        std::string list;
        int records = static_cast<int>(random() % 20);
        for (int i = 0; i < records; ++i) {
            const std::string& key = keys[random() % keys.size()];
            switch (random() % 4) {
            case 0: list += key + "=" + kUnread + "\r\n"; break;
            case 1: list += key + "=" + kRead + "\r\n"; break;
            case 2: list += key + "=" + kUnread.substr(0, random() % 17); break;
            default: list += piece(8); break;
            }
        }
        std::vector<std::string> names;
        for (int i = 0; i < 10; ++i) {
            const std::string& key = random() % 4 ? keys[random() % keys.size()] : piece(4);
            names.push_back(random() % 8 ? "acct\\" + piece(2) + "\\" + key : key);
        }
        std::vector<const char*> entries;
        for (const std::string& name : names)
            entries.push_back(name.c_str());
        std::vector<bool> flags = findUnreadEntries(list.c_str(), entries.data(), entries.size());
        for (size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(isUnread(list.c_str(), entries[i]), flags[i])
                << "list=" << testing::PrintToString(list) << " entry=" << testing::PrintToString(names[i]);
    }
}
