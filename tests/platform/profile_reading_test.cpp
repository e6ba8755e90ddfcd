// Reading settings: what a stored value reads as (blanks, quotes, buffer cuts,
// whole numbers) and what a missing or damaged file gives.
#include "platform/profile.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <string>

using namespace talvo::platform;
using talvo::test::ProgramDir;

namespace {

struct StringCase {
    const char* stored; // the line after "[s]"
    const char* expected;
};

class ProfileStringReading : public ::testing::TestWithParam<StringCase> {};

TEST_P(ProfileStringReading, ReadsTheValueAsWindowsDoes) {
    ProgramDir dir;
    dir.write("t.ini", std::string("[s]\r\n") + GetParam().stored + "\r\n");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "s", "k", "DEF", 100), GetParam().expected)
        << "stored: " << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    BlanksAndQuotes, ProfileStringReading,
    ::testing::Values(StringCase{"k=v", "v"}, StringCase{"  k \t=\t  v w  ", "v w"},
                      StringCase{"k=", ""}, StringCase{"k=   ", ""},
                      StringCase{"k=\"a\" b \"c\"", "a\" b \"c"}, StringCase{"k=\"", "\""},
                      StringCase{"k='x'", "x"}, StringCase{"k=\"x'", "\"x'"},
                      StringCase{"k=\" padded \"", " padded "}, StringCase{"k=\"\"", ""},
                      StringCase{"k=a=b", "a=b"}, StringCase{"k", "DEF"},
                      StringCase{"other=v", "DEF"}, StringCase{"K=upper", "upper"}));

TEST(ProfileReading, MissingFileSectionOrKeyGivesTheDefaultAndCreatesNothing) {
    ProgramDir dir;
    EXPECT_EQ(getProfileString(dir.file("none.ini"), "s", "k", "def", 100), "def");
    EXPECT_EQ(getProfileInt(dir.file("none.ini"), "s", "k", 7), 7);
    EXPECT_FALSE(dir.exists("none.ini"));

    dir.write("t.ini", "[s]\r\nk=1\r\n");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "other", "k", "def", 100), "def");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "s", "other", "def", 100), "def");
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "s", "other", -3), -3);
}

TEST(ProfileReading, KeysBeforeTheFirstSectionBelongToNone) {
    ProgramDir dir;
    dir.write("t.ini", "k=stray\r\n[s]\r\nk=mine\r\n");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "s", "k", "", 100), "mine");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "", "k", "none", 100), "none");
}

TEST(ProfileReading, OnlyTheFirstOfARepeatedSectionOrKeyCounts) {
    ProgramDir dir;
    dir.write("t.ini", "[s]\r\na=1\r\na=2\r\n[t]\r\nb=x\r\n[S]\r\na=3\r\nc=4\r\n");
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "s", "a", 0), 1);
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "s", "c", -1), -1);
}

TEST(ProfileReading, LongValuesAreCutAtTheBufferNeverInsideADoubleByteCharacter) {
    ProgramDir dir;
    // 98 ASCII bytes then "あ" (82 A0): byte 99 would be its lead byte.
    std::string value98(98, 'x');
    std::string ini = "[s]\r\na=" + value98 + "\x82\xA0zz\r\n";
    // 498 bytes, then a double-byte character in bytes 499 and 500.
    std::string value498(498, 'y');
    ini += "b=" + value498 + "\x82\xA0\x82\xA0\r\n";
    ini += "c=" + std::string(120, 'z') + "\r\n";
    dir.write("t.ini", ini);
    std::string path = dir.file("t.ini");

    EXPECT_EQ(getProfileString(path, "s", "a", "", 100), value98);
    EXPECT_EQ(getProfileString(path, "s", "a", "", 101), value98 + "あ");
    EXPECT_EQ(getProfileString(path, "s", "b", "", 500), value498);
    EXPECT_EQ(getProfileString(path, "s", "b", "", 501), value498 + "あ");
    EXPECT_EQ(getProfileString(path, "s", "c", "", 100), std::string(99, 'z'));
    EXPECT_EQ(getProfileString(path, "s", "c", "", 1), "");
    EXPECT_EQ(getProfileString(path, "s", "c", "", 0), "");
    // The default fills the same buffer.
    EXPECT_EQ(getProfileString(path, "s", "none", "abcdef", 4), "abc");
    EXPECT_EQ(getProfileString(path, "s", "none", "ああ", 4), "あ");
}

struct IntCase {
    const char* stored;
    std::int32_t expected; // with default 42
};

class ProfileIntReading : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntReading, ReadsTheNumberAsWindowsDoes) {
    ProgramDir dir;
    dir.write("t.ini", std::string("[s]\r\nn=") + GetParam().stored + "\r\n");
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "s", "n", 42), GetParam().expected)
        << "stored: " << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ProfileIntReading,
    ::testing::Values(IntCase{"1", 1}, IntCase{"  17  ", 17}, IntCase{"-5", -5}, IntCase{"+8", 8},
                      IntCase{"12abc", 12}, IntCase{"abc", 0}, IntCase{"- 5", 0}, IntCase{"-", 0},
                      IntCase{"", 42}, IntCase{"\"\"", 42}, IntCase{"\"33\"", 33},
                      IntCase{"'-2'", -2}, IntCase{"0x1F", 31}, IntCase{"0XfF", 255},
                      IntCase{"-0x10", -16}, IntCase{"0x", 0}, IntCase{"0x1g", 1},
                      IntCase{"007", 7}, IntCase{"2147483647", 2147483647},
                      IntCase{"2147483648", -2147483647 - 1}, IntCase{"4294967297", 1},
                      IntCase{"-4294967295", 1}, IntCase{"0xFFFFFFFF", -1},
                      IntCase{"99999999999999999999", static_cast<std::int32_t>(1661992959u)}));

TEST(ProfileReading, ANumberFormatsAsPlainDecimal) {
    EXPECT_EQ(formatNumber(0), "0");
    EXPECT_EQ(formatNumber(7), "7");
    EXPECT_EQ(formatNumber(-12345), "-12345");
    EXPECT_EQ(formatNumber(100000), "100000");
}

TEST(ProfileReading, DamagedFilesReadAsFarAsTheyCanWithoutCrashing) {
    ProgramDir dir;
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    dir.write("g.ini", garbage);
    EXPECT_EQ(getProfileString(dir.file("g.ini"), "s", "k", "d", 100), "d");

    // Lone lead bytes, NUL bytes and an overlong line around good entries.
    static constexpr char head[] = "\x82[\r\n[s]\r\nk\0ey=1\r\nbad=\x82";
    std::string ini = std::string(head, sizeof head - 1) + "\r\n" +
                      "long=" + std::string(1 << 20, 'L') + "\r\n" + "good=\xFF\xFE ok\r\n" + "n=5";
    dir.write("d.ini", ini);
    std::string path = dir.file("d.ini");
    EXPECT_EQ(getProfileInt(path, "s", "n", 0), 5);
    EXPECT_EQ(getProfileString(path, "s", "long", "", 100), std::string(99, 'L'));
    EXPECT_EQ(getProfileString(path, "s", "bad", "", 100), "\xEF\xBF\xBD");
    std::string good = getProfileString(path, "s", "good", "", 100);
    EXPECT_NE(good.find(" ok"), std::string::npos);
    EXPECT_EQ(getProfileString(dir.path(), "s", "k", "dir", 100), "dir"); // a directory
}

TEST(ProfileReading, LineEndsMayBeLfOnlyOrMissing) {
    ProgramDir dir;
    dir.write("t.ini", "[a]\nx=1\n[b]\r\ny=2");
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "a", "x", 0), 1);
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "b", "y", 0), 2);
}

} // namespace
