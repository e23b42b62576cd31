// Faults from outside the plug-in during a sort or an undo: files it writes that cannot be
// written, files it reads that change, vanish or are locked under it, a host that refuses
// moves, profile files with values past every buffer, folders nested past a path, and history
// files no run would write. None may crash, hang or lose a message.
#include "SortingFixture.h"

#include <cstdlib>
#include <memory>
#include <set>

#include "plugin/mailbox/FolderTreeWin.h"

using namespace sorting;
using standin::BoxIcon;

namespace {

// A file held open without sharing, as another program can hold it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release() {
        if (held())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// Content hashes of every message in the mailbox, wherever it is: nothing lost, nothing changed.
std::multiset<uint64_t> contents(const MailboxState& state) {
    std::multiset<uint64_t> hashes;
    for (const auto& message : state)
        hashes.insert(message.second.hash);
    return hashes;
}

const char kMovedFormat[] = "%d件振り分けました";
const char kQuestion[] = "%d通の振り分け記録があります.\n途中でキャンセルできませんが元に戻しますか？";

class Faults : public SortingTest {
protected:
    void everythingBackTo(const char* folder) {
        for (const std::string& other : allFolders())
            if (other != folder)
                for (const std::string& key : mailbox().messageKeys(other))
                    mailbox().moveMessage(other + "\\" + key, folder);
    }

    std::string tempPath() { return mailbox().root() + "Main\\corvane.tmp"; }

};

enum class Obstacle { HistoryIsADirectory, HistoryLocked, TempLocked };

TEST_F(Faults, AHistoryThatCannotBeWrittenKeepsTheMovesAndTheLastRecord) {
    const Obstacle obstacles[] = {Obstacle::HistoryIsADirectory, Obstacle::HistoryLocked, Obstacle::TempLocked};
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    const std::string old = "Main\\Inbox.box\r\nMain\\Inbox.box\\x Main\\User001.box\r\n";
    for (Obstacle obstacle : obstacles) {
        int index = static_cast<int>(obstacle);
        everythingBackTo(kInbox);
        DeleteFileA(historyPath().c_str());
        RemoveDirectoryA(historyPath().c_str());
        DeleteFileA(tempPath().c_str());
        RemoveDirectoryA(tempPath().c_str());
        if (obstacle == Obstacle::HistoryIsADirectory) {
            ASSERT_TRUE(CreateDirectoryA(historyPath().c_str(), nullptr));
        } else {
            standin::Mailbox::writeFile(historyPath(), old);
        }
        if (obstacle == Obstacle::TempLocked)
            standin::Mailbox::writeFile(tempPath(), "held");
        HeldFile held(obstacle == Obstacle::HistoryLocked ? historyPath() : tempPath());
        if (obstacle == Obstacle::HistoryLocked || obstacle == Obstacle::TempLocked) {
            ASSERT_TRUE(held.held()) << index;
        }
        std::vector<std::string> entries = addInvoices(3);
        select(entries);
        MailboxState before = snapshot();
        resetRun();
        answerBox(IDOK);
        distribute();
        held.release();
        EXPECT_EQ(3u, host.moves.size()) << index;
        EXPECT_EQ(3u, mailbox().messageKeys(kWork).size()) << index;
        EXPECT_EQ(contents(before), contents(snapshot())) << index;
        ASSERT_EQ(1u, boxes().size()) << index;
        expectBox(boxes()[0], countText(kMovedFormat, 3), BoxIcon::Information);
        DWORD attributes = GetFileAttributesA(historyPath().c_str());
        if (obstacle == Obstacle::HistoryIsADirectory) {
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << index;
        } else {
            EXPECT_EQ(old, readHistory()) << index;
        }
        if (obstacle == Obstacle::HistoryIsADirectory || obstacle == Obstacle::HistoryLocked) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(tempPath().c_str())) << "no leftover, " << index;
        }
    }
}

TEST_F(Faults, AnUnreadableHistoryIsNamedWhenUndoing) {
    writeRules({}, false, true);
    openFolder(kInbox);
    mailbox().addMessage(kWork, "Subject: x\r\n\r\n");
    standin::Mailbox::writeFile(historyPath(),
                                std::string(kInbox) + "\r\n" + kInbox + "\\1 " + kWork + "\r\n");
    {
        HeldFile held(historyPath());
        ASSERT_TRUE(held.held());
        std::vector<std::string> texts = undoAnsweringYes(false);
        ASSERT_EQ(1u, texts.size());
        EXPECT_EQ("振り分け記録ファイルが破損しています.\n元に戻せません.", texts[0]);
    }
    DeleteFileA(historyPath().c_str());
    ASSERT_TRUE(CreateDirectoryA(historyPath().c_str(), nullptr));
    std::vector<std::string> texts = undoAnsweringYes(false);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("振り分け記録ファイルがみつかりません.\n元に戻せません.", texts[0]);
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(1u, mailbox().messageKeys(kWork).size());
}

TEST_F(Faults, MessagesThatChangeDuringTheRunAreTakenAsTheyAreWhenRead) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    std::vector<std::string> entries = addInvoices(6);
    select(entries);
    std::unique_ptr<HeldFile> locked;
    // After the first move: 1 deleted, 2 locked, 3 emptied, 4 cut before "Invoice", 5 as it was.
    host.onMove = [&](const standin::MoveRequest&) {
        if (host.moves.size() != 1)
            return;
        DeleteFileA(mailbox().messageFile(entries[1]).c_str());
        locked.reset(new HeldFile(mailbox().messageFile(entries[2])));
        standin::Mailbox::writeFile(mailbox().messageFile(entries[3]), "");
        standin::Mailbox::writeFile(mailbox().messageFile(entries[4]), "From: shop@example.com\r\nSubject: Inv");
    };
    answerBox(IDOK);
    distribute();
    ASSERT_TRUE(locked && locked->held());
    locked.reset();
    ASSERT_EQ(2u, host.moves.size());
    EXPECT_EQ(entries[0], host.moves[0].entry);
    EXPECT_EQ(entries[5], host.moves[1].entry);
    EXPECT_EQ(historyBytes(kInbox, {{entries[0], kWork}, {entries[5], kWork}}), readHistory());
    EXPECT_EQ((std::vector<std::string>{keyOf(entries[2]), keyOf(entries[3]), keyOf(entries[4])}),
              mailbox().messageKeys(kInbox));
    EXPECT_TRUE(standin::Mailbox::readFile(mailbox().messageFile(entries[2])).find("Invoice #2") != std::string::npos);
    ASSERT_EQ(1u, boxes().size());
    expectBox(boxes()[0], countText(kMovedFormat, 2), BoxIcon::Information);
}

enum class ListFault { DeletedMidRun, Locked, Garbled };

struct ListCase {
    ListFault fault;
    size_t asked;  // moves the plug-in hands over
};

TEST_F(Faults, AMessageListThatVanishesOrIsUnreadableLosesNothing) {
    const ListCase cases[] = {{ListFault::DeletedMidRun, 3}, {ListFault::Locked, 6}, {ListFault::Garbled, 6}};
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    openFolder(kInbox);
    for (const ListCase& c : cases) {
        int index = static_cast<int>(c.fault);
        everythingBackTo(kArchive);
        std::vector<std::string> entries = addInvoices(6, true);
        select(entries);
        std::string listFile = mailbox().messageListFile(kInbox);
        std::unique_ptr<HeldFile> held;
        if (c.fault == ListFault::Locked)
            held.reset(new HeldFile(listFile));
        if (c.fault == ListFault::Garbled)
            standin::Mailbox::writeFile(listFile, std::string("1=AQAA\0AAAAA\xff\xfe\r\r\n=\n", 19) +
                                                      std::string(3000, '\x82') + std::string(5000, '='));
        MailboxState before = snapshot();
        resetRun();
        host.onMove = [&](const standin::MoveRequest&) {
            if (c.fault == ListFault::DeletedMidRun && host.moves.size() == 1)
                DeleteFileA(listFile.c_str());
        };
        distribute();
        host.onMove = nullptr;
        held.reset();
        EXPECT_EQ(c.asked, host.moves.size()) << index;
        for (const standin::MoveRequest& move : host.moves)
            EXPECT_TRUE(c.fault != ListFault::DeletedMidRun ||
                        (std::find(entries.begin(), entries.end(), move.entry) - entries.begin()) % 2 == 0)
                << "unread mail stays, " << move.entry;
        EXPECT_EQ(contents(before), contents(snapshot())) << index;
        EXPECT_EQ(6u, mailbox().messageKeys(kInbox).size() + mailbox().messageKeys(kWork).size()) << index;
        standin::Mailbox::writeFile(listFile, "");
    }
}

struct RefusalCase {
    int refuseEvery;  // the host refuses every n-th move it is asked for
    const char* distributed;
    const char* undone;
    bool historyKept;
};

TEST_F(Faults, AHostThatRefusesMovesLosesNothingAndUndoTakesBackWhatMoved) {
    const RefusalCase cases[] = {
        {2, "3件振り分けました", "3通を元に戻しました.\n3通は戻せませんでした.", false},
        {1, "0件振り分けました", "予期せぬエラーが発生しています.\n元に戻せません.", true},
    };
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, true);
    openFolder(kInbox);
    for (const RefusalCase& c : cases) {
        everythingBackTo(kArchive);
        select(addInvoices(6));
        MailboxState before = snapshot();
        // The host refuses by message (every n-th key), so that the undo, which asks only for
        // the messages that moved, meets the same refusals as the run.
        int every = c.refuseEvery;
        host.refuseMove = [every](const std::string& entry, const std::string&) {
            return std::atoi(entry.substr(entry.find_last_of('\\') + 1).c_str()) % every == 0;
        };
        resetRun();
        answerBox(IDOK);
        distribute();
        ASSERT_EQ(1u, boxes().size()) << every;
        EXPECT_EQ(c.distributed, boxes()[0].text);
        EXPECT_EQ(contents(before), contents(snapshot())) << every;

        std::vector<std::string> texts = undoAnsweringYes();
        host.refuseMove = nullptr;
        ASSERT_EQ(2u, texts.size()) << every;
        EXPECT_EQ(countText(kQuestion, 6), texts[0]);
        EXPECT_EQ(c.undone, texts[1]);
        MailboxState after = snapshot();
        EXPECT_EQ(contents(before), contents(after)) << every;
        EXPECT_EQ(before, after) << "everything back where it was, " << every;
        bool exists = false;
        readHistory(&exists);
        EXPECT_EQ(c.historyKept, exists) << every;
    }
}

TEST_F(Faults, ARulesFileThatCannotBeWrittenAtCloseKeepsItsText) {
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork)}, false, false);
    std::string iniPath = mailbox().root() + "Main\\corvane.ini";
    std::string saved = standin::Mailbox::readFile(iniPath);
    ASSERT_FALSE(saved.empty());
    for (bool readOnly : {true, false}) {
        openFolder(kInbox);
        std::unique_ptr<HeldFile> held;
        if (readOnly) {
            ASSERT_TRUE(SetFileAttributesA(iniPath.c_str(), FILE_ATTRIBUTE_READONLY));
        } else {
            held.reset(new HeldFile(iniPath));
            ASSERT_TRUE(held->held());
        }
        plugin.APCFolderClose(window_);
        held.reset();
        SetFileAttributesA(iniPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(saved, standin::Mailbox::readFile(iniPath)) << readOnly;
        host.destroyWindow(window_);
    }
    // The rules still load and sort.
    openFolder(kInbox);
    select(addInvoices(2));
    distribute();
    EXPECT_EQ(2u, mailbox().messageKeys(kWork).size());
}

// The folder tree of the account on disk, with paths relative to the test's mailbox.
class DiskTree : public corvane::ProfileFolderTreeSource {
public:
    explicit DiskTree(std::string root) : root_(std::move(root)) {}
    bool toMailboxRelative(const char* fullDir, corvane::PathBuffer& out) const override {
        return corvane::toMailboxRelative(root_.c_str(), fullDir, out);
    }

private:
    std::string root_;
};

TEST_F(Faults, ProfileValuesPastEveryBufferAreCutOrRefused) {
    const std::string huge(10000, 'x');
    std::string account = mailbox().root() + "Main\\";
    std::string order = "IOT";
    for (int i = 0; i < 2000; ++i)
        order += "001";
    ASSERT_TRUE(WritePrivateProfileStringA("Property", "Order", order.c_str(), (account + "Account.ini").c_str()));
    std::string entryIni = mailbox().folderDir(kWork) + "Entry.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("Property", "Title", (huge + "\x82\xa0").c_str(), entryIni.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Property", "Type", huge.c_str(), entryIni.c_str()));
    corvane::FolderList folders;
    corvane::listAccountFolders(folders, account.c_str(), DiskTree(mailbox().root()));
    ASSERT_FALSE(folders.empty());
    EXPECT_LE(folders.size(), corvane::kMaxFolderVisits);
    size_t works = 0;
    for (const corvane::FolderEntry& entry : folders) {
        EXPECT_LT(strnlen(entry.title, sizeof entry.title), sizeof entry.title);
        EXPECT_LT(strnlen(entry.path, sizeof entry.path), sizeof entry.path);
        if (std::string(entry.path) == kWork) {
            ++works;
            EXPECT_EQ(std::string(1023, 'x'), entry.title) << "the title is cut to its buffer";
            EXPECT_EQ(corvane::UserFolder, entry.kind);
        }
    }
    EXPECT_GE(works, 300u) << "the order read as far as its buffer";

    // A rule value past its buffer ends the rules there: what follows could be another rule.
    std::string ini = account + "corvane.ini";
    writeRules({rule(corvane::WholeMessage, "Invoice", kWork), rule(corvane::WholeMessage, "x", kTrash),
                rule(corvane::WholeMessage, "body", kFamily)},
               false, false);
    ASSERT_TRUE(WritePrivateProfileStringA("Rule", "rule2", ("\"0,0,0," + huge + ",Main\\Trash.box\"").c_str(),
                                           ini.c_str()));
    corvane::FolderContext context;
    corvane::copyString(context.accountDir, account.c_str());
    corvane::loadRules(context);
    ASSERT_EQ(1u, context.rules.size());
    EXPECT_STREQ("Invoice", context.rules[0].searchText);
}

TEST_F(Faults, FoldersNestedPastAPathAreLeftOutOfTheTree) {
    std::string account = mailbox().root() + "Main\\";
    ASSERT_TRUE(WritePrivateProfileStringA("Property", "Order", "IOT001", (account + "Account.ini").c_str()));
    std::string folder = "Main";
    size_t made = 0;
    for (int depth = 0; depth < 30; ++depth) {
        folder = mailbox().createUserFolder(folder, "001", "Deep" + std::to_string(depth), "001");
        if (GetFileAttributesA((mailbox().folderDir(folder) + "Entry.ini").c_str()) != INVALID_FILE_ATTRIBUTES)
            ++made;
    }
    ASSERT_GT(mailbox().root().size() + strlen("Main\\") + 30 * strlen("User001.box\\"), 260u);
    corvane::FolderList folders;
    corvane::listAccountFolders(folders, account.c_str(), DiskTree(mailbox().root()));
    size_t deepest = 0, listed = 0;
    for (const corvane::FolderEntry& entry : folders) {
        std::string path = entry.path;
        ASSERT_LT(path.size(), 260u);
        if (path.compare(0, 16, "Main\\User001.box") != 0)
            continue;
        ++listed;
        deepest = std::max(deepest, (mailbox().root() + path + "\\Entry.ini").size());
    }
    // Every folder whose files fit a path is listed, and none beyond.
    size_t fitting = 0;
    for (size_t depth = 1; depth <= 30; ++depth)
        if (account.size() + depth * strlen("User001.box\\") + strlen("Entry.ini") < 260)
            ++fitting;
    EXPECT_EQ(fitting, listed);
    EXPECT_LT(deepest, 260u);
    EXPECT_GE(made, fitting) << "the host made at least the folders that fit";
}

struct HistoryCase {
    const char* name;
    std::string (*bytes)(const std::vector<std::string>& keys);
    int counted;            // the question's count; 0: refused before asking
    const char* result;     // the last box
    size_t restored;
};

std::string line(const std::string& key) {
    return std::string(kInbox) + "\\" + key + " " + kWork + "\r\n";
}

std::string firstLine() {
    return std::string(kInbox) + "\r\n";
}

std::string longLines(const std::vector<std::string>& keys) {
    return firstLine() + line(keys[0]) + std::string(kInbox) + "\\" + std::string(5000, 'y') + " " + kWork + "\r\n" +
           line(keys[1]) + line(keys[2]);
}

std::string lineFeedsOnly(const std::vector<std::string>& keys) {
    return std::string(kInbox) + "\n" + kInbox + "\\" + keys[0] + " " + kWork + "\n";
}

std::string noLineEndAtAll(const std::vector<std::string>&) {
    return kInbox;
}

std::string withNul(const std::vector<std::string>& keys) {
    return firstLine() + line(keys[0]) + std::string(1, '\0') + line(keys[1]) + line(keys[2]);
}

std::string hundredThousandLines(const std::vector<std::string>& keys) {
    std::string text = firstLine() + line(keys[0]) + line(keys[1]) + line(keys[2]);
    for (int i = 3; i < 100000; ++i)
        text += "Main\\Inbox.box\\gone\r\n";
    return text;
}

TEST_F(Faults, HostileHistoryFilesEndTheUndoWithAMessageAndMoveOnlyWholeRecords) {
    const HistoryCase cases[] = {
        // A line is read in pieces of 1022 bytes for the count; the overlong record is not
        // handed to the host and counts as not restored.
        {"5000-byte line", longLines, 8, "3通を元に戻しました.\n1通は戻せませんでした.", 3},
        {"LF only", lineFeedsOnly, 1, "予期せぬエラーが発生しています.\n元に戻せません.", 0},
        {"no line end", noLineEndAtAll, 0, "振り分け記録ファイルが破損しています.\n元に戻せません.", 0},
        {"NUL byte", withNul, 3, "1通を元に戻しました", 1},
        {"100,000 lines", hundredThousandLines, 100000, "3通を元に戻しました", 3},
    };
    writeRules({}, false, true);
    openFolder(kInbox);
    for (const HistoryCase& c : cases) {
        everythingBackTo(kArchive);
        std::vector<std::string> keys;
        for (int i = 0; i < 3; ++i)
            keys.push_back(keyOf(mailbox().addMessage(kWork, "Subject: sorted " + std::to_string(i) + "\r\n\r\nx\r\n")));
        std::string history = c.bytes(keys);
        standin::Mailbox::writeFile(historyPath(), history);
        MailboxState before = snapshot();
        std::vector<std::string> texts = undoAnsweringYes(c.counted != 0);
        ASSERT_EQ(c.counted ? 2u : 1u, texts.size()) << c.name;
        if (c.counted) {
            EXPECT_EQ(countText(kQuestion, c.counted), texts[0]) << c.name;
        }
        EXPECT_EQ(c.result, texts.back()) << c.name;
        EXPECT_EQ(c.restored, mailbox().messageKeys(kInbox).size()) << c.name;
        EXPECT_EQ(contents(before), contents(snapshot())) << c.name;
        bool exists = false;
        std::string left = readHistory(&exists);
        EXPECT_EQ(c.restored == 0, exists) << c.name;
        if (exists) {
            EXPECT_EQ(history, left) << c.name;
        }
    }
}

}  // namespace
