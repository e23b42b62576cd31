// A sample mailbox of realistic shape, made by the project itself: an account with the three
// special folders and nested user folders, a few hundred messages in Shift-JIS and
// ISO-2022-JP with MIME-encoded headers and mailing-list headers (some unread), and a rules
// file with rules of every kind. The demo, the playground and the tests build it the same way
// from a seed. Platform-free: it only gives the files; callers write them.
#pragma once

#include <string>
#include <vector>

namespace sample {

struct SampleFile {
    std::string path;   // relative to the mailbox root, '\' separated
    std::string bytes;  // exact content
};

struct SampleMessage {
    std::string entry;  // entry name: folder path, '\', key
    std::string kind;   // what it was made as (for reports)
    bool unread = false;
};

struct SampleMailbox {
    std::string account;
    std::string inbox;  // folder path of the inbox
    std::vector<SampleFile> files;
    std::vector<SampleMessage> messages;  // in the inbox, in key order
};

SampleMailbox buildSampleMailbox(unsigned seed = 20261207, int messageCount = 320);

// Shift-JIS text as ISO-2022-JP bytes (JIS X 0208 between ESC $ B and ESC ( B), and as a
// MIME encoded word (=?ISO-2022-JP?B?...?=).
std::string sjisToIso2022jp(const std::string& sjis);
std::string mimeEncodedWord(const std::string& sjis);
std::string base64(const std::string& bytes);

// The status text of a message-list record: 12 status bytes, the fourth with bit 0x40 for an
// unread message, in Base64.
std::string statusOf(bool unread);

}  // namespace sample
