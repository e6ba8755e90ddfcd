// Which program a command word starts: the current directory regardless of
// case and with implied extensions, paths, PATH, and .BAT files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

TEST(Lookup, UpperCaseWordFindsLowerCaseProgram) {
    ProgramDir dir;
    writeScript(dir, "cgrep.exe", R"(echo "cgrep ran as $(basename "$0") with $*")");
    auto r = runBatch(dir, "CGREP.EXE -i -e abc *.c > RESULT00.TXT\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("RESULT00.TXT"), "cgrep ran as cgrep.exe with -i -e abc *.c\n");
}

TEST(Lookup, ImpliedExtensions) {
    ProgramDir dir;
    writeScript(dir, "tool.exe", "echo exe");
    writeScript(dir, "other.com", "echo com");
    dir.write("SUB.BAT", "echo batch $1\r\n");
    auto r = runBatch(dir, "TOOL\r\nother\r\nsub arg\r\ncall sub\r\necho after\r\n");
    EXPECT_EQ(r.out, "exe\ncom\nbatch $1\nbatch $1\nafter\n");
    EXPECT_EQ(r.err, "");
}

TEST(Lookup, ExactNameBeforeImpliedExtension) {
    ProgramDir dir;
    writeScript(dir, "tool", "echo plain");
    writeScript(dir, "tool.exe", "echo exe");
    EXPECT_EQ(runBatch(dir, "tool\r\n").out, "plain\n");
}

TEST(Lookup, WordWithSlashIsAPath) {
    ProgramDir dir;
    ::mkdir(dir.file("bin").c_str(), 0755);
    writeScript(dir, "bin/Prog.exe", "echo in bin");
    writeScript(dir, "echo.sh", "echo not this");
    auto r = runBatch(dir, "bin/PROG.EXE\r\n./bin/prog\r\n" + dir.file("bin/prog.exe") + "\r\n");
    EXPECT_EQ(r.out, "in bin\nin bin\nin bin\n");
    auto missing = runBatch(dir, "bin/none\r\n");
    EXPECT_NE(missing.err.find("Bad command or file name: bin/none"), std::string::npos);
}

TEST(Lookup, PathAndCurrentDirectoryFirst) {
    ProgramDir dir;
    auto onPath = runBatch(dir, "printf %s:%s a b\r\n");
    EXPECT_EQ(onPath.out, "a:b");
    writeScript(dir, "printf", "echo local printf");
    EXPECT_EQ(runBatch(dir, "printf x\r\n").out, "local printf\n");
    EXPECT_EQ(runBatch(dir, "SORT < WWW.BAT\r\n").out, "SORT < WWW.BAT\r\n");
}

TEST(Lookup, FilesThatCannotRunAreNotCommands) {
    ProgramDir dir;
    dir.write("data.exe", "not executable");
    ::mkdir(dir.file("folder.exe").c_str(), 0755);
    auto r = runBatch(dir, "data.exe\r\nfolder\r\necho next\r\n");
    EXPECT_EQ(r.out, "next\n");
    EXPECT_NE(r.err.find("Bad command or file name: data.exe"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Bad command or file name: folder"), std::string::npos) << r.err;
}

TEST(Lookup, BuiltinsInAnyCaseComeFirst) {
    ProgramDir dir;
    writeScript(dir, "echo", "echo the script");
    EXPECT_EQ(runBatch(dir, "eCHo built in\r\n").out, "built in\n");
}

} // namespace
} // namespace talvo::test
