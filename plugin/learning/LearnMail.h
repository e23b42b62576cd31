// The mail rules are learnt from, read as the plug-in reads it for a run: a folder's entries in
// list order with their unread marks, each message's first 64 KB up to its first NUL. The front
// end gives the access (the disk for corvane-check, the host's mailbox for the plug-in) through
// LearnMailReader; what is read, and how it is cut, is decided here. Platform-free.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/learning/LearnMonitor.h"
#include "plugin/text/MessageReadCap.h"

namespace corvane {

// What learning may hold in memory in the 32-bit host, where the address space is 2 GB shared
// with the host; the message texts may take a quarter of it, the learning's stores (header
// values, decoded copies, candidates) and the holdout's learning the rest.
constexpr size_t kLearnMemoryBudget = 256u << 20;
constexpr size_t kLearnTextBudget = kLearnMemoryBudget / 4;

struct LearnEntry {
    std::string name;  // "folder\key"
    bool unread = false;
};

class LearnMailReader {
public:
    virtual ~LearnMailReader() = default;
    // The folder's entries in list order; empty when there are none or the list cannot be read
    // (the reader records why).
    virtual std::vector<LearnEntry> listFolder(const std::string& folder) = 0;
    // At most `most` bytes of the entry's message file; false when it cannot be read (the reader
    // records why).
    virtual bool readMessage(const std::string& entry, size_t most, std::string& bytes) = 0;
};

struct LearnFolderMessage {
    std::string entry;
    std::string text;  // what the plug-in matches
    bool unread = false;
};

struct LearnFolderRead {
    std::vector<LearnFolderMessage> messages;  // in list order
    std::vector<std::string> huge;    // longer than the plug-in reads: learnt from their start
    std::vector<std::string> binary;  // with a NUL byte: learnt from the text before it
    size_t dropped = 0;  // the oldest messages left out to keep within the text budget
    bool cancelled = false;
};

// The text the plug-in matches in a file's bytes: at most kMessageReadCap bytes, up to the
// first NUL.
std::string learnTextOf(const std::string& bytes);

// The folder's messages; with takeUnread false those a run leaves alone are left out. The
// monitor is polled before each message with done counting the messages read in this and
// earlier calls (total 0: not known ahead).
LearnFolderRead readLearnFolder(LearnMailReader& reader, const std::string& folder, bool takeUnread,
                                LearnMonitor* monitor, size_t& done);

// The same over a folder's listed entries, keeping at most mostBytes of text: past it the oldest
// messages (the first in list order) are left out, so that the newest are learnt from.
LearnFolderRead readLearnEntries(LearnMailReader& reader, const std::vector<LearnEntry>& entries, bool takeUnread,
                                 size_t mostBytes, LearnMonitor* monitor, size_t& done);

}  // namespace corvane
