// An undo in a mailbox whose folders reuse the inbox's keys: every message comes back to the
// folder it came from and no folder's own message moves, whatever key the host gave a moved
// message whose key was taken. Without identities that belong to the history, undo addresses
// the records by key as it always did.
#include "SortingFixture.h"

#include <functional>

using namespace sorting;

namespace {

struct Seed {
    std::string key;
    const char* subject;
    const char* dest;    // nullptr: stays in the inbox
    int keysTakenThere;  // the destination's own messages under this key (then key_1, ...)
};

// Destinations free and taken, one taken twice, one the trash; one message stays.
const Seed kSeeds[] = {
    {"00000001", "work", kWork, 1},     {"00000002", "work", kWork, 0},     {"00000003", "lists", kLists, 2},
    {"00000004", "family", kFamily, 0}, {"00000005", "family", kFamily, 1}, {"00000006", "trash", kTrash, 0},
    {"00000007", "stays", nullptr, 0},
};
constexpr size_t kMoved = 6;

std::string messageText(const Seed& seed) {
    return std::string("Subject: to ") + seed.subject + " " + seed.key + "\r\n\r\nbody\r\n";
}

std::string ownText(const char* folder, int n) {
    return "Subject: own message " + std::to_string(n) + " of " + folder + "\r\n\r\nkept\r\n";
}

class UndoIdentity;

struct UndoCase {
    const char* name;
    std::function<void(UndoIdentity&)> tamper;
    int failed;
    bool addressedByKey;  // no identities that belong to the history
};

class UndoIdentity : public SortingTest, public testing::WithParamInterface<UndoCase> {
public:
    using SortingTest::mailbox;

    void SetUp() override {
        SortingTest::SetUp();
        writeRules({header("Subject:", "to work", kWork), header("Subject:", "to lists", kLists),
                    header("Subject:", "to family", kFamily), header("Subject:", "to trash", kTrash)},
                   false, true);
        std::vector<std::string> inbox;
        for (const Seed& seed : kSeeds) {
            inbox.push_back(mailbox().addMessage(kInbox, messageText(seed), false, seed.key));
            for (int n = 0; n < seed.keysTakenThere; ++n)
                mailbox().addMessage(seed.dest, ownText(seed.dest, n), false,
                                     n ? seed.key + "_" + std::to_string(n) : seed.key);
        }
        openFolder(kInbox);
        select(inbox);
    }

    // The entry of folder whose file holds text, or "".
    std::string entryHolding(const char* folder, const std::string& text) {
        for (const std::string& key : mailbox().messageKeys(folder))
            if (standin::Mailbox::readFile(mailbox().messageFile(std::string(folder) + "\\" + key)) == text)
                return std::string(folder) + "\\" + key;
        return std::string();
    }
    std::string companionPath() { return mailbox().root() + "Main\\corvane.hid"; }
};

TEST_P(UndoIdentity, SortThenUndoMovesBackWhatTheRunMovedAndNothingElse) {
    const UndoCase& c = GetParam();
    const FolderContents before = folderContents();
    answerBox(IDOK);
    distribute();
    ASSERT_EQ(kMoved, host.moves.size());
    if (c.tamper)
        c.tamper(*this);
    std::vector<std::string> texts = undoAnsweringYes();
    ASSERT_EQ(2u, texts.size());
    int restored = static_cast<int>(kMoved) - c.failed;
    char expected[256];
    snprintf(expected, sizeof expected, c.failed ? "%d通を元に戻しました.\n%d通は戻せませんでした." : "%d通を元に戻しました",
             restored, c.failed);
    EXPECT_EQ(expected, texts[1]);
    bool exists = true;
    standin::Mailbox::readFile(companionPath(), &exists);
    EXPECT_FALSE(exists) << "the undo deletes the identities with the history";
    EXPECT_EQ("", readHistory());
    const FolderContents after = folderContents();
    if (c.addressedByKey) {
        ASSERT_EQ(kMoved, host.moves.size());
        for (size_t i = 0; i < kMoved; ++i) {
            const Seed& seed = kSeeds[i];
            EXPECT_EQ(seed.dest == kTrash ? std::string(kInbox) + "\\" + seed.key : std::string(seed.dest) + "\\" + seed.key,
                      host.moves[i].entry);
        }
        return;
    }
    EXPECT_EQ(static_cast<size_t>(restored), host.moves.size());
    for (const char* folder : {kOutbox, kTrash, kLists, kFamily, kArchive})
        EXPECT_EQ(before.at(folder), after.at(folder)) << folder;
    EXPECT_NE("", entryHolding(kWork, ownText(kWork, 0))) << "Work's own message stays";
    EXPECT_EQ(before.at(kInbox).size() - c.failed, after.at(kInbox).size());
    if (c.failed == 0) {
        EXPECT_EQ(before, after);
    }
}

const UndoCase kCases[] = {
    {"untouched", nullptr, 0, false},
    {"changed on disk",
     [](UndoIdentity& t) {
         std::string entry = t.entryHolding(kWork, messageText(kSeeds[0]));
         ASSERT_NE("", entry);
         std::string text = messageText(kSeeds[0]);
         text[text.size() - 3] = 'X';
         standin::Mailbox::writeFile(t.mailbox().messageFile(entry), text);
     },
     1, false},
    {"twin in the destination",
     [](UndoIdentity& t) { t.mailbox().addMessage(kWork, messageText(kSeeds[0])); }, 1, false},
    {"no identities", [](UndoIdentity& t) { DeleteFileA(t.companionPath().c_str()); }, 0, true},
    {"identities of another history",
     [](UndoIdentity& t) {
         std::string bytes = standin::Mailbox::readFile(t.companionPath());
         ASSERT_GT(bytes.size(), 86u);
         bytes.replace(22, 64, std::string(64, '0'));
         standin::Mailbox::writeFile(t.companionPath(), bytes);
     },
     0, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, UndoIdentity, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<UndoCase>& row) {
                             std::string name;
                             for (const char* c = row.param.name; *c; ++c)
                                 if (isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

}  // namespace
