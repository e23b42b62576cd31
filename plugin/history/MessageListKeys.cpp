#include "plugin/history/MessageListKeys.h"

#include <set>

namespace corvane {

namespace {

constexpr size_t kStatusLength = 16;

bool isStatusText(const std::string& line, size_t from) {
    if (line.size() - from != kStatusLength)
        return false;
    for (size_t i = from; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                      c == '/' || c == '=';
        if (!base64)
            return false;
    }
    return true;
}

// A key names a file in the folder: no path separator, no drive colon, no control character
// (a CR or LF in a key would break the lines it is written in).
bool isFileKey(const std::string& key) {
    for (char c : key) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '\\' || c == '/' || c == ':')
            return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> messageListKeys(const char* text, size_t size, size_t maxKeys) {
    std::vector<std::string> keys;
    std::set<std::string> seen;
    const std::string listText(text, size);
    size_t pos = 0;
    while (pos < listText.size() && keys.size() < maxKeys) {
        size_t end = listText.find('\n', pos);
        if (end == std::string::npos)
            end = listText.size();
        std::string line = listText.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t equals = line.find('=');
        if (equals == 0 || equals == std::string::npos || !isStatusText(line, equals + 1))
            continue;
        std::string key = line.substr(0, equals);
        if (isFileKey(key) && seen.insert(key).second)
            keys.push_back(key);
    }
    return keys;
}

}  // namespace corvane
