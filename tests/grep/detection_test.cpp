// Detection of the installed grep programs, the fallback chain of the stored
// selection, cyclic selection and the window title.
#include "grep/programs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace talvo::grep;

namespace {

FileExists filesPresent(std::set<std::string> names) {
    return [names = std::move(names)](std::string_view name) {
        return names.count(std::string(name)) != 0;
    };
}

const std::set<std::string> kAll = {"cgrep.exe", "dgrep.exe", "izgrep.exe",
                                    "jgrep.exe", "wgrep.com", "ygrep.exe"};

} // namespace

TEST(Detection, AllPresentKeepsTheStoredProgram) {
    for (int stored = 1; stored <= 6; ++stored) {
        const Detection d = detectPrograms(filesPresent(kAll), stored);
        EXPECT_EQ(d.selected, stored);
        EXPECT_EQ(d.foundCount, 6);
        EXPECT_TRUE(d.chooseEnabled);
        EXPECT_FALSE(d.reportNoProgram);
    }
}

struct ChainCase {
    const char* name;
    std::set<std::string> files;
    int stored;
    int expected;
};

class FallbackChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(FallbackChain, SelectsTheDesignedProgram) {
    const ChainCase& c = GetParam();
    EXPECT_EQ(detectPrograms(filesPresent(c.files), c.stored).selected, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Moves, FallbackChain,
    ::testing::Values(
        ChainCase{"cgrep missing, izgrep present: 1 to 3", {"izgrep.exe", "wgrep.com"}, 1, 3},
        ChainCase{"2 to 4 to 5", {"wgrep.com", "ygrep.exe"}, 2, 5},
        ChainCase{"3 to 6", {"ygrep.exe", "cgrep.exe"}, 3, 6},
        ChainCase{"4 to 5", {"wgrep.com", "cgrep.exe"}, 4, 5},
        ChainCase{"5 to 1, which is missing: lowest available", {"dgrep.exe"}, 5, 2},
        ChainCase{"5 to 1 present", {"cgrep.exe", "dgrep.exe"}, 5, 1},
        ChainCase{"6 to lowest of 1 ... 5", {"dgrep.exe", "wgrep.com"}, 6, 2},
        ChainCase{"1 to 3 to 6 to lowest", {"wgrep.com"}, 1, 5},
        ChainCase{"4 held by jgslim alone", {"jgslim.exe"}, 4, 4},
        ChainCase{"stored 0 reads as 1", {"cgrep.exe", "dgrep.exe"}, 0, 1},
        ChainCase{"stored 7 reads as 1", {"cgrep.exe", "dgrep.exe"}, 7, 1},
        ChainCase{"stored -3 reads as 1, then 1 to 3", {"izgrep.exe", "dgrep.exe"}, -3, 3},
        ChainCase{"absurd number reads as 1, then 1 to 3 to 6",
                  {"dgrep.exe", "ygrep.exe"},
                  123456789,
                  6}));

TEST(Detection, NoProgramAtAllEndsOnYgrepAndReports) {
    const Detection d = detectPrograms(filesPresent({}), 1);
    EXPECT_EQ(d.selected, YGREP); // 1 to 3 to 6, nothing among 1 ... 5
    EXPECT_EQ(d.foundCount, 0);
    EXPECT_TRUE(d.reportNoProgram);
    for (int k = 1; k <= 6; ++k)
        EXPECT_FALSE(d.available[static_cast<std::size_t>(k)]);
}

TEST(Detection, ExactlyOneProgramDisablesChoose) {
    const Detection d = detectPrograms(filesPresent({"wgrep.com"}), 1);
    EXPECT_EQ(d.foundCount, 1);
    EXPECT_FALSE(d.chooseEnabled);
    EXPECT_FALSE(d.reportNoProgram);
    EXPECT_EQ(d.selected, WGREP);
}

TEST(BaseNames, JgrepWinsOverJgslimAndJgslimStandsAlone) {
    EXPECT_EQ(fillBaseNames(filesPresent({"jgrep.exe", "jgslim.exe"}))[4], "JGREP");
    EXPECT_EQ(fillBaseNames(filesPresent({"jgslim.exe"}))[4], "JGSLIM");
    EXPECT_EQ(fillBaseNames(filesPresent({}))[4], "");
    const auto names = fillBaseNames(filesPresent({}));
    EXPECT_EQ(names[1], "CGREP");
    EXPECT_EQ(names[6], "YGREP");
    EXPECT_EQ(programFileFor(4, "JGSLIM"), "jgslim.exe");
    EXPECT_EQ(programFileFor(4, "JGREP"), "jgrep.exe");
    EXPECT_EQ(programFileFor(5, "WGREP"), "wgrep.com");
}

TEST(SelectNext, CyclesThroughAvailableProgramsOnly) {
    ProgramRegistry registry;
    registry.detect(filesPresent({"cgrep.exe", "izgrep.exe", "wgrep.com"}), 5);
    ASSERT_EQ(registry.selected(), 5);
    std::vector<int> visited;
    for (int click = 0; click < 3; ++click) {
        const auto next = registry.next();
        ASSERT_TRUE(next.has_value());
        registry.select(*next);
        visited.push_back(registry.selected());
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 3, 5}));
}

TEST(SelectNext, OnlyProgramFindsItselfAndNoneFindsNothing) {
    std::array<bool, 7> available{};
    EXPECT_FALSE(nextProgram(3, available).has_value());
    available[3] = true;
    EXPECT_EQ(nextProgram(3, available), 3);
    available[6] = true;
    EXPECT_EQ(nextProgram(6, available), 3);
}

TEST(WindowTitle, FullAndTinyMode) {
    EXPECT_EQ(windowTitle("CGREP", false, "whatever"), "CGREP Sondel");
    EXPECT_EQ(windowTitle("CGREP", true, "  *.TXT "), "CGREP < *.txt");
    EXPECT_EQ(windowTitle("JGREP", true, " C:\\Src\\*.C "), "JGREP < c:\\src\\*.c");
    // Only ASCII letters change case; Japanese text is left intact.
    EXPECT_EQ(windowTitle("WGREP", true, "資料/ABC*.Txt"), "WGREP < 資料/abc*.txt");
}
