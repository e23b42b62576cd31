// The header block of a stored message and the unfolded value of one named header field.
// Texts are raw message bytes (Shift-JIS in practice) and end at their first NUL. Platform-free.
#pragma once

#include <cstddef>

namespace corvane {

// Capacity of a header value: at most 1023 bytes and the terminator.
constexpr size_t kHeaderValueSize = 1024;

// Offset of the first "\r\n\r\n" in the text, or the text's length when there is none. The
// header block is the text before it, without the line end of its last line.
size_t headerBlockEnd(const char* text);

// Finds the first field whose line starts with headerName (compared over its length, ASCII
// letters folded; the name includes its colon) and stores its value, blanks after the name
// skipped and continuation lines joined by single blanks. A continuation that would make the
// value reach kHeaderValueSize bytes is left out. A first line whose value alone is that long
// is cut to the longest whole-character prefix of at most 1023 bytes. Returns false (value
// empty) when the header block holds no such field or its lines lack their "\r\n".
bool extractHeaderValue(const char* text, const char* headerName, char (&value)[kHeaderValueSize]);

}  // namespace corvane
