// Ending the interpreter ends what it started: SIGTERM while a long command
// runs (also a pipe, also a program's own child), and SIGKILL.
#include <gtest/gtest.h>

#include <csignal>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

bool running(int group, const std::string& command) {
    for (const auto& c : commandsInGroup(group))
        if (c == command)
            return true;
    return false;
}

// Starts the batch, waits for `sleep` to run in its group, sends sig to the
// interpreter alone and returns its exit status.
int interruptDuringSleep(const ProgramDir& dir, const std::string& batch, int sig) {
    dir.write("WWW.BAT", batch);
    int pid = startBatch(dir);
    EXPECT_TRUE(pollUntil([&] { return running(pid, "sleep"); }));
    ::kill(pid, sig);
    int status = waitForBatch(pid);
    EXPECT_TRUE(pollUntil([&] { return commandsInGroup(pid).empty(); }))
        << "left behind: " << ::testing::PrintToString(commandsInGroup(pid));
    return status;
}

TEST(Signals, TerminateDuringALongCommandLeavesNothingBehind) {
    ProgramDir dir;
    int status = interruptDuringSleep(dir, "sleep 100\r\necho after > after.txt\r\n", SIGTERM);
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_FALSE(dir.exists("after.txt"));
}

TEST(Signals, InterruptAndHangupDoTheSame) {
    for (int sig : {SIGINT, SIGHUP}) {
        ProgramDir dir;
        EXPECT_EQ(interruptDuringSleep(dir, "sleep 100\r\n", sig), 128 + sig);
    }
}

TEST(Signals, EveryCommandOfAPipeEnds) {
    ProgramDir dir;
    EXPECT_EQ(interruptDuringSleep(dir, "sleep 100 | sleep 101 | cat\r\n", SIGTERM), 128 + SIGTERM);
}

TEST(Signals, ProgramsStartedByACommandEndToo) {
    ProgramDir dir;
    writeScript(dir, "wrapper.sh", "sleep 100\necho done");
    EXPECT_EQ(interruptDuringSleep(dir, "wrapper.sh\r\n", SIGTERM), 128 + SIGTERM);
}

TEST(Signals, KilledInterpreterTakesItsCommandsWithIt) {
    ProgramDir dir;
    EXPECT_EQ(interruptDuringSleep(dir, "sleep 100 | sleep 101\r\n", SIGKILL), 128 + SIGKILL);
}

} // namespace
} // namespace talvo::test
