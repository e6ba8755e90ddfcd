// Narrowing end to end: a sequence of steps over the previous results and its
// clean-up, a step that finds nothing, the box ticked before any result, the
// limit of 99 steps, and a cancelled command-line editor during a sequence.
#include "run/messages.h"
#include "tests/run/search_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace talvo::run::test {
namespace {

using Kind = platform::RecordedCall::Kind;

constexpr const char* kLines = "abc 1\nabc 12\nabc 123\nxyz 123\n";

TEST(Narrowing, ThreeStepsThenUntickCleansUp) {
    SearchFixture f;
    f.dir->write("a.txt", kLines);
    f.grep("abc", "a.txt");
    ASSERT_TRUE(f.narrowing->isEnabled());
    f.narrowing->setChecked(true);

    f.grep("1", "a.txt");
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e 1 RESULT00.TXT > RESULT01.TXT");
    f.grep("12", "a.txt");
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e 12 RESULT01.TXT > RESULT02.TXT");
    f.grep("123", "a.txt");
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e 123 RESULT02.TXT > RESULT03.TXT");
    EXPECT_EQ(f.session->narrowingStep(), 3);
    EXPECT_EQ(f.session->currentResultName(), "RESULT03.TXT");
    EXPECT_NE(f.dir->read("RESULT03.TXT").find("abc 123"), std::string::npos);
    EXPECT_EQ(f.dir->read("RESULT03.TXT").find("xyz"), std::string::npos);
    EXPECT_EQ(f.window.windowTitle(), "CGREP - RESULT02.TXT");

    f.narrowing->setChecked(false);
    for (const char* name : {"RESULT01.TXT", "RESULT02.TXT", "RESULT03.TXT"})
        EXPECT_FALSE(f.dir->exists(name)) << name;
    EXPECT_TRUE(f.dir->exists("RESULT00.TXT"));
    EXPECT_FALSE(f.narrowing->isEnabled());
    EXPECT_EQ(f.session->narrowingStep(), 0);
    EXPECT_EQ(f.session->currentResultName(), "RESULT00.TXT");
    EXPECT_TRUE(f.ui.calls.empty());
}

TEST(Narrowing, AStepFindingNothingEndsTheSequence) {
    SearchFixture f;
    f.dir->write("a.txt", kLines);
    f.grep("abc", "a.txt");
    f.narrowing->setChecked(true);
    f.grep("12", "a.txt");
    ASSERT_TRUE(f.dir->exists("RESULT01.TXT"));

    f.grep("zzz", "a.txt");
    EXPECT_FALSE(f.dir->exists("RESULT01.TXT"));
    EXPECT_FALSE(f.dir->exists("RESULT02.TXT"));
    EXPECT_TRUE(f.label1->text().startsWith("No Lines Matched. TIME "));
    EXPECT_FALSE(f.narrowing->isChecked());
    EXPECT_FALSE(f.narrowing->isEnabled());
    EXPECT_EQ(f.session->narrowingStep(), 0);
    EXPECT_EQ(f.session->currentResultName(), "RESULT00.TXT");
}

TEST(Narrowing, TickingBeforeAUsableResultIsRefused) {
    SearchFixture f;
    f.narrowing->setEnabled(true);
    f.narrowing->setChecked(true);
    EXPECT_FALSE(f.narrowing->isChecked());
    auto stops = f.ui.of(Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, kMessageSearchFirst);

    // An empty RESULT00.TXT is no usable result either; unticking says nothing.
    f.dir->write("RESULT00.TXT", "");
    f.narrowing->setChecked(true);
    EXPECT_FALSE(f.narrowing->isChecked());
    EXPECT_EQ(f.ui.of(Kind::Stop).size(), 2u);

    f.dir->write("RESULT00.TXT", "abc\n");
    f.narrowing->setChecked(true);
    EXPECT_TRUE(f.narrowing->isChecked());
    EXPECT_EQ(f.ui.of(Kind::Stop).size(), 2u);
}

TEST(Narrowing, CancellingTheEditorKeepsTheStepBeforeThePress) {
    SearchFixture f;
    f.dir->write("a.txt", kLines);
    f.grep("abc", "a.txt");
    f.narrowing->setChecked(true);
    f.grep("1", "a.txt");
    ASSERT_EQ(f.session->currentResultName(), "RESULT01.TXT");

    f.session->requestEditBeforeRun();
    f.editAnswer.reset();
    f.grep("12", "a.txt");
    EXPECT_EQ(f.editCalls, 1);
    EXPECT_FALSE(f.session->runStatus());
    EXPECT_EQ(f.session->currentResultName(), "RESULT01.TXT");
    EXPECT_EQ(f.session->narrowingStep(), 1);
    EXPECT_FALSE(f.dir->exists("RESULT02.TXT"));

    // The next step carries on from the result that is still current, and the
    // request was used up.
    f.grep("12", "a.txt");
    EXPECT_EQ(f.editCalls, 1);
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e 12 RESULT01.TXT > RESULT02.TXT");
    EXPECT_TRUE(f.session->runStatus());
}

TEST(Narrowing, TheConfirmedEditorTextRunsTrimmed) {
    SearchFixture f;
    f.dir->write("a.txt", kLines);
    f.session->requestEditBeforeRun();
    f.editAnswer = "  CGREP.EXE -e xyz a.txt > RESULT00.TXT  ";
    f.grep("abc", "a.txt");
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e xyz a.txt > RESULT00.TXT");
    EXPECT_NE(f.dir->read("RESULT00.TXT").find("xyz 123"), std::string::npos);
    EXPECT_TRUE(f.session->runStatus());
}

TEST(Narrowing, TheHundredthStepIsRefusedAndEverythingCleanedUp) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    f.narrowing->setChecked(true);
    for (int step = 1; step <= 99; ++step) {
        f.grep("abc", "a.txt");
        ASSERT_EQ(f.session->narrowingStep(), step) << f.label1->text().toStdString();
    }
    ASSERT_TRUE(f.dir->exists("RESULT99.TXT"));
    f.ui.clear();

    f.grep("abc", "a.txt");
    auto stops = f.ui.of(Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, kMessageNarrowingLimit);
    EXPECT_FALSE(f.narrowing->isChecked());
    EXPECT_EQ(f.session->narrowingStep(), 0);
    EXPECT_EQ(f.session->currentResultName(), "RESULT00.TXT");
    EXPECT_FALSE(f.session->runStatus());
    EXPECT_FALSE(f.dir->exists("RESULT01.TXT"));
    EXPECT_FALSE(f.dir->exists("RESULT99.TXT"));
    EXPECT_FALSE(f.dir->exists("RESULT100.TXT"));
    EXPECT_TRUE(f.dir->exists("RESULT00.TXT"));
}

TEST(Narrowing, EachStepSearchesTheTextOfTheLinesAndKeepsTheirOrigins) {
    struct Program {
        QString base;
        int number;
        QString options; // line numbers, or the tag format
    };
    const std::vector<Program> programs{
        {"CGREP", 1, " -n"}, {"CGREP", 1, " -t"},    {"DGREP", 2, " -n"}, {"IZGREP", 3, " -n"},
        {"JGREP", 4, " -n"}, {"JGREP", 4, " -n-fn"}, {"WGREP", 5, " -n"}, {"YGREP", 6, " -t"},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE((program.base + program.options).toStdString());
        SearchFixture f;
        if (!f.realPrograms)
            GTEST_SKIP() << "the bundled programs do not run in this build";
        std::filesystem::create_directories(f.dir->file("src"));
        f.dir->write("src/a.c", "int src = 1;\nint value = 2;\nreturn src + value;\n");
        f.dir->write("src/b.c", "value here\n");
        f.base = program.base;
        f.program = program.number;
        f.options = program.options;
        f.grep("value", "src/*.c");
        ASSERT_TRUE(f.session->runStatus()) << f.label1->text().toStdString();
        const std::string first = f.dir->read("RESULT00.TXT");
        const bool tag = program.options != " -n";
        const std::string kept =
            tag ? "src/a.c(3): return src + value;\n" : "src/a.c:3:return src + value;\n";
        ASSERT_NE(first.find(kept), std::string::npos) << first;

        // Every line's path holds "src"; only one line's text does.
        f.narrowing->setChecked(true);
        f.grep("src", "src/*.c");
        EXPECT_EQ(f.dir->read("RESULT01.TXT"), kept);
        f.grep("return", "src/*.c");
        EXPECT_EQ(f.dir->read("RESULT02.TXT"), kept);
        // Nothing of the text matches the path and line number.
        f.grep("a\\.c", "src/*.c");
        EXPECT_TRUE(f.label1->text().startsWith("No Lines Matched"));
    }
}

} // namespace
} // namespace talvo::run::test
