// One "&Grep" press end to end: the batch file, the run, the status line, the
// Narrowing box, the caption and the histories; a pattern with redirection
// characters or quotes reaching the grep program as typed; a failed start.
#include "run/busy_window.h"
#include "run/messages.h"
#include "tests/run/search_fixture.h"

#include "platform/units.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace talvo::run::test {
namespace {

using Kind = platform::RecordedCall::Kind;

bool isTimeStatus(const QString& text, const QString& prefix) {
    return QRegularExpression("^" + QRegularExpression::escape(prefix) + "\\d\\d:\\d\\d:\\d\\d$")
        .match(text)
        .hasMatch();
}

TEST(SearchOutcome, AMatchingSearchReportsTheTimeAndEnablesNarrowing) {
    SearchFixture f;
    f.dir->write("a.txt", "abc 1\nxyz\nabc 2\n");
    f.grep("abc", "a.txt");

    EXPECT_TRUE(isTimeStatus(f.label1->text(), "TIME ")) << f.label1->text().toStdString();
    EXPECT_TRUE(f.narrowing->isEnabled());
    EXPECT_TRUE(f.session->runStatus());
    EXPECT_EQ(f.session->currentResultName(), "RESULT00.TXT");
    EXPECT_EQ(f.window.windowTitle(), "CGREP - a.txt");
    EXPECT_EQ(f.session->commandLine(), "CGREP.EXE -e abc a.txt > RESULT00.TXT");
    EXPECT_FALSE(f.dir->exists("XXX.BAT"));

    const std::string result = f.dir->read("RESULT00.TXT");
    EXPECT_NE(result.find("abc 1"), std::string::npos);
    EXPECT_NE(result.find("abc 2"), std::string::npos);
    EXPECT_EQ(result.find("xyz"), std::string::npos);
    if (f.realPrograms) {
        // The same lines as the grep program run directly with that command line.
        auto direct = talvo::test::runProgram(f.dir->path(),
                                              {f.dir->file("cgrep.exe"), "-e", "abc", "a.txt"});
        EXPECT_EQ(result, direct.out);
    }

    const std::string batch = f.dir->read("WWW.BAT");
    EXPECT_EQ(batch.rfind(": ", 0), 0u);
    EXPECT_NE(batch.find(f.dir->path() + "WWW.BAT\r\nCGREP.EXE -e abc a.txt > RESULT00.TXT\r\n"
                                         "Copy WWW.BAT XXX.BAT\r\n"),
              std::string::npos);
    EXPECT_TRUE(f.ui.calls.empty());
}

TEST(SearchOutcome, ASearchMatchingNothingResetsNarrowing) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    ASSERT_TRUE(f.narrowing->isEnabled());
    f.checkA2->setChecked(true); // tiny mode

    f.grep("zzz", "a.txt");
    EXPECT_TRUE(isTimeStatus(f.label1->text(), "No Lines Matched. TIME "))
        << f.label1->text().toStdString();
    EXPECT_FALSE(f.narrowing->isChecked());
    EXPECT_FALSE(f.narrowing->isEnabled());
    EXPECT_FALSE(f.session->runStatus());
    EXPECT_EQ(f.session->currentResultName(), "RESULT00.TXT");
    EXPECT_EQ(f.window.windowTitle(), "No Lines Matched");
}

TEST(SearchOutcome, RedirectionCharactersAndQuotesReachTheGrepProgramAsTyped) {
    SearchFixture f;
    f.dir->write("a.txt", "a>b\nab\nsay \"hi\" now\nsay hi\n");
    f.dir->write("b", "keep me");

    f.grep("a>b", "a.txt");
    EXPECT_EQ(f.dir->read("b"), "keep me");
    EXPECT_NE(f.dir->read("RESULT00.TXT").find("a>b"), std::string::npos);
    EXPECT_EQ(f.dir->read("RESULT00.TXT").find("ab\n"), std::string::npos);

    f.grep("\"hi\"", "a.txt");
    const std::string result = f.dir->read("RESULT00.TXT");
    EXPECT_NE(result.find("say \"hi\" now"), std::string::npos);
    EXPECT_EQ(result.find("say hi"), std::string::npos);
    EXPECT_TRUE(f.session->runStatus());
}

TEST(SearchOutcome, HistoriesTakeEachNewTextOnce) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    f.grep("abc", "a.txt");
    f.grep("abd", "a.txt");
    ASSERT_EQ(f.combo1->count(), 2);
    EXPECT_EQ(f.combo1->itemText(0), "abd");
    EXPECT_EQ(f.combo1->itemText(1), "abc");
    EXPECT_EQ(f.combo1->currentText(), "abd");
    EXPECT_EQ(f.combo2->count(), 1);
    EXPECT_EQ(f.combo2->currentText(), "a.txt");
}

TEST(SearchOutcome, TinyModeAutoCaptionMarksTheRun) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.checkA2->setChecked(true);
    f.combo1->setEditText("abc");
    f.combo2->setEditText("a.txt");
    f.session->autoRun();
    EXPECT_EQ(f.window.windowTitle(), "CGREP* - a.txt");
    f.session->grep();
    EXPECT_EQ(f.window.windowTitle(), "CGREP - a.txt");
}

TEST(SearchOutcome, AFailedStartLeavesNoResultToOpen) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt");
    ASSERT_TRUE(f.session->runStatus());

    f.session->setInterpreter(QString::fromStdString(f.dir->file("missing-interpreter")));
    f.grep("abc", "a.txt");
    auto stops = f.ui.of(Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, kMessageCannotRun);
    EXPECT_FALSE(f.session->runStatus());
    f.session->editor();
    EXPECT_TRUE(f.ui.of(Kind::Start).empty());
    EXPECT_FALSE(f.session->isRunning());
}

TEST(SearchOutcome, ABatchFileThatCannotBeWrittenEvenBySuperuserStopsTheRun) {
    // A directory in its place: no user, the superuser included, writes it.
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    std::filesystem::create_directory(f.dir->file("WWW.BAT"));
    f.dir->write("WWW.BAT/keep", "x");
    f.grep("abc", "a.txt");
    ASSERT_EQ(f.ui.of(Kind::Stop).size(), 1u);
    EXPECT_EQ(f.ui.of(Kind::Stop)[0].text, kMessageCannotRun);
    EXPECT_FALSE(f.session->runStatus());
    EXPECT_FALSE(f.dir->exists("RESULT00.TXT"));
}

TEST(SearchOutcome, AnUnwritableBatchFileNeverRunsTheOldOne) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes read-only files";
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.dir->write("WWW.BAT", ": old\r\necho old> old.txt\r\nCopy WWW.BAT XXX.BAT\r\n");
    std::filesystem::permissions(f.dir->file("WWW.BAT"), std::filesystem::perms::owner_read);
    std::filesystem::permissions(f.dir->path(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::owner_exec);
    f.grep("abc", "a.txt");
    std::filesystem::permissions(f.dir->path(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(f.dir->exists("old.txt"));
    ASSERT_EQ(f.ui.of(Kind::Stop).size(), 1u);
    EXPECT_EQ(f.ui.of(Kind::Stop)[0].text, kMessageCannotRun);
    EXPECT_FALSE(f.session->runStatus());
}

TEST(BusyWindow, ShownBelowTheMainWindowTopSwallowingEveryKey) {
    SearchFixture f;
    f.session->requestEditBeforeRun();
    f.editAnswer = "sleep 100";
    bool checked = false;
    QObject::connect(f.session.get(), &SearchSession::waiting, [&] {
        BusyWindow* busy = f.session->busyWindow();
        ASSERT_NE(busy, nullptr);
        EXPECT_TRUE(busy->isVisible());
        EXPECT_TRUE(busy->isModal());
        EXPECT_EQ(busy->windowTitle(), "Now busy ...");
        EXPECT_EQ(busy->cancelButton()->text(), "&Cancel");
        EXPECT_FALSE(busy->image()->pixmap().isNull());
        const QRect main = f.window.frameGeometry();
        EXPECT_EQ(busy->y(), main.top() + platform::twipsToPixels(800, f.window.logicalDpiY()));
        EXPECT_LE(std::abs(busy->frameGeometry().center().x() - main.center().x()),
                  2); // whole-pixel halves
        // The key sink lies below the visible area and eats every key.
        EXPECT_GE(busy->keySink()->y(), busy->height());
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_Tab, Qt::Key_C})
            QTest::keyClick(busy->keySink(), Qt::Key(key));
        EXPECT_FALSE(busy->keySink()->isChecked());
        EXPECT_TRUE(f.session->runner().isRunning());
        checked = true;
        busy->cancelButton()->click();
    });
    f.grep("abc", "a.txt");
    EXPECT_TRUE(checked);
    EXPECT_EQ(f.label1->text(), "Canceled");
}

} // namespace
} // namespace talvo::run::test
