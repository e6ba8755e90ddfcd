// The result window on the offscreen platform: Enter and a double click start
// the editor (a stand-in that writes down its arguments) with the template's
// arguments for the chosen line; typing filters; a second start for the same
// result hands it to the open window.
#include "talvo-view/editor_command.h"
#include "talvo-view/single_window.h"
#include "talvo-view/view_window.h"

#include "tests/support/program_dir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using talvo::test::ProgramDir;
using talvo::view::ViewWindow;

namespace {

class ViewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The stand-in writes one argument a line, then renames, so a reader never
        // sees half a file.
        dir_.write("editor.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > "
                                "\"$(dirname \"$0\")/args.tmp\"\nmv \"$(dirname \"$0\")/args.tmp\" "
                                "\"$(dirname \"$0\")/args.txt\"\n");
        chmod(dir_.file("editor.sh").c_str(), 0755);
        dir_.write("talvo.ini", "[結果ビュー]\r\nエディタコマンド=" + dir_.file("editor.sh") +
                                    " \"{path}\" {line} {column}\r\n");
    }
    std::unique_ptr<ViewWindow> open(const std::string& text) {
        dir_.write("RESULT00.TXT", text);
        auto w = std::make_unique<ViewWindow>(dir_.file("RESULT00.TXT"), dir_.file("talvo.ini"));
        w->rows().wait();
        w->show();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return w->model()->rowCount() == static_cast<int>(w->rows().size()); }));
        return w;
    }
    std::string editorArguments() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dir_.exists("args.txt"); }));
        std::string args = dir_.read("args.txt");
        dir_.remove("args.txt");
        return args;
    }
    QStringList shownTexts(ViewWindow& w) {
        QStringList texts;
        for (int i = 0; i < w.model()->rowCount(); ++i)
            texts << w.model()->index(i).data().toString();
        return texts;
    }
    ProgramDir dir_;
};

} // namespace

TEST_F(ViewWindowTest, EnterOpensTheLinesFileAtItsLineAndColumn) {
    auto w = open("sub dir/a.c:12:int 【x】 = 1;\nb.c:3:other\n");
    EXPECT_EQ(w->editorCommand().toStdString(),
              dir_.file("editor.sh") + " \"{path}\" {line} {column}");
    // The first line, under its heading, is the current one.
    EXPECT_EQ(w->list()->currentRow(), 1);
    QTest::keyClick(w->list(), Qt::Key_Return);
    EXPECT_EQ(editorArguments(), dir_.file("sub dir/a.c") + "\n12\n5\n");

    const QModelIndex b = w->model()->index(3);
    ASSERT_EQ(b.data().toString(), "other");
    w->list()->scrollTo(3);
    const QPoint at = w->list()->rowRect(3).center();
    // A double click as the window system delivers it: a click, then a second
    // press that arrives as the double click.
    QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->list()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(editorArguments(), dir_.file("b.c") + "\n3\n1\n");
}

TEST_F(ViewWindowTest, TypingFiltersTheLinesAndEnterJumpsFromTheFilter) {
    auto w = open("a.c:1:apple\na.c:2:banana\nb.c:7:cherry banana\n");
    EXPECT_EQ(shownTexts(*w), (QStringList{"a.c", "apple", "banana", "b.c", "cherry banana"}));
    QTest::keyClicks(w->list(), "nan");
    EXPECT_EQ(w->filterBox()->text(), "nan");
    w->rows().wait();
    QTRY_COMPARE(shownTexts(*w), (QStringList{"a.c", "banana", "b.c", "cherry banana"}));
    QTest::keyClick(w->filterBox(), Qt::Key_Down);
    QTest::keyClick(w->filterBox(), Qt::Key_Down);
    QTest::keyClick(w->filterBox(), Qt::Key_Return);
    EXPECT_EQ(editorArguments(), dir_.file("b.c") + "\n7\n1\n");
}

TEST_F(ViewWindowTest, AChosenEditorIsKeptAndALineWithoutAFileIsReported) {
    auto w = open("plain text without origin\n");
    w->editorBox()->setEditText("other-editor {path}");
    QTest::keyClick(w->editorBox(), Qt::Key_Return);
    EXPECT_EQ(talvo::view::loadCommand(dir_.file("talvo.ini")), "other-editor {path}");
    EXPECT_FALSE(w->jumpTo(0));
    EXPECT_FALSE(dir_.exists("args.txt"));
}

TEST_F(ViewWindowTest, ReloadReadsTheRewrittenResult) {
    auto w = open("a.c:1:one\n");
    dir_.write("RESULT00.TXT", "a.c:1:one\na.c:2:two\nc.c:3:three\n");
    w->reload();
    w->rows().wait();
    QTRY_COMPARE(shownTexts(*w), (QStringList{"a.c", "one", "two", "c.c", "three"}));
}

TEST_F(ViewWindowTest, ASecondStartForTheSameResultHandsItToTheOpenWindow) {
    dir_.write("RESULT00.TXT", "a.c:1:one\n");
    QProcess first;
    first.setProgram(QString::fromStdString(talvo::test::buildProgram("talvo-view")));
    first.setArguments({QString::fromStdString(dir_.file("RESULT00.TXT"))});
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    // The window listens once it is up.
    const QString name =
        talvo::view::windowServerName(QString::fromStdString(dir_.file("RESULT00.TXT")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QLocalSocket probe;
            probe.connectToServer(name);
            return probe.waitForConnected(100);
        },
        60000));
    QProcess second;
    second.start(first.program(), first.arguments());
    const bool handedOver = second.waitForFinished(60000) && second.exitCode() == 0;
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}
