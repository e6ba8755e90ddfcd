// Build option string over the option tables: individual flags in box order,
// the D/J/S sums, and ticked common boxes without a flag.
#include "grep/options.h"
#include "grep/programs.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace talvo::grep;

namespace {

std::string optionString(int program, std::initializer_list<int> ticked) {
    Ticks ticks{};
    for (int box : ticked)
        ticks[static_cast<std::size_t>(box)] = 1;
    return buildOptionString(programOptions(program), ticks);
}

} // namespace

TEST(OptionString, IndividualFlagsInBoxOrder) {
    EXPECT_EQ(optionString(CGREP, {2, 14}), " -i -C");
    EXPECT_EQ(optionString(JGREP, {12, 13}), " -k0-1 -k1-0");
    EXPECT_EQ(optionString(YGREP, {0, 15, 22}), " -a -C3 -S");
    EXPECT_EQ(optionString(JGREP, {18, 25}), " -\\/【/】 -^-5");
    EXPECT_EQ(optionString(DGREP, {16, 18}), " -z -\\");
}

TEST(OptionString, SumsFollowTheIndividualFlags) {
    EXPECT_EQ(optionString(WGREP, {1, 12, 14, 17, 20, 21}), " -c -h1 -d9 -j3");
    EXPECT_EQ(optionString(WGREP, {12, 13, 14, 15}), " -d27");
    EXPECT_EQ(optionString(WGREP, {24, 26, 23}), " -j8 -s5");
    EXPECT_EQ(optionString(DGREP, {12, 14}), " -J5");
    EXPECT_EQ(optionString(DGREP, {12, 13, 14, 17}), " -a -J7");
}

TEST(OptionString, NothingContributingGivesTheEmptyString) {
    EXPECT_EQ(optionString(WGREP, {}), "");
    EXPECT_EQ(optionString(WGREP, {1}), " -c");
    // Start-up boxes, IZGREP's flagless box 14 and unused boxes add nothing.
    EXPECT_EQ(optionString(IZGREP, {10, 11, 14, 20}), "");
    EXPECT_EQ(optionString(CGREP, {27}), "");
}

TEST(OptionString, TickedCommonBoxWithoutFlagGivesALoneBlank) {
    EXPECT_EQ(optionString(IZGREP, {5}), " ");
    EXPECT_EQ(optionString(IZGREP, {1, 5, 8}), " -c  -v");
    EXPECT_EQ(optionString(DGREP, {0}), " ");
}

TEST(OptionString, ATickOtherThanOneDoesNotCount) {
    Ticks ticks{};
    ticks[2] = 2;
    ticks[14] = -1;
    EXPECT_EQ(buildOptionString(programOptions(CGREP), ticks), "");
}
