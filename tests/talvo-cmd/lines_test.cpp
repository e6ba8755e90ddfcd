// Which lines run and how the file's bytes become text: labels, "@", REM,
// line ends, the last line, code page 932 and UTF-8 files, long lines.
#include <gtest/gtest.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

TEST(BatchLines, LabelLineRunsNothingWhateverFollowsTheColon) {
    ProgramDir dir;
    // ": 実行ファイル名 → c:\grep\WWW.BAT" in code page 932, with a ">" added:
    // none of it may run or create a file.
    std::string label = "\x3A\x20\x8E\xC0\x8D\x73\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC"
                        "\x20\x81\xA8\x20"
                        "c:\\grep\\WWW.BAT > made.txt | cat";
    auto r = runBatch(dir, label + "\r\n  :another > made2.txt\r\n::comment >made3.txt\r\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(dir.exists("made.txt"));
    EXPECT_FALSE(dir.exists("made2.txt"));
    EXPECT_FALSE(dir.exists("made3.txt"));
}

TEST(BatchLines, AtSignRemAndEmptyLines) {
    ProgramDir dir;
    auto r = runBatch(dir, "@echo one\r\n\r\n   \r\n\t\r\nREM echo no > rem.txt\r\n"
                           "rem\r\n  @  Rem also not\r\nremark-not-a-remark\r\necho two\r\n");
    EXPECT_EQ(r.out, "one\ntwo\n");
    EXPECT_NE(r.err.find("remark-not-a-remark"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("rem.txt"));
}

TEST(BatchLines, LineEndsAndLastLineWithoutEnd) {
    ProgramDir dir;
    EXPECT_EQ(runBatch(dir, "echo a\r\necho b\necho c").out, "a\nb\nc\n");
    EXPECT_EQ(runBatch(dir, "echo last\r").out, "last\n");
    auto empty = runBatch(dir, "");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST(BatchLines, ExitStatusIsThatOfTheLastCommand) {
    ProgramDir dir;
    writeScript(dir, "fail.sh", "exit 3");
    EXPECT_EQ(runBatch(dir, "./fail.sh\r\necho after\r\n").status, 0);
    EXPECT_EQ(runBatch(dir, "echo before\r\n./fail.sh\r\n").status, 3);
    EXPECT_EQ(runBatch(dir, "./fail.sh\r\n:label\r\nrem x\r\n").status, 3);
}

TEST(BatchEncoding, CodePage932ArgumentsArriveAsUtf8) {
    ProgramDir dir;
    writeArgumentPrinter(dir, "show.sh");
    // 検索, then "表" quoted (its second byte is a backslash before the quote),
    // then ポ unquoted (its second byte is "|").
    auto r = runBatch(dir, "show.sh \x8C\x9F\x8D\xF5 \"\x95\x5C\" \x83\x7C\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[検索]\n[表]\n[ポ]\n");
}

TEST(BatchEncoding, Utf8FileWithByteOrderMark) {
    ProgramDir dir;
    writeArgumentPrinter(dir, "show.sh");
    auto r = runBatch(dir, "\xEF\xBB\xBFshow.sh 検索 é\r\necho Ünïcode > out.txt\r\n");
    EXPECT_EQ(r.out, "[検索]\n[é]\n");
    EXPECT_EQ(dir.read("out.txt"), "Ünïcode\n");
}

TEST(BatchEncoding, InvalidBytesDoNotStopTheFile) {
    ProgramDir dir;
    using namespace std::string_literals;
    auto r = runBatch(dir, "echo \x81\r\necho ok\r\n\0\r\necho end"s);
    EXPECT_NE(r.out.find("ok\n"), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("end\n")) << r.out;
}

TEST(BatchLines, VeryLongLine) {
    ProgramDir dir;
    writeScript(dir, "len.sh", R"(printf '%s' "$1" | wc -c)");
    std::string word(100000, 'x'); // one argument may hold 128 KiB
    auto r = runBatch(dir, "len.sh " + word + " > len.txt\r\necho done\r\n");
    EXPECT_EQ(r.out, "done\n");
    EXPECT_EQ(std::stoul(dir.read("len.txt")), word.size());

    std::string text(3 * 1024 * 1024, 'y');
    runBatch(dir, "echo " + text + " > big.txt");
    EXPECT_EQ(dir.read("big.txt"), text + "\n");
}

TEST(BatchFile, FoundRegardlessOfCaseAndMissingFileReported) {
    ProgramDir dir;
    dir.write("www.bat", "echo lower\r\n");
    EXPECT_EQ(runBatchFile(dir, "WWW.BAT").out, "lower\n");
    auto missing = runBatchFile(dir, "none.bat");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("none.bat"), std::string::npos);
}

} // namespace
} // namespace talvo::test
