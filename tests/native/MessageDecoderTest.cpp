#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>

#include "plugin/text/CharsetConversion.h"
#include "plugin/text/Cp932.h"
#include "plugin/text/MessageDecoder.h"

using namespace corvane;

// Japanese literals compile to code page 932; raw mail bytes are written as escapes.
namespace {

MessageDecoder& decoder() {
    static MessageDecoder d;
    return d;
}

// hv: the header value decodes to expected.
void hv(const std::string& raw, const std::string& expected) {
    SCOPED_TRACE(testing::Message() << "raw=" << testing::PrintToString(raw));
    char value[kHeaderValueSize];
    size_t n = decoder().decodeHeaderValue(raw.data(), raw.size(), value);
    EXPECT_EQ(expected, std::string(value, n));
    EXPECT_EQ('\0', value[n]);
}

std::string decodeMessage(const std::string& text) {
    size_t n = 0;
    const char* out = decoder().decodeMessage(text.c_str(), &n);
    return std::string(out, n);
}

// msg: the whole message decodes to expected.
void msg(const std::string& text, const std::string& expected) {
    SCOPED_TRACE(testing::Message() << "text=" << testing::PrintToString(text));
    EXPECT_EQ(expected, decodeMessage(text));
}

// code: fromUnicode gives the code page's form (-1: none).
void code(char32_t c, int expected) {
    EXPECT_EQ(expected, cp932::fromUnicode(c)) << std::hex << "U+" << static_cast<unsigned>(c);
}

// trip: what the private-profile calls make of a value.
void trip(const std::string& value, const std::string& expected) {
    EXPECT_EQ(expected, cp932::profileRoundTrip(value.data(), value.size())) << testing::PrintToString(value);
}

const std::string kMultipartHead =
    "Subject: t\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n";

}  // namespace

TEST(Cp932, UnicodeToCodeTakesTheCodePagesChoiceAmongDuplicates) {
    code(U'\u7E8A', 0xFA5C);  // IBM extension, not the NEC-selected 0xED40
    code(U'\u2170', 0xFA40);
    code(U'\uFFE4', 0xFA55);
    code(U'\uFF07', 0xFA56);
    code(U'\u2160', 0x8754);  // NEC row 13 before the IBM copy 0xFA4A
    code(U'\u3231', 0x878A);
    code(U'\uFFE2', 0x81CA);  // JIS X 0208 before both copies
    code(U'\u2235', 0x81E6);
    code(U'\u2252', 0x81E0);
    code(U'\u301C', 0x8160);  // JIS X 0208 forms of ISO-2022-JP and EUC-JP decoders
    code(U'\u2212', 0x817C);
    code(U'\uFF5E', 0x8160);
    code(U'\uE000', 0xF040);  // user-defined area
    code(U'\uFF61', 0xA1);
    code(U'\uF8F0', 0xA0);
    code(U'\u0080', 0x80);
    code(U'\u00A5', -1);
    code(U'\u00E9', -1);
    code(U'\U0001F600', -1);
}

TEST(Cp932, EveryCodeDecodesAndComesBackAsTheSameCharacter) {
    int characters = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            char32_t c = cp932::pairToUnicode(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (!c)
                continue;
            ++characters;
            int back = cp932::fromUnicode(c);
            ASSERT_GE(back, 0x100) << std::hex << lead << trail;
            EXPECT_EQ(c, cp932::pairToUnicode(static_cast<unsigned char>(back >> 8), static_cast<unsigned char>(back)));
            EXPECT_FALSE((back >> 8) == 0xED || (back >> 8) == 0xEE);
        }
    EXPECT_EQ(7724 + 1880, characters);  // the code page's double-byte characters and its user-defined area
}

TEST(Cp932, ProfileRoundTripNormalisesAsWindowsDoes) {
    trip("abc\\~", "abc\\~");
    trip("請求書ｷｬﾝｾﾙ", "請求書ｷｬﾝｾﾙ");
    trip("\xED\x40", "\xFA\x5C");       // NEC-selected copy: the IBM form
    trip("\x87\x90", "\x81\xE0");       // NEC row 13 copy of a JIS symbol
    trip("\xFA\x4A", "\x87\x54");       // IBM copy of a NEC row 13 symbol
    trip("\x85\x40x", "\x81\x45x");     // no character: the code page's default, U+30FB
    trip("\x81\x20", "\x81\x45");       // a lead byte takes the next byte with it
    trip("ab\x82", "ab\x81\x45");       // a lead byte at the end
    trip("\x80\xA0\xFD\xFE\xFF", "\x80\xA0\xFD\xFE\xFF");
}

TEST(Charset, NamesWithoutCase) {
    const struct { const char* name; Charset charset; } cases[] = {
        {"ISO-2022-JP", Charset::Iso2022Jp}, {"iso-2022-jp", Charset::Iso2022Jp},
        {"Shift_JIS", Charset::ShiftJis}, {"WINDOWS-31J", Charset::ShiftJis}, {"cp932", Charset::ShiftJis},
        {"euc-jp", Charset::EucJp}, {"UTF-8", Charset::Utf8}, {"us-ascii", Charset::Ascii},
        {"ISO-8859-1", Charset::Latin1}, {"utf-8*ja", Charset::Utf8}, {"koi8-r", Charset::Unknown},
        {"utf-88", Charset::Unknown}, {"", Charset::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.charset, charsetByName(c.name, strlen(c.name))) << c.name;
}

TEST(Charset, Utf8SniffingDoesNotMisreadShiftJis) {
    const struct { const char* text; bool utf8; } cases[] = {
        {"\xC3\xBD", false},                          // ﾃｽ: valid UTF-8, two-byte only
        {"\xC3\xBD\xC4\xB0", false},                  // ﾃｽﾄｰ: likewise
        {"\x90\xBF\x8B\x81\x8F\x91", false},          // 請求書 in Shift-JIS
        {"plain ascii", false},
        {"\xE8\xAB\x8B\xE6\xB1\x82", true},           // 請求 in UTF-8
        {"caf\xC3\xA9 \xE6\x9B\xB8", true},
        {"\xE8\xAB\x8B\xC3", false},                  // cut short: invalid as a whole
        {"\xE0\x80\xAF", false},                      // overlong
        {"\xED\xA0\x80", false},                      // surrogate
        {"\xF0\x9F\x98\x80", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.utf8, looksLikeUtf8(c.text, strlen(c.text))) << testing::PrintToString(c.text);
}

TEST(HeaderDecoding, EncodedWordsInEveryCharset) {
    hv("=?ISO-2022-JP?B?GyRCQEE1YT1xJE4kNDBGRmIbKEIgTm8uNTAwMg==?=", "請求書のご案内 No.5002");
    hv("=?UTF-8?B?6KuL5rGC5pu444Gu44GU5qGI5YaFIE5vLjUwMDM=?=", "請求書のご案内 No.5003");
    hv("=?utf-8?q?=E8=AB=8B=E6=B1=82=E6=9B=B8?=", "請求書");
    hv("=?Shift_JIS?B?7UA=?=", "\xFA\x5C");           // 纊 in its chosen form
    hv("=?Windows-31J?Q?=90=BF=8B=81=8F=91?=", "請求書");
    hv("=?CP932?B?t6zdvtk=?=", "ｷｬﾝｾﾙ");
    hv("=?EUC-JP?B?wMG14b3x?=", "請求書");
    hv("=?us-ascii?Q?Hello_World?=", "Hello World");
    hv("=?ISO-8859-1?Q?=B0C_caf=E9?=", "°C caf?");
    hv("=?utf-8*ja?B?6KuL?=", "請");
    hv("=?UTF-8?B?6KuL5rGC5pu4?=", "請求書");          // padding may be missing
}

TEST(HeaderDecoding, BlanksBetweenAdjacentWordsGoTextStays) {
    hv("=?UTF-8?B?6KuL?= =?UTF-8?B?5rGC?=\t =?UTF-8?B?5pu4?=", "請求書");
    hv("=?UTF-8?B?6KuL5g==?= =?UTF-8?B?sYLmm7g=?=", "請求書");  // a character split between words
    hv("=?UTF-8?B?6KuL?= and =?EUC-JP?B?wMG14b3x?=", "請 and 請求書");
    hv("Re: =?UTF-8?B?6KuL?= (No.1)", "Re: 請 (No.1)");
    hv("=?UTF-8?B?6KuL?= =?ISO-2022-JP?B?GyRCNWEbKEI=?=", "請求");
}

TEST(HeaderDecoding, MalformedAndUnknownWordsStayAsTheyStand) {
    hv("=?UTF-8?B?6KuL", "=?UTF-8?B?6KuL");
    hv("=?UTF-8?B?6K uL?=", "=?UTF-8?B?6K uL?=");
    hv("=?UTF-8?B?6K@L?=", "=?UTF-8?B?6K@L?=");
    hv("=?UTF-8?B?6KuL5?=", "=?UTF-8?B?6KuL5?=");     // one character too many
    hv("=?UTF-8?B?6K==uL?=", "=?UTF-8?B?6K==uL?=");
    hv("=?koi8-r?B?6KuL?= =?UTF-8?B?6KuL?=", "=?koi8-r?B?6KuL?= 請");
    hv("=?UTF-8?X?abc?=", "=?UTF-8?X?abc?=");
    hv("=??B?6KuL?=", "=??B?6KuL?=");
    hv("a=?b =?UTF-8?Q?=E8=AB=8B?=", "a=?b 請");
    hv("=?UTF-8?Q?=E8=AB?=", "??");                    // invalid UTF-8: one replacement a byte
}

TEST(HeaderDecoding, RawTextByWhatTheWholeValueLooksLike) {
    hv("\x1b$B@A5a=q\x1b(B No.1", "請求書 No.1");
    hv("\x1b$B-!\x1b(B\x1b$B-j\x1b(B", "①㈱");        // NEC row 13, refused by Python's codec
    hv("\x1b(I7,]\x1b(B", "ｷｬﾝ");
    hv("\x1b$By!\x1b(B", "\xFA\x5C");                    // NEC-selected row 89 in its chosen form
    hv("\xE8\xAB\x8B\xE6\xB1\x82 =?UTF-8?B?5pu4?=", "請求 書");
    hv("\xC3\xBD", "\xC3\xBD");                          // ﾃｽ in Shift-JIS stays
    hv("\x90\xBF\x8B\x81 =?UTF-8?B?5pu4?=", "請求 書");  // raw Shift-JIS stays beside a word
    hv("\xED\x40 raw", "\xED\x40 raw");                  // raw text is not normalised
}

TEST(HeaderDecoding, ControlCharactersBecomeBlanksUnmappedOneReplacement) {
    hv("=?UTF-8?Q?a=0D=0AX-Evil:_1?=", "a  X-Evil: 1");
    hv("=?UTF-8?Q?a=00b=09c?=", "a b c");
    hv("=?UTF-8?B?8J+YgMOp?=", "??");                  // U+1F600 and é
    hv("=?EUC-JP?B?j7DB?=", "?");                       // JIS X 0212
    hv("=?EUC-JP?B?jrc=?=", "ｷ");
}

TEST(HeaderBlock, FoldsBetweenAdjacentWordsGoOtherLinesStay) {
    msg("Subject: =?UTF-8?B?6KuL?=\r\n =?UTF-8?B?5rGC?=\r\nX-A: one\r\n two\r\nFrom: =?UTF-8?Q?=E8=AB=8B?= <a@b>",
        "Subject: 請求\r\nX-A: one\r\n two\r\nFrom: 請 <a@b>");
    msg("Subject: =?UTF-8?Q?a=0D=0A=0D=0Ab?=\r\n\r\nbody", "Subject: a    b\r\n\r\nbody");
    msg("Subject: \x1b$B@A\x1b(B\r\nTo: \xE8\xAB\x8B\xE6\xB1\x82\r\n", "Subject: 請\r\nTo: 請求\r\n");
    // Bare CR and LF that meet once what stood between them is gone start no header line.
    msg("Subject: \x1b$B@A\r\x1b(B\nX-Evil: 1\r\n\r\nb", "Subject: 請 \nX-Evil: 1\r\n\r\nb");
    msg("Subject: a\r=?utf-8?Q?\?=\nX-Evil: 1", "Subject: a \nX-Evil: 1");
    msg("A: 1\r\n=?utf-8?Q?\?=\r\nB: 2\r\n\r\nbody", "A: 1\r\n=?utf-8?Q?\?=\r\nB: 2\r\n\r\nbody");
    msg("A: 1\r\n =?utf-8?Q?=0D=0A?=\r\n\r\nbody", "A: 1\r\n   \r\n\r\nbody");
}

// Decoded text never starts, ends or joins a header line: names stay as written, a line
// without a colon is no field and stays, and a value's decoded line breaks do not count.
TEST(HeaderBlock, DecodedTextNeverStartsEndsOrJoinsALine) {
    const std::string forged = "=?us-ascii?Q?From:_boss@corp.example?=\r\nFrom: mallory@evil.example\r\n";
    msg(forged + "\r\nb", forged + "\r\nb");
    msg("=?us-ascii?Q?From?=: boss\r\n\r\nb", "=?us-ascii?Q?From?=: boss\r\n\r\nb");
    msg("X: 1\r\n=?utf-8?B?RnJvbTogYm9zcw==?= =?utf-8?Q?x?=\r\n", "X: 1\r\n=?utf-8?B?RnJvbTogYm9zcw==?= =?utf-8?Q?x?=\r\n");
    msg("X:\x1b$B\r\n \x1b(B\r\nY: 1", "X:\r\n \r\nY: 1");                  // a line that decodes to nothing stays
    msg("X: \x1b$B\r\x1b(B\n\r\nY: 1", "X:  \n\r\nY: 1");                 // nor does a value end one
    msg("X: =?us-ascii?Q?a=0D=0AFrom:_b?=\r\n", "X: a  From: b\r\n");
    msg("Subject: =?utf-8?Q?=E8=AB=8B?=\r\n", "Subject: 請\r\n");
}

// The fuzz target's input: a line holding only an escape sequence made an empty line.
TEST(HeaderBlock, DecoderFuzzLineOfOnlyAnEscapeSequence) {
    const std::string text("j\xff\r\n\x1b$B\r\n :\r\r\xff\r\n\x1b$B");
    msg(text, text);
    msg(text + "\r\n\r\nbody", text + "\r\n\r\nbody");
    msg("A: 1\r\n\x1b$B\r\nFrom: x\r\n\r\nb", "A: 1\r\n\x1b$B\r\nFrom: x\r\n\r\nb");
}

// A word that closes but is refused is passed over whole, once: an "=?" inside it starts no
// word, and a 64 KB header of such text decodes in linear time.
TEST(HeaderDecoding, RefusedWordsArePassedOverOnce) {
    hv("=?x?Q?a=?utf-8?Q?b?=", "=?x?Q?a=?utf-8?Q?b?=");
    hv("=?utf-8?B?!=?utf-8?Q?b?=", "=?utf-8?B?!=?utf-8?Q?b?=");
    hv("=?x?Q?a?= =?utf-8?Q?b?=", "=?x?Q?a?= b");
    hv("=?utf-8?B?!?==?utf-8?Q?b?=", "=?utf-8?B?!?=b");
    for (const char* piece : {"=?x?Q?a", "=?utf-8?B?!"}) {
        std::string header = "Subject: ";
        while (header.size() < kMessageReadCap - 16)
            header += piece;
        header += "?=";
        std::clock_t start = std::clock();
        EXPECT_EQ(header, decodeMessage(header));
        EXPECT_LT(std::clock() - start, CLOCKS_PER_SEC / 10) << piece;  // quadratic: seconds
    }
}

// A value cut at its capacity ends in a written byte: a double-byte character that does not
// fit is dropped with everything after it.
TEST(HeaderDecoding, ACutValueEndsInAWrittenByte) {
    const std::string a1022(kHeaderValueSize - 2, 'a');
    hv("=?ISO-8859-1?Q?" + a1022 + "=B0?=", a1022);                // ° is a double-byte character
    hv("=?ISO-8859-1?Q?" + a1022 + "=B0b?=", a1022);
    std::string groups;
    for (int i = 0; i < 345; ++i)
        groups += "YWFh";                                           // "aaa" each
    hv("=?utf-8?B?" + groups + "?=", std::string(kHeaderValueSize - 1, 'a'));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    TextSink sink(buffer, sizeof buffer);
    sink.append("ab\x82\xA0", 4);
    sink.put('c');
    EXPECT_EQ(2u, sink.finish());
    EXPECT_EQ(std::string("ab"), buffer);
}

TEST(MessageBodies, SinglePartTransferEncodingAndCharset) {
    msg("Subject: a\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "6KuL5rGC5pu4DQpOby41\r\nMDAz\r\n",
        "Subject: a\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "請求書\r\nNo.5003");
    msg("Content-Type: text/plain; charset=\"Shift_JIS\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "=90=BF=8B=81=\r\n=8F=91 =ED=40\r\n",
        "Content-Type: text/plain; charset=\"Shift_JIS\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "請求書 \xFA\x5C\r\n");
    msg("Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B@A5a=q\x1b(B\r\n",
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n請求書\r\n");
    msg("Content-Type: application/pdf\r\n\r\nJVBERi0=\r\n", "Content-Type: application/pdf\r\n\r\n");
    msg("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\nYQBi\r\n",
        "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\na b");
}

TEST(MessageBodies, TextWithoutCharsetIsSniffed) {
    msg("Subject: a\r\n\r\n\x1b$B@A\x1b(B", "Subject: a\r\n\r\n請");
    msg("Subject: a\r\n\r\n\xE8\xAB\x8B", "Subject: a\r\n\r\n請");
    msg("Subject: a\r\n\r\n\xC3\xBD\r\n", "Subject: a\r\n\r\n\xC3\xBD\r\n");
    msg("Subject: a\r\n\r\n\x90\xBF\x8B\x81", "Subject: a\r\n\r\n\x90\xBF\x8B\x81");
}

TEST(MessageBodies, MultipartTextPartsOnlyNestedToo) {
    msg(kMultipartHead + "preamble\r\n--b1\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
        "\x1b$B@A\x1b(B\r\n--b1\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0K\r\n"
        "--b1\r\nContent-Type: multipart/alternative; boundary=b2\r\n\r\n--b2\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n5rGC\r\n--b2\r\n"
        "Content-Type: text/html; charset=euc-jp\r\n\r\n<p>\xbd\xf1</p>\r\n--b2--\r\n--b1--\r\nepilogue\r\n",
        kMultipartHead + "請\r\n求\r\n<p>書</p>");
    msg(kMultipartHead + "--b1\r\n\r\nno header\r\n--b1  \r\nContent-Type: text/plain\r\n\r\nlast, unclosed",
        kMultipartHead + "no header\r\nlast, unclosed");
    msg(kMultipartHead + "--b1x\r\nnot a delimiter\r\n", kMultipartHead + "--b1x\r\nnot a delimiter\r\n");
    msg("Content-Type: multipart/digest; boundary=d\r\n\r\n--d\r\n\r\nFrom: x\r\n\r\ninner\r\n--d--\r\n",
        "Content-Type: multipart/digest; boundary=d\r\n\r\n");
}

TEST(MessageBodies, HostileStructuresStayBounded) {
    std::string deep = "Content-Type: multipart/mixed; boundary=x0\r\n\r\n";
    for (int i = 0; i < 60; ++i)
        deep += "--x" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=x" + std::to_string(i + 1) + "\r\n\r\n";
    deep += "--x60\r\n\r\ntext\r\n";
    EXPECT_EQ(std::string::npos, decodeMessage(deep).find("text"));  // deeper than kMaxDepth: left out

    std::string many = kMultipartHead;
    for (int i = 0; i < 5000; ++i)
        many += "--b1\r\n\r\np\r\n";
    std::string out = decodeMessage(many);
    size_t parts = 0;
    for (size_t at = out.find('p', kMultipartHead.size()); at != std::string::npos; at = out.find('p', at + 1))
        ++parts;
    EXPECT_EQ(static_cast<size_t>(MessageDecoder::kMaxParts), parts);

    std::string header = "Subject: ";
    while (header.size() < kMessageReadCap - 16)
        header += "=?utf-8?B?6Ku";
    EXPECT_EQ(header, decodeMessage(header));           // unterminated words: linear, unchanged

    std::string latin = "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n" + std::string(kMessageReadCap, '\xB0');
    std::string grown = decodeMessage(latin);
    EXPECT_LT(grown.size(), MessageDecoder::kTextCapacity);
    EXPECT_EQ("\x81\x8B", grown.substr(grown.size() - 2));
}

namespace {

// Plain forms of what the decoder does with fast paths: a character at a time.
std::string utf8Reference(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; n && k < n; ++k) {
            if (i + k >= bytes.size() || (static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                n = 0;
            else
                c = c << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (n == 0 || c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += '?';
            ++i;
            continue;
        }
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            out += ' ';
        } else {
            char code[2];
            int form = cp932::fromUnicode(c);
            out.append(code, form < 0 ? (code[0] = '?', 1) : cp932::putCode(form, code));
        }
        i += n;
    }
    return out;
}

std::string base64Reference(const std::string& text) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=' && count >= 2)
            break;
        size_t v = alphabet.find(c);
        if (v == std::string::npos)
            continue;
        bits = bits << 6 | static_cast<unsigned>(v);
        if (++count == 4) {
            out += {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
            bits = 0;
            count = 0;
        }
    }
    if (count == 2)
        out += static_cast<char>(bits >> 4);
    if (count == 3)
        out += {static_cast<char>(bits >> 10), static_cast<char>(bits >> 2)};
    return out;
}

}  // namespace

TEST(DecoderFastPaths, AgreeWithThePlainFormsOnRandomInput) {
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead)
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            auto l = static_cast<unsigned char>(lead), t = static_cast<unsigned char>(trail);
            char32_t c = cp932::pairToUnicode(l, t);
            ASSERT_EQ(c ? cp932::fromUnicode(c) : -1, cp932::chosenForm(l, t)) << std::hex << lead << " " << trail;
        }
    std::mt19937 random(2047);
    const std::string pieces[] = {"a", " ", "\r\n", "\t", "\x01", "\xE8\xAB\x8B", "\xC3\xA9", "\xF0\x9F\x98\x80",
                                  "\xE3\x80\x9C", "\x80", "\xE8\xAB", "\xED\xA0\x80", "=", "QUJD", "\x90\xBF"};
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int k = random() % 40; k > 0; --k)
            bytes += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        char buffer[1024];
        TextSink sink(buffer, sizeof buffer);
        convertText(Charset::Utf8, bytes.data(), bytes.size(), Controls::Body, sink);
        ASSERT_EQ(utf8Reference(bytes), std::string(buffer, sink.length())) << testing::PrintToString(bytes);

        std::string encoded;
        for (int k = random() % 60; k > 0; --k)
            encoded += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n *"[random() % 69];
        std::string message = "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        std::string expected = message;
        std::string raw = base64Reference(encoded);
        std::string latin;
        for (char c : raw) {
            auto b = static_cast<unsigned char>(c);
            char code[2];
            int form = cp932::fromUnicode(b);
            bool control = b < 0x20 && b != '\t' && b != '\r' && b != '\n';
            latin.append(code, control ? (code[0] = ' ', 1) : form < 0 ? (code[0] = '?', 1) : cp932::putCode(form, code));
        }
        ASSERT_EQ(expected + latin, decodeMessage(message + encoded)) << encoded;
    }
}
