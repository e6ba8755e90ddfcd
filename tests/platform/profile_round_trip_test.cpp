// What is written reads back as written: quoted values, the buffer limit in a
// UTF-8 file, the three kinds of line end, values that look like UTF-8, the
// default, and the leftovers of interrupted writes.
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvo::platform;
using talvo::test::ProgramDir;
namespace fs = std::filesystem;

namespace {

TEST(ProfileRoundTrip, ValuesWithTheirOwnEnclosingQuotesReadBackWhole) {
    ProgramDir dir;
    const std::string path = dir.file("t.ini");
    for (std::string value : {"\"./my grep\" -e $K \"$F\"", "\"\"", "\"a\"", "'x'", "\" padded \"",
                              "\"", "\"x'", "say \"hi\"", "'", "\"\"\"\""}) {
        ASSERT_TRUE(writeProfileString(path, "s", "k", value)) << value;
        EXPECT_EQ(getProfileString(path, "s", "k", "", 500), value);
        // A second write of what was read changes nothing.
        const std::string bytes = dir.read("t.ini");
        ASSERT_TRUE(writeProfileString(path, "s", "k", getProfileString(path, "s", "k", "", 500)));
        EXPECT_EQ(dir.read("t.ini"), bytes);
    }
}

TEST(ProfileRoundTrip, TheBufferLimitCountsCodePage932BytesInAUtf8File) {
    ProgramDir dir;
    const std::string path = dir.file("t.ini");
    // 200 kanji and 17 ASCII letters: 417 bytes in code page 932, 617 in UTF-8.
    std::string value;
    for (int i = 0; i < 200; ++i)
        value += "検";
    value += std::string(17, 'a');
    ASSERT_TRUE(writeProfileString(path, "s", "k", value));
    ASSERT_TRUE(writeProfileString(path, "s", "name", "café")); // the file moves to UTF-8
    EXPECT_EQ(getProfileString(path, "s", "k", "", 500), value);
    // Half-width katakana take one byte each, other characters two.
    ASSERT_TRUE(writeProfileString(path, "s", "kana", "ｱｲｳｴ"));
    EXPECT_EQ(getProfileString(path, "s", "kana", "", 4), "ｱｲｳ");
    EXPECT_EQ(getProfileString(path, "s", "k", "", 6), "検検");
    EXPECT_EQ(getProfileString(path, "s", "k", "", 5), "検検");
}

TEST(ProfileRoundTrip, CrLfLfAndALoneCrEachEndALine) {
    ProgramDir dir;
    const std::string path = dir.file("t.ini");
    dir.write("t.ini", "[s]\ra=1\r[t]\nb=2\r\nc=3\r");
    EXPECT_EQ(getProfileInt(path, "s", "a", 0), 1);
    EXPECT_EQ(getProfileInt(path, "t", "b", 0), 2);
    EXPECT_EQ(getProfileInt(path, "t", "c", 0), 3);
    ASSERT_TRUE(writeProfileString(path, "t", "d", "4"));
    ASSERT_TRUE(writeProfileString(path, "s", "a", "5"));
    ASSERT_TRUE(writeProfileString(path, "u", "e", "6"));
    EXPECT_EQ(dir.read("t.ini"), "[s]\ra=5\r[t]\nb=2\r\nc=3\r\nd=4\r\n[u]\r\ne=6\r\n");
    EXPECT_EQ(getProfileInt(path, "t", "d", 0), 4);

    // The history after a last line that ends in a lone CR.
    dir.write("h.ini", "[検索ファイルヒストリー]\r\nファイル名[1]=*.c\r");
    const std::string history = dir.file("h.ini");
    ASSERT_TRUE(writeProfileString(history, "検索ファイルヒストリー", "ファイル名[2]", "*.h"));
    EXPECT_EQ(getProfileString(history, "検索ファイルヒストリー", "ファイル名[1]", "", 100), "*.c");
    EXPECT_EQ(getProfileString(history, "検索ファイルヒストリー", "ファイル名[2]", "", 100), "*.h");
}

TEST(ProfileRoundTrip, HalfWidthKatakanaThatLookLikeUtf8StayCodePage932) {
    ProgramDir dir;
    const std::string path = dir.file("t.ini");
    dir.write("t.ini", "[s]\r\na=1\r\n");
    // "ﾃｽ" is C3 BD in code page 932, which is also "½" in UTF-8.
    ASSERT_TRUE(writeProfileString(path, "s", "k", "ﾃｽ"));
    EXPECT_EQ(dir.read("t.ini"), "[s]\r\na=1\r\nk=\xC3\xBD\r\n");
    EXPECT_EQ(getProfileString(path, "s", "k", "", 100), "ﾃｽ");
    ASSERT_TRUE(writeProfileString(path, "s", "j", "ｶﾞﾑ"));
    EXPECT_EQ(getProfileString(path, "s", "k", "", 100), "ﾃｽ");
    EXPECT_EQ(getProfileString(path, "s", "j", "", 100), "ｶﾞﾑ");

    // A UTF-8 file of characters that read the same way gets a byte-order mark.
    const std::string latin = dir.file("l.ini");
    ASSERT_TRUE(writeProfileString(latin, "s", "k", "½ é ü"));
    ASSERT_TRUE(writeProfileString(latin, "s", "x", "1"));
    EXPECT_EQ(getProfileString(latin, "s", "k", "", 100), "½ é ü");

    // A code-page-932 file that the write would make read as UTF-8 moves to UTF-8.
    dir.write("k.ini", "[s]\r\n");
    const std::string kanji = dir.file("k.ini");
    // E3 81 82 60 is a kanji and "Ａ" in 932, "あ`" in UTF-8.
    const std::string value = cp932ToUtf8("\xE3\x81\x82\x60");
    ASSERT_EQ(utf8ToCp932(value), "\xE3\x81\x82\x60");
    ASSERT_TRUE(writeProfileString(kanji, "s", "k", value));
    EXPECT_EQ(getProfileString(kanji, "s", "k", "", 100), value);
}

TEST(ProfileRoundTrip, TheDefaultLosesItsTrailingBlanks) {
    ProgramDir dir;
    EXPECT_EQ(getProfileString(dir.file("none.ini"), "s", "k", "  a b \t ", 100), "  a b");
    EXPECT_EQ(getProfileString(dir.file("none.ini"), "s", "k", " ", 100), "");
}

pid_t endedProcess() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(ProfileRoundTrip, TemporaryFilesOfInterruptedWritesAreRemoved) {
    ProgramDir dir;
    dir.write("t.ini", "[s]\r\nk=1\r\n");
    const std::string stale = ".t.ini.tmp-" + std::to_string(endedProcess()) + "-7";
    const std::string live = ".t.ini.tmp-" + std::to_string(getppid()) + "-0";
    dir.write(stale, "[s]\r\nk=half");
    dir.write(live, "[s]\r\nk=half");
    dir.write(".other.ini.tmp-1-0", "");
    dir.write(".t.ini.tmp-x-0", "");
    ASSERT_TRUE(writeProfileString(dir.file("t.ini"), "s", "k", "2"));
    EXPECT_FALSE(dir.exists(stale));
    EXPECT_TRUE(dir.exists(live));
    EXPECT_TRUE(dir.exists(".other.ini.tmp-1-0"));
    EXPECT_TRUE(dir.exists(".t.ini.tmp-x-0"));
    EXPECT_EQ(dir.read("t.ini"), "[s]\r\nk=2\r\n");
}

} // namespace
