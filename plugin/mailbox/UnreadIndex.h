// Unread marks of messages in a folder's message list. Platform-free.
//
// A message's record is found as its key (the last component of its entry name) followed by
// "=", at the first place where that text occurs anywhere in the list text, and the 16 Base64
// characters after the "=" encode its status; bit 0x40 of the fourth status byte means unread.
#pragma once

#include <cstddef>
#include <vector>

namespace corvane {

// Unread mark of one entry. False when the list or the name is null, when the name has no
// '\' (it then has no key), when the key is not in the list, or when its status is malformed.
bool isUnread(const char* listText, const char* entryName);

// Unread marks of many entries of one run at once: result[i] is isUnread(listText,
// entryNames[i]), found in one pass over the list text instead of one search per entry.
std::vector<bool> findUnreadEntries(const char* listText, const char* const* entryNames, size_t count);

// Decodes the status that follows a key's "=" (at most 16 characters, fewer at the end of the
// text) and tells whether it marks the message unread.
bool statusIsUnread(const char* status);

}  // namespace corvane
