// POSIX implementation of the interpreter's system calls. Children are tracked
// in a fixed table that the signal handler can read, so a terminating signal
// reaches every command that is running at that moment.
#include "talvo-cmd/system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::cmd::sys {

namespace {

constexpr int kMaxChildren = 1024;
std::atomic<int> g_children[kMaxChildren];
volatile std::sig_atomic_t g_signal = 0;

void trackChild(int pid) {
    for (auto& slot : g_children) {
        int expected = 0;
        if (slot.compare_exchange_strong(expected, pid))
            return;
    }
    // Table full: the child still dies with the interpreter (parent-death signal).
}

void untrackChild(int pid) {
    for (auto& slot : g_children) {
        int expected = pid;
        if (slot.compare_exchange_strong(expected, 0))
            return;
    }
}

// Tells every running command to end. When the interpreter leads its own
// process group (as the front end starts it), the whole group is told, which
// also reaches programs that a command started in turn.
void signalChildren(int sig) {
    for (auto& slot : g_children) {
        int pid = slot.load();
        if (pid > 0)
            kill(pid, sig);
    }
    if (getpgrp() == getpid())
        kill(0, sig);
}

extern "C" void onTerminationSignal(int sig) {
    if (g_signal != 0)
        return; // our own group signal coming back, or a second request
    g_signal = sig;
    int saved = errno;
    signalChildren(SIGTERM);
    errno = saved;
}

std::string errnoText(int e) {
    switch (e) {
    case ENOENT:
        return "The system cannot find the file specified.";
    case EACCES:
    case EPERM:
        return "Access is denied.";
    case EISDIR:
        return "The target is a directory.";
    case ENOTDIR:
        return "The system cannot find the path specified.";
    default:
        return std::strerror(e);
    }
}

std::string directoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

void Fd::reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::string lastError() {
    return errnoText(errno);
}

Fd openForReading(const std::string& path, std::string& error) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR && !terminationRequested());
    if (fd < 0)
        error = lastError();
    else if (fileKind(path) == FileKind::Directory) {
        ::close(fd);
        fd = -1;
        error = "Access is denied.";
    }
    return Fd(fd);
}

Fd openForWriting(const std::string& path, bool append, std::string& error) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd;
    do
        fd = ::open(path.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR && !terminationRequested());
    if (fd < 0)
        error = lastError();
    return Fd(fd);
}

bool makePipe(Fd& readEnd, Fd& writeEnd, std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = lastError();
        return false;
    }
    readEnd = Fd(fds[0]);
    writeEnd = Fd(fds[1]);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        if (terminationRequested()) {
            errno = EINTR;
            return false;
        }
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR && !terminationRequested())
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool copyStream(int from, int to) {
    char buffer[65536];
    for (;;) {
        // A busy copy never blocks, so no EINTR would tell it to stop.
        if (terminationRequested()) {
            errno = EINTR;
            return false;
        }
        ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR && !terminationRequested())
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (!writeAll(to, std::string_view(buffer, static_cast<std::size_t>(n))))
            return false;
    }
}

std::optional<std::string> readWholeFile(const std::string& path, std::string& error) {
    Fd fd = openForReading(path, error);
    if (!fd.valid())
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR && !terminationRequested())
                continue;
            error = lastError();
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

FileKind fileKind(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    if (S_ISDIR(st.st_mode))
        return FileKind::Directory;
    return FileKind::Other;
}

bool isExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool sameRegularFile(int a, int b) {
    struct stat sa, sb;
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && S_ISREG(sa.st_mode) &&
           S_ISREG(sb.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::vector<std::string> listDirectory(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return names;
    while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool copyFile(const std::string& src, const std::string& dst, std::string& error) {
    Fd in = openForReading(src, error);
    if (!in.valid())
        return false;
    struct stat st;
    if (::fstat(in.get(), &st) != 0) {
        error = lastError();
        return false;
    }
    std::string temp = directoryOf(dst) + "/.talvo-cmd-copy-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid()) {
        error = lastError();
        return false;
    }
    bool ok = copyStream(in.get(), out.get());
    if (!ok)
        error = lastError();
    if (ok && ::fchmod(out.get(), st.st_mode & 0777) != 0) {
        ok = false;
        error = lastError();
    }
    if (ok && ::close(out.release()) != 0) {
        ok = false;
        error = lastError();
    }
    if (ok && ::rename(temp.c_str(), dst.c_str()) != 0) {
        ok = false;
        error = lastError();
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool removeFile(const std::string& path, std::string& error) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = lastError();
        return false;
    }
    return true;
}

bool changeDirectory(const std::string& path, std::string& error) {
    if (::chdir(path.c_str()) != 0) {
        error = errno == ENOENT ? "The system cannot find the path specified." : lastError();
        return false;
    }
    return true;
}

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string selfExecutable() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "talvo-cmd";
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

void ensureStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

int startChild(const Streams& io, const std::vector<int>& closeInChild,
               const std::function<int()>& body, std::string& error) {
    // Block the termination signals until the child is in the table, so that a
    // signal arriving in between cannot miss it.
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, &old);
    pid_t parent = getpid();
    pid_t pid = ::fork();
    if (pid == 0) {
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
            std::signal(sig, SIG_DFL);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(128 + SIGKILL); // the interpreter died before the line above
        sigprocmask(SIG_SETMASK, &old, nullptr);
        // Move the streams out of the way first: one may sit on 0, 1 or 2.
        int in = ::fcntl(io.in, F_DUPFD_CLOEXEC, 3);
        int out = ::fcntl(io.out, F_DUPFD_CLOEXEC, 3);
        int err = ::fcntl(io.err, F_DUPFD_CLOEXEC, 3);
        for (int fd : closeInChild)
            ::close(fd);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0)
            _exit(126);
        ::close(in);
        ::close(out);
        ::close(err);
        int status = body();
        std::fflush(nullptr);
        _exit(status);
    }
    if (pid < 0)
        error = lastError();
    else
        trackChild(pid);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return pid;
}

int execProgram(const std::string& path, const std::vector<std::string>& argv) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(path.c_str(), args.data());
    return errno == ENOENT ? 127 : 126;
}

int waitChild(int pid) {
    int status = 0;
    for (;;) {
        if (terminationRequested())
            return 128 + static_cast<int>(g_signal); // still tracked: finishTermination reaps it
        pid_t r = ::waitpid(pid, &status, 0);
        if (r == pid)
            break;
        if (r < 0 && errno == EINTR && terminationRequested())
            return 128 + static_cast<int>(g_signal); // still tracked: finishTermination reaps it
        if (r < 0 && errno != EINTR) {
            untrackChild(pid);
            return 127;
        }
    }
    untrackChild(pid);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

void installTerminationHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&action.sa_mask, sig);
    action.sa_flags = 0; // no SA_RESTART: a wait must notice the request
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool terminationRequested() {
    return g_signal != 0;
}

void finishTermination() {
    int sig = g_signal != 0 ? static_cast<int>(g_signal) : SIGTERM;
    // A bounded grace for the children to end on their own, then force.
    timespec step{0, 10 * 1000 * 1000};
    for (int round = 0; round < 200; ++round) {
        bool any = false;
        for (auto& slot : g_children) {
            int pid = slot.load();
            if (pid <= 0)
                continue;
            int status;
            if (::waitpid(pid, &status, WNOHANG) == 0)
                any = true;
            else
                slot.store(0);
        }
        if (!any)
            break;
        nanosleep(&step, nullptr);
    }
    for (auto& slot : g_children)
        if (int pid = slot.load(); pid > 0)
            kill(pid, SIGKILL);
    std::fflush(nullptr);
    std::signal(sig, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(sig);
    _exit(128 + sig);
}

} // namespace talvo::cmd::sys
