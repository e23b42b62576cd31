// Reading message files, message lists and the selection through the real file and host calls.
#include <cstdint>
#include <cstring>

#include "TestSupport.h"
#include "plugin/distribute/MessageReading.h"
#include "plugin/hostapi/HostApi.h"

using namespace corvane;
using namespace testing_support;

namespace {

class MessageReading : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(BindHostApi());
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::string path = tempDir + name;
        EXPECT_TRUE(standin::Mailbox::writeFile(path, bytes));
        return path;
    }
};

}  // namespace

TEST_F(MessageReading, ReadsWholeOrCappedAndAlwaysTerminates) {
    std::string big(70000, 'x');
    big[65535] = 'y';
    std::string path = file("big.qpm", big);
    std::vector<char> buffer(kWorkBufferSize, '#');
    size_t length = 0;
    ASSERT_EQ(buffer.data(), readFileStart(path.c_str(), buffer.data(), &length));
    EXPECT_EQ(65536u, length);
    EXPECT_EQ('y', buffer[65535]);
    EXPECT_EQ('\0', buffer[65536]);

    char* whole = readWholeFile(path.c_str(), &length);
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(70000u, length);
    EXPECT_EQ(70000u, strlen(whole));
    freeText(whole);

    // The start of the file, with the file's true size beside what was read.
    uint64_t size = 0;
    ASSERT_EQ(buffer.data(), readFileStart(path.c_str(), buffer.data(), &length, &size));
    EXPECT_EQ(65536u, length);
    EXPECT_EQ(70000u, size);
    EXPECT_EQ('\0', buffer[65536]);
    EXPECT_EQ(nullptr, readFileStart(path.c_str(), nullptr, &length, &size)) << "no buffer, nothing read";
    EXPECT_EQ(0u, size);
}

TEST_F(MessageReading, ANulInsideEndsTheTextAndMissingFilesGiveNone) {
    std::string path = file("zero.qpm", std::string("Subject: a\0hidden", 17));
    std::vector<char> buffer(kWorkBufferSize);
    size_t length = 0;
    ASSERT_NE(nullptr, readFileStart(path.c_str(), buffer.data(), &length));
    EXPECT_EQ(17u, length);
    EXPECT_STREQ("Subject: a", buffer.data());
    EXPECT_EQ(nullptr, readFileStart((tempDir + "absent.qpm").c_str(), buffer.data()));
    EXPECT_EQ(nullptr, readFileStart(nullptr, buffer.data()));
    EXPECT_EQ(nullptr, readWholeFile(tempDir.c_str())) << "a directory is no message";
    std::string empty = file("empty.qpm", "");
    char* text = readWholeFile(empty.c_str(), &length);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(0u, length);
    EXPECT_STREQ("", text);
    freeText(text);
}

// The file is opened sharing reads only: a message someone writes or has locked is not read,
// and so matches nothing and stays where it is.
TEST_F(MessageReading, AFileOpenForWritingOrLockedIsNotRead) {
    std::string path = file("open.qpm", "Subject: busy\r\n\r\nbody");
    std::vector<char> buffer(kWorkBufferSize);
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(nullptr, readFileStart(path.c_str(), buffer.data()));
    CloseHandle(writer);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(nullptr, readFileStart(path.c_str(), buffer.data())) << "another reader is fine";
    CloseHandle(reader);
    HANDLE locker = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locker);
    EXPECT_EQ(nullptr, readFileStart(path.c_str(), buffer.data()));
    CloseHandle(locker);
}

TEST_F(MessageReading, SelectionInTheHostsOrderWithoutOverlongNames) {
    HWND folder = host.createFolderWindow("Main", "Main\\Inbox.box");
    std::string longName = "Main\\Inbox.box\\" + std::string(250, 'k');
    host.setSelection(folder, {"Main\\Inbox.box\\2", longName, "Main\\Inbox.box\\1"});
    SelectedEntries entries;
    collectSelectedEntries(folder, entries);
    EXPECT_EQ((std::vector<std::string>{"Main\\Inbox.box\\2", "Main\\Inbox.box\\1"}), entries.names);
    // The message list of the shown folder, whole; none when the folder has none.
    host.mailbox().addMessage("Main\\Inbox.box", "Subject: x\r\n\r\n", true, "00000007");
    char* list = readMessageList(folder);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ("00000007=" + standin::Mailbox::encodeStatus(true) + "\r\n", list);
    freeText(list);
    host.setAccount(folder, "Main", "Main\\User404.box");
    EXPECT_EQ(nullptr, readMessageList(folder));
}
