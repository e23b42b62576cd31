#include "plugin/learning/LearnMail.h"

namespace corvane {

std::string learnTextOf(const std::string& bytes) {
    std::string text = bytes.substr(0, kMessageReadCap);
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}

LearnFolderRead readLearnFolder(LearnMailReader& reader, const std::string& folder, bool takeUnread,
                                LearnMonitor* monitor, size_t& done) {
    LearnFolderRead read;
    for (const LearnEntry& entry : reader.listFolder(folder)) {
        if (entry.unread && !takeUnread)
            continue;
        if (!proceedWith(monitor, LearnStage::Reading, done, 0)) {
            read.cancelled = true;
            break;
        }
        ++done;
        std::string bytes;
        // One byte past the cap tells a message the plug-in reads only in part.
        if (!reader.readMessage(entry.name, kMessageReadCap + 1, bytes))
            continue;
        LearnFolderMessage message;
        message.entry = entry.name;
        message.unread = entry.unread;
        message.text = learnTextOf(bytes);
        if (bytes.size() > kMessageReadCap)
            read.huge.push_back(entry.name);
        else if (message.text.size() < bytes.size())
            read.binary.push_back(entry.name);
        read.messages.push_back(std::move(message));
    }
    return read;
}

}  // namespace corvane
