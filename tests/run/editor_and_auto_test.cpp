// The Editor and Auto operations: the result path as one argument with the
// program directory's case kept, the editor alone for an empty result, nothing
// after a failed or empty run, and the message for a missing editor.
#include "run/messages.h"
#include "tests/run/search_fixture.h"

#include <gtest/gtest.h>

namespace talvo::run::test {
namespace {

using Kind = platform::RecordedCall::Kind;

TEST(EditorAndAuto, AutoOpensTheResultInTheRecordedEditor) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.combo1->setEditText("abc");
    f.combo2->setEditText("a.txt");
    f.session->autoRun();
    auto starts = f.ui.of(Kind::Start);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].text, f.editor);
    EXPECT_EQ(starts[0].arguments,
              QStringList{QString::fromStdString(f.dir->file("RESULT00.TXT"))});
    EXPECT_TRUE(f.label1->text().startsWith("TIME "));
}

TEST(EditorAndAuto, AutoOpensNothingWhenNothingMatched) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.combo1->setEditText("zzz");
    f.combo2->setEditText("a.txt");
    f.session->autoRun();
    EXPECT_TRUE(f.ui.of(Kind::Start).empty());
    EXPECT_TRUE(f.label1->text().startsWith("No Lines Matched. TIME "));
}

TEST(EditorAndAuto, EditorDoesNothingBeforeASearchOrAfterACancel) {
    SearchFixture f;
    f.session->editor();
    EXPECT_TRUE(f.ui.calls.empty());

    f.session->requestEditBeforeRun();
    f.editAnswer.reset();
    f.grep("abc", "a.txt");
    f.session->editor();
    EXPECT_TRUE(f.ui.calls.empty());
}

TEST(EditorAndAuto, AnEmptyResultOpensTheEditorAlone) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.session->requestEditBeforeRun();
    // The run succeeds but writes an empty result that nobody reports.
    f.editAnswer = "CGREP.EXE -e abc a.txt > RESULT00.TXT";
    f.grep("abc", "a.txt");
    ASSERT_TRUE(f.session->runStatus());
    f.dir->write("RESULT00.TXT", "");
    f.session->editor();
    auto starts = f.ui.of(Kind::Start);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].arguments.isEmpty());
}

TEST(EditorAndAuto, AMissingEditorIsReported) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    ASSERT_TRUE(f.session->runStatus());
    for (QString editor : {QString(), QString("   "), QString::fromStdString(f.dir->file("gone")),
                           QString::fromStdString(f.dir->path())}) {
        f.ui.clear();
        f.editor = editor;
        f.session->editor();
        auto stops = f.ui.of(Kind::Stop);
        ASSERT_EQ(stops.size(), 1u) << editor.toStdString();
        EXPECT_EQ(stops[0].text, kMessageEditorMissing);
        EXPECT_TRUE(f.ui.of(Kind::Start).empty());
    }
    // Blanks around a configured path are not part of it.
    f.ui.clear();
    f.editor = "  " + QString::fromStdString(f.dir->file("editor")) + " ";
    f.session->editor();
    ASSERT_EQ(f.ui.of(Kind::Start).size(), 1u);
    EXPECT_EQ(f.ui.of(Kind::Start)[0].text, QString::fromStdString(f.dir->file("editor")));
}

TEST(EditorAndAuto, AnEditorThatCannotStartIsReported) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    f.ui.startSucceeds = false;
    f.session->editor();
    auto stops = f.ui.of(Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, kMessageProgramMissing);
}

} // namespace
} // namespace talvo::run::test
