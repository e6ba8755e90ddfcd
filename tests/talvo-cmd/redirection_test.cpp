// Redirections in every position and spacing, files made before a command
// starts (also a missing one), and pipes whose commands run at the same time.
#include <gtest/gtest.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

TEST(Redirection, OutputFormsWithAndWithoutBlanks) {
    ProgramDir dir;
    writeArgumentPrinter(dir, "show.sh");
    auto r = runBatch(dir, "show.sh a > one.txt\r\n"
                           "show.sh b>two.txt\r\n"
                           "show.sh c >three.txt d\r\n"
                           ">four.txt show.sh e\r\n"
                           "show.sh f > \"five six.txt\"\r\n"
                           "echo g>seven.txt\r\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("one.txt"), "[a]\n");
    EXPECT_EQ(dir.read("two.txt"), "[b]\n");
    EXPECT_EQ(dir.read("three.txt"), "[c]\n[d]\n");
    EXPECT_EQ(dir.read("four.txt"), "[e]\n");
    EXPECT_EQ(dir.read("five six.txt"), "[f]\n");
    EXPECT_EQ(dir.read("seven.txt"), "g\n");
}

TEST(Redirection, TruncateAppendAndInput) {
    ProgramDir dir;
    dir.write("out.txt", "old contents that are longer\n");
    dir.write("in.txt", "from the file\n");
    auto r = runBatch(dir, "echo new > out.txt\r\n"
                           "echo more >> out.txt\r\n"
                           "echo fresh >>made.txt\r\n"
                           "cat < in.txt > copy.txt\r\n"
                           "<in.txt cat>>made.txt\r\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("out.txt"), "new\nmore\n");
    EXPECT_EQ(dir.read("copy.txt"), "from the file\n");
    EXPECT_EQ(dir.read("made.txt"), "fresh\nfrom the file\n");
}

TEST(Redirection, ErrorStreamAndNul) {
    ProgramDir dir;
    writeScript(dir, "both.sh", "echo to-out; echo to-err >&2");
    auto r = runBatch(dir, "both.sh 2> err.txt > out.txt\r\n"
                           "both.sh > all.txt 2>&1\r\n"
                           "both.sh > NUL 2>nul\r\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("out.txt"), "to-out\n");
    EXPECT_EQ(dir.read("err.txt"), "to-err\n");
    EXPECT_EQ(dir.read("all.txt"), "to-out\nto-err\n");
    EXPECT_FALSE(dir.exists("NUL"));
    EXPECT_FALSE(dir.exists("nul"));
}

TEST(Redirection, ExistingFileIsFoundRegardlessOfCase) {
    ProgramDir dir;
    dir.write("result00.txt", "stale\n");
    runBatch(dir, "echo fresh > RESULT00.TXT\r\n");
    EXPECT_EQ(dir.read("result00.txt"), "fresh\n");
    EXPECT_FALSE(dir.exists("RESULT00.TXT") && dir.exists("result00.txt") &&
                 dir.read("RESULT00.TXT") != dir.read("result00.txt"));
}

TEST(Redirection, MissingCommandStillCreatesItsFileAndTheNextLineRuns) {
    ProgramDir dir;
    dir.write("RESULT00.TXT", "previous result\n");
    auto r = runBatch(dir, "NOSUCH.EXE -e abc *.c > RESULT00.TXT\r\necho next > next.txt\r\n");
    EXPECT_TRUE(dir.exists("RESULT00.TXT"));
    EXPECT_EQ(dir.read("RESULT00.TXT"), "");
    EXPECT_EQ(dir.read("next.txt"), "next\n");
    EXPECT_NE(r.err.find("Bad command or file name"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("NOSUCH.EXE"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("WWW.BAT:1"), std::string::npos) << r.err;

    auto last = runBatch(dir, "echo x\r\nNOSUCH.EXE\r\n");
    EXPECT_NE(last.status, 0);
}

TEST(Redirection, BrokenLinesAreReportedAndSkipped) {
    ProgramDir dir;
    auto r = runBatch(dir, "echo a >\r\necho b | \r\n| echo c\r\necho ok\r\n");
    EXPECT_EQ(r.out, "ok\n");
    EXPECT_NE(r.err.find("WWW.BAT:1: The syntax of the command is incorrect."), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("WWW.BAT:2:"), std::string::npos);
    EXPECT_NE(r.err.find("WWW.BAT:3:"), std::string::npos);
}

TEST(Redirection, UnreadableInputSkipsTheCommandButMakesItsOutputFile) {
    ProgramDir dir;
    auto r = runBatch(dir, "cat < missing.txt > out.txt\r\necho after\r\n");
    EXPECT_TRUE(dir.exists("out.txt"));
    EXPECT_EQ(r.out, "after\n");
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
}

TEST(Pipe, ThreeCommands) {
    ProgramDir dir;
    dir.write("words.txt", "pear\napple\nfig\napple\n");
    auto r = runBatch(dir, "cat words.txt | sort | uniq -c > counted.txt\r\n"
                           "type words.txt|sort -r|head -n 1\r\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("counted.txt"), "      2 apple\n      1 fig\n      1 pear\n");
    EXPECT_EQ(r.out, "pear\n");
}

TEST(Pipe, CommandsRunAtTheSameTime) {
    ProgramDir dir;
    // The first command only says "together" when the last has started while
    // it still runs; a bounded wait keeps a wrong interpreter from hanging.
    writeScript(dir, "first.sh", R"(i=0
while [ ! -e last-started ] && [ $i -lt 1000000 ]; do i=$((i+1)); done
[ -e last-started ] && echo together)");
    writeScript(dir, "last.sh", "touch last-started; cat");
    auto r = runBatch(dir, "first.sh | cat | last.sh > out.txt\r\n");
    EXPECT_EQ(dir.read("out.txt"), "together\n");
}

TEST(Pipe, StatusIsThatOfTheLastCommandAndMissingMembersEndTheirPart) {
    ProgramDir dir;
    writeScript(dir, "fail.sh", "cat >/dev/null; exit 4");
    EXPECT_EQ(runBatch(dir, "echo x | fail.sh\r\n").status, 4);
    EXPECT_EQ(runBatch(dir, "fail.sh | echo y\r\n").status, 0);
    auto r = runBatch(dir, "NOSUCH | cat > out.txt\r\necho x | NOSUCH2\r\necho done\r\n");
    EXPECT_EQ(r.out, "done\n");
    EXPECT_TRUE(dir.exists("out.txt"));
    EXPECT_NE(r.err.find("NOSUCH2"), std::string::npos);
}

TEST(Pipe, ReaderThatStopsEarlyDoesNotEndTheInterpreter) {
    ProgramDir dir;
    std::string big(200000, 'z');
    auto r = runBatch(dir, "echo " + big + " | head -c 1 > one.txt\r\necho still here\r\n");
    EXPECT_EQ(dir.read("one.txt"), "z");
    EXPECT_EQ(r.out, "still here\n");
}

} // namespace
} // namespace talvo::test
