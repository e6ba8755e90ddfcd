// The built-in commands COPY, DEL/ERASE, ECHO, TYPE, CD and EXIT: any case,
// exact bytes, errors that let the next line run, redirections applied.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

using namespace std::string_literals;

const std::string kAwkwardBytes = "line\r\n\0\x1A\xFF\x81\x5C\nno end"s;

TEST(Copy, OverwritesAndKeepsTheBytes) {
    ProgramDir dir;
    dir.write("src.bin", kAwkwardBytes);
    dir.write("dst.bin", std::string(100000, 'o'));
    auto r = runBatch(dir, "COPY src.bin dst.bin\r\ncopy src.bin fresh.bin\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("dst.bin"), kAwkwardBytes);
    EXPECT_EQ(dir.read("fresh.bin"), kAwkwardBytes);
    EXPECT_NE(r.out.find("1 file(s) copied."), std::string::npos);
}

TEST(Copy, NamesAreFoundRegardlessOfCase) {
    ProgramDir dir;
    dir.write("xxx.bat", "stale");
    auto r = runBatch(dir, "Copy WWW.BAT XXX.BAT\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("xxx.bat"), dir.read("WWW.BAT"));
    EXPECT_FALSE(dir.exists("XXX.BAT") && dir.exists("xxx.bat") &&
                 dir.read("XXX.BAT") != dir.read("xxx.bat"));
}

TEST(Copy, IntoDirectoryAndErrors) {
    ProgramDir dir;
    dir.write("a.txt", "A");
    ::mkdir(dir.file("sub").c_str(), 0755);
    auto r = runBatch(dir, "copy a.txt sub\r\n"
                           "copy missing.txt b.txt\r\n"
                           "copy a.txt a.txt\r\n"
                           "copy /y a.txt c.txt\r\n");
    EXPECT_EQ(dir.read("sub/a.txt"), "A");
    EXPECT_FALSE(dir.exists("b.txt"));
    EXPECT_EQ(dir.read("a.txt"), "A");
    EXPECT_EQ(dir.read("c.txt"), "A");
    EXPECT_NE(r.err.find("cannot find the file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("onto itself"), std::string::npos) << r.err;
    EXPECT_EQ(runBatch(dir, "copy missing.txt b.txt\r\n").status, 1);
}

TEST(Copy, FailureLeavesNoTemporaryFileAndKeepsTheTarget) {
    ProgramDir dir;
    dir.write("a.txt", "A");
    dir.write("b.txt", "old");
    // Reading /proc/self/mem from its start fails after the copy has begun.
    auto r = runBatch(dir, "copy /proc/self/mem b.txt\r\ncopy a.txt nodir/c.txt\r\n");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(dir.read("b.txt"), "old");
    EXPECT_NE(r.err.find("0 file(s) copied."), std::string::npos) << r.err;
    auto list = runProgram(dir.path(), {"/usr/bin/env", "LC_ALL=C", "ls", "-A", "."});
    EXPECT_EQ(list.out, "WWW.BAT\na.txt\nb.txt\n");
}

TEST(Del, RemovesFilesAndAMissingFileIsNoError) {
    ProgramDir dir;
    dir.write("one.txt", "1");
    dir.write("XXX.BAT", "marker");
    dir.write("RESULT01.TXT", "r1");
    dir.write("result02.txt", "r2");
    dir.write("keep.dat", "k");
    auto r =
        runBatch(dir, "del one.txt\r\nERASE xxx.bat\r\nDel gone.txt\r\ndel /q result*.txt\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(dir.exists("one.txt"));
    EXPECT_FALSE(dir.exists("XXX.BAT"));
    EXPECT_FALSE(dir.exists("RESULT01.TXT"));
    EXPECT_FALSE(dir.exists("result02.txt"));
    EXPECT_TRUE(dir.exists("keep.dat"));
}

TEST(Del, LeavesDirectoriesAlone) {
    ProgramDir dir;
    ::mkdir(dir.file("sub").c_str(), 0755);
    dir.write("sub/inner.txt", "i");
    auto r = runBatch(dir, "del sub\r\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(dir.exists("sub/inner.txt"));
}

TEST(Echo, TextAsWrittenAndItsForms) {
    ProgramDir dir;
    auto r = runBatch(dir, "@echo off\r\n"
                           "echo \"quoted  text\"  and   blanks\r\n"
                           "ECHO.\r\n"
                           "echo.dotted\r\n"
                           "echo:colon\r\n"
                           "Echo\r\n"
                           "echo a|b is not a pipe here? > piped.txt\r\n");
    EXPECT_EQ(r.out, "\"quoted  text\"  and   blanks\n\ndotted\ncolon\nECHO is on.\n");
    EXPECT_NE(r.err.find("Bad command"), std::string::npos); // "b" is no program
}

TEST(Echo, OutputObeysRedirectionsAndPipes) {
    ProgramDir dir;
    runBatch(dir, "echo first > out.txt\r\necho second>>out.txt\r\necho third | cat >> out.txt\r\n"
                  "echo. > empty-line.txt\r\n");
    EXPECT_EQ(dir.read("out.txt"), "first\nsecond\nthird\n");
    EXPECT_EQ(dir.read("empty-line.txt"), "\n");
}

TEST(Type, PrintsBytesAndReportsMissingFiles) {
    ProgramDir dir;
    dir.write("a.bin", kAwkwardBytes);
    auto r = runBatch(dir, "type A.BIN > copy.bin\r\nTYPE missing.txt\r\necho after\r\n");
    EXPECT_EQ(dir.read("copy.bin"), kAwkwardBytes);
    EXPECT_EQ(r.out, "after\n");
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(runBatch(dir, "type missing.txt\r\n").status, 1);
}

TEST(Type, RefusesToAddAFileToItself) {
    ProgramDir dir;
    dir.write("f.txt", "line\r\n");
    ASSERT_EQ(::link(dir.file("f.txt").c_str(), dir.file("hard.txt").c_str()), 0);
    // The same file by another spelling, by a second name, and from a pipe's
    // stage; other files of the same command are still typed.
    auto r = runBatch(dir, "type f.txt >> f.txt\r\n"
                           "TYPE F.TXT >> hard.txt\r\n"
                           "echo x | type f.txt >> f.txt\r\n"
                           "type f.txt f.txt > copy.txt\r\n"
                           "type f.txt copy.txt >> copy.txt\r\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.read("f.txt").size(), 6u); // not a byte added
    EXPECT_EQ(dir.read("copy.txt").size(), 18u);
    std::size_t refusals = 0;
    for (auto at = r.err.find("onto itself"); at != std::string::npos;
         at = r.err.find("onto itself", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 4u) << r.err;
}

TEST(Cd, ChangesTheDirectoryForTheLinesAfter) {
    ProgramDir dir;
    ::mkdir(dir.file("Sub Dir").c_str(), 0755);
    ::mkdir(dir.file("Sub Dir/deeper").c_str(), 0755);
    auto r = runBatch(dir, "cd \"sub dir\"\r\necho in sub > here.txt\r\n"
                           "CD deeper\r\ncd..\r\necho back > there.txt\r\n"
                           "cd Sub Dir\r\ncd nowhere\r\ncd\r\n");
    EXPECT_EQ(dir.read("Sub Dir/here.txt"), "in sub\n");
    EXPECT_EQ(dir.read("Sub Dir/there.txt"), "back\n");
    EXPECT_NE(r.err.find("cannot find the path"), std::string::npos) << r.err;
    // "cd Sub Dir" from inside Sub Dir fails; the plain "cd" prints where it is.
    EXPECT_TRUE(r.out.ends_with("Sub Dir\n")) << r.out;
}

TEST(Exit, EndsTheFileWithItsStatus) {
    ProgramDir dir;
    auto r = runBatch(dir, "echo before\r\nexit /b 5\r\necho never\r\n");
    EXPECT_EQ(r.out, "before\n");
    EXPECT_EQ(r.status, 5);
}

} // namespace
} // namespace talvo::test
