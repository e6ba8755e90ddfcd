// The fixed command line: program file names, the two layouts, pattern
// quoting per program (with the redirection and quote cases that must not
// reach the interpreter raw) and the narrowing numbering with its limit.
#include "run/command_line.h"

#include <gtest/gtest.h>

namespace talvo::run {
namespace {

FixedLineInputs search(int program, std::string base, std::string options, std::string pattern,
                       std::string files) {
    FixedLineInputs in;
    in.programNumber = program;
    in.baseName = std::move(base);
    in.optionString = std::move(options);
    in.pattern = std::move(pattern);
    in.fileBoxText = std::move(files);
    return in;
}

std::string lineOf(const FixedLineInputs& in) {
    auto line = buildFixedCommandLine(in);
    EXPECT_TRUE(line.has_value());
    return line ? line->commandLine : std::string();
}

TEST(FixedCommandLine, TheFourLayoutsOfANormalSearch) {
    EXPECT_EQ(lineOf(search(1, "CGREP", " -i", "abc", "*.c")),
              "CGREP.EXE -i -e abc *.c > RESULT00.TXT");
    EXPECT_EQ(lineOf(search(4, "JGREP", " -i", "abc", "*.c")),
              "JGREP.EXE abc *.c -i > RESULT00.TXT");
    EXPECT_EQ(lineOf(search(5, "WGREP", " -i", "abc", "*.c")),
              "WGREP.COM  -i -e abc *.c > RESULT00.TXT");
    EXPECT_EQ(lineOf(search(3, "IZGREP", " -i", "abc", "*.c")),
              "IZGREP.EXE -i -e \"abc\" *.c > RESULT00.TXT");
    EXPECT_EQ(lineOf(search(4, "JGSLIM", "", "abc", "*.c")), "JGSLIM.EXE abc *.c > RESULT00.TXT");
}

TEST(FixedCommandLine, EmptyBoxesAreNotChecked) {
    EXPECT_EQ(lineOf(search(1, "CGREP", "", "", "")), "CGREP.EXE -e   > RESULT00.TXT");
}

TEST(PatternQuoting, BlankAndBarQuoteUnlessTheUserWroteDashE) {
    EXPECT_EQ(quotePattern(1, "a b"), "\"a b\"");
    EXPECT_EQ(quotePattern(1, "abc\\|def"), "\"abc\\|def\"");
    EXPECT_EQ(quotePattern(1, "abc -e def"), "abc -e def");
    EXPECT_EQ(quotePattern(6, "abc"), "abc");
    // The test is case-sensitive.
    EXPECT_EQ(quotePattern(1, "abc -E def"), "\"abc -E def\"");
}

TEST(PatternQuoting, IzgrepQuotesEverythingButDashS) {
    EXPECT_EQ(quotePattern(3, ""), "\"\"");
    EXPECT_EQ(quotePattern(3, "abc"), "\"abc\"");
    EXPECT_EQ(quotePattern(3, "foo -s bar"), "foo -s bar");
    // " -e " is no exemption for IZGREP.
    EXPECT_EQ(quotePattern(3, "a -e b"), "\"a -e b\"");
}

TEST(PatternQuoting, RedirectionCharactersAreQuoted) {
    // Unquoted, a>b would send the result into a file named b.
    EXPECT_EQ(quotePattern(1, "a>b"), "\"a>b\"");
    EXPECT_EQ(quotePattern(1, "a<b"), "\"a<b\"");
    EXPECT_EQ(quotePattern(5, ">>"), "\">>\"");
    EXPECT_EQ(lineOf(search(1, "CGREP", "", "a>b", "*.c")),
              "CGREP.EXE -e \"a>b\" *.c > RESULT00.TXT");
}

TEST(PatternQuoting, QuotesInsideAreEscapedSoTheyCannotEndTheQuoting) {
    EXPECT_EQ(quotePattern(1, "say \"hi\""), "\"say \\\"hi\\\"\"");
    // A lone quote would otherwise swallow the redirection that follows it.
    EXPECT_EQ(quotePattern(1, "a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(quotePattern(3, "\""), "\"\\\"\"");
    // The user's own command-line text stays as written.
    EXPECT_EQ(quotePattern(1, "\"x y\" -e z"), "\"x y\" -e z");
}

TEST(PatternQuoting, BackslashesBeforeAQuoteAreDoubledAndTheQuoteEscaped) {
    EXPECT_EQ(quotePattern(1, "\\\"hi"), "\"\\\\\\\"hi\"");
    EXPECT_EQ(lineOf(search(1, "CGREP", "", "temp\\ here\\", "data/*.txt")),
              "CGREP.EXE -e \"temp\\ here\\\\\" data/*.txt > RESULT00.TXT");
    EXPECT_EQ(quotePattern(3, "dir\\"), "\"dir\\\\\"");
    // Backslashes elsewhere and in unquoted patterns stay as typed.
    EXPECT_EQ(quotePattern(1, "a\\b"), "a\\b");
    EXPECT_EQ(quotePattern(1, "a\\"), "a\\");
}

TEST(PatternQuoting, LineBreaksInABoxCannotStartAnotherCommand) {
    EXPECT_EQ(lineOf(search(1, "CGREP", "", "a\r\ndel x", "*.c")),
              "CGREP.EXE -e \"a  del x\" *.c > RESULT00.TXT");
}

TEST(NarrowingNumbering, StepsFollowThePreviousResult) {
    auto in = search(1, "CGREP", " -i", "abc", "*.c");
    in.narrowing = true;
    in.currentResultName = "RESULT01.TXT";
    auto line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->commandLine, "CGREP.EXE -i -e abc RESULT01.TXT > RESULT02.TXT");
    EXPECT_EQ(line->target.resultName, "RESULT02.TXT");
    EXPECT_EQ(line->target.step, 2);

    in.currentResultName = "RESULT00.TXT";
    line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->commandLine, "CGREP.EXE -i -e abc RESULT00.TXT > RESULT01.TXT");
}

TEST(NarrowingNumbering, ANormalSearchResetsToResult00) {
    auto in = search(4, "JGREP", "", "abc", "*.c");
    in.currentResultName = "RESULT07.TXT";
    auto line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->target.resultName, "RESULT00.TXT");
    EXPECT_EQ(line->target.step, 0);
    EXPECT_EQ(line->target.targetFiles, "*.c");
}

TEST(NarrowingNumbering, NinetyEightToNinetyNineThenTheLimit) {
    auto in = search(1, "CGREP", "", "abc", "*.c");
    in.narrowing = true;
    in.currentResultName = "RESULT98.TXT";
    auto line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->commandLine, "CGREP.EXE -e abc RESULT98.TXT > RESULT99.TXT");
    in.currentResultName = line->target.resultName;
    EXPECT_FALSE(buildFixedCommandLine(in));
}

TEST(NarrowingNumbering, DigitsAreReadFromBeforeTheExtension) {
    EXPECT_EQ(narrowingValue("RESULT03.TXT"), 3);
    EXPECT_EQ(narrowingValue("RESULT99.TXT"), 99);
    EXPECT_EQ(narrowingValue("RESULT100.TXT"), 0); // "00"
    EXPECT_EQ(narrowingValue("RESULT5x.TXT"), 5);
    EXPECT_EQ(narrowingValue("RESULTxx.TXT"), 0);
    EXPECT_EQ(narrowingValue("X"), 0);
    EXPECT_EQ(resultFileName(7), "RESULT07.TXT");
}

} // namespace
} // namespace talvo::run
