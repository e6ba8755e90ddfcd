// File services over POSIX. The one place that knows the system's own files are
// matched regardless of ASCII case, and the one writer that replaces a file
// without ever leaving it half written.
#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::platform {

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Permission to change: the process may write, and the entry is not marked
// read-only for everybody (the superuser passes every access check).
bool mayWrite(const std::string& path, const struct stat& st) {
    return access(path.c_str(), W_OK) == 0 && (st.st_mode & 0222) != 0;
}

// Removes the temporary files of writes to base that were interrupted: those
// named after a process that no longer runs. A live writer's file is left alone.
void removeStaleTemporaries(const std::string& dir, const std::string& base) {
    const std::string prefix = "." + base + ".tmp-";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    std::vector<std::string> stale;
    while (dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (!name.starts_with(prefix))
            continue;
        name.remove_prefix(prefix.size());
        const std::size_t dash = name.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size())
            continue;
        const auto digits = [](std::string_view t) {
            return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (!digits(name.substr(0, dash)) || !digits(name.substr(dash + 1)) || dash > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
        if (pid != getpid() && pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
            stale.emplace_back(e->d_name);
    }
    closedir(d);
    for (const std::string& name : stale)
        unlink((dir + name).c_str());
}

std::mutex hookMutex;
std::function<bool(const std::string&)> beforeReplaceHook;

} // namespace

std::optional<std::string> findCaseInsensitive(const std::string& dir, std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    std::string base = withSlash(dir);
    std::string exact = base + std::string(name);
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0)
        return exact;
    DIR* d = opendir(base.c_str());
    if (!d)
        return std::nullopt;
    std::vector<std::string> matches;
    while (dirent* e = readdir(d))
        if (equalIgnoringAsciiCase(e->d_name, name))
            matches.emplace_back(e->d_name);
    closedir(d);
    if (matches.empty())
        return std::nullopt;
    // Several spellings can exist side by side here; take one reproducibly.
    return base + *std::min_element(matches.begin(), matches.end());
}

std::optional<std::string> findCaseInsensitiveFile(const std::string& dir, std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    const std::string base = withSlash(dir);
    auto isFile = [](const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    if (isFile(base + std::string(name)))
        return base + std::string(name);
    DIR* d = opendir(base.c_str());
    if (!d)
        return std::nullopt;
    std::vector<std::string> matches;
    while (dirent* e = readdir(d))
        if (equalIgnoringAsciiCase(e->d_name, name) && isFile(base + e->d_name))
            matches.emplace_back(e->d_name);
    closedir(d);
    if (matches.empty())
        return std::nullopt;
    return base + *std::min_element(matches.begin(), matches.end());
}

std::string systemFilePath(const std::string& dir, std::string_view name) {
    if (auto found = findCaseInsensitive(dir, name))
        return *found;
    return withSlash(dir) + std::string(name);
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isWritableDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && mayWrite(path, st) &&
           access(path.c_str(), X_OK) == 0;
}

std::optional<std::uint64_t> fileLength(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool deleteFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool createEmptyFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    return close(fd) == 0;
}

int openNamelessTempFile(std::string& why) {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env != nullptr && *env != '\0' ? env : "/tmp";
    int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without nameless files: a name, taken away at once.
        std::string name = dir + "/talvo-XXXXXX";
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0)
            unlink(name.c_str());
    }
    if (fd < 0)
        why = "no temporary file in " + dir + ": " + std::strerror(errno);
    return fd;
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    return close(fd) == 0 && ok;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return out;
}

bool setCurrentDirectory(const std::string& path) {
    return chdir(path.c_str()) == 0;
}

std::string currentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::optional<std::string> findOnPath(std::string_view program) {
    auto runnable = [](const std::string& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), X_OK) == 0;
    };
    if (program.empty())
        return std::nullopt;
    if (program.find('/') != std::string_view::npos) {
        std::string p(program);
        return runnable(p) ? std::optional<std::string>(p) : std::nullopt;
    }
    const char* env = std::getenv("PATH");
    std::string_view path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        std::size_t colon = path.find(':');
        std::string_view dir = path.substr(0, colon);
        std::string candidate =
            withSlash(dir.empty() ? "." : std::string(dir)) + std::string(program);
        if (runnable(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            break;
        path.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::string target = path;
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode) || !mayWrite(path, st))
            return false;
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (!isWritableDirectory(dir))
        return false;
    removeStaleTemporaries(dir == "." ? "./" : dir, base);

    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = (dir == "." ? std::string() : dir) + "." + base + ".tmp-" +
                    std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  exists ? (st.st_mode & 07777) : 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    // open() applies the umask; an existing file's permissions are kept exactly.
    if (ok && exists)
        ok = fchmod(fd, st.st_mode & 07777) == 0;
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) {
        std::lock_guard lock(hookMutex);
        if (beforeReplaceHook)
            ok = beforeReplaceHook(temporary);
    }
    if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; failure here no longer endangers the data.
    int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void setBeforeReplaceHook(std::function<bool(const std::string& temporaryPath)> hook) {
    std::lock_guard lock(hookMutex);
    beforeReplaceHook = std::move(hook);
}

} // namespace talvo::platform
