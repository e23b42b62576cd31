#include "plugin/history/History.h"

#include <cstring>

namespace corvane {

namespace {

constexpr size_t kReadLineBytes = 1022;

}  // namespace

void MoveList::appendMove(const char* entryName, const char* destFolder) {
    text += entryName ? entryName : "";
    text += '\n';
    text += destFolder ? destFolder : "";
    text += '\n';
}

std::string historySourceLine(const char* sourceFolder, bool sourceIsTrash) {
    std::string line = sourceFolder ? sourceFolder : "";
    if (sourceIsTrash)
        line += "\\Trash.box";
    return line;
}

std::string formatHistory(const char* sourceFolder, bool sourceIsTrash, const std::string& moveList) {
    return formatHistoryLines(historySourceLine(sourceFolder, sourceIsTrash), moveList);
}

std::string formatHistoryLines(const std::string& sourceLine, const std::string& moveList) {
    std::string out = sourceLine + "\r\n";
    const char* walk = moveList.c_str();
    const char* end = walk + strlen(walk);
    while (walk < end) {
        const char* firstFeed = strchr(walk, '\n');
        if (!firstFeed)
            break;
        const char* secondFeed = strchr(firstFeed + 1, '\n');
        if (!secondFeed) {
            walk = firstFeed + 1;
            continue;
        }
        out.append(walk, firstFeed);
        out += ' ';
        out.append(firstFeed + 1, secondFeed);
        out += "\r\n";
        walk = secondFeed + 1;
    }
    return out;
}

char* trimLineEnd(char* text) {
    if (!text || !*text)
        return nullptr;
    size_t length = strlen(text);
    while (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n')
        length -= 2;
    while (length >= 1 && text[length - 1] == '\r')
        --length;
    while (length >= 1 && text[length - 1] == '\n')
        --length;
    text[length] = '\0';
    return text;
}

HistoryCount countHistoryLines(const char* bytes, size_t size) {
    HistoryCount count;
    if (!bytes)
        return count;
    size_t at = 0;
    bool first = true;
    while (at < size) {
        std::string line;
        while (at < size && line.size() < kReadLineBytes) {
            char c = bytes[at];
            if (c == '\r' && at + 1 < size && bytes[at + 1] == '\n') {
                c = '\n';
                ++at;
            }
            ++at;
            line += c;
            if (c == '\n')
                break;
        }
        if (first) {
            count.hasFirstLine = true;
            std::vector<char> text(line.begin(), line.end());
            text.push_back('\0');
            trimLineEnd(text.data());
            count.firstLine = text.data();
            first = false;
        } else {
            ++count.moveLines;
        }
    }
    return count;
}

HistoryRecord parseHistoryText(const char* text) {
    HistoryRecord record;
    if (!text || !*text)
        return record;
    const char* firstEnd = strstr(text, "\r\n");
    if (!firstEnd)
        return record;
    record.ok = true;
    record.sourceFolder.assign(text, firstEnd);
    for (const char* line = firstEnd + 2; *line;) {
        const char* lineEnd = strstr(line, "\r\n");
        if (!lineEnd)
            break;
        const char* blank = static_cast<const char*>(memchr(line, ' ', static_cast<size_t>(lineEnd - line)));
        if (!blank)
            break;
        record.moves.push_back({std::string(line, blank), std::string(blank + 1, lineEnd)});
        line = lineEnd + 2;
    }
    return record;
}

std::string formatHistoryFrom(const HistoryRecord& record, size_t first) {
    std::string out = record.sourceFolder + "\r\n";
    for (size_t i = first; i < record.moves.size(); ++i)
        out += record.moves[i].entryName + " " + record.moves[i].destFolder + "\r\n";
    return out;
}

}  // namespace corvane
