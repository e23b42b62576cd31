#include "plugin/text/Cp932.h"

#include <cstdint>
#include <memory>

#include "plugin/common/StrUtil.h"

namespace corvane {
namespace cp932 {

namespace detail {
#include "plugin/text/Cp932Table.inc"
}  // namespace detail

namespace {

constexpr unsigned char kFirstTrail = 0x40;
constexpr unsigned char kLastTrail = 0xFC;
constexpr char32_t kDefaultUnicode = 0x30FB;

// Unicode to code, 0 for none (U+0000 is handled before the look-up). Built once from the
// decoding table: codes are visited in order and the first one for a character stays, with
// the NEC-selected IBM extensions (leads 0xED and 0xEE) visited last.
class ReverseTable {
public:
    ReverseTable() : codes_(new uint16_t[0x10000]()) {
        for (unsigned b = 1; b < 0x100; ++b)
            if (char32_t c = singleToUnicode(static_cast<unsigned char>(b)))
                claim(c, b);
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
                bool necSelected = lead == 0xED || lead == 0xEE;
                if (necSelected != (pass == 1))
                    continue;
                for (unsigned trail = kFirstTrail; trail <= kLastTrail; ++trail)
                    if (char32_t c = pairToUnicode(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)))
                        claim(c, lead << 8 | trail);
            }
        const struct { char32_t c; unsigned code; } jisForms[] = {
            {0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C},
            {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA},
        };
        for (const auto& form : jisForms)
            claim(form.c, form.code);
    }

    const unsigned short* codes() const { return codes_.get(); }

    int code(char32_t c) const {
        if (c == 0)
            return 0;
        if (c > 0xFFFF || codes_[c] == 0)
            return -1;
        return codes_[c];
    }

private:
    void claim(char32_t c, unsigned code) {
        if (c <= 0xFFFF && codes_[c] == 0)
            codes_[c] = static_cast<uint16_t>(code);
    }

    std::unique_ptr<uint16_t[]> codes_;
};

}  // namespace

char32_t singleToUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte == 0x80)
        return 0x80;
    if (byte == 0xA0)
        return 0xF8F0;
    if (byte >= 0xA1 && byte <= 0xDF)
        return 0xFF61 + (byte - 0xA1);
    if (byte >= 0xFD)
        return 0xF8F1 + (byte - 0xFD);
    return 0;
}

namespace {

const ReverseTable& reverse() {
    static const ReverseTable table;
    return table;
}

}  // namespace

int fromUnicode(char32_t c) {
    return reverse().code(c);
}

const unsigned short* reverseTable() {
    return reverse().codes();
}

std::string profileRoundTrip(const char* text, size_t length) {
    std::string out;
    out.reserve(length);
    char code[2];
    for (size_t i = 0; i < length; ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        char32_t c = 0;
        if (isSjisLeadByte(byte)) {
            c = i + 1 < length ? pairToUnicode(byte, static_cast<unsigned char>(text[i + 1])) : 0;
            ++i;
        } else {
            c = singleToUnicode(byte);
        }
        int back = fromUnicode(c ? c : kDefaultUnicode);
        out.append(code, putCode(back < 0 ? kReplacement : back, code));
    }
    return out;
}

}  // namespace cp932
}  // namespace corvane
