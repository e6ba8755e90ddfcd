// POSIX and iconv behind the small interface of os.h.
#include "talvo-grep/os.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace talvo::grep::os {

namespace {
// Mappings start on this boundary of the file where they can: the kernel
// maps a file's large pages whole only at matching addresses.
constexpr uint64_t kLargePage = 2 << 20;

std::string errnoText() {
    return std::strerror(errno);
}

// The ranges this thread has mapped from files. A file that shrinks under its
// mapping raises SIGBUS on the first page past its new end; the handler puts
// zero-filled memory in place of the rest of that range and marks it, and the
// reader reports the file as changed while it was read.
struct GuardedRange {
    uintptr_t begin;
    uintptr_t end;
    bool hit;
};
constexpr int kGuardedRanges = 4;
thread_local GuardedRange tlGuarded[kGuardedRanges];
thread_local bool tlShrank = false;
uintptr_t gPageSize = 4096;

void onSigbus(int, siginfo_t* info, void*) {
    auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (GuardedRange& g : tlGuarded) {
        if (g.end == 0 || at < g.begin || at >= g.end)
            continue;
        uintptr_t page = at & ~(gPageSize - 1);
        void* z = mmap(reinterpret_cast<void*>(page), g.end - page, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (z != MAP_FAILED) {
            g.hit = true;
            tlShrank = true;
            return;
        }
    }
    // Any other bus error keeps its default action: the access repeats on return.
    signal(SIGBUS, SIG_DFL);
    if (info->si_code <= 0)
        raise(SIGBUS);
}

void installSigbusHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        gPageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction sa {};
        sa.sa_sigaction = onSigbus;
        sa.sa_flags = SA_SIGINFO;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGBUS, &sa, nullptr);
    });
}

size_t roundToPages(size_t n) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (n + page - 1) / page * page;
}

// Buffers of a window or more lie on huge pages where the kernel gives them:
// every window is copied into them and passed over several times, and with
// small pages the misses of the address cache cost about a twentieth of a
// search of Japanese text. Smaller buffers keep small pages, which are only
// cleared as they are touched.
constexpr size_t kHugePage = 2u << 20;

void* mapAnonymous(size_t& size) {
    if (size < kHugePage / 2)
        return mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    size_t want = (size + kHugePage - 1) / kHugePage * kHugePage;
    // Mapped one huge page over and trimmed to a huge page's boundary.
    void* m =
        mmap(nullptr, want + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto raw = reinterpret_cast<uintptr_t>(m);
    uintptr_t at = (raw + kHugePage - 1) / kHugePage * kHugePage;
    if (at > raw)
        munmap(m, at - raw);
    if (raw + kHugePage > at)
        munmap(reinterpret_cast<void*>(at + want), raw + kHugePage - at);
    madvise(reinterpret_cast<void*>(at), want, MADV_HUGEPAGE);
    size = want;
    return reinterpret_cast<void*>(at);
}
} // namespace

FileMapping::~FileMapping() {
    release();
}

bool FileMapping::map(int fd, uint64_t offset, size_t length) {
    installSigbusHandler();
    uint64_t start = offset & ~(kLargePage - 1);
    size_t lead = static_cast<size_t>(offset - start);
    // The window's pages are mapped in one call, not a fault at a time: a
    // mapped search of a file held in large pages spent a quarter less in
    // the kernel (big.txt, 8 MiB windows), of one in small pages half.
    void* m = mmap(nullptr, lead + length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd,
                   static_cast<off_t>(start));
    if (m == MAP_FAILED)
        return false; // the old mapping stays
    release();
    map_ = m;
    mapSize_ = lead + length;
    data_ = static_cast<const char*>(m) + lead;
    size_ = length;
    for (int i = 0; i < kGuardedRanges; ++i) {
        if (tlGuarded[i].end == 0) {
            auto b = reinterpret_cast<uintptr_t>(m);
            tlGuarded[i] = {b, b + mapSize_, false};
            slot_ = i;
            break;
        }
    }
    return true;
}

void FileMapping::release() {
    if (map_ != nullptr)
        munmap(map_, mapSize_);
    if (slot_ >= 0)
        tlGuarded[slot_] = {0, 0, false};
    map_ = nullptr;
    mapSize_ = 0;
    data_ = nullptr;
    size_ = 0;
    slot_ = -1;
}

bool FileMapping::shrankHere() {
    return tlShrank;
}

void FileMapping::clearShrankHere() {
    tlShrank = false;
}

bool FileMapping::truncated() const {
    return slot_ >= 0 && tlGuarded[slot_].hit;
}

ByteBuffer::~ByteBuffer() {
    if (data_ != nullptr)
        munmap(data_, capacity_);
}

bool ByteBuffer::reserve(size_t n) {
    if (n <= capacity_)
        return true;
    // Doubling keeps the number of moves small; memory short of the double
    // may still hold what was asked.
    for (size_t want : {roundToPages(std::max(n, capacity_ * 2)), roundToPages(n)}) {
        void* m =
            data_ == nullptr ? mapAnonymous(want) : mremap(data_, capacity_, want, MREMAP_MAYMOVE);
        if (m != MAP_FAILED) {
            data_ = static_cast<char*>(m);
            capacity_ = want;
            return true;
        }
    }
    return false;
}

void ByteBuffer::shrinkTo(size_t n) {
    n = roundToPages(n);
    if (n >= capacity_)
        return;
    if (n == 0) {
        munmap(data_, capacity_);
        data_ = nullptr;
    } else if (mremap(data_, capacity_, n, 0) == MAP_FAILED) {
        return;
    }
    capacity_ = n;
}

FileReader::~FileReader() {
    if (fd_ >= 0 && owned_)
        ::close(fd_);
}

bool FileReader::open(const std::string& path, std::string& error) {
    struct stat st {};
    if (path.empty()) {
        // Standard input is read from where it stands, even from a file.
        fd_ = 0;
        if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            error = "is a directory";
            return false;
        }
        return true;
    }
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = errnoText();
        return false;
    }
    owned_ = true;
    if (fstat(fd_, &st) != 0) {
        error = errnoText();
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "is a directory";
        return false;
    }
    regular_ = S_ISREG(st.st_mode);
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

void FileReader::adviseSequential() const {
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void FileReader::openPull(Pull pull) {
    pull_ = std::move(pull);
    regular_ = false;
    eof_ = false;
}

bool FileReader::read(uint64_t offset, char* dst, size_t want, size_t& got, std::string& error) {
    got = 0;
    if (pull_) {
        if (!pull_(dst, want, got, error))
            return false;
        eof_ = got < want;
        return true;
    }
    while (got < want) {
        ssize_t n = regular_ ? ::pread(fd_, dst + got, want - got, static_cast<off_t>(offset + got))
                             : ::read(fd_, dst + got, want - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errnoText();
            return false;
        }
        got += static_cast<size_t>(n);
        if (n == 0 || (regular_ && size_ > 0 && got < want)) {
            eof_ = true;
            break;
        }
    }
    return true;
}

bool FileReader::readAt(uint64_t offset, std::string& out, size_t n, std::string& error) {
    out.resize(n);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd_, out.data() + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            error = errnoText();
            return false;
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    out.resize(got);
    return true;
}

EntryType entryType(const std::string& path, bool followLinks) {
    struct stat st {};
    int r = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (r != 0) {
        return EntryType::Missing;
    }
    if (S_ISDIR(st.st_mode)) {
        return EntryType::Directory;
    }
    if (S_ISREG(st.st_mode)) {
        return EntryType::File;
    }
    return EntryType::Other;
}

bool listDirectory(const std::string& path, std::vector<std::string>& names, std::string& error) {
    names.clear();
    std::vector<DirEntry> entries;
    if (!listDirectory(path, entries, error))
        return false;
    for (auto& e : entries)
        names.push_back(std::move(e.name));
    return true;
}

bool listDirectory(const std::string& path, std::vector<DirEntry>& entries, std::string& error) {
    entries.clear();
    DIR* d = ::opendir(path.empty() ? "." : path.c_str());
    if (d == nullptr) {
        error = errnoText();
        return false;
    }
    while (struct dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) {
            continue;
        }
        EntryType t = EntryType::Missing;
        bool link = false;
        switch (e->d_type) {
        case DT_REG:
            t = EntryType::File;
            break;
        case DT_DIR:
            t = EntryType::Directory;
            break;
        case DT_UNKNOWN:
            break;
        case DT_LNK:
            link = true;
            t = EntryType::Other;
            break;
        default:
            t = EntryType::Other;
            break;
        }
        entries.push_back({e->d_name, t, link});
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) {
        return path;
    }
    std::string cwd(buf);
    std::string rel = path;
    while (rel.rfind("./", 0) == 0) {
        rel.erase(0, 2);
    }
    return cwd == "/" ? "/" + rel : cwd + "/" + rel;
}

CharsetDecoder::CharsetDecoder(const char* charset) {
    iconv_t h = iconv_open("UTF-32LE", charset);
    if (h != reinterpret_cast<iconv_t>(-1)) {
        handle_ = h;
    }
}

CharsetDecoder::~CharsetDecoder() {
    if (handle_ != nullptr) {
        iconv_close(static_cast<iconv_t>(handle_));
    }
}

bool CharsetDecoder::decode(std::string_view bytes, char32_t& out) {
    if (handle_ == nullptr) {
        return false;
    }
    auto h = static_cast<iconv_t>(handle_);
    iconv(h, nullptr, nullptr, nullptr, nullptr);
    char in[8];
    std::memcpy(in, bytes.data(), std::min(bytes.size(), sizeof in));
    char* ip = in;
    size_t il = std::min(bytes.size(), sizeof in);
    unsigned char outBuf[16];
    char* op = reinterpret_cast<char*>(outBuf);
    size_t ol = sizeof outBuf;
    if (iconv(h, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 ||
        sizeof outBuf - ol != 4) {
        return false;
    }
    out = static_cast<char32_t>(outBuf[0] | (outBuf[1] << 8) | (outBuf[2] << 16) |
                                (static_cast<uint32_t>(outBuf[3]) << 24));
    return true;
}

unsigned coreCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

namespace {
// False when the rest cannot be written (a closed pipe, a full disk).
bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}
} // namespace

bool FileReader::spool(FileReader& from, std::string_view head, uint64_t limit,
                       std::string& error) {
    fd_ = platform::openNamelessTempFile(error);
    if (fd_ < 0)
        return false;
    owned_ = true;
    auto put = [&](std::string_view bytes) {
        if (writeAll(fd_, bytes))
            return true;
        error = "cannot keep a copy to read it at any offset: " + errnoText();
        return false;
    };
    if (!put(head))
        return false;
    uint64_t size = head.size();
    std::string chunk(1 << 20, '\0');
    while (!from.eof()) {
        if (size > limit) {
            error = "over " + std::to_string(limit >> 20) + " MiB, too large to copy and unpack";
            return false;
        }
        size_t got = 0;
        if (!from.read(size, chunk.data(), chunk.size(), got, error) || !put({chunk.data(), got}))
            return false;
        size += got;
    }
    regular_ = true;
    size_ = size;
    eof_ = false;
    return true;
}

namespace {
bool readAll(int fd, char* dst, size_t n) {
    while (n > 0) {
        ssize_t got = ::read(fd, dst, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        dst += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// Sends all of bytes; a child that is gone is a false return, not SIGPIPE.
bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

enum class Waited { Ok, Ended, TooLate };

// Reads n bytes unless the deadline passes first.
Waited readBefore(int fd, char* dst, size_t n, std::chrono::steady_clock::time_point deadline) {
    while (n > 0) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Waited::TooLate;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
        if (ready < 0 && errno != EINTR)
            return Waited::Ended;
        if (ready <= 0)
            continue;
        ssize_t got = ::read(fd, dst, n);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return Waited::Ended;
        dst += got;
        n -= static_cast<size_t>(got);
    }
    return Waited::Ok;
}

// The child's side: a request is its length and its bytes; a reply is a
// byte that says whether there is one, its length and its bytes.
[[noreturn]] void serveRequests(int fd, ChildWorker::Handler handler) {
    for (;;) {
        uint64_t size = 0;
        if (!readAll(fd, reinterpret_cast<char*>(&size), sizeof size))
            _exit(0);
        std::string request(size, '\0');
        if (!readAll(fd, request.data(), size))
            _exit(0);
        std::optional<std::string> reply;
        try {
            reply = handler(request);
        } catch (...) {
        }
        char head[1 + sizeof(uint64_t)] = {reply ? '\1' : '\0'};
        uint64_t length = reply ? reply->size() : 0;
        std::memcpy(head + 1, &length, sizeof length);
        if (!writeAll(fd, {head, sizeof head}) || (reply && !writeAll(fd, *reply)))
            _exit(1);
    }
}
} // namespace

ChildWorker::~ChildWorker() {
    std::lock_guard lock(m_);
    stop(false);
}

int ChildWorker::child() const {
    std::lock_guard lock(m_);
    return pid_;
}

bool ChildWorker::start() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // Dies with the thread that started it, should that end or be
        // killed; holds none of the process's files (an output pipe kept
        // open would keep its reader waiting) but standard error.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        int keep = fcntl(fds[1], F_DUPFD, 64);
        int null = ::open("/dev/null", O_RDWR);
        if (keep < 0 || null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(keep, 3) < 0)
            _exit(1);
        close_range(4, ~0u, 0);
        serveRequests(3, handler_);
    }
    ::close(fds[1]);
    fd_ = fds[0];
    pid_ = pid;
    return true;
}

void ChildWorker::stop(bool kill) {
    if (pid_ < 0)
        return;
    if (kill)
        ::kill(pid_, SIGKILL);
    ::close(fd_); // an idle child reads the end and exits
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    fd_ = pid_ = -1;
}

ChildRun ChildWorker::run(std::string_view request, std::chrono::milliseconds budget,
                          std::string& reply) {
    reply.clear();
    std::lock_guard lock(m_);
    const auto deadline = std::chrono::steady_clock::now() + budget;
    // A child that ended before it read the request (killed as its thread
    // ended) is replaced once; one that ends again failed at the request.
    for (int tries = 2;; --tries) {
        if (pid_ >= 0 && waitpid(pid_, nullptr, WNOHANG) != 0) {
            ::close(fd_);
            fd_ = pid_ = -1;
        }
        if (pid_ < 0 && !start())
            return ChildRun::NoChild;
        uint64_t size = request.size();
        char head[1 + sizeof size];
        Waited w = Waited::Ended;
        if (sendAll(fd_, {reinterpret_cast<const char*>(&size), sizeof size}) &&
            sendAll(fd_, request))
            w = readBefore(fd_, head, sizeof head, deadline);
        if (w == Waited::Ok && head[0] == '\1') {
            std::memcpy(&size, head + 1, sizeof size);
            reply.resize(size);
            w = readBefore(fd_, reply.data(), size, deadline);
            if (w == Waited::Ok)
                return ChildRun::Done;
            reply.clear();
        }
        if (w == Waited::Ok)
            return ChildRun::Failed; // the handler gave nothing
        stop(true);
        if (w == Waited::TooLate)
            return ChildRun::TooSlow;
        if (tries == 1)
            return ChildRun::Failed;
    }
}

namespace {
// Standard output is gathered into large writes (many small files each give a
// line or two); it is written out before any message and at exit.
constexpr size_t kOutBuffer = 256 << 10;
struct OutBuffer {
    std::string text;
    ~OutBuffer() { flush(); }
    void flush() {
        writeAll(1, text);
        text.clear();
    }
};
OutBuffer& outBuffer() {
    static OutBuffer b;
    return b;
}
} // namespace

void writeOut(std::string_view text) {
    OutBuffer& b = outBuffer();
    if (b.text.size() + text.size() > kOutBuffer) {
        b.flush();
        if (text.size() >= kOutBuffer) {
            writeAll(1, text);
            return;
        }
    }
    b.text.append(text);
}
void flushOut() {
    outBuffer().flush();
}
void writeErr(std::string_view text) {
    flushOut();
    writeAll(2, text);
}

} // namespace talvo::grep::os
