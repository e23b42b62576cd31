#include "plugin/history/MessageIdentity.h"

#include <cstring>

#include "plugin/common/Sha256.h"

namespace corvane {

namespace {

const char kHeading[] = "corvane-identities 1";

bool isDigest(const std::string& text) {
    if (text.size() != 64)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool parseSize(const std::string& text, uint64_t& out) {
    // Written without leading zeros, so that a companion reads back only as it was written.
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0'))
        return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

bool parseIdentityLine(const std::string& line, MessageIdentity& out) {
    if (line.size() < 4 || (line[0] != 'T' && line[0] != 'F') || line[1] != ' ')
        return false;
    size_t blank = line.find(' ', 2);
    if (blank == std::string::npos)
        return false;
    out.keyTaken = line[0] == 'T';
    out.sha256 = line.substr(blank + 1);
    return parseSize(line.substr(2, blank - 2), out.size) && isDigest(out.sha256);
}

std::string formatIdentityLine(const MessageIdentity& identity) {
    return std::string(identity.keyTaken ? "T " : "F ") + std::to_string(identity.size) + " " + identity.sha256;
}

namespace {

// Splits text into lines that each end in CR LF; false when the text does not end in one.
bool splitLines(const char* text, size_t size, std::vector<std::string>& lines) {
    size_t at = 0;
    while (at < size) {
        const char* end = static_cast<const char*>(std::memchr(text + at, '\n', size - at));
        if (!end || end == text + at || end[-1] != '\r')
            return false;
        size_t lineEnd = static_cast<size_t>(end - text) - 1;
        lines.emplace_back(text + at, lineEnd - at);
        at = lineEnd + 2;
    }
    return true;
}

}  // namespace

MessageIdentity identityOf(const char* bytes, size_t read, uint64_t trueSize, bool keyTaken) {
    MessageIdentity identity;
    identity.keyTaken = keyTaken;
    identity.size = trueSize;
    identity.sha256 = sha256Hex(bytes, read);
    return identity;
}

bool sameMessage(const MessageIdentity& identity, const char* bytes, size_t read, uint64_t trueSize) {
    return identity.size == trueSize && identity.sha256 == sha256Hex(bytes, read);
}

std::string formatIdentities(const std::string& historyBytes, const std::vector<MessageIdentity>& identities) {
    std::string out = std::string(kHeading) + "\r\n" + sha256Hex(historyBytes.data(), historyBytes.size()) + "\r\n";
    for (const MessageIdentity& identity : identities)
        out += formatIdentityLine(identity) + "\r\n";
    return out;
}

bool parseIdentities(const char* companion, size_t companionSize, const char* historyBytes, size_t historySize,
                     size_t moveCount, std::vector<MessageIdentity>& out) {
    out.clear();
    std::vector<std::string> lines;
    if (!companion || !historyBytes || !splitLines(companion, companionSize, lines))
        return false;
    if (lines.size() != moveCount + 2 || lines[0] != kHeading || lines[1] != sha256Hex(historyBytes, historySize))
        return false;
    std::vector<MessageIdentity> identities(moveCount);
    for (size_t i = 0; i < moveCount; ++i)
        if (!parseIdentityLine(lines[i + 2], identities[i]))
            return false;
    out.swap(identities);
    return true;
}

}  // namespace corvane
