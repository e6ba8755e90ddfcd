// The fake system layer. Children run to their end inside startChild, in a
// descriptor table of their own, as if the interpreter were fast and the
// child faster; builtins never read their standard input, so no pipe has to
// wait for its reader. Sizes are bounded: a file system over its budget
// fails writes with "disk full" as a real one would.
#include "tests/fuzz/cmd_fake_system.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "talvo-cmd/system.h"

namespace talvo::cmd::fake {
namespace {

constexpr std::size_t kDiskBudget = 256 << 10;
constexpr int kSignal = 15;

struct Node {
    bool directory = false;
    bool executable = false;
    int inode = 0;
    std::string bytes;
};

struct Open {
    enum class Kind { File, PipeRead, PipeWrite, Null, Terminal } kind = Kind::Terminal;
    std::string path;
    int inode = 0;
    std::size_t position = 0;
    bool write = false;
    bool append = false;
    std::shared_ptr<std::string> pipe;
};

struct State {
    std::map<std::string, Node> nodes; // absolute paths
    std::map<int, std::shared_ptr<Open>> fds;
    std::map<int, int> children; // pid, status
    std::string cwd = "/w";
    std::size_t terminateAfter = 0;
    std::size_t callCount = 0;
    bool terminationRequested = false;
    int nextPid = 100;
    int nextInode = 1;
    std::vector<std::string> calls;
};

State state;

void call(std::string what) {
    if (state.calls.size() < 4096)
        state.calls.push_back(std::move(what));
    if (++state.callCount == state.terminateAfter)
        state.terminationRequested = true;
}

void add(const std::string& path, bool directory, std::string bytes = {}, bool executable = false) {
    state.nodes[path] = Node{directory, executable, state.nextInode++, std::move(bytes)};
}

std::string normalized(const std::string& path) {
    std::string full = !path.empty() && path[0] == '/' ? path : state.cwd + "/" + path;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= full.size()) {
        std::size_t slash = full.find('/', start);
        if (slash == std::string::npos)
            slash = full.size();
        std::string part = full.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string parentOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

Node* find(const std::string& path) {
    auto it = state.nodes.find(normalized(path));
    return it == state.nodes.end() ? nullptr : &it->second;
}

std::size_t diskUse() {
    std::size_t total = 0;
    for (const auto& [path, node] : state.nodes)
        total += node.bytes.size();
    return total;
}

int lowestFreeFd() {
    int fd = 0;
    while (state.fds.count(fd))
        ++fd;
    return fd;
}

int install(std::shared_ptr<Open> open) {
    int fd = lowestFreeFd();
    state.fds[fd] = std::move(open);
    return fd;
}

std::shared_ptr<Open> lookup(int fd) {
    auto it = state.fds.find(fd);
    return it == state.fds.end() ? nullptr : it->second;
}

bool writeTo(Open& open, std::string_view data) {
    switch (open.kind) {
    case Open::Kind::Null:
    case Open::Kind::Terminal:
        return true;
    case Open::Kind::PipeRead:
        errno = EBADF;
        return false;
    case Open::Kind::PipeWrite:
        if (open.pipe->size() + data.size() > kDiskBudget) {
            errno = EPIPE;
            return false;
        }
        open.pipe->append(data);
        return true;
    case Open::Kind::File:
        break;
    }
    if (!open.write) {
        errno = EBADF;
        return false;
    }
    auto it = state.nodes.find(open.path);
    if (it == state.nodes.end() || it->second.inode != open.inode)
        return true; // written to a file removed meanwhile
    if (diskUse() + data.size() > kDiskBudget) {
        errno = ENOSPC;
        return false;
    }
    std::string& bytes = it->second.bytes;
    if (open.append)
        open.position = bytes.size();
    if (bytes.size() < open.position)
        bytes.resize(open.position);
    bytes.replace(open.position, std::min(data.size(), bytes.size() - open.position), data);
    open.position += data.size();
    return true;
}

// Up to max bytes; "" at the end.
std::string readFrom(Open& open, std::size_t max) {
    if (open.kind == Open::Kind::PipeRead) {
        std::string chunk = open.pipe->substr(0, max);
        open.pipe->erase(0, chunk.size());
        return chunk;
    }
    if (open.kind != Open::Kind::File || open.write)
        return {};
    auto it = state.nodes.find(open.path);
    if (it == state.nodes.end() || it->second.inode != open.inode ||
        open.position >= it->second.bytes.size())
        return {};
    std::string chunk = it->second.bytes.substr(open.position, max);
    open.position += chunk.size();
    return chunk;
}

} // namespace

void reset(std::size_t terminateAfter) {
    state = State{};
    state.terminateAfter = terminateAfter;
    for (int fd = 0; fd <= 2; ++fd)
        state.fds[fd] = std::make_shared<Open>();
    add("/", true);
    add("/bin", true);
    add("/bin/cgrep.exe", false, "", true);
    add("/bin/sort", false, "", true);
    add("/dev", true);
    add("/w", true);
    add("/w/a.txt", false, "alpha\r\nbeta\r\n");
    add("/w/B.TXT", false, std::string("\x82\xa0\0\xff", 4));
    add("/w/prog.exe", false, "", true);
    add("/w/x.bat", false, "echo x\r\n");
    add("/w/Sub Dir", true);
    add("/w/Sub Dir/c.txt", false, "c\n");
}

std::vector<int> openDescriptors() {
    std::vector<int> open;
    for (const auto& [fd, file] : state.fds)
        if (fd > 2)
            open.push_back(fd);
    return open;
}

std::size_t childrenNotWaitedFor() {
    return state.children.size();
}

bool terminated() {
    return state.terminationRequested;
}

const std::vector<std::string>& calls() {
    return state.calls;
}

} // namespace talvo::cmd::fake

namespace talvo::cmd::sys {

using fake::Open;
using fake::state;

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

void Fd::reset() {
    if (fd_ >= 0) {
        fake::call("close " + std::to_string(fd_));
        state.fds.erase(fd_);
    }
    fd_ = -1;
}

std::string lastError() {
    return std::strerror(errno);
}

Fd openForReading(const std::string& path, std::string& error) {
    fake::call("open-read " + path);
    if (path == "/dev/null") {
        auto open = std::make_shared<Open>();
        open->kind = Open::Kind::Null;
        return Fd(fake::install(open));
    }
    fake::Node* node = fake::find(path);
    if (!node || node->directory) {
        error = node ? "Access is denied." : "The system cannot find the file specified.";
        errno = node ? EACCES : ENOENT;
        return Fd();
    }
    auto open = std::make_shared<Open>();
    open->kind = Open::Kind::File;
    open->path = fake::normalized(path);
    open->inode = node->inode;
    return Fd(fake::install(open));
}

Fd openForWriting(const std::string& path, bool append, std::string& error) {
    fake::call(std::string(append ? "open-append " : "open-write ") + path);
    auto open = std::make_shared<Open>();
    if (path == "/dev/null") {
        open->kind = Open::Kind::Null;
        return Fd(fake::install(open));
    }
    std::string full = fake::normalized(path);
    fake::Node* node = fake::find(full);
    fake::Node* parent = fake::find(fake::parentOf(full));
    if ((node && node->directory) || !parent || !parent->directory || full == "/") {
        error = node ? "The target is a directory." : "The system cannot find the path specified.";
        errno = node ? EISDIR : ENOENT;
        return Fd();
    }
    if (!node)
        fake::add(full, false);
    else if (!append)
        node->bytes.clear();
    open->kind = Open::Kind::File;
    open->path = full;
    open->inode = fake::find(full)->inode;
    open->write = true;
    open->append = append;
    return Fd(fake::install(open));
}

bool makePipe(Fd& readEnd, Fd& writeEnd, std::string&) {
    fake::call("pipe");
    auto buffer = std::make_shared<std::string>();
    auto r = std::make_shared<Open>();
    r->kind = Open::Kind::PipeRead;
    r->pipe = buffer;
    auto w = std::make_shared<Open>();
    w->kind = Open::Kind::PipeWrite;
    w->pipe = buffer;
    readEnd = Fd(fake::install(r));
    writeEnd = Fd(fake::install(w));
    return true;
}

bool writeAll(int fd, std::string_view data) {
    fake::call("write " + std::to_string(fd) + " " + std::to_string(data.size()));
    if (terminationRequested()) {
        errno = EINTR;
        return false;
    }
    auto open = fake::lookup(fd);
    if (!open) {
        errno = EBADF;
        return false;
    }
    return fake::writeTo(*open, data);
}

bool copyStream(int from, int to) {
    fake::call("copy " + std::to_string(from) + " " + std::to_string(to));
    auto in = fake::lookup(from);
    if (!in) {
        errno = EBADF;
        return false;
    }
    for (;;) {
        if (terminationRequested()) {
            errno = EINTR;
            return false;
        }
        std::string chunk = fake::readFrom(*in, 65536);
        if (chunk.empty())
            return true;
        if (!writeAll(to, chunk))
            return false;
    }
}

std::optional<std::string> readWholeFile(const std::string& path, std::string& error) {
    Fd fd = openForReading(path, error);
    if (!fd.valid())
        return std::nullopt;
    std::string bytes, chunk;
    while (!(chunk = fake::readFrom(*fake::lookup(fd.get()), 4096)).empty())
        bytes += chunk;
    return bytes;
}

FileKind fileKind(const std::string& path) {
    fake::call("kind " + path);
    if (path == "/dev/null")
        return FileKind::Other;
    fake::Node* node = fake::find(path);
    if (!node)
        return FileKind::Missing;
    return node->directory ? FileKind::Directory : FileKind::Regular;
}

bool isExecutable(const std::string& path) {
    fake::Node* node = fake::find(path);
    return node && (node->executable || node->directory);
}

bool sameFile(const std::string& a, const std::string& b) {
    fake::Node* na = fake::find(a);
    fake::Node* nb = fake::find(b);
    return na && nb && na->inode == nb->inode;
}

bool sameRegularFile(int a, int b) {
    auto oa = fake::lookup(a);
    auto ob = fake::lookup(b);
    return oa && ob && oa->kind == Open::Kind::File && ob->kind == Open::Kind::File &&
           oa->inode == ob->inode;
}

std::vector<std::string> listDirectory(const std::string& dir) {
    fake::call("list " + dir);
    std::string full = fake::normalized(dir.empty() ? "." : dir);
    std::vector<std::string> names;
    for (const auto& [path, node] : state.nodes)
        if (path != "/" && fake::parentOf(path) == full)
            names.push_back(path.substr(path.rfind('/') + 1));
    return names; // the map keeps them sorted
}

bool copyFile(const std::string& src, const std::string& dst, std::string& error) {
    fake::call("copy-file " + src + " " + dst);
    if (terminationRequested()) {
        error = "Interrupted";
        return false;
    }
    fake::Node* from = fake::find(src);
    std::string full = fake::normalized(dst);
    fake::Node* parent = fake::find(fake::parentOf(full));
    fake::Node* to = fake::find(full);
    if (!from || from->directory || !parent || !parent->directory || (to && to->directory)) {
        error = "The system cannot find the path specified.";
        return false;
    }
    if (fake::diskUse() + from->bytes.size() > fake::kDiskBudget) {
        error = "There is not enough space on the disk.";
        return false;
    }
    std::string bytes = from->bytes;
    bool executable = from->executable;
    fake::add(full, false, std::move(bytes), executable); // a new inode, as a rename makes
    return true;
}

bool removeFile(const std::string& path, std::string& error) {
    fake::call("remove " + path);
    fake::Node* node = fake::find(path);
    if (node && node->directory) {
        error = "Access is denied.";
        return false;
    }
    state.nodes.erase(fake::normalized(path));
    return true;
}

bool changeDirectory(const std::string& path, std::string& error) {
    fake::call("cd " + path);
    fake::Node* node = fake::find(path);
    if (!node || !node->directory) {
        error = "The system cannot find the path specified.";
        return false;
    }
    state.cwd = fake::normalized(path);
    return true;
}

std::string currentDirectory() {
    return state.cwd;
}

std::string environmentVariable(const char* name) {
    return std::string(name) == "PATH" ? "/bin::/nowhere" : "";
}

std::string selfExecutable() {
    return "/bin/talvo-cmd";
}

void ensureStandardStreams() {}

int startChild(const Streams& io, const std::vector<int>& closeInChild,
               const std::function<int()>& body, std::string& error) {
    fake::call("start");
    auto in = fake::lookup(io.in), out = fake::lookup(io.out), err = fake::lookup(io.err);
    if (!in || !out || !err) {
        error = "Bad descriptor";
        return -1;
    }
    // The child's table: the parent's, its streams on 0, 1 and 2, the
    // interpreter's other descriptors closed.
    auto parentFds = state.fds;
    for (int fd : closeInChild)
        state.fds.erase(fd);
    state.fds[0] = in;
    state.fds[1] = out;
    state.fds[2] = err;
    int status = body();
    state.fds = std::move(parentFds);
    int pid = state.nextPid++;
    state.children[pid] = status;
    return pid;
}

int execProgram(const std::string& path, const std::vector<std::string>& argv) {
    std::string line = "exec " + path;
    for (const auto& a : argv)
        line += " [" + a + "]";
    fake::call(line);
    errno = ENOEXEC;
    return 126;
}

int waitChild(int pid) {
    fake::call("wait " + std::to_string(pid));
    if (terminationRequested())
        return 128 + fake::kSignal; // the termination takes care of it
    auto it = state.children.find(pid);
    if (it == state.children.end())
        return 127;
    int status = it->second;
    state.children.erase(it);
    return status;
}

void installTerminationHandlers() {}

bool terminationRequested() {
    return state.terminationRequested;
}

void finishTermination() {
    __builtin_trap(); // the interpreter's main calls it, never the executor
}

} // namespace talvo::cmd::sys
