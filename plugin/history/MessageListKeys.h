// The message keys of a folder's message list, in list order. Platform-free.
//
// Each record is a line "key=status", the status being 16 Base64 characters (UnreadIndex.h).
// Lines that are not of that form are passed over, and so are keys that hold a path separator
// or a drive colon (such a key would name a file outside the folder) or a control character. A key listed twice counts
// once. At most maxKeys keys are returned, so a caller can bound a search and tell that the
// list held more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace corvane {

std::vector<std::string> messageListKeys(const char* text, size_t size, size_t maxKeys);

inline std::vector<std::string> messageListKeys(const std::string& text, size_t maxKeys = SIZE_MAX) {
    return messageListKeys(text.data(), text.size(), maxKeys);
}

inline std::vector<std::string> messageListKeys(const char* text, size_t maxKeys = SIZE_MAX) {
    return text ? messageListKeys(text, std::strlen(text), maxKeys) : std::vector<std::string>();
}

}  // namespace corvane
