#include "plugin/learning/LearnMail.h"

#include <cstdint>
#include <deque>

namespace corvane {

std::string learnTextOf(const std::string& bytes) {
    std::string text = bytes.substr(0, kMessageReadCap);
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}

namespace {

struct KeptMessage {
    LearnFolderMessage message;
    bool huge = false, binary = false;
};

}  // namespace

LearnFolderRead readLearnEntries(LearnMailReader& reader, const std::vector<LearnEntry>& entries, bool takeUnread,
                                 size_t mostBytes, LearnMonitor* monitor, size_t& done) {
    LearnFolderRead read;
    std::deque<KeptMessage> kept;
    size_t bytes = 0;
    for (const LearnEntry& entry : entries) {
        if (entry.unread && !takeUnread)
            continue;
        if (!proceedWith(monitor, LearnStage::Reading, done, 0)) {
            read.cancelled = true;
            break;
        }
        ++done;
        std::string file;
        // One byte past the cap tells a message the plug-in reads only in part.
        if (!reader.readMessage(entry.name, kMessageReadCap + 1, file))
            continue;
        KeptMessage message;
        message.message.entry = entry.name;
        message.message.unread = entry.unread;
        message.message.text = learnTextOf(file);
        message.huge = file.size() > kMessageReadCap;
        message.binary = !message.huge && message.message.text.size() < file.size();
        bytes += message.message.text.size();
        kept.push_back(std::move(message));
        for (; bytes > mostBytes && !kept.empty(); ++read.dropped) {
            bytes -= kept.front().message.text.size();
            kept.pop_front();
        }
    }
    for (KeptMessage& message : kept) {
        if (message.huge)
            read.huge.push_back(message.message.entry);
        if (message.binary)
            read.binary.push_back(message.message.entry);
        read.messages.push_back(std::move(message.message));
    }
    return read;
}

LearnFolderRead readLearnFolder(LearnMailReader& reader, const std::string& folder, bool takeUnread,
                                LearnMonitor* monitor, size_t& done) {
    return readLearnEntries(reader, reader.listFolder(folder), takeUnread, SIZE_MAX, monitor, done);
}

}  // namespace corvane
