// Code page 932 conversion: what converts, what is refused, and how invalid
// bytes and character boundaries are treated.
#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace talvo::platform;

namespace {

TEST(CodePage932, ConvertsJapaneseBothWays) {
    const std::string bytes = "\x88\xCA\x92\x75 \xB5\xCC\xDF \x95\x5C\x81\x60\x87\x40";
    const std::string text = "位置 ｵﾌﾟ 表～①";
    EXPECT_EQ(utf8ToCp932(text), bytes);
    EXPECT_EQ(cp932ToUtf8(bytes), text);
    EXPECT_EQ(utf8ToCp932("plain ASCII\r\n"), "plain ASCII\r\n");
    EXPECT_EQ(utf8ToCp932(""), "");
    EXPECT_TRUE(representableInCp932(text));
}

TEST(CodePage932, CharactersItLacksAreRefused) {
    EXPECT_EQ(utf8ToCp932("josé"), std::nullopt);
    EXPECT_FALSE(representableInCp932("é"));
    EXPECT_FALSE(representableInCp932("😀"));
    EXPECT_FALSE(representableInCp932("\xFF")); // no UTF-8 at all
}

TEST(CodePage932, InvalidBytesBecomeReplacementCharactersAndTheRestIsKept) {
    EXPECT_EQ(cp932ToUtf8("a\xFF"
                          "b"),
              "a\uFFFDb");
    EXPECT_EQ(cp932ToUtf8("a\x82"), "a\uFFFD"); // lead byte at the end
    EXPECT_EQ(cp932ToUtf8("\x82\x20x"), "\uFFFD x");
    bool kept = false;
    EXPECT_EQ(cp932ToUtf8KeepingInvalid("\x82\xA0\xFF", &kept), "あ\xFF");
    EXPECT_TRUE(kept);
    EXPECT_EQ(cp932ToUtf8KeepingInvalid("\x82\xA0", &kept), "あ");
    EXPECT_FALSE(kept);
}

TEST(CodePage932, CharacterLengthFollowsLeadAndTrailBytes) {
    std::string_view s = "a\x82\xA0\xB1\x95\x5C\x82";
    EXPECT_EQ(cp932CharLength(s, 0), 1u);          // ASCII
    EXPECT_EQ(cp932CharLength(s, 1), 2u);          // あ
    EXPECT_EQ(cp932CharLength(s, 3), 1u);          // half-width ｱ
    EXPECT_EQ(cp932CharLength(s, 4), 2u);          // 表, trail byte 0x5C
    EXPECT_EQ(cp932CharLength(s, 6), 1u);          // a lead byte with nothing after it
    EXPECT_EQ(cp932CharLength("\x82\x0A", 0), 1u); // no trail byte follows
}

TEST(Utf8, ValidityAndRepair) {
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("é位😀"));
    EXPECT_FALSE(isValidUtf8("\xC3"));             // cut short
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\x88\xCA\x92\x75")); // code page 932
    EXPECT_EQ(utf8Repaired("a\xFFé\xC3"), "a\uFFFDé\uFFFD");
}

} // namespace
