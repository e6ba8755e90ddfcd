// Apply program over the plain option-box state: captions, stored ticks,
// group labels, disabling and clearing of unused boxes, page-wise enabling.
#include "grep/options.h"
#include "grep/programs.h"

#include <gtest/gtest.h>

#include <map>

using namespace talvo::grep;

namespace {

StoredTick stored(std::map<std::string, int> values) {
    return [values = std::move(values)](std::string_view key) {
        auto it = values.find(std::string(key));
        return tickFromStored(it == values.end() ? 0 : it->second);
    };
}

StoredTick nothingStored() {
    return stored({});
}

OptionBoxes allTicked() {
    OptionBoxes state = initialBoxes();
    for (auto& box : state.boxes)
        box.tick = 1;
    return state;
}

} // namespace

TEST(ApplyProgram, CaptionsFollowTheKeyRuleOrTheLiteralText) {
    OptionBoxes state = initialBoxes();
    applyProgram(state, programOptions(CGREP), nothingStored(), 0);
    EXPECT_EQ(state.boxes[12].caption, "一致行の後１行(&0)");
    EXPECT_EQ(state.boxes[23].caption, "検索ﾊﾟﾀｰﾝと全行が適合(&3)");
    EXPECT_EQ(state.boxes[2].caption, "英小･大文字の同一視(&2)");

    applyProgram(state, programOptions(DGREP), nothingStored(), 0);
    EXPECT_EQ(state.boxes[13].caption, "全角ひらがなと全角ｶﾀｶﾅ(&1)");
    EXPECT_EQ(state.boxes[18].caption, "ファイル名をフルパス(&5)");
    EXPECT_EQ(state.boxes[15].caption, "");
    EXPECT_EQ(state.boxes[19].caption, "");
    EXPECT_EQ(state.groupLabels[0], " -J: 日本語同一視（複数可）");

    applyProgram(state, programOptions(JGREP), nothingStored(), 0);
    EXPECT_EQ(state.boxes[25].caption, "１バス５回(&5)");
}

TEST(ApplyProgram, GroupLabelsAndTheirStyles) {
    OptionBoxes state = initialBoxes();
    applyProgram(state, programOptions(WGREP), nothingStored(), 0);
    EXPECT_EQ(state.groupLabels[0], " -d: 表示形式（複数可）");
    EXPECT_EQ(state.groupLabels[1], " -h: ヘッダ表示条件");
    EXPECT_EQ(state.groupLabels[2], " -j: 同一視する文字種");
    EXPECT_EQ(state.groupLabels[3], " -s: 改行･タブ･スペース無視");
    EXPECT_EQ(state.groupFramed, (std::array<bool, 3>{true, true, true}));

    applyProgram(state, programOptions(IZGREP), nothingStored(), 0);
    EXPECT_EQ(state.groupLabels[0], "その他");
    EXPECT_EQ(state.groupLabels[1], "");
    EXPECT_EQ(state.groupLabels[2], "未使用");
    EXPECT_EQ(state.groupFramed, (std::array<bool, 3>{false, true, false}));
}

TEST(ApplyProgram, UnusedBoxesAreClearedWhateverWasTicked) {
    OptionBoxes state = allTicked();
    applyProgram(state, programOptions(WGREP), stored({{"表示形式 ファイル名小文字表示", 1}}), 0);
    EXPECT_EQ(state.boxes[27].tick, 0);
    EXPECT_FALSE(state.boxes[27].enabled);
    EXPECT_EQ(state.boxes[27].caption, "");
    EXPECT_EQ(state.boxes[12].tick, 1);
    EXPECT_EQ(state.boxes[13].tick, 0); // read from the (empty) section

    state = allTicked();
    applyProgram(state, programOptions(CGREP), nothingStored(), 0);
    for (int i = 24; i <= 27; ++i) {
        EXPECT_EQ(state.boxes[static_cast<std::size_t>(i)].tick, 0) << i;
        EXPECT_FALSE(state.boxes[static_cast<std::size_t>(i)].enabled) << i;
        EXPECT_EQ(state.boxes[static_cast<std::size_t>(i)].caption, "") << i;
    }
}

TEST(ApplyProgram, UnsupportedCommonBoxKeepsItsTickWhileDisabled) {
    OptionBoxes state = initialBoxes();
    state.boxes[5].tick = 1;
    state.boxes[10].tick = 1;
    applyProgram(state, programOptions(IZGREP), nothingStored(), 0);
    EXPECT_EQ(state.boxes[5].tick, 1);
    EXPECT_FALSE(state.boxes[5].enabled);
    EXPECT_EQ(state.boxes[5].caption, "正規表現未使用(&5)");
    EXPECT_EQ(state.boxes[10].tick, 1); // start-up boxes untouched
    EXPECT_EQ(buildOptionString(programOptions(IZGREP), ticksOf(state)), " ");

    // The next program supports it again: re-enabled on the page shown.
    applyProgram(state, programOptions(JGREP), nothingStored(), 0);
    EXPECT_TRUE(state.boxes[5].enabled);
    EXPECT_FALSE(state.boxes[0].enabled);
}

TEST(ApplyProgram, EnablesOnlyTheBoxesOfThePageShown) {
    OptionBoxes state = initialBoxes();
    applyProgram(state, programOptions(IZGREP), nothingStored(), 0);
    ASSERT_FALSE(state.boxes[20].enabled);
    ASSERT_FALSE(state.boxes[16].enabled);
    applyProgram(state, programOptions(YGREP), nothingStored(), 2);
    for (int i = 20; i <= 22; ++i)
        EXPECT_TRUE(state.boxes[static_cast<std::size_t>(i)].enabled) << i;
    EXPECT_FALSE(state.boxes[23].enabled);
    EXPECT_FALSE(state.boxes[16].enabled); // page 1 settles when it is shown
}

TEST(ApplyProgram, StoredTicksOtherThanOneReadAsClear) {
    OptionBoxes state = initialBoxes();
    applyProgram(state, programOptions(CGREP),
                 stored({{"前後表示 一致行の後１行", 2},
                         {"前後表示 一致行の前１行", -1},
                         {"その他 改行無視", 1}}),
                 0);
    EXPECT_EQ(state.boxes[12].tick, 0);
    EXPECT_EQ(state.boxes[13].tick, 0);
    EXPECT_EQ(state.boxes[16].tick, 1);
}

TEST(ApplyProgram, FlagTableFollowsTheProgram) {
    OptionBoxes state = initialBoxes();
    applyProgram(state, programOptions(WGREP), nothingStored(), 0);
    EXPECT_EQ(state.flags[5], "-r");
    EXPECT_EQ(state.flags[12], "-d");
    EXPECT_EQ(state.flags[20], "-j");
    EXPECT_EQ(state.flags[24], "-s");
    EXPECT_EQ(state.flags[27], "");
    applyProgram(state, programOptions(DGREP), nothingStored(), 0);
    EXPECT_EQ(state.flags[0], "");
    EXPECT_EQ(state.flags[7], "-s");
    EXPECT_EQ(state.flags[12], "-J");
    EXPECT_EQ(state.flags[20], "");
}

TEST(OptionTables, DisabledCommonBoxesAreExactlyThoseWithoutAFlag) {
    // A consistency check of the data: a program lacks a common option exactly
    // when the option's box is on its disabled-only list.
    for (int n = 1; n <= 6; ++n) {
        const ProgramOptions& p = programOptions(n);
        for (const CommonOption& option : commonOptions()) {
            const bool listed = std::find(p.disabledOnly.begin(), p.disabledOnly.end(),
                                          option.box) != p.disabledOnly.end();
            EXPECT_EQ(listed, option.flags[static_cast<std::size_t>(n)].empty())
                << "program " << n << " box " << option.box;
        }
        for (std::size_t k = 1; k < p.options.size(); ++k)
            EXPECT_LT(p.options[k - 1].box, p.options[k].box) << "program " << n;
    }
}
