// Cancel during a long run: "Canceled", no marker, no process of the run left,
// and the run status nothing, so the editor operations open nothing.
#include "run/busy_window.h"
#include "tests/run/search_fixture.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace talvo::run::test {
namespace {

TEST(Cancel, CancelDuringALongRunLeavesNothingBehind) {
    SearchFixture f;
    f.dir->write("a.txt", "abc\n");
    f.grep("abc", "a.txt"); // a successful result that Cancel must not leave current
    ASSERT_TRUE(f.session->runStatus());

    f.session->requestEditBeforeRun();
    f.editAnswer = "sleep 100";
    qint64 group = 0;
    QTimer watch;
    QObject::connect(f.session.get(), &SearchSession::waiting, [&] {
        group = f.session->runner().processId();
        // Cancel once the interpreter has started the long command.
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (processGroupMembers(group) < 2)
                return;
            watch.stop();
            f.session->busyWindow()->cancelButton()->click();
        });
        watch.start();
    });
    f.grep("abc", "a.txt");

    EXPECT_EQ(f.label1->text(), "Canceled");
    EXPECT_FALSE(f.session->runStatus());
    EXPECT_FALSE(f.dir->exists("XXX.BAT"));
    EXPECT_FALSE(f.session->isRunning());
    ASSERT_GT(group, 0);
    QTRY_COMPARE_WITH_TIMEOUT(processGroupMembers(group), 0, 10000);
    // The earlier result is not this run's: the editor opens nothing.
    f.session->editor();
    EXPECT_TRUE(f.ui.of(platform::RecordedCall::Kind::Start).empty());
}

} // namespace
} // namespace talvo::run::test
