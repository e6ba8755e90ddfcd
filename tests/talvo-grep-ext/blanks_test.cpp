// Blanks and line breaks between the pattern's characters: tabs, spaces
// (full-width ones too), all blanks, and matches across line breaks.
#include <gtest/gtest.h>

#include "talvo-grep/ext/equivalence.h"
#include "tests/talvo-grep-ext/pcre_match.h"

using talvo::grep::ext::Blanks;
using talvo::grep::ext::blanksFromWeights;
using talvo::grep::ext::Equivalences;
using talvo::grep::ext::rewritePattern;
using talvo::test::CompiledRegex;

namespace {

std::string found(std::string_view pattern, std::string_view text, const Blanks& blanks,
                  bool regex = false, const Equivalences& eq = {}) {
    CompiledRegex re(rewritePattern(pattern, regex, eq, blanks));
    EXPECT_TRUE(re.ok()) << re.error();
    return re.find(text).value_or("");
}

} // namespace

TEST(Blanks, SpacesIgnoredFullWidthToo) {
    const Blanks spaces = blanksFromWeights(4);
    EXPECT_EQ(found("検索対象", "の検索　対象を", spaces), "検索　対象");
    EXPECT_EQ(found("検索対象", "検 索  対象", spaces), "検 索  対象");
    EXPECT_EQ(found("検索対象", "検索\t対象", spaces), "") << "tabs still count";
    EXPECT_EQ(found("foo bar", "foobar", spaces), "foobar") << "pattern blanks are not compared";
    EXPECT_EQ(found(" ", "a b", spaces), " ") << "a pattern of blanks only is kept";
}

TEST(Blanks, TabsIgnored) {
    const Blanks tabs = blanksFromWeights(2);
    EXPECT_EQ(found("ab", "a\t\tb", tabs), "a\t\tb");
    EXPECT_EQ(found("ab", "a b", tabs), "");
    EXPECT_EQ(found("ab", "a\t \tb", blanksFromWeights(6)), "a\t \tb");
}

TEST(Blanks, AllBlanksAndLineBreaksIgnored) {
    const Blanks all{.ignoreAllBlanks = true};
    EXPECT_EQ(found("foobar", "foo\r\n  \tbar", all), "foo\r\n  \tbar");
    EXPECT_EQ(found("日本語", "日\n\n本　語", all), "日\n\n本　語");
    EXPECT_EQ(found("日本語", "日x本語", all), "");
}

TEST(Blanks, AcrossOneLineBreak) {
    const Blanks across{.acrossLineBreaks = true};
    EXPECT_EQ(found("ファイル", "ファ\nイル", across), "ファ\nイル");
    EXPECT_EQ(found("ファイル", "ファ\r\nイル", across), "ファ\r\nイル");
    EXPECT_EQ(found("ファイル", "ファ\n\nイル", across), "") << "a blank line ends the text";
    EXPECT_EQ(found("ファイル", "ファ イル", across), "") << "spaces still count";
    // At the very end of the text.
    EXPECT_EQ(found("end", "the e\nnd", across), "e\nnd");
    EXPECT_EQ(found("ファイル", "ファ\n イル", blanksFromWeights(5)), "ファ\n イル");
}

TEST(Blanks, GapsGoBetweenItemsNotInsideRepetitions) {
    const Blanks spaces = blanksFromWeights(4);
    EXPECT_EQ(found("ab+c", "a bb c", spaces, true), "a bb c");
    EXPECT_EQ(found("ab+c", "a b b c", spaces, true), "");
    EXPECT_EQ(found("^ab$", "a b", spaces, true), "a b");
    EXPECT_EQ(found("(ab|cd)e", "c d e", spaces, true), "c d e");
    EXPECT_EQ(found("a[0-9]b", "a 5 b", spaces, true), "a 5 b");
}

TEST(Blanks, CombineWithEquivalences) {
    const Equivalences wk = talvo::grep::ext::equivalencesFromWeights(3);
    EXPECT_EQ(found("ﾌｧｲﾙ", "ふぁ\r\nいる", blanksFromWeights(1), false, wk), "ふぁ\r\nいる");
    EXPECT_EQ(found("ﾊﾞｲｵﾘﾝ", "バ　イオ リン", blanksFromWeights(4), false, wk), "バ　イオ リン");
}
