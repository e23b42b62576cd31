// The text of a message as its reader sees it, in code page 932: MIME encoded words in header
// fields, raw ISO-2022-JP and UTF-8 header text, and the text parts of the body with their
// transfer encoding undone and their charset converted. Platform-free.
#pragma once

#include <cstddef>
#include <memory>

#include "plugin/text/HeaderExtraction.h"
#include "plugin/text/MessageReadCap.h"

namespace corvane {

// Decodes messages into buffers it allocates once, so a run allocates nothing per message.
// Not copyable; one per thread.
class MessageDecoder {
public:
    // Room for the decoded text of any message of at most kMessageReadCap bytes: decoding
    // makes a byte at most two (an ISO-8859-1 byte that becomes a double-byte character).
    // Text beyond the room is dropped.
    static constexpr size_t kTextCapacity = 2 * kMessageReadCap + 8;
    // Multipart bodies are followed this many levels deep and for this many parts in all;
    // what lies deeper or further is left out.
    static constexpr int kMaxDepth = 8;
    static constexpr int kMaxParts = 1000;

    MessageDecoder();
    MessageDecoder(const MessageDecoder&) = delete;
    MessageDecoder& operator=(const MessageDecoder&) = delete;

    // The decoded message, NUL-terminated, valid until the next call: the header block with
    // its field values decoded (field names, and lines that are no field, stay as they stand,
    // so decoding never starts, ends or joins a header line); then, when the text has an
    // empty line, the empty line and the text of the body's text parts, one after the other
    // with a line break between them. A multipart body without its boundary is taken as one
    // text without charset. *length gets its length.
    const char* decodeMessage(const char* text, size_t* length);

    // Decodes an unfolded header value (as extractHeaderValue gives it) into value, at most
    // 1023 bytes of it; returns its length.
    size_t decodeHeaderValue(const char* raw, size_t length, char (&value)[kHeaderValueSize]);

private:
    std::unique_ptr<char[]> text_;
    std::unique_ptr<char[]> scratch_;
};

}  // namespace corvane
