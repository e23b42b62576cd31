// Message and rule texts made readable for a user: in the checker's output and in the
// plug-in's lists. Results are Shift-JIS. Platform-free.
#pragma once

#include <cstddef>
#include <string>

namespace corvane {

class MessageDecoder;

// Raw bytes shown as Shift-JIS text: CR, LF and tab as \r, \n and \t, other control bytes and
// bytes that are no Shift-JIS character as \xNN. With limit, at most limit bytes are shown and
// "…" marks the cut.
std::string displayBytes(const char* data, size_t length, size_t limit = 0);
std::string displayBytes(const std::string& text, size_t limit = 0);

// A header value shown readably: decoded by the decoder that matching uses with the option
// decodeMime (MessageDecoder), so what is shown is what such a rule sees; at most 1023 bytes
// of it. Then made safe by displayBytes. The first form shares one decoder and belongs to one
// thread; the second uses the caller's.
std::string decodeHeaderForDisplay(const std::string& raw, size_t limit = 0);
std::string decodeHeaderForDisplay(MessageDecoder& decoder, const std::string& raw, size_t limit = 0);

}  // namespace corvane
