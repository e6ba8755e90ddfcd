// The batch file of a search as the front end writes it: a label line, the
// command lines, "Copy WWW.BAT XXX.BAT". The marker may only appear, complete,
// once the commands before it have finished.
#include <gtest/gtest.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

// ": 実行ファイル名 → " in code page 932, then the program directory.
const std::string kLabel = "\x3A\x20\x8E\xC0\x8D\x73\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC"
                           "\x20\x81\xA8\x20";

// A command that takes a while, writes its last line at its very end and
// notes whether the marker ever existed while it ran.
void writeSlowSearch(const ProgramDir& dir, std::string_view name) {
    writeScript(dir, name, R"(i=0
while [ $i -lt 3000 ]; do
  echo "match $i"
  [ -e XXX.BAT ] && echo MARKER-TOO-EARLY
  i=$((i+1))
done
echo END)");
}

TEST(SearchFile, MarkerAppearsCompleteAfterTheResult) {
    ProgramDir dir;
    writeSlowSearch(dir, "cgrep.exe");
    // A long label line makes the batch file large, so a copy that is not made
    // in one step would be seen half-written.
    std::string batch = kLabel + "/tmp/talvo/WWW.BAT" + std::string(4 << 20, 'x') + "\r\n" +
                        "CGREP.EXE -i -e abc *.c > RESULT00.TXT\r\n" + "Copy WWW.BAT XXX.BAT\r\n";
    dir.write("WWW.BAT", batch);
    int pid = startBatch(dir);
    ASSERT_TRUE(pollUntil([&] { return dir.exists("XXX.BAT"); }));
    // What a watcher sees at the moment the marker appears:
    std::string result = dir.read("RESULT00.TXT");
    std::string marker = dir.read("XXX.BAT");
    EXPECT_EQ(waitForBatch(pid), 0);
    EXPECT_TRUE(result.ends_with("match 2999\nEND\n"));
    EXPECT_EQ(result.find("MARKER-TOO-EARLY"), std::string::npos);
    EXPECT_EQ(marker.size(), batch.size());
    EXPECT_TRUE(marker == batch);
}

TEST(SearchFile, SeveralCommandLinesRunOneAfterAnother) {
    ProgramDir dir;
    writeSlowSearch(dir, "first.sh");
    writeScript(dir, "second.sh", "[ -e RESULT01.TXT ] && tail -n 1 RESULT01.TXT");
    dir.write("WWW.BAT", kLabel + "/tmp/WWW.BAT\r\nfirst.sh > RESULT01.TXT\r\n"
                                  "second.sh > RESULT02.TXT\r\nCopy WWW.BAT XXX.BAT\r\n");
    int pid = startBatch(dir);
    ASSERT_TRUE(pollUntil([&] { return dir.exists("XXX.BAT"); }));
    std::string second = dir.read("RESULT02.TXT");
    EXPECT_EQ(waitForBatch(pid), 0);
    EXPECT_EQ(second, "END\n");
}

TEST(SearchFile, FailedSearchLeavesAnEmptyResultAndStillMakesTheMarker) {
    ProgramDir dir;
    dir.write("WWW.BAT", kLabel + "/tmp/WWW.BAT\r\nYGREP.EXE -e abc *.c > RESULT00.TXT\r\n"
                                  "Copy WWW.BAT XXX.BAT\r\n");
    int pid = startBatch(dir);
    EXPECT_EQ(waitForBatch(pid), 0);
    EXPECT_TRUE(dir.exists("RESULT00.TXT"));
    EXPECT_EQ(dir.read("RESULT00.TXT"), "");
    EXPECT_EQ(dir.read("XXX.BAT"), dir.read("WWW.BAT"));
}

TEST(SearchFile, WithTheBundledGrepProgram) {
    ProgramDir dir(ProgramDir::Contents::BundledPrograms);
    dir.write("a.c", "int abc;\nint xyz;\nlong ABC;\n");
    dir.write("WWW.BAT", kLabel + dir.path() + "WWW.BAT\r\n" +
                             "CGREP.EXE -i -e abc *.c > RESULT00.TXT\r\nCopy WWW.BAT XXX.BAT\r\n");
    int pid = startBatch(dir);
    ASSERT_TRUE(pollUntil([&] { return dir.exists("XXX.BAT"); }));
    std::string result = dir.read("RESULT00.TXT");
    EXPECT_EQ(waitForBatch(pid), 0);
    EXPECT_NE(result.find("int abc;"), std::string::npos) << result;
    EXPECT_NE(result.find("long ABC;"), std::string::npos) << result;
    EXPECT_EQ(result.find("xyz"), std::string::npos) << result;
}

} // namespace
} // namespace talvo::test
