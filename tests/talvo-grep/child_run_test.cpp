// Work run in a child process within a budget, and the Hyperscan compiles
// that use it: whatever the child does, the caller gets its bytes or a clear
// failure, and nothing the child started is left behind.
#include "talvo-grep/matcher.h"
#include "talvo-grep/os.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::grep {
namespace {

using std::chrono::milliseconds;

// True when this process has no child left, running or waiting to be waited for.
bool noChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

size_t threadCount() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

TEST(ChildRun, GivesBackWhatTheChildReturnsWhateverItsSize) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{5} << 20}) {
        std::string sent(size, '\0');
        for (size_t i = 0; i < size; ++i)
            sent[i] = static_cast<char>(i * 131 % 251);
        std::string got = "left over";
        EXPECT_EQ(os::runInChild([&] { return std::optional<std::string>(sent); },
                                 milliseconds(60000), got),
                  os::ChildRun::Done)
            << size;
        EXPECT_TRUE(got == sent) << size;
    }
    EXPECT_TRUE(noChildLeft());
}

TEST(ChildRun, AChildThatGivesNothingOrDiesFails) {
    const std::function<std::optional<std::string>()> failures[] = {
        [] { return std::optional<std::string>(); },
        []() -> std::optional<std::string> { throw std::runtime_error("no"); },
        []() -> std::optional<std::string> {
            raise(SIGKILL);
            return "never";
        },
        []() -> std::optional<std::string> { _exit(0); },
    };
    for (const auto& work : failures) {
        std::string got = "left over";
        EXPECT_EQ(os::runInChild(work, milliseconds(60000), got), os::ChildRun::Failed);
        EXPECT_TRUE(got.empty());
    }
    EXPECT_TRUE(noChildLeft());
}

TEST(ChildRun, AChildPastItsBudgetIsKilled) {
    std::string got;
    auto endless = []() -> std::optional<std::string> {
        for (;;)
            pause();
    };
    EXPECT_EQ(os::runInChild(endless, milliseconds(50), got), os::ChildRun::TooSlow);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(noChildLeft());
}

TEST(ChildRun, ACompilePastItsBudgetLeavesNothingRunning) {
    // Hyperscan takes seconds over this pattern: past the budget the search
    // goes on without it, and finds the same lines.
    size_t threads = threadCount();
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
    EXPECT_EQ(threadCount(), threads);
    EXPECT_TRUE(noChildLeft());
}

} // namespace
} // namespace talvo::grep
