// Code page 932 (Shift-JIS as Windows has it) to and from Unicode, by the project's own table,
// so that the DLL and the native checker convert to the same bytes. Platform-free.
#pragma once

#include <cstddef>
#include <string>

namespace corvane {
namespace cp932 {

// The one byte that stands for every character without a code-page-932 form; it is also
// what Windows' converter writes for them when no best fit is asked for.
constexpr char kReplacement = '?';

// Unicode character of a single byte that is not a lead byte (all of 0x00-0x7F, 0x80, 0xA0,
// half-width katakana 0xA1-0xDF and 0xFD-0xFF), or of a lead byte and a trail byte; 0 when the
// code has none.
char32_t singleToUnicode(unsigned char byte);
inline char32_t pairToUnicode(unsigned char lead, unsigned char trail);

// Code of a Unicode character: below 0x100 a single byte, otherwise lead << 8 | trail; -1 when
// the character has none. Among duplicates the code page's own choice: JIS X 0208 first, then
// the NEC row 13 symbols, then the IBM extensions 0xFA40-0xFC4B; the NEC-selected copies
// 0xED40-0xEEFC never. Besides the table, the JIS X 0208 forms that ISO-2022-JP and EUC-JP
// decoders give (U+301C, U+2016, U+2212, U+00A2, U+00A3, U+00AC) map to their code-page
// counterparts, as Windows' best fit does.
int fromUnicode(char32_t c);

// The code page's chosen form of a double-byte code (0xED40 gives 0xFA5C), or -1 when the
// two bytes form no character. Most codes are their own chosen form and cost one look-up.
inline int chosenForm(unsigned char lead, unsigned char trail);

// fromUnicode's table for a loop: entry c is the code of U+c, 0 when it has none (entry 0
// aside). Valid for the life of the process.
const unsigned short* reverseTable();

// Writes code (as fromUnicode gives it) to out; returns the bytes written (1 or 2).
inline size_t putCode(int code, char* out) {
    if (code < 0x100) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    return 2;
}

// What Windows' private-profile calls make of a value: code page 932 to Unicode and back.
// Duplicates come back in their chosen form (0xED40 as 0xFA5C, 0x8790 as 0x81E0), a lead byte
// with a trail byte that forms no character as 0x8145 (U+30FB, the code page's default),
// and a lead byte at the very end of the text as 0x8145 as well.
std::string profileRoundTrip(const char* text, size_t length);

namespace detail {
// The decoding table (Cp932Table.inc): for each lead byte 0x80-0xFF, 1 + its row or 0; per
// row, the Unicode character of each trail byte 0x40-0xFC, 0 for none.
extern const unsigned char kRowOfLead[128];
extern const unsigned short kRows[][189];
}  // namespace detail

inline char32_t pairToUnicode(unsigned char lead, unsigned char trail) {
    if (lead < 0x80 || trail < 0x40 || trail > 0xFC)
        return 0;
    unsigned row = detail::kRowOfLead[lead - 0x80];
    return row ? detail::kRows[row - 1][trail - 0x40] : 0;
}

inline int chosenForm(unsigned char lead, unsigned char trail) {
    char32_t c = pairToUnicode(lead, trail);
    if (!c)
        return -1;
    // Only NEC row 13 (0x87), the NEC-selected (0xED, 0xEE) and the IBM extensions (0xFA-0xFC)
    // hold copies of characters that have another code.
    if (lead != 0x87 && lead != 0xED && lead != 0xEE && lead < 0xFA)
        return lead << 8 | trail;
    return fromUnicode(c);
}

}  // namespace cp932
}  // namespace corvane
