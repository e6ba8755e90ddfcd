// The runner on its own, with shell scripts as the interpreter: the marker
// ends the run while the interpreter still runs, an interpreter that exits
// without the marker ends it too, a stale marker never ends a new run, and a
// missing interpreter is a start failure.
#include "run/runner.h"
#include "tests/support/program_dir.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace talvo::run {
namespace {

using talvo::test::ProgramDir;

QString script(const ProgramDir& dir, const std::string& body) {
    dir.write("interpreter", "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(dir.file("interpreter"), std::filesystem::perms::owner_all);
    return QString::fromStdString(dir.file("interpreter"));
}

Runner::End endOf(QSignalSpy& spy) {
    return spy.at(0).at(0).value<Runner::End>();
}

TEST(Runner, TheMarkerEndsTheRunWhileTheInterpreterStillRuns) {
    ProgramDir dir;
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "cp \"$1\" XXX.BAT\nexec sleep 100"));
    dir.write("WWW.BAT", "x\r\n");
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    EXPECT_TRUE(runner.isRunning());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(endOf(ended), Runner::End::Finished);
    EXPECT_FALSE(runner.isRunning());
}

TEST(Runner, AMarkerInLowerCaseCountsAndIsDeleted) {
    ProgramDir dir;
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "echo > xxx.bat"));
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(endOf(ended), Runner::End::Finished);
    EXPECT_TRUE(runner.markerExists());
    runner.deleteMarker();
    EXPECT_FALSE(dir.exists("xxx.bat"));
}

TEST(Runner, AnInterpreterExitingWithoutTheMarkerEndsTheWait) {
    ProgramDir dir;
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "kill -9 $$"));
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(endOf(ended), Runner::End::ExitedWithoutMarker);
}

TEST(Runner, AStaleMarkerIsRemovedBeforeTheStart) {
    ProgramDir dir;
    dir.write("XXX.BAT", "stale");
    dir.write("xxx.bat", "stale too");
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "ls > listing.txt\ncp \"$1\" XXX.BAT"));
    dir.write("WWW.BAT", "x\r\n");
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(endOf(ended), Runner::End::Finished);
    const std::string listing = dir.read("listing.txt");
    EXPECT_NE(listing.find("WWW.BAT"), std::string::npos);
    EXPECT_EQ(listing.find("XXX.BAT"), std::string::npos);
    EXPECT_EQ(listing.find("xxx.bat"), std::string::npos);
}

TEST(Runner, TheInterpreterRunsTheBatchFileInTheProgramDirectory) {
    ProgramDir dir;
    dir.write("www.bat", "x\r\n"); // found whatever its case
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "echo \"$1\" > args.txt\npwd -P >> args.txt\n"
                                      "cp \"$1\" XXX.BAT"));
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    ASSERT_TRUE(ended.wait(10000));
    const std::string real = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(dir.read("args.txt"), dir.file("www.bat") + "\n" + real + "\n");
}

TEST(Runner, AMissingInterpreterIsAStartFailure) {
    ProgramDir dir;
    Runner runner(dir.path());
    runner.setInterpreter(QString::fromStdString(dir.file("no-such-interpreter")));
    QSignalSpy ended(&runner, &Runner::ended);
    EXPECT_FALSE(runner.start());
    EXPECT_FALSE(runner.isRunning());
    EXPECT_TRUE(ended.isEmpty());
}

TEST(Runner, TheInterpreterInTheProgramDirectoryComesBeforePath) {
    ProgramDir dir;
    dir.write("talvo-cmd", "#!/bin/sh\n");
    // The tests' own directory holds no talvo-cmd, so the program directory's wins.
    EXPECT_EQ(Runner::findInterpreter(dir.path()), QString::fromStdString(dir.file("talvo-cmd")));
}

TEST(Runner, CancelEndsTheRunAndRemovesTheMarker) {
    ProgramDir dir;
    Runner runner(dir.path());
    runner.setInterpreter(script(dir, "exec sleep 100"));
    QSignalSpy ended(&runner, &Runner::ended);
    ASSERT_TRUE(runner.start());
    dir.write("XXX.BAT", "made late");
    runner.cancel();
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(endOf(ended), Runner::End::Canceled);
    EXPECT_FALSE(dir.exists("XXX.BAT"));
    EXPECT_FALSE(runner.isRunning());
}

} // namespace
} // namespace talvo::run
