// Texts of the command sets: menu captions, the line-break marker both ways,
// blank trimming and the template stored for the current search.
#include "commandsets/command_set_text.h"

#include <gtest/gtest.h>

using namespace talvo::commandsets;

TEST(MenuCaptionTest, AccessCharactersRunFromDigitsToZeroToLetters) {
    EXPECT_EQ(menuCaption(1, "grep-c"), "&1: grep-c");
    EXPECT_EQ(menuCaption(9, "nine"), "&9: nine");
    EXPECT_EQ(menuCaption(10, "ten"), "&0: ten");
    EXPECT_EQ(menuCaption(11, "eleven"), "&A: eleven");
    EXPECT_EQ(menuCaption(12, "abc"), "&B: abc");
    EXPECT_EQ(menuCaption(15, "last"), "&E: last");
}

TEST(MenuCaptionTest, NameIsTrimmedOfSpacesOnly) {
    EXPECT_EQ(menuCaption(2, "  x y  "), "&2: x y");
    EXPECT_EQ(menuCaption(2, "\tx\t"), "&2: \tx\t");
    EXPECT_EQ(menuCaption(2, "　x　"), "&2: 　x　"); // full-width blanks stay
}

TEST(KeyNameTest, SetNumbersWithoutPadding) {
    EXPECT_EQ(nameKey(1), "名前[1]");
    EXPECT_EQ(commandLineKey(15), "コマンドライン[15]");
}

TEST(LineBreakMarkerTest, TwoLinesBecomeOneStoredLineAndBack) {
    EXPECT_EQ(lineBreaksToMarkers("a\r\nb"), "a[↓]b");
    EXPECT_EQ(lineBreaksToMarkers("a\nb"), "a[↓]b");
    EXPECT_EQ(markersToLineBreaks("a[↓]b"), "a\r\nb");
    EXPECT_EQ(markersToLineBreaks("a[↓]b", "\n"), "a\nb");
    EXPECT_EQ(markersToLineBreaks("[↓][↓]x[↓]"), "\r\n\r\nx\r\n");
}

TEST(LineBreakMarkerTest, TrailingLineBreakIsKeptAndBlanksAroundTheTextGo) {
    EXPECT_EQ(lineBreaksToMarkers("a\r\n"), "a[↓]");
    EXPECT_EQ(lineBreaksToMarkers("  a\r\n b  "), "a[↓] b");
    EXPECT_EQ(markersToLineBreaks("  a[↓]  "), "a\r\n");
}

TEST(LineBreakMarkerTest, NoCharacterBesideALoneLineBreakIsLost) {
    // A lone LF or CR is a line break of its own; it never eats its neighbour.
    EXPECT_EQ(lineBreaksToMarkers("ab\ncd"), "ab[↓]cd");
    EXPECT_EQ(lineBreaksToMarkers("ab\rcd"), "ab[↓]cd");
    EXPECT_EQ(lineBreaksToMarkers("a\n\r\nb"), "a[↓][↓]b");
}

TEST(StoredNameTest, LineBreaksBecomeBlanksAndBlanksAreTrimmed) {
    EXPECT_EQ(nameToStore("  one\ntwo "), "one two");
    EXPECT_EQ(nameToStore("   "), "");
}

TEST(BlankTest, OnlySpacesCountAsBlank) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank("   "));
    EXPECT_FALSE(isBlank(" \t "));
    EXPECT_FALSE(isBlank("　"));
}

TEST(StoredSearchTemplateTest, ProgramFileNameAndLayoutFollowTheProgram) {
    EXPECT_EQ(storedSearchTemplate(1, "CGREP", " -i -n"), "CGREP.EXE  -i -n $K $F > RESULT00.TXT");
    EXPECT_EQ(storedSearchTemplate(1, "CGREP", ""), "CGREP.EXE  $K $F > RESULT00.TXT");
    EXPECT_EQ(storedSearchTemplate(5, "WGREP", " -i"), "WGREP.COM  -i $K $F > RESULT00.TXT");
    EXPECT_EQ(storedSearchTemplate(4, "JGREP", " -i"), "JGREP.EXE  $K $F -i > RESULT00.TXT");
    EXPECT_EQ(storedSearchTemplate(4, "JGSLIM", " -i"), "JGSLIM.EXE  $K $F -i > RESULT00.TXT");
    EXPECT_EQ(storedSearchTemplate(6, "YGREP", ""), "YGREP.EXE  $K $F > RESULT00.TXT");
}
