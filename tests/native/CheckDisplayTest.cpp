#include <gtest/gtest.h>

#include <string>

#include "tools/check/Charset.h"
#include "tools/check/JsonWriter.h"
#include "tools/check/TextDisplay.h"

using namespace corvane;

namespace {

void decodes(const std::string& raw, const std::string& shown) {
    EXPECT_EQ(shown, decodeHeaderForDisplay(raw)) << raw;
}

void shows(const std::string& raw, const std::string& shown, size_t limit = 0) {
    EXPECT_EQ(shown, displayBytes(raw, limit)) << raw;
}

}  // namespace

TEST(TextDisplay, HeaderValues) {
    decodes("plain text", "plain text");
    decodes("=?ISO-2022-JP?B?GyRCPTVKcxsoQg==?=", "週報");
    decodes("=?iso-2022-jp?b?GyRCPTVKcxsoQg==?= =?ISO-2022-JP?B?GyRCPTVKcxsoQg==?=", "週報週報");  // blank dropped
    decodes("Re: =?ISO-2022-JP?B?GyRCPTVKcxsoQg==?= x", "Re: 週報 x");
    decodes("=?UTF-8?B?6YCx5aCx?=", "週報");
    decodes("=?utf-8?Q?=E9=80=B1=E5=A0=B1_a?=", "週報 a");
    decodes("=?Shift_JIS?B?j1SV8Q==?=", "週報");
    decodes("\x1B$B=5Js\x1B(B!", "週報!");              // raw ISO-2022-JP
    decodes("\x1B(I1\x1B(B", "\xB1");                    // half-width katakana
    decodes("=?x-unknown?B?YQ==?=", "=?x-unknown?B?YQ==?=");  // left as it stands
    decodes("=?UTF-8?B?!!!?=", "=?UTF-8?B?!!!?=");
    decodes("週報", "週報");                               // Shift-JIS stays
}

TEST(TextDisplay, BytesMadeSafe) {
    shows("a\r\nb\tc", "a\\r\\nb\\tc");
    shows(std::string("a\x01\x7F", 3), "a\\x01\\x7F");
    shows("\x82", "\\x82");                 // a lead byte without its second byte
    shows("\x82\x0A", "\\x82\\n");
    shows("表", "表");                      // second byte 0x5C stays part of the character
    shows("週報です", "週報…", 4);
    shows("週報", "週…", 3);                 // never cuts a character in half
}

TEST(TextDisplay, JsonStringsKeepDoubleByteCharacters) {
    EXPECT_EQ("\"表\\\\a\\\"\"", jsonString("表\\a\""));
    EXPECT_EQ("\"\\\\r\"", jsonString("\r"));
}

TEST(TextDisplay, ConsoleText) {
#ifndef _WIN32
    EXPECT_EQ("\xE9\x80\xB1", toConsoleText("週"));
    EXPECT_EQ("a\\x85@b", toConsoleText("a\x85\x40" "b"));  // an unassigned code: its first byte escaped
#endif
}
