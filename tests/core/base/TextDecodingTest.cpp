#include <gtest/gtest.h>

#include "core/base/TextDecoding.h"

using namespace melodrix;

TEST(TextDecoding, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(SanitizeUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "plain \u00e9 \u20ac \U0001F600");
    EXPECT_EQ(SanitizeUtf8("\x80x"), "\ufffdx");            // stray continuation byte
    EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), "\ufffd\ufffd");    // overlong slash
    EXPECT_EQ(SanitizeUtf8("\xE0\x80\xAF"), "\ufffd");      // overlong three bytes
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\ufffd");      // a surrogate
    EXPECT_EQ(SanitizeUtf8("\xF4\x90\x80\x80"), "\ufffd");  // beyond U+10FFFF
    EXPECT_EQ(SanitizeUtf8("ab\xE2\x82"), "ab\ufffd");      // cut off at the end
    EXPECT_EQ(SanitizeUtf8(std::string("a\0b", 3)), "ab");  // zeros never pass
    EXPECT_EQ(SanitizeUtf8(SanitizeUtf8("\xFF\xFE\xC3")), SanitizeUtf8("\xFF\xFE\xC3"));
}

TEST(TextDecoding, Windows1252AndUtf16) {
    EXPECT_EQ(Windows1252ToUtf8("\x80\x8A\x9F\xA0\xFF"), "\u20ac\u0160\u0178\u00a0\u00ff");
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\ufffd\ufffd\ufffd\ufffd\ufffd");
    EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), "ab");

    const uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE, 0x41, 0x00, 0x7F};  // U+1F600, 'A', odd byte
    EXPECT_EQ(Utf16ToUtf8(pair, false), "\U0001F600A");
    const uint8_t reversed[] = {0xDE, 0x00, 0xD8, 0x3D, 0x00, 0x00};  // low before high, zero
    EXPECT_EQ(Utf16ToUtf8(reversed, true), "\ufffd\ufffd");

    EXPECT_EQ(TrimBlanks(std::string_view("\t \0 a b\x01\x20", 9)), "a b");
    EXPECT_EQ(TrimTrailingBlanks("  a  "), "  a");
}
