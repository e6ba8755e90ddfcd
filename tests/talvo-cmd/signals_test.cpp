// Ending the interpreter ends what it started: SIGTERM while a long command
// runs (also a pipe, also a program's own child, also a built-in), SIGKILL,
// and the death of the front end that started it.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

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

// Bytes a process has read so far.
long long bytesRead(int pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string field;
    long long value = 0;
    while (io >> field >> value)
        if (field == "rchar:")
            return value;
    return 0;
}

TEST(Signals, ABusyBuiltinEndsOnEachTerminationSignal) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ProgramDir dir;
        dir.write("WWW.BAT", "type /dev/zero > nul\r\necho after > after.txt\r\n");
        int pid = startBatch(dir);
        // Far more read than the batch file: the copy is under way, and it never
        // waits, so nothing but the request itself can stop it.
        EXPECT_TRUE(pollUntil([&] { return bytesRead(pid) > (64 << 20); }));
        ::kill(pid, sig);
        int status = waitForBatch(pid);
        if (status == -1) {
            ::kill(pid, SIGKILL);
            waitForBatch(pid);
        }
        EXPECT_EQ(status, 128 + sig);
        EXPECT_FALSE(dir.exists("after.txt"));
    }
}

TEST(Signals, AKilledFrontEndTakesTheInterpreterAndItsSearchWithIt) {
    ProgramDir dir;
    dir.write("WWW.BAT", "sleep 100 | " + buildProgram("cgrep.exe") + " needle > result.txt\r\n");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string standIn = TALVO_FRONT_END_STAND_IN;
    const std::string interpreter = buildProgram("talvo-cmd");
    pid_t frontEnd = ::fork();
    if (frontEnd == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::execl(standIn.c_str(), standIn.c_str(), dir.path().c_str(), interpreter.c_str(),
                "WWW.BAT", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(fds[1]);
    std::string line;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(fds[0]);
    ASSERT_FALSE(line.empty());
    int group = std::stoi(line); // the interpreter leads its own group
    EXPECT_TRUE(pollUntil([&] { return running(group, "sleep") && running(group, "cgrep.exe"); }))
        << ::testing::PrintToString(commandsInGroup(group));
    ::kill(frontEnd, SIGKILL);
    ::waitpid(frontEnd, nullptr, 0);
    EXPECT_TRUE(pollUntil([&] { return commandsInGroup(group).empty(); }))
        << "left behind: " << ::testing::PrintToString(commandsInGroup(group));
    ::kill(-group, SIGKILL); // nothing, once the test passes
}

} // namespace
} // namespace talvo::test
