// Narrowing talvo-grep's own results: the pattern meets only the text of each
// line, kept lines keep the origin the first search gave them, in every
// dialect and layout; a file that merely looks like a result is plain text.
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>

namespace {

using talvo::test::ProgramDir;
using talvo::test::runProgram;
using talvo::test::RunResult;

constexpr const char* kA = "int src = 1;\nint value = 2;\nreturn src + value;\n";
constexpr const char* kB = "value here\nnothing\n";

class NarrowingTest : public ::testing::Test {
protected:
    NarrowingTest() : dir_(ProgramDir::Contents::BundledPrograms) {}
    void SetUp() override {
        runProgram(dir_.path(), {"mkdir", "-p", "src"});
        dir_.write("src/a.c", kA);
        dir_.write("src/b.c", kB);
        dir_.write("probe", "");
        if (setxattr(dir_.file("probe").c_str(), "user.talvo-test", "1", 1, 0) != 0)
            GTEST_SKIP() << "the file system keeps no extended attributes";
    }
    // program args... > out, through the shell as the batch file does.
    RunResult run(const std::string& program, std::vector<std::string> args,
                  const std::string& out) {
        std::vector<std::string> argv{"sh", "-c", "exec \"$0\" \"$@\" > " + out,
                                      dir_.file(program)};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(dir_.path(), argv);
    }
    ProgramDir dir_;
};

struct LayoutCase {
    const char* program;
    std::vector<std::string> first; // the first search's arguments
    const char* kept;               // RESULT01.TXT after narrowing by "src"
};

} // namespace

TEST_F(NarrowingTest, EveryDialectAndLayoutKeepsTheOrigins) {
    const std::vector<LayoutCase> cases{
        {"cgrep.exe",
         {"-n", "-e", "value", "src/a.c", "src/b.c"},
         "src/a.c:3:return src + value;\n"},
        {"cgrep.exe", {"-e", "value", "src/*.c"}, "src/a.c:return src + value;\n"},
        {"cgrep.exe", {"-t", "-e", "value", "src/*.c"}, "src/a.c(3): return src + value;\n"},
        {"cgrep.exe",
         {"-G", "-n", "-e", "value", "src/*.c"},
         "==> src/a.c <==\n3:return src + value;\n"},
        {"cgrep.exe",
         {"-M", "-n", "-e", "value", "src/*.c"},
         "src/a.c:3:return src + 【value】;\n"},
        {"cgrep.exe", {"-C", "-n", "-e", "value", "src/*.c"}, "src/a.c:3:return src + value;\n"},
        {"dgrep.exe", {"-n", "-a", "-e", "value", "src/*.c"}, "src/a.c:3:28:return src + value;\n"},
        {"izgrep.exe", {"-n", "-e", "value", "src/*.c"}, "src/a.c:3:return src + value;\n"},
        {"jgrep.exe", {"value", "src/*.c", "-n"}, "src/a.c:3:return src + value;\n"},
        {"wgrep.com",
         {"-h0", "-d2", "-e", "value", "src/*.c"},
         "==> src/a.c <==\nsrc/a.c:3:return src + value;\n"},
        {"ygrep.exe", {"-n", "-e", "value", "src/*.c"}, "src/a.c:3:return src + value;\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.first.front());
        ASSERT_EQ(run(c.program, c.first, "RESULT00.TXT").status, 0);
        // The first result looks as it always did: no line of the record in it.
        EXPECT_EQ(dir_.read("RESULT00.TXT").find("talvo-grep"), std::string::npos);
        const bool jgrep = std::string(c.program) == "jgrep.exe";
        auto narrowed = run(c.program,
                            jgrep ? std::vector<std::string>{"src", "RESULT00.TXT"}
                                  : std::vector<std::string>{"-e", "src", "RESULT00.TXT"},
                            "RESULT01.TXT");
        EXPECT_EQ(narrowed.status, 0) << narrowed.err;
        EXPECT_EQ(dir_.read("RESULT01.TXT"), c.kept);
        // A second step reads the first step's result the same way.
        auto again = run(c.program,
                         jgrep ? std::vector<std::string>{"return", "RESULT01.TXT"}
                               : std::vector<std::string>{"-e", "return", "RESULT01.TXT"},
                         "RESULT02.TXT");
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(dir_.read("RESULT02.TXT"), c.kept);
        // Only paths hold "c:" and digits: nothing of the text matches them.
        EXPECT_EQ(run(c.program,
                      jgrep ? std::vector<std::string>{"a\\.c", "RESULT00.TXT"}
                            : std::vector<std::string>{"-e", "a\\.c", "RESULT00.TXT"},
                      "RESULT03.TXT")
                      .status,
                  1);
    }
}

TEST_F(NarrowingTest, InvertCountNamesCaseAndWordsActOnTheText) {
    ASSERT_EQ(run("cgrep.exe", {"-n", "-e", "value", "src/*.c"}, "RESULT00.TXT").status, 0);
    run("cgrep.exe", {"-v", "-e", "src", "RESULT00.TXT"}, "R1.TXT");
    EXPECT_EQ(dir_.read("R1.TXT"), "src/a.c:2:int value = 2;\nsrc/b.c:1:value here\n");
    run("cgrep.exe", {"-c", "-e", "src", "RESULT00.TXT"}, "R2.TXT");
    EXPECT_EQ(dir_.read("R2.TXT"), "src/a.c:1\nsrc/b.c:0\n");
    run("cgrep.exe", {"-l", "-e", "HERE", "-i", "RESULT00.TXT"}, "R3.TXT");
    EXPECT_EQ(dir_.read("R3.TXT"), "src/b.c\n");
    EXPECT_EQ(run("cgrep.exe", {"-w", "-e", "sr", "RESULT00.TXT"}, "R4.TXT").status, 1);
    run("cgrep.exe", {"-w", "-e", "value", "RESULT00.TXT"}, "R5.TXT");
    EXPECT_EQ(dir_.read("R5.TXT"), dir_.read("RESULT00.TXT"));
}

TEST_F(NarrowingTest, ALookalikeIsSearchedAsPlainText) {
    ASSERT_EQ(run("cgrep.exe", {"-n", "-e", "value", "src/*.c"}, "RESULT00.TXT").status, 0);
    const std::string result = dir_.read("RESULT00.TXT");
    // Written by hand in the same layout, copied, or changed after the search.
    dir_.write("HAND.TXT", result);
    runProgram(dir_.path(), {"cp", "RESULT00.TXT", "COPY.TXT"});
    run("cgrep.exe", {"-n", "-e", "value", "src/*.c"}, "CHANGED.TXT");
    runProgram(dir_.path(), {"sh", "-c", "echo 'src/x.c:9:more' >> CHANGED.TXT"});
    for (const char* name : {"HAND.TXT", "COPY.TXT"}) {
        run("cgrep.exe", {"-e", "src", name}, "OUT.TXT");
        EXPECT_EQ(dir_.read("OUT.TXT"), result) << name; // every line: its path holds "src"
    }
    run("cgrep.exe", {"-e", "src", "CHANGED.TXT"}, "OUT.TXT");
    EXPECT_EQ(dir_.read("OUT.TXT"), result + "src/x.c:9:more\n");
    // Through a wild card or from standard input, a result is plain text too.
    run("cgrep.exe", {"-e", "src", "RESULT0?.TXT"}, "OUT.TXT");
    EXPECT_NE(dir_.read("OUT.TXT").find("RESULT00.TXT:src/a.c:2:"), std::string::npos);
}
