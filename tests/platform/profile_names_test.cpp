// Section and key names: Japanese names as code-page-932 bytes on disk, names
// whose trail byte is "\" or an ASCII letter, and case-insensitive matching.
#include "platform/profile.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

using namespace talvo::platform;
using talvo::test::ProgramDir;

namespace {

// The names in code page 932, spelled out byte by byte.
const std::string kPosition = "\x88\xCA\x92\x75"; // 位置
const std::string kLeft = "\x8D\xB6";             // 左
const std::string kHistory =                      // 検索ファイルヒストリー
    "\x8C\x9F\x8D\xF5\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x71\x83\x58\x83\x67\x83\x8A\x81\x5B";
const std::string kFileName1 = "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC[1]"; // ファイル名[1]
const std::string kShowFrame = // ｵﾌﾟｼｮﾝﾌﾚｰﾑを表示 (half-width katakana)
    "\xB5\xCC\xDF\xBC\xAE\xDD\xCC\xDA\xB0\xD1\x82\xF0\x95\x5C\x8E\xA6";

TEST(ProfileNames, JapaneseNamesAreWrittenAsCodePage932Bytes) {
    ProgramDir dir;
    std::string path = dir.file("talvo.ini");
    ASSERT_TRUE(writeProfileString(path, "位置", "左", "120"));
    ASSERT_TRUE(writeProfileString(path, "検索ファイルヒストリー", "ファイル名[1]", "*.c"));
    ASSERT_TRUE(writeProfileString(path, "TALVOオプション", "ｵﾌﾟｼｮﾝﾌﾚｰﾑを表示", "1"));
    EXPECT_EQ(dir.read("talvo.ini"), "[" + kPosition + "]\r\n" + kLeft + "=120\r\n" + "[" +
                                         kHistory + "]\r\n" + kFileName1 + "=*.c\r\n" +
                                         "[TALVO\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\r\n" +
                                         kShowFrame + "=1\r\n");
    EXPECT_EQ(getProfileInt(path, "位置", "左", 0), 120);
    EXPECT_EQ(getProfileString(path, "検索ファイルヒストリー", "ファイル名[1]", "", 100), "*.c");
    EXPECT_EQ(getProfileInt(path, "TALVOオプション", "ｵﾌﾟｼｮﾝﾌﾚｰﾑを表示", 0), 1);
}

TEST(ProfileNames, AFileLaidOutInCodePage932ReadsBackUnchanged) {
    ProgramDir dir;
    std::string before = "[" + kHistory + "]\r\n" + kFileName1 + "=\x95\x5C.txt\r\n" + "[" +
                         kPosition + "]\r\n" + kLeft + "=-300\r\n";
    dir.write("talvo.ini", before);
    std::string path = dir.file("talvo.ini");
    EXPECT_EQ(getProfileString(path, "検索ファイルヒストリー", "ファイル名[1]", "", 100), "表.txt");
    EXPECT_EQ(getProfileInt(path, "位置", "左", 0), -300);
    EXPECT_EQ(dir.read("talvo.ini"), before);
}

TEST(ProfileNames, TrailBytesThatLookLikeAsciiAreNoAsciiCharacters) {
    ProgramDir dir;
    std::string path = dir.file("t.ini");
    // 表 and ソ end in 0x5C, 能 too; ア (83 41) and ヂ (83 61) differ only in
    // what would be the case of an ASCII letter.
    ASSERT_TRUE(writeProfileString(path, "表", "ソ", "one"));
    ASSERT_TRUE(writeProfileString(path, "表", "能", "two"));
    ASSERT_TRUE(writeProfileString(path, "ア", "k", "a"));
    ASSERT_TRUE(writeProfileString(path, "ヂ", "k", "di"));
    ASSERT_TRUE(writeProfileString(path, "s", "ア", "A"));
    ASSERT_TRUE(writeProfileString(path, "s", "ヂ", "DI"));
    EXPECT_EQ(getProfileString(path, "表", "ソ", "", 100), "one");
    EXPECT_EQ(getProfileString(path, "表", "能", "", 100), "two");
    EXPECT_EQ(getProfileString(path, "ア", "k", "", 100), "a");
    EXPECT_EQ(getProfileString(path, "ヂ", "k", "", 100), "di");
    EXPECT_EQ(getProfileString(path, "s", "ア", "", 100), "A");
    EXPECT_EQ(getProfileString(path, "s", "ヂ", "", 100), "DI");
    EXPECT_EQ(dir.read("t.ini"), "[\x95\x5C]\r\n\x83\x5C=one\r\n\x94\x5C=two\r\n"
                                 "[\x83\x41]\r\nk=a\r\n[\x83\x61]\r\nk=di\r\n"
                                 "[s]\r\n\x83\x41=A\r\n\x83\x61=DI\r\n");
}

TEST(ProfileNames, ABracketAsTrailByteDoesNotEndTheSectionName) {
    ProgramDir dir;
    // "\x83\x5D" is ゾ, whose trail byte is "]".
    dir.write("t.ini", "[\x83\x5D]\r\nk=zo\r\n[x\x83\x5Dy]\r\nk=xy\r\n");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "ゾ", "k", "", 100), "zo");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "xゾy", "k", "", 100), "xy");
}

TEST(ProfileNames, AsciiNamesMatchRegardlessOfCaseAndKeepTheirStoredSpelling) {
    ProgramDir dir;
    dir.write("t.ini", "[Common]\r\nFlag=1\r\n");
    std::string path = dir.file("t.ini");
    EXPECT_EQ(getProfileInt(path, "COMMON", "flag", 0), 1);
    EXPECT_EQ(getProfileInt(path, "common", "FLAG", 0), 1);
    ASSERT_TRUE(writeProfileString(path, "cOMMON", "fLAG", "0"));
    EXPECT_EQ(dir.read("t.ini"), "[Common]\r\nFlag=0\r\n");
    // Full-width letters are no ASCII letters: Ａ (82 60) is not ａ (82 81).
    ASSERT_TRUE(writeProfileString(path, "Ａ", "k", "1"));
    EXPECT_EQ(getProfileInt(path, "ａ", "k", 9), 9);
}

TEST(ProfileNames, BlanksAroundNamesAreIgnored) {
    ProgramDir dir;
    dir.write("t.ini", "  [ s ]  \r\n  k  = v\r\n");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), "s", "k", "", 100), "v");
    EXPECT_EQ(getProfileString(dir.file("t.ini"), " s", "k ", "", 100), "v");
}

} // namespace
