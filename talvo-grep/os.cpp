// POSIX and iconv behind the small interface of os.h.
#include "talvo-grep/os.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace talvo::grep::os {

namespace {
// Below this size a plain read is cheaper than a mapping.
constexpr size_t kMapThreshold = 1 << 20;

std::string errnoText() {
    return std::strerror(errno);
}

// Opens path for reading and tells what it is; -1 and error on failure.
int openForReading(const std::string& path, struct stat& st, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errnoText();
        return -1;
    }
    if (fstat(fd, &st) != 0) {
        error = errnoText();
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

FileData::~FileData() {
    release();
}

void FileData::release() {
    if (map_ != nullptr) {
        munmap(map_, size_);
    }
    map_ = nullptr;
    data_ = nullptr;
    size_ = 0;
    owned_.clear();
}

bool FileData::load(const std::string& path, std::string& error) {
    release();
    struct stat st {};
    int fd = openForReading(path, st, error);
    if (fd < 0)
        return false;
    if (S_ISDIR(st.st_mode)) {
        error = "is a directory";
        ::close(fd);
        return false;
    }
    size_t size = static_cast<size_t>(st.st_size);
    if (S_ISREG(st.st_mode) && size >= kMapThreshold) {
        void* m = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            // Advice values are not flags: each is given on its own.
            madvise(m, size, MADV_SEQUENTIAL);
            madvise(m, size, MADV_WILLNEED);
            map_ = m;
            data_ = static_cast<const char*>(m);
            size_ = size;
            ::close(fd);
            return true;
        }
    }
    // Read until end of file: the size may be unknown (pipes, /proc) or change.
    owned_.resize(S_ISREG(st.st_mode) ? size + 1 : 65536);
    size_t used = 0;
    for (;;) {
        if (used == owned_.size()) {
            owned_.resize(owned_.size() * 2);
        }
        ssize_t n = ::read(fd, owned_.data() + used, owned_.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errnoText();
            ::close(fd);
            owned_.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    owned_.resize(used);
    data_ = owned_.data();
    size_ = used;
    return true;
}

bool FileData::loadStdin(std::string& error) {
    release();
    owned_.resize(65536);
    size_t used = 0;
    for (;;) {
        if (used == owned_.size()) {
            owned_.resize(owned_.size() * 2);
        }
        ssize_t n = ::read(0, owned_.data() + used, owned_.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errnoText();
            return false;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    owned_.resize(used);
    data_ = owned_.data();
    size_ = used;
    return true;
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileReader::open(const std::string& path, std::string& error) {
    struct stat st {};
    fd_ = openForReading(path, st, error);
    if (fd_ < 0)
        return false;
    regular_ = S_ISREG(st.st_mode);
    size_ = static_cast<size_t>(st.st_size);
    return true;
}

void FileReader::adviseSequential() const {
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool FileReader::read(char* dst, size_t want, size_t& got, std::string& error) {
    got = 0;
    while (got < want) {
        ssize_t n = ::read(fd_, dst + got, want - got);
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

bool FileReader::readStart(std::string& out, size_t n, std::string& error) {
    out.resize(n);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd_, out.data() + got, n - got, static_cast<off_t>(got));
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
void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return; // a closed pipe: nothing more can be written
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}
} // namespace

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
