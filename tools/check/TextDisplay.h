// Message and rule texts made readable for the checker's output. Display only: matching always
// works on the raw bytes. Results are Shift-JIS, as every text of the tool. Platform-free apart
// from the charset converter it calls (Charset.h).
#pragma once

#include <cstddef>
#include <string>

namespace corvane {

// Raw bytes shown as Shift-JIS text: CR, LF and tab as \r, \n and \t, other control bytes and
// bytes that are no Shift-JIS character as \xNN. With limit, at most limit bytes are shown and
// "…" marks the cut.
std::string displayBytes(const char* data, size_t length, size_t limit = 0);
std::string displayBytes(const std::string& text, size_t limit = 0);

// A header value shown readably: MIME encoded words (B and Q) decoded from their charset, runs
// of ISO-2022-JP decoded, blanks between adjacent encoded words dropped; what does not decode
// stays as it stands. Then made safe by displayBytes.
std::string decodeHeaderForDisplay(const std::string& raw, size_t limit = 0);

// Base64 and the Q encoding of encoded words; false on characters outside the encoding.
bool decodeBase64(const std::string& text, std::string& out);
std::string decodeQuotedWord(const std::string& text);

}  // namespace corvane
