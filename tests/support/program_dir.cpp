#include "tests/support/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace talvo::test {

std::string buildProgramDir() {
    if (const char* env = std::getenv("TALVO_PROGRAM_DIR"); env && *env) {
        std::string dir = env;
        if (dir.back() != '/')
            dir += '/';
        return dir;
    }
    return TALVO_BUILD_PROGRAM_DIR;
}

std::string buildProgram(std::string_view name) {
    return buildProgramDir() + std::string(name);
}

ProgramDir::ProgramDir(Contents contents) {
    std::string tmpl = (fs::temp_directory_path() / "talvo-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
    if (contents == Contents::BundledPrograms) {
        for (const char* name : {"talvo-cmd", "talvo-grep"})
            linkBuildProgram(name, name);
        for (const char* name :
             {"cgrep.exe", "dgrep.exe", "izgrep.exe", "jgrep.exe", "wgrep.com", "ygrep.exe"})
            linkBuildProgram("talvo-grep", name);
        if (fs::exists(buildProgram("talvo.html")))
            linkBuildProgram("talvo.html", "talvo.html");
    }
}

ProgramDir::~ProgramDir() {
    std::error_code ec;
    // Tests may leave read-only directories behind; make them removable.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void ProgramDir::write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ProgramDir::read(std::string_view name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ProgramDir::exists(std::string_view name) const {
    return fs::exists(file(name));
}

void ProgramDir::remove(std::string_view name) const {
    std::error_code ec;
    fs::remove(file(name), ec);
}

void ProgramDir::linkBuildProgram(std::string_view buildName, std::string_view name) const {
    std::error_code ec;
    fs::create_symlink(buildProgram(buildName), file(name), ec);
}

RunResult runProgram(const std::string& workingDirectory, const std::vector<std::string>& argv,
                     std::string_view input) {
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) || pipe(outPipe) || pipe(errPipe))
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workingDirectory.c_str()) != 0)
            _exit(127);
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            close(fd);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    RunResult result;
    size_t written = 0;
    int inFd = inPipe[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    } else {
        fcntl(inFd, F_SETFL, O_NONBLOCK);
    }
    int open = 2;
    char buf[65536];
    while (open > 0 || inFd >= 0) {
        pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (poll(fds, inFd >= 0 ? 3 : 2, -1) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                (i == 0 ? outPipe[0] : errPipe[0]) = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            }
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<size_t>(n);
            if (n <= 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace talvo::test
