// The throw-away program directory and the program runner used by every test.
#include "tests/support/program_dir.h"

#include <filesystem>

#include <gtest/gtest.h>

using talvo::test::ProgramDir;

TEST(ProgramDirTest, HoldsTheBundledProgramsAndIsRemoved) {
    std::string path;
    {
        ProgramDir dir(ProgramDir::Contents::BundledPrograms);
        path = dir.path();
        EXPECT_EQ(path.back(), '/');
        EXPECT_TRUE(dir.exists("cgrep.exe"));
        EXPECT_TRUE(dir.exists("talvo-cmd"));
        dir.write("a.txt", "x\r\n");
        EXPECT_EQ(dir.read("a.txt"), "x\r\n");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ProgramDirTest, RunsAProgramWithInputAndCollectsBothStreams) {
    ProgramDir dir;
    auto r = talvo::test::runProgram(dir.path(), {"sh", "-c", "cat; echo err >&2; exit 3"}, "in");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "in");
    EXPECT_EQ(r.err, "err\n");
}
