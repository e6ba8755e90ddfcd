// Running the built interpreter on batch files, at once or in the background.
#include "tests/talvo-cmd/batch_run.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::test {

RunResult runBatchFile(const ProgramDir& dir, std::string_view name, std::string_view input) {
    return runProgram(dir.path(), {buildProgram("talvo-cmd"), std::string(name)}, input);
}

RunResult runBatch(const ProgramDir& dir, std::string_view bytes, std::string_view input) {
    dir.write("WWW.BAT", bytes);
    return runBatchFile(dir, "WWW.BAT", input);
}

void writeScript(const ProgramDir& dir, std::string_view name, std::string_view body) {
    dir.write(name, "#!/bin/sh\n" + std::string(body) + "\n");
    ::chmod(dir.file(name).c_str(), 0755);
}

void writeArgumentPrinter(const ProgramDir& dir, std::string_view name) {
    writeScript(dir, name, R"(for a in "$@"; do printf '[%s]\n' "$a"; done)");
}

int startBatch(const ProgramDir& dir, std::string_view name) {
    std::string program = buildProgram("talvo-cmd");
    std::string file(name);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.path().c_str()) != 0)
            _exit(127);
        ::execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::setpgid(pid, pid); // also from here, so the group exists when we return
    return pid;
}

bool pollUntil(const std::function<bool()>& condition) {
    const timespec step{0, 5 * 1000 * 1000};
    for (int i = 0; i < 6000; ++i) { // about 30 seconds
        if (condition())
            return true;
        nanosleep(&step, nullptr);
    }
    return condition();
}

int waitForBatch(int pid) {
    int status = 0;
    bool ended = pollUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace {

// A /proc file read with plain read calls: a process that ends meanwhile
// leaves a short or empty text, never an exception.
std::string readProcFile(const std::filesystem::path& path) {
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

} // namespace

std::vector<std::string> commandsInGroup(int group) {
    std::vector<std::string> commands;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        // Only the numbered entries are processes; others (such as /proc/net,
        // whose "stat" is a directory) are skipped before anything is read.
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat = readProcFile(entry.path() / "stat");
        auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        // After the name: state, parent, process group.
        char state = 0;
        int parent = 0, pgrp = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &parent, &pgrp) != 3)
            continue;
        if (pgrp == group && state != 'Z')
            commands.push_back(stat.substr(open + 1, close - open - 1));
    }
    return commands;
}

} // namespace talvo::test
