// Work done in a child process within a budget, and the Hyperscan compiles
// that use it: whatever the child does, the caller gets its reply or a clear
// failure, and nothing the child started goes on after its budget.
#include "talvo-grep/matcher.h"
#include "talvo-grep/os.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::grep {
namespace {

using std::chrono::milliseconds;

std::vector<std::string> listDir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// The state letter of each child of this process (R running, S sleeping...).
std::string childStates() {
    std::string states;
    for (const auto& task : listDir("/proc/self/task")) {
        std::ifstream children("/proc/self/task/" + task + "/children");
        int pid = 0;
        while (children >> pid) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string line;
            std::getline(stat, line);
            auto paren = line.rfind(')');
            if (paren != std::string::npos && paren + 2 < line.size())
                states += line[paren + 2];
        }
    }
    return states;
}

bool isChild(int pid) {
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

std::optional<std::string> echo(std::string_view request) {
    if (request == "nothing")
        return std::nullopt;
    if (request == "throw")
        throw std::runtime_error("no");
    if (request == "die")
        raise(SIGKILL);
    if (request == "exit")
        _exit(0);
    if (request == "sleep") {
        for (;;)
            pause();
    }
    return std::string(request.rbegin(), request.rend());
}

TEST(ChildWorker, RepliesOfAnySizeComeBackFromOneChild) {
    os::ChildWorker worker(echo);
    int first = -1;
    for (size_t size : {size_t{1}, size_t{5} << 20, size_t{0}, size_t{3}}) {
        std::string sent(size, '\0');
        for (size_t i = 0; i < size; ++i)
            sent[i] = static_cast<char>(i * 131 % 251);
        std::string got = "left over";
        EXPECT_EQ(worker.run(sent, milliseconds(60000), got), os::ChildRun::Done) << size;
        EXPECT_TRUE(got == std::string(sent.rbegin(), sent.rend())) << size;
        if (first < 0)
            first = worker.child();
        EXPECT_EQ(worker.child(), first);
    }
    EXPECT_TRUE(isChild(first));
}

TEST(ChildWorker, AChildThatGivesNothingOrDiesFailsAndTheNextRequestIsServed) {
    os::ChildWorker worker(echo);
    for (const char* failing : {"nothing", "throw", "die", "exit"}) {
        std::string got = "left over";
        EXPECT_EQ(worker.run(failing, milliseconds(60000), got), os::ChildRun::Failed) << failing;
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(worker.run("ab", milliseconds(60000), got), os::ChildRun::Done) << failing;
        EXPECT_EQ(got, "ba");
    }
}

TEST(ChildWorker, AChildPastItsBudgetIsKilledAndOneGoneIsReplaced) {
    os::ChildWorker worker(echo);
    std::string got;
    ASSERT_EQ(worker.run("x", milliseconds(60000), got), os::ChildRun::Done);
    int slow = worker.child();
    EXPECT_EQ(worker.run("sleep", milliseconds(50), got), os::ChildRun::TooSlow);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(worker.child(), -1);
    EXPECT_FALSE(isChild(slow)); // killed and waited for
    // One killed from outside (its thread ended) is replaced on the next request.
    ASSERT_EQ(worker.run("x", milliseconds(60000), got), os::ChildRun::Done);
    kill(worker.child(), SIGKILL);
    EXPECT_EQ(worker.run("xy", milliseconds(60000), got), os::ChildRun::Done);
    EXPECT_EQ(got, "yx");
}

TEST(ChildWorker, EndsItsChildWhenItEnds) {
    int pid = -1;
    {
        os::ChildWorker worker(echo);
        std::string got;
        ASSERT_EQ(worker.run("x", milliseconds(60000), got), os::ChildRun::Done);
        pid = worker.child();
    }
    EXPECT_FALSE(isChild(pid));
}

TEST(ChildWorker, ACompilePastItsBudgetLeavesNothingRunning) {
    // Hyperscan takes seconds over this pattern: past the budget the search
    // goes on without it, and finds the same lines.
    size_t threads = listDir("/proc/self/task").size();
    MatchSpec spec;
    spec.patterns = {"a\\W{20}x$"};
    std::string error;
    auto m = Matcher::create(spec, error);
    ASSERT_TRUE(m) << error;
    ScanContext ctx;
    std::string text = "a" + std::string(20, '-') + "x\na" + std::string(19, '-') + "x\n";
    std::vector<size_t> starts;
    ASSERT_TRUE(m->scanLines(
        TextKind::Utf8, ctx, text,
        [&](size_t start, size_t) {
            starts.push_back(start);
            return true;
        },
        error))
        << error;
    EXPECT_EQ(starts, std::vector<size_t>{0});
    EXPECT_EQ(listDir("/proc/self/task").size(), threads);
    // A child may still be between its last reply and its next read; one
    // left compiling would run for seconds.
    std::string states = childStates();
    for (int i = 0; i < 100 && states.find_first_not_of('S') != std::string::npos; ++i) {
        usleep(10000);
        states = childStates();
    }
    EXPECT_EQ(states.find_first_not_of('S'), std::string::npos) << states;
}

} // namespace
} // namespace talvo::grep
