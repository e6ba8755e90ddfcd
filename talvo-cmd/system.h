// The interpreter's only contact with the operating system: files, directories,
// pipes, child processes and the termination signals. Everything else in
// talvo-cmd is plain C++ on top of these calls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::cmd::sys {

// An owned file descriptor; every descriptor the interpreter opens is
// close-on-exec, so a started program only inherits its own three streams.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

private:
    int fd_ = -1;
};

// Text of the last failed call, in the words a batch-file user knows.
std::string lastError();

Fd openForReading(const std::string& path, std::string& error);
// Creates the file, or truncates it (append false) or opens it at its end.
Fd openForWriting(const std::string& path, bool append, std::string& error);
bool makePipe(Fd& readEnd, Fd& writeEnd, std::string& error);
// Writes all of data; false when the reader has gone, the write failed or
// termination was requested.
bool writeAll(int fd, std::string_view data);
// Copies everything readable from one descriptor to another; stops with false
// (errno EINTR) once termination is requested, so a long copy ends promptly.
bool copyStream(int from, int to);
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

enum class FileKind { Missing, Regular, Directory, Other };
FileKind fileKind(const std::string& path);
bool isExecutable(const std::string& path);
bool sameFile(const std::string& a, const std::string& b);
// True when both descriptors are one regular file (same device and inode):
// copying one into the other would read what it has just written, for ever.
bool sameRegularFile(int a, int b);
// Entry names of dir, sorted; empty when it cannot be read.
std::vector<std::string> listDirectory(const std::string& dir);

// Copies src to dst through a temporary file in dst's directory that is renamed
// over dst when complete, so dst never exists half-written.
bool copyFile(const std::string& src, const std::string& dst, std::string& error);
bool removeFile(const std::string& path, std::string& error);
bool changeDirectory(const std::string& path, std::string& error);
std::string currentDirectory();
std::string environmentVariable(const char* name);
// The path of the running talvo-cmd, for batch files that start batch files.
std::string selfExecutable();

// Opens /dev/null on any of descriptors 0, 1, 2 that the starter left closed,
// so that files opened later never take their place.
void ensureStandardStreams();

// The streams a command works with.
struct Streams {
    int in = 0;
    int out = 1;
    int err = 2;
};

// Starts a child process whose standard streams are io, closes closeInChild in
// it, runs body there and exits with its result. The child dies with the
// interpreter. Returns the child's id, or -1 with error set.
int startChild(const Streams& io, const std::vector<int>& closeInChild,
               const std::function<int()>& body, std::string& error);
// In a child made by startChild: replaces it by the program at path.
// Returns only on failure, with the exit status to use.
int execProgram(const std::string& path, const std::vector<std::string>& argv);

// Waits for a child and returns its exit status (128 + signal when killed).
// Returns at once when termination was requested; finishTermination then
// takes care of the child.
int waitChild(int pid);

// SIGTERM, SIGINT and SIGHUP end the running children and then the interpreter;
// a closed pipe is reported as a failed write instead of ending it.
void installTerminationHandlers();
bool terminationRequested();
// Waits briefly for the children already told to end, kills the rest and ends
// the interpreter by the signal it received. Does not return.
[[noreturn]] void finishTermination();

} // namespace talvo::cmd::sys
