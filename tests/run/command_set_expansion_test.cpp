// Command-set templates: the leading markers, the check for missing input, the
// line-break marker and the place-holder passes in their order.
#include "run/command_set.h"
#include "run/messages.h"

#include <gtest/gtest.h>

namespace talvo::run {
namespace {

TemplateInputs inputs(std::string templateText, std::string pattern = "abc",
                      std::string files = "*.c", int program = 1) {
    TemplateInputs in;
    in.templateText = std::move(templateText);
    in.editorPath = "/usr/bin/ed";
    in.programNumber = program;
    in.pattern = std::move(pattern);
    in.fileBoxText = std::move(files);
    return in;
}

std::string expanded(const TemplateInputs& in) {
    Expansion e = expandCommandSet(in);
    EXPECT_TRUE(e.kind == Expansion::Kind::Run || e.kind == Expansion::Kind::DirectLaunch);
    return e.text;
}

TEST(CommandSetExpansion, TheExampleTemplate) {
    EXPECT_EQ(expanded(inputs("CGREP.EXE -i $K $F > $R")),
              "CGREP.EXE -i -e abc *.c > RESULT00.TXT");
    EXPECT_EQ(expanded(inputs("JGREP.EXE $K $F -i > $R", "abc", "*.c", 4)),
              "JGREP.EXE abc *.c -i > RESULT00.TXT");
    EXPECT_EQ(expanded(inputs("x $k$f")), "x -e abc .c");
}

TEST(CommandSetExpansion, QuotingFollowsTheSelectedProgram) {
    EXPECT_EQ(expanded(inputs("CGREP.EXE $S $F", "abc", "*.c", 3)), "CGREP.EXE \"abc\" *.c");
    EXPECT_EQ(expanded(inputs("G $s", "a b")), "G \"a b\"");
    EXPECT_EQ(expanded(inputs("G $S>$R", "a>b")), "G \"a>b\">RESULT00.TXT");
}

TEST(CommandSetExpansion, KTakesTheNextCharacterAndSTakesNothing) {
    // "$F" is replaced first, so "$K" swallows the first character of the files.
    EXPECT_EQ(expanded(inputs("G $K$F")), "G -e abc .c");
    EXPECT_EQ(expanded(inputs("G $S$F")), "G abc*.c");
    // At the end of the text there is nothing to take.
    EXPECT_EQ(expanded(inputs("G $K")), "G -e abc ");
}

TEST(CommandSetExpansion, BothCasesAreReplacedAndInsertedTextIsNotRescanned) {
    EXPECT_EQ(expanded(inputs("A $K B $k C")), "A -e abc B -e abc C");
    EXPECT_EQ(expanded(inputs("A $K.", "$K")), "A -e $K ");
    // A later pass does see an earlier pass's text: a file box naming $R.
    EXPECT_EQ(expanded(inputs("G $F", "abc", "$R")), "G RESULT00.TXT");
    // Other letters after "$" are left alone.
    EXPECT_EQ(expanded(inputs("echo $X $$ $")), "echo $X $$ $");
}

TEST(CommandSetExpansion, MissingInputIsReported) {
    auto message = [](TemplateInputs in) {
        Expansion e = expandCommandSet(in);
        return e.kind == Expansion::Kind::MissingInput ? e.message : std::string("(ran)");
    };
    EXPECT_EQ(message(inputs("G $K", "  ")), kMessageNoPattern);
    EXPECT_EQ(message(inputs("G $s", "")), kMessageNoPattern);
    EXPECT_EQ(message(inputs("G $F", "abc", "")), kMessageNoFiles);
    EXPECT_EQ(message(inputs("G $k $K $S $f", "", "")), kMessageNoPatternNoFiles);
    EXPECT_EQ(message(inputs("G $R", "", "")), "(ran)");
}

TEST(CommandSetExpansion, DirectLaunchMarkers) {
    Expansion e = expandCommandSet(inputs("@notepad.exe", "", ""));
    EXPECT_EQ(e.kind, Expansion::Kind::DirectLaunch);
    EXPECT_EQ(e.text, "notepad.exe");

    e = expandCommandSet(inputs("$EDITOR X"));
    EXPECT_EQ(e.kind, Expansion::Kind::DirectLaunch);
    EXPECT_EQ(e.text, "/usr/bin/ed X");
    e = expandCommandSet(inputs("$EDITORX"));
    EXPECT_EQ(e.text, "/usr/bin/edX");

    // Direct launch is never refused for missing input.
    e = expandCommandSet(inputs("$EDITOR $R $F", "", ""));
    EXPECT_EQ(e.kind, Expansion::Kind::DirectLaunch);
    EXPECT_EQ(e.text, "/usr/bin/ed RESULT00.TXT ");

    // "$EDITOR" is case-sensitive and only counts at the front.
    e = expandCommandSet(inputs("$editor x"));
    EXPECT_EQ(e.kind, Expansion::Kind::Run);
    e = expandCommandSet(inputs(" @x"));
    EXPECT_EQ(e.kind, Expansion::Kind::Run);
}

TEST(CommandSetExpansion, AnEditorPathWithBlanksStaysOneWord) {
    auto in = inputs("$EDITOR $R");
    in.editorPath = "/opt/my editor/ed";
    EXPECT_EQ(expanded(in), "\"/opt/my editor/ed\" RESULT00.TXT");
}

TEST(CommandSetExpansion, LineBreakMarkersBecomeCrLf) {
    EXPECT_EQ(expanded(inputs("a[↓]b")), "a\r\nb");
    EXPECT_EQ(expanded(inputs("[↓][↓]x[↓")), "\r\n\r\nx[↓");
}

TEST(CommandSetExpansion, NarrowingNumbersMoveOnAndStopAtTheLimit) {
    auto in = inputs("G $K $F > $R");
    in.narrowing = true;
    in.currentResultName = "RESULT03.TXT";
    Expansion e = expandCommandSet(in);
    EXPECT_EQ(e.text, "G -e abc RESULT03.TXT > RESULT04.TXT");
    EXPECT_EQ(e.target.step, 4);

    in.currentResultName = "RESULT98.TXT";
    EXPECT_EQ(expandCommandSet(in).target.resultName, "RESULT99.TXT");
    // The step after 99 is refused, never RESULT100.TXT.
    in.currentResultName = "RESULT99.TXT";
    EXPECT_EQ(expandCommandSet(in).kind, Expansion::Kind::NarrowingLimit);
    in.templateText = "@x $R";
    EXPECT_EQ(expandCommandSet(in).kind, Expansion::Kind::NarrowingLimit);
}

TEST(CommandSetExpansion, KeyNamesTheSetAfterTheMenuItem) {
    EXPECT_EQ(commandLineKey(0), "コマンドライン[1]");
    EXPECT_EQ(commandLineKey(14), "コマンドライン[15]");
}

} // namespace
} // namespace talvo::run
