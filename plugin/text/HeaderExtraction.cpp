#include "plugin/text/HeaderExtraction.h"

#include <cstring>

#include "plugin/common/StrUtil.h"

namespace corvane {

namespace {

bool isFoldBlank(char c) {
    return c == ' ' || c == '\t';
}

// The "\r\n" that ends the line starting at line, or null when the text has none after it.
const char* lineEndOf(const char* line) {
    return strstr(line, "\r\n");
}

// Longest prefix of [start, start + length) of at most limit bytes that does not split a
// double-byte Shift-JIS character.
size_t wholeCharacterPrefix(const char* start, size_t length, size_t limit) {
    if (length <= limit)
        return length;
    size_t i = 0;
    while (i < limit) {
        size_t width = isSjisLeadByte(static_cast<unsigned char>(start[i])) ? 2 : 1;
        if (i + width > limit)
            break;
        i += width;
    }
    return i;
}

// The line that starts with the header name, or null. Only lines up to the first empty line
// are tried; a line without its "\r\n" ends the search.
const char* findFieldLine(const char* text, const char* headerName, size_t nameLength,
                          const char** lineEnd) {
    const char* line = text;
    while (*line) {
        const char* end = lineEndOf(line);
        if (!end)
            return nullptr;
        if (static_cast<size_t>(end - line) >= nameLength &&
            compareNoCase(line, headerName, nameLength) == 0) {
            *lineEnd = end;
            return line;
        }
        line = end + 2;
        if (line[0] == '\r' && line[1] == '\n')
            return nullptr;
    }
    return nullptr;
}

}  // namespace

size_t headerBlockEnd(const char* text) {
    const char* end = strstr(text, "\r\n\r\n");
    return end ? static_cast<size_t>(end - text) : strlen(text);
}

bool extractHeaderValue(const char* text, const char* headerName, char (&value)[kHeaderValueSize]) {
    value[0] = '\0';
    if (!text || !headerName)
        return false;
    size_t nameLength = strlen(headerName);
    const char* lineEnd = nullptr;
    const char* line = findFieldLine(text, headerName, nameLength, &lineEnd);
    if (!line)
        return false;

    const char* start = line + nameLength;
    while (*start == ' ')
        ++start;
    size_t length = wholeCharacterPrefix(start, static_cast<size_t>(lineEnd - start), kHeaderValueSize - 1);
    memcpy(value, start, length);

    for (const char* next = lineEnd + 2; isFoldBlank(*next);) {
        const char* segment = next;
        while (isFoldBlank(*segment))
            ++segment;
        const char* segmentEnd = lineEndOf(segment);
        if (!segmentEnd) {
            value[0] = '\0';
            return false;
        }
        size_t segmentLength = static_cast<size_t>(segmentEnd - segment);
        if (length + 1 + segmentLength < kHeaderValueSize) {
            value[length] = ' ';
            memcpy(value + length + 1, segment, segmentLength);
            length += 1 + segmentLength;
        }
        next = segmentEnd + 2;
    }
    value[length] = '\0';
    return true;
}

}  // namespace corvane
