// Conversion of the charsets mail carries in Japan into code page 932, into a bounded buffer.
// Platform-free.
#pragma once

#include <cstddef>
#include <cstring>

namespace corvane {

enum class Charset { Unknown, AsItStands, Ascii, Latin1, Utf8, ShiftJis, EucJp, Iso2022Jp };

// The charset a MIME name stands for, compared without case; a "*language" suffix
// (RFC 2231) is ignored. Unknown for every other name.
Charset charsetByName(const char* name, size_t length);

// What a conversion makes of the control characters it produces. Raw keeps them (they stood
// in the text already); Header makes every one of them a blank, so decoding can neither start
// a header line nor end the text; Body keeps tab, CR and LF and makes the others a blank.
enum class Controls { Raw, Header, Body };

// A fixed buffer that text is appended to. What does not fit is dropped, and so is everything
// after it; never half of a double-byte character is written, and the length counts only bytes
// written. The last byte of the capacity is kept for the NUL.
class TextSink {
public:
    TextSink(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity ? capacity - 1 : 0) {}

    void put(char c) {
        if (length_ < capacity_)
            buffer_[length_++] = c;
    }
    void putPair(char lead, char trail) {
        if (length_ + 2 <= capacity_) {
            buffer_[length_++] = lead;
            buffer_[length_++] = trail;
        } else {
            capacity_ = length_;
        }
    }
    // A code as cp932::fromUnicode gives it; a negative one writes the replacement.
    void putCode(int code) {
        if (code < 0)
            put('?');
        else if (code < 0x100)
            put(static_cast<char>(code));
        else
            putPair(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
    }
    void append(const char* text, size_t length) {
        size_t room = capacity_ - length_;
        size_t take = length <= room ? length : wholeCharacters(text, room);
        memcpy(buffer_ + length_, text, take);
        length_ += take;
        if (take < length)
            capacity_ = length_;
    }
    size_t length() const { return length_; }
    const char* data() const { return buffer_; }
    char* data() { return buffer_; }
    char last() const { return length_ ? buffer_[length_ - 1] : '\0'; }
    // Writes the NUL after the text and gives its length.
    size_t finish() {
        buffer_[length_] = '\0';
        return length_;
    }

private:
    // The longest start of text (longer than room) of at most room bytes that does not end
    // inside a double-byte character.
    static size_t wholeCharacters(const char* text, size_t room);

    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// Whether the text is, as a whole, valid UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF) and holds at least one sequence of three or four bytes. Two-byte sequences
// alone do not count: Shift-JIS half-width katakana pairs such as ﾃｽ (C3 BD) form valid ones,
// while Shift-JIS text almost never forms a valid three-byte sequence and stays valid
// throughout. Plain ASCII is not UTF-8 by this rule.
bool looksLikeUtf8(const char* text, size_t length);

// Whether the text holds an ISO-2022-JP escape sequence that selects JIS X 0208 or
// half-width katakana (ESC $ B, ESC $ @, ESC ( I).
bool hasIso2022JpEscape(const char* text, size_t length);

// Appends the text converted from charset to code page 932. AsItStands copies the bytes;
// Unknown must not be given. A byte or sequence that is not valid in the charset, and a
// character without a code-page-932 form, each become cp932::kReplacement. Shift-JIS text
// comes out in the code page's chosen form of each character (0xED40 as 0xFA5C).
void convertText(Charset charset, const char* text, size_t length, Controls controls, TextSink& out);

}  // namespace corvane
