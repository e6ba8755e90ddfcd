// Command sets run end to end: the template read from talvolst.ini, a
// two-line template running in order and opened like Auto, narrowing through
// a template, the messages for missing input, and the direct launches.
#include "platform/profile.h"
#include "run/command_set.h"
#include "run/messages.h"
#include "tests/run/search_fixture.h"

#include <gtest/gtest.h>

namespace talvo::run::test {
namespace {

using Kind = platform::RecordedCall::Kind;

void storeTemplate(const SearchFixture& f, int set, const std::string& text) {
    ASSERT_TRUE(platform::writeProfileString(f.dir->file("talvolst.ini"), kCommandSetSection,
                                             "コマンドライン[" + std::to_string(set) + "]", text));
}

std::string withoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

TEST(CommandSetRun, TwoLinesRunInOrderThenTheResultOpens) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\nxyz\n");
    storeTemplate(f, 2, "echo first> order.txt[↓]echo second>> order.txt[↓]CGREP.EXE $K $F > $R");
    f.combo1->setEditText("xyz");
    f.combo2->setEditText(" a.txt ");
    f.session->runCommandSet(1);

    EXPECT_EQ(f.session->commandLine(),
              "echo first> order.txt\r\necho second>> order.txt\r\nCGREP.EXE -e xyz a.txt > "
              "RESULT00.TXT");
    EXPECT_EQ(withoutCr(f.dir->read("order.txt")), "first\nsecond\n");
    EXPECT_NE(f.dir->read("RESULT00.TXT").find("xyz"), std::string::npos);
    EXPECT_EQ(f.window.windowTitle(), "CGREP - ");
    auto starts = f.ui.of(Kind::Start);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].arguments,
              QStringList{QString::fromStdString(f.dir->file("RESULT00.TXT"))});
}

TEST(CommandSetRun, AnEmptyResultIsReportedAndNotOpened) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    storeTemplate(f, 1, "CGREP.EXE $K $F > $R");
    f.combo1->setEditText("zzz");
    f.combo2->setEditText("a.txt");
    f.session->runCommandSet(0);
    EXPECT_EQ(f.label1->text(), "No Lines Matched");
    EXPECT_TRUE(f.ui.of(Kind::Start).empty());
}

TEST(CommandSetRun, ATemplateNarrowsThePreviousResult) {
    SearchFixture f;
    f.dir->write("a.txt", "abc 1\nabc 2\n");
    f.grep("abc", "a.txt");
    f.narrowing->setChecked(true);
    storeTemplate(f, 1, "CGREP.EXE $K $F > $R");
    f.combo1->setEditText("2");
    f.session->runCommandSet(0);
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e 2 RESULT00.TXT > RESULT01.TXT");
    EXPECT_EQ(f.session->narrowingStep(), 1);
    EXPECT_NE(f.dir->read("RESULT01.TXT").find("abc 2"), std::string::npos);
    EXPECT_EQ(f.dir->read("RESULT01.TXT").find("abc 1"), std::string::npos);
}

TEST(CommandSetRun, MissingInputStopsBeforeAnythingChanges) {
    SearchFixture f;
    storeTemplate(f, 1, "CGREP.EXE $K $F > $R");
    f.session->runCommandSet(0);
    auto stops = f.ui.of(Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, kMessageNoPatternNoFiles);
    EXPECT_FALSE(f.dir->exists("WWW.BAT"));
    EXPECT_EQ(f.combo1->count(), 0);
}

TEST(CommandSetRun, ALongTemplateIsCutTo499Bytes) {
    SearchFixture f;
    storeTemplate(f, 1, "echo " + std::string(600, 'x'));
    f.session->runCommandSet(0);
    EXPECT_EQ(f.session->commandLine().size(), 499);
}

TEST(CommandSetRun, DirectLaunches) {
    SearchFixture f;
    storeTemplate(f, 1, "@notepad.exe");
    storeTemplate(f, 2, "$EDITOR X");
    storeTemplate(f, 3, "$EDITOR $R");
    f.session->runCommandSet(0);
    f.session->runCommandSet(1);
    f.session->runCommandSet(2);
    auto starts = f.ui.of(Kind::Start);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].text, "notepad.exe");
    EXPECT_TRUE(starts[0].arguments.isEmpty());
    EXPECT_EQ(starts[1].text, f.editor);
    EXPECT_EQ(starts[1].arguments, QStringList{"X"});
    EXPECT_EQ(starts[2].text, f.editor);
    EXPECT_EQ(starts[2].arguments, QStringList{"RESULT00.TXT"});
    EXPECT_TRUE(f.ui.of(Kind::Stop).empty());
    // Nothing was run through the batch file and the status line is untouched.
    EXPECT_FALSE(f.dir->exists("WWW.BAT"));
    EXPECT_TRUE(f.label1->text().isEmpty());
}

TEST(CommandSetRun, DirectLaunchNeedsTheEditorAndAStartableProgram) {
    SearchFixture f;
    storeTemplate(f, 1, "@notepad.exe");
    f.editor = QString::fromStdString(f.dir->file("no-editor"));
    f.session->runCommandSet(0);
    ASSERT_EQ(f.ui.of(Kind::Stop).size(), 1u);
    EXPECT_EQ(f.ui.of(Kind::Stop)[0].text, kMessageEditorMissing);
    EXPECT_TRUE(f.ui.of(Kind::Start).empty());

    f.ui.clear();
    f.editor = QString::fromStdString(f.dir->file("editor"));
    f.ui.startSucceeds = false;
    f.session->runCommandSet(0);
    ASSERT_EQ(f.ui.of(Kind::Stop).size(), 1u);
    EXPECT_EQ(f.ui.of(Kind::Stop)[0].text, kMessageProgramMissing);
}

} // namespace
} // namespace talvo::run::test
