// The message keys of a folder's message list, in list order. Platform-free.
//
// Each record is a line "key=status", the status being 16 Base64 characters (UnreadIndex.h).
// Lines that are not of that form are passed over; a key listed twice counts once.
#pragma once

#include <string>
#include <vector>

namespace corvane {

std::vector<std::string> messageListKeys(const std::string& listText);

}  // namespace corvane
