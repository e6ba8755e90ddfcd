// Archive reading and safe extraction (see archive.h).
#include "talvo-grep/ext/archive.h"

#include "platform/files.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::grep::ext {

namespace {

constexpr size_t kChunk = 256 * 1024;
// A member up to this size is read whole before it is handed on.
constexpr size_t kHeldWhole = 8 << 20;

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2))
            return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

// libarchive turns stored names into the thread's locale; a UTF-8 locale for
// the reading thread makes names marked as UTF-8 (zip flag, pax, 7z) come out
// unchanged, while unmarked names come out as their stored bytes.
class Utf8Locale {
public:
    Utf8Locale() {
        static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (loc)
            old_ = uselocale(loc);
    }
    ~Utf8Locale() {
        if (old_)
            uselocale(old_);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    locale_t old_ = nullptr;
};

// An archive in a regular file, read at offsets as libarchive asks.
// A descriptor closed when it goes.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0)
            close(fd);
    }
};

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

struct FileCursor {
    int fd;
    int64_t size;
    int64_t pos = 0;
    std::vector<char> buf = std::vector<char>(kChunk);
};

la_ssize_t cursorRead(archive* a, void* p, const void** out) {
    auto* c = static_cast<FileCursor*>(p);
    ssize_t n = 0;
    do {
        n = ::pread(c->fd, c->buf.data(), c->buf.size(), static_cast<off_t>(c->pos));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        archive_set_error(a, errno, "%s", std::strerror(errno));
        return ARCHIVE_FATAL;
    }
    c->pos += n;
    *out = c->buf.data();
    return n;
}

la_int64_t cursorSeek(archive*, void* p, la_int64_t offset, int whence) {
    auto* c = static_cast<FileCursor*>(p);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? c->pos : c->size;
    if (base + offset < 0)
        return ARCHIVE_FATAL;
    c->pos = base + offset;
    return c->pos;
}

la_int64_t cursorSkip(archive*, void* p, la_int64_t request) {
    auto* c = static_cast<FileCursor*>(p);
    int64_t n = std::max<int64_t>(0, std::min<int64_t>(request, c->size - c->pos));
    c->pos += n;
    return n;
}

// The deleter keeps a file's cursor as long as the handle.
struct ArchiveFree {
    std::shared_ptr<FileCursor> cursor;
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

// An archive's bytes in memory, or a regular file whose first bytes are head.
struct Source {
    std::string_view head;
    int fd = -1;
    uint64_t size = 0;
};

// Only the formats that are searched as archives: anything else that
// libarchive could take for one (mtree and cpio read plain text lines as
// entries) stays text.
ArchivePtr newReader(const Source& src, bool singleStream, int& rc) {
    ArchivePtr a(archive_read_new());
    archive_read_support_filter_gzip(a.get());
    archive_read_support_filter_bzip2(a.get());
    archive_read_support_filter_xz(a.get());
    if (!singleStream) {
        archive_read_support_format_zip(a.get());
        archive_read_support_format_7zip(a.get());
        archive_read_support_format_lha(a.get());
        archive_read_support_format_tar(a.get());
    }
    archive_read_support_format_raw(a.get());
    // lzh headers carry no encoding mark, and the reader needs names it can
    // turn into wide characters: they are code page 932.
    if (!singleStream)
        archive_read_set_format_option(a.get(), "lha", "hdrcharset", "CP932");
    if (src.fd < 0) {
        rc = archive_read_open_memory(a.get(), src.head.data(), src.head.size());
        return a;
    }
    a.get_deleter().cursor =
        std::make_shared<FileCursor>(FileCursor{src.fd, static_cast<int64_t>(src.size)});
    archive_read_set_callback_data(a.get(), a.get_deleter().cursor.get());
    archive_read_set_read_callback(a.get(), cursorRead);
    archive_read_set_seek_callback(a.get(), cursorSeek);
    archive_read_set_skip_callback(a.get(), cursorSkip);
    rc = archive_read_open1(a.get());
    return a;
}

bool compressedStream(std::string_view h) {
    using namespace std::string_view_literals;
    return h.substr(0, 2) == "\x1F\x8B"sv || h.substr(0, 3) == "BZh"sv ||
           h.substr(0, 6) == "\xFD"
                             "7zXZ\0"sv;
}

// rc receives the result of opening; the error is read from the handle.
// A compressed stream is a tar only when a tar header starts it: the tar
// reader takes a text that begins with zero bytes for an empty archive.
ArchivePtr openReader(const Source& data, int& rc) {
    if (compressedStream(data.head)) {
        ArchivePtr probe = newReader(data, false, rc);
        archive_entry* e = nullptr;
        if (rc == ARCHIVE_OK && archive_read_next_header(probe.get(), &e) == ARCHIVE_EOF &&
            (archive_format(probe.get()) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR)
            return newReader(data, true, rc);
    }
    return newReader(data, false, rc);
}

std::string errorOf(archive* a) {
    const char* e = archive_error_string(a);
    return e && *e ? e : "unreadable archive";
}

bool isRaw(archive* a) {
    return archive_format(a) == ARCHIVE_FORMAT_RAW;
}

std::string memberName(archive* a, archive_entry* e) {
    if (isRaw(a))
        return "";
    const char* p = archive_entry_pathname(e);
    std::string n = memberNameToUtf8(p ? p : "");
    while (n.size() > 2 && n.compare(0, 2, "./") == 0)
        n.erase(0, 2);
    return n;
}

std::string join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "/" + b;
}

struct Reader {
    const ArchiveLimits& lim;
    const std::function<bool(const ArchiveMember&)>& onMember;
    const ArchiveMessage& message;
    uint64_t total = 0;
    bool stopAll = false;
    bool failed = false;

    void fail(const std::string& text) {
        failed = true;
        message(text, true);
    }

    // prefix: shown name of this archive; inside: its path inside the outer
    // archive and top the outer member holding it (both "" at depth 1).
    ArchiveRead read(const Source& data, const std::string& prefix, const std::string& inside,
                     const std::string& top, int depth) {
        ArchiveRead res;
        int rc = ARCHIVE_OK;
        ArchivePtr a = openReader(data, rc);
        if (rc != ARCHIVE_OK) {
            fail(prefix + ": broken archive: " + errorOf(a.get()));
            return res;
        }
        uint64_t unpacked = 0;
        bool first = true;
        int failures = 0;
        for (;;) {
            archive_entry* e = nullptr;
            int r = archive_read_next_header(a.get(), &e);
            if (r == ARCHIVE_EOF)
                break;
            if (r < ARCHIVE_WARN) {
                fail(prefix + ": broken archive: " + errorOf(a.get()));
                if (r == ARCHIVE_FATAL || ++failures > 100)
                    break;
                continue;
            }
            if (first && isRaw(a.get()) && archive_filter_count(a.get()) <= 1) {
                // Marked as an archive but no format reads it: broken.
                if (looksLikeArchive("", data.head)) {
                    fail(prefix + ": broken archive: no archive format reads it");
                    return finish(res);
                }
                res.notArchive = true;
                return res;
            }
            first = false;
            if (archive_entry_filetype(e) != AE_IFREG)
                continue;
            std::string name = memberName(a.get(), e);
            std::string shown = join(prefix, name);
            if (archive_entry_is_encrypted(e)) {
                fail(shown + ": encrypted, not searched");
                continue;
            }
            // A member is read whole up to kHeldWhole, and one byte more; a
            // larger one is handed on with its first bytes and read on as it
            // is searched, unless it is an archive itself. A member of known
            // size is read into that much: a small member costs no large
            // buffer.
            std::string buf;
            bool sized = archive_entry_size_is_set(e);
            uint64_t expected = sized ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
            if (sized)
                buf.reserve(static_cast<size_t>(std::min<uint64_t>(expected, kHeldWhole)) + 1);
            Status st = Status::Ok;
            std::string error;
            bool ended = false;
            while (buf.size() <= kHeldWhole) {
                size_t old = buf.size();
                size_t want = std::clamp<size_t>(old, 16 * 1024, kChunk);
                if (sized && old <= expected)
                    want = static_cast<size_t>(std::min<uint64_t>(kChunk, expected + 1 - old));
                buf.resize(old + want);
                size_t n = 0;
                st = pull(a.get(), unpacked, buf.data() + old, want, n, error);
                buf.resize(old + n);
                if (st != Status::Ok || n == 0) {
                    ended = st == Status::Ok;
                    break;
                }
            }
            // An archive inside is read to its end, up to the limit: what a
            // member may hold in memory, the rest into a temporary file.
            bool nested = st == Status::Ok && !name.empty() && looksLikeArchive(name, buf);
            Descriptor copy;
            uint64_t size = buf.size();
            if (nested && depth < lim.maxDepth && !ended) {
                st = copyRest(a.get(), unpacked, buf, copy, size, error);
                ended = st == Status::Ok;
            }
            if (st != Status::Ok) {
                After next = afterFailure(st, shown + ": " + error);
                if (next == After::Stop)
                    return finish(res);
                if (next == After::Abandon)
                    break;
                continue;
            }
            if (ended && sized && size != expected) {
                fail(shown + ": truncated, not searched");
                continue;
            }
            std::string holder = depth == 1 ? name : top;
            std::string path = inside.empty() ? name : join(inside, name);
            if (nested && depth >= lim.maxDepth) {
                message(shown + ": archive nested deeper than " + std::to_string(lim.maxDepth) +
                            ", not searched inside",
                        false);
                continue;
            }
            if (nested) {
                ArchiveRead inner = read(copy.fd >= 0 ? Source{buf, copy.fd, size} : Source{buf},
                                         shown, path, holder, depth + 1);
                if (stopAll)
                    return finish(res);
                if (!inner.notArchive)
                    continue;
            }
            // Not an archive after all: a copy is read on from after the
            // head it kept.
            ArchiveMember member{path, holder, buf, ended && copy.fd < 0, {}};
            // The rest as it is searched; what stops it is reported by the
            // searcher with the member's name, and acted on here after.
            uint64_t got = size;
            bool reachedEnd = ended;
            Status late = Status::Ok;
            if (copy.fd >= 0) {
                uint64_t at = buf.size();
                member.readMore = [&copy, at](char* dst, size_t want, size_t& n,
                                              std::string& why) mutable {
                    n = 0;
                    while (n < want) {
                        ssize_t part = pread(copy.fd, dst + n, want - n, static_cast<off_t>(at));
                        if (part < 0 && errno == EINTR)
                            continue;
                        if (part < 0) {
                            why = std::strerror(errno);
                            return false;
                        }
                        if (part == 0)
                            break;
                        n += static_cast<size_t>(part);
                        at += static_cast<uint64_t>(part);
                    }
                    return true;
                };
            } else if (!ended) {
                member.readMore = [&](char* dst, size_t want, size_t& n, std::string& why) {
                    n = 0;
                    while (n < want && !reachedEnd) {
                        size_t part = 0;
                        late = pull(a.get(), unpacked, dst + n, want - n, part, why);
                        if (late != Status::Ok) {
                            failed = true;
                            return false;
                        }
                        n += part;
                        got += part;
                        reachedEnd = part == 0;
                    }
                    return true;
                };
            }
            if (!onMember(member)) {
                stopAll = true;
                return finish(res);
            }
            if (late == Status::StopAll)
                stopAll = true;
            if (late == Status::StopAll || late == Status::StopHere)
                return finish(res);
            if (late == Status::Fatal)
                break;
            if (late == Status::Ok && reachedEnd && sized && got != expected)
                fail(shown + ": truncated");
        }
        return finish(res);
    }

    // How reading a member's data ended.
    enum class Status { Ok, Failed, Fatal, StopHere, StopAll };
    // What follows a member that could not be read: the next member, the end
    // of this archive (and of any around it), or the end of a broken one.
    enum class After { NextMember, Stop, Abandon };

    // The rest of the present member after head, which holds its first
    // bytes, into a temporary file that gets head too; head keeps only what
    // judges the format. size counts the whole member.
    Status copyRest(archive* a, uint64_t& unpacked, std::string& head, Descriptor& copy,
                    uint64_t& size, std::string& error) {
        copy.fd = platform::openNamelessTempFile(error);
        if (copy.fd < 0)
            return Status::Failed;
        auto cannot = [&] {
            error = std::string("cannot copy it: ") + std::strerror(errno);
            return Status::Failed;
        };
        if (!writeAll(copy.fd, head.data(), head.size()))
            return cannot();
        head.resize(std::min(head.size(), kChunk));
        head.shrink_to_fit();
        std::string chunk(kChunk, '\0');
        for (;;) {
            if (size > lim.maxMemberBytes) {
                error = "larger than " + std::to_string(lim.maxMemberBytes >> 20) +
                        " MiB, not searched";
                return Status::Failed;
            }
            size_t n = 0;
            Status st = pull(a, unpacked, chunk.data(), kChunk, n, error);
            if (st != Status::Ok || n == 0)
                return st;
            if (!writeAll(copy.fd, chunk.data(), n))
                return cannot();
            size += n;
        }
    }

    After afterFailure(Status st, const std::string& text) {
        fail(text);
        if (st == Status::StopAll)
            stopAll = true;
        if (st == Status::StopAll || st == Status::StopHere)
            return After::Stop;
        return st == Status::Fatal ? After::Abandon : After::NextMember;
    }

    // Up to want bytes of the present member into dst (0 at its end), with
    // the limits on what one archive may unpack to.
    Status pull(archive* a, uint64_t& unpacked, char* dst, size_t want, size_t& got,
                std::string& error) {
        got = 0;
        la_ssize_t n = archive_read_data(a, dst, want);
        if (n < 0) {
            error = errorOf(a);
            return n == ARCHIVE_FATAL ? Status::Fatal : Status::Failed;
        }
        got = static_cast<size_t>(n);
        unpacked += got;
        total += got;
        la_int64_t packed = archive_filter_bytes(a, -1);
        if (unpacked > lim.ratioFloor &&
            static_cast<double>(unpacked) >
                lim.maxRatio * static_cast<double>(packed > 0 ? packed : 1)) {
            error = "stopped: unpacks to more than " +
                    std::to_string(static_cast<long>(lim.maxRatio)) +
                    " times its packed size, not a real archive";
            return Status::StopHere;
        }
        if (total > lim.maxTotalBytes) {
            error = "stopped: the archive unpacks to more than " +
                    std::to_string(lim.maxTotalBytes >> 20) + " MiB";
            return Status::StopAll;
        }
        return Status::Ok;
    }

    ArchiveRead finish(ArchiveRead r) const {
        r.failed = failed;
        return r;
    }
};

// File-system side of extraction: every step below one open directory, with
// no symbolic link followed.
class ExtractDir {
public:
    explicit ExtractDir(const std::string& dir)
        : fd_(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~ExtractDir() {
        if (fd_ >= 0)
            close(fd_);
    }
    ExtractDir(const ExtractDir&) = delete;
    ExtractDir& operator=(const ExtractDir&) = delete;
    bool ok() const { return fd_ >= 0; }

    // Opens parts' directory (creating what is missing) and creates the file;
    // -1 with exists or why set otherwise. parentFd receives the directory.
    int create(const std::vector<std::string>& parts, int& parentFd, bool& exists,
               std::string& why) const {
        exists = false;
        int dir = dup(fd_);
        for (size_t i = 0; i + 1 < parts.size() && dir >= 0; ++i) {
            mkdirat(dir, parts[i].c_str(), 0755);
            int next =
                openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0)
                why = "the folder " + parts[i] + " cannot be used (" + std::strerror(errno) + ")";
            close(dir);
            dir = next;
        }
        if (dir < 0)
            return -1;
        int f = openat(dir, parts.back().c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (f < 0) {
            exists = errno == EEXIST;
            why = std::strerror(errno);
            close(dir);
            return -1;
        }
        parentFd = dir;
        return f;
    }

private:
    int fd_;
};

std::string strippedBaseName(const std::string& name) {
    size_t slash = name.find_last_of('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? "" : base.substr(0, dot);
}

} // namespace

bool looksLikeArchive(std::string_view name, std::string_view h) {
    auto starts = [&](std::string_view m) { return h.substr(0, m.size()) == m; };
    using namespace std::string_view_literals;
    if (starts("PK\x03\x04"sv) || starts("PK\x05\x06"sv) || starts("7z\xBC\xAF\x27\x1C"sv) ||
        starts("\x1F\x8B"sv) || starts("BZh"sv) ||
        starts("\xFD"
               "7zXZ\0"sv))
        return true;
    if (h.size() >= 7 && h[2] == '-' && h[3] == 'l' && (h[4] == 'h' || h[4] == 'z') && h[6] == '-')
        return true;
    if (h.size() >= 512 && h.substr(257, 5) == "ustar")
        return true;
    if (name.size() >= 4 && h.size() >= 512) {
        std::string ext(name.substr(name.size() - 4));
        for (char& c : ext)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return ext == ".tar";
    }
    return false;
}

std::string memberNameToUtf8(std::string_view stored) {
    std::string out;
    if (validUtf8(stored)) {
        out.assign(stored);
    } else {
        iconv_t cd = iconv_open("UTF-8", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            out.assign(stored);
        } else {
            // Invalid bytes become U+FFFD one at a time; the rest is converted.
            char* in = const_cast<char*>(stored.data());
            size_t inLeft = stored.size();
            while (inLeft > 0) {
                char buf[256];
                char* o = buf;
                size_t oLeft = sizeof buf;
                size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
                out.append(buf, static_cast<size_t>(o - buf));
                if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                    out += "\xEF\xBF\xBD";
                    ++in;
                    --inLeft;
                    iconv(cd, nullptr, nullptr, nullptr, nullptr);
                }
            }
            iconv_close(cd);
        }
    }
    for (char& c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

bool safeMemberPath(std::string_view name, std::vector<std::string>& parts, std::string& why) {
    parts.clear();
    std::string n(name);
    for (char& c : n) {
        if (c == '\\')
            c = '/';
    }
    if (n.empty()) {
        why = "the name is empty";
        return false;
    }
    if (n[0] == '/') {
        why = "the name is an absolute path";
        return false;
    }
    if (n.size() >= 2 && n[1] == ':' &&
        ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= 'a' && n[0] <= 'z'))) {
        why = "the name has a drive letter";
        return false;
    }
    size_t s = 0;
    while (s <= n.size()) {
        size_t e = n.find('/', s);
        if (e == std::string::npos)
            e = n.size();
        std::string part = n.substr(s, e - s);
        if (part == "..") {
            why = "the name leads outside the current directory";
            return false;
        }
        if (!part.empty() && part != ".")
            parts.push_back(part);
        s = e + 1;
    }
    if (parts.empty()) {
        why = "the name is empty";
        return false;
    }
    return true;
}

ArchiveRead readArchive(std::string_view data, const std::string& name, const ArchiveLimits& lim,
                        const std::function<bool(const ArchiveMember&)>& onMember,
                        const ArchiveMessage& message) {
    Utf8Locale locale;
    Reader reader{lim, onMember, message};
    return reader.read(Source{data}, name, "", "", 1);
}

ArchiveRead readArchive(int fd, uint64_t size, std::string_view head, const std::string& name,
                        const ArchiveLimits& lim,
                        const std::function<bool(const ArchiveMember&)>& onMember,
                        const ArchiveMessage& message) {
    Utf8Locale locale;
    Reader reader{lim, onMember, message};
    return reader.read(Source{head, fd, size}, name, "", "", 1);
}

namespace {
ExtractResult extractFrom(const Source& src, const std::string& name,
                          const std::set<std::string>& members, const std::string& dir,
                          const ArchiveLimits& lim, const ArchiveMessage& message) {
    Utf8Locale locale;
    ExtractResult res;
    auto fail = [&](const std::string& text) {
        res.failed = true;
        message(text, true);
    };
    ExtractDir target(dir);
    if (!target.ok()) {
        fail(dir + ": cannot write here: " + std::strerror(errno));
        return res;
    }
    int rc = ARCHIVE_OK;
    ArchivePtr a = openReader(src, rc);
    if (rc != ARCHIVE_OK) {
        fail(name + ": broken archive: " + errorOf(a.get()));
        return res;
    }
    uint64_t written = 0;
    std::vector<char> buf(kChunk);
    for (;;) {
        archive_entry* e = nullptr;
        int r = archive_read_next_header(a.get(), &e);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            fail(name + ": broken archive: " + errorOf(a.get()));
            if (r == ARCHIVE_FATAL)
                break;
            continue;
        }
        std::string member = memberName(a.get(), e);
        if (!members.count(member))
            continue;
        std::string shown = join(name, member);
        if (archive_entry_filetype(e) != AE_IFREG) {
            fail(shown + ": not a regular file, not extracted");
            continue;
        }
        if (archive_entry_is_encrypted(e)) {
            fail(shown + ": encrypted, not extracted");
            continue;
        }
        std::string outName = member.empty() ? strippedBaseName(name) : member;
        std::vector<std::string> parts;
        std::string why;
        if (!safeMemberPath(outName, parts, why)) {
            fail(shown + ": not extracted: " + why);
            continue;
        }
        int parent = -1;
        bool exists = false;
        int f = target.create(parts, parent, exists, why);
        if (f < 0) {
            if (exists) {
                ++res.skipped;
                message(shown + ": " + outName + " exists, not overwritten", false);
            } else {
                fail(shown + ": not extracted: " + why);
            }
            continue;
        }
        bool ok = true;
        std::string stop;
        for (;;) {
            la_ssize_t n = archive_read_data(a.get(), buf.data(), buf.size());
            if (n == 0)
                break;
            if (n < 0) {
                stop = errorOf(a.get());
                break;
            }
            written += static_cast<uint64_t>(n);
            la_int64_t packed = archive_filter_bytes(a.get(), -1);
            if (written > lim.maxExtractBytes) {
                stop = "stopped: more than " + std::to_string(lim.maxExtractBytes >> 20) +
                       " MiB to write";
                break;
            }
            if (written > lim.ratioFloor &&
                static_cast<double>(written) >
                    lim.maxRatio * static_cast<double>(packed > 0 ? packed : 1)) {
                stop = "stopped: unpacks to more than " +
                       std::to_string(static_cast<long>(lim.maxRatio)) +
                       " times its packed size, not a real archive";
                break;
            }
            if (!writeAll(f, buf.data(), static_cast<size_t>(n))) {
                stop = std::string("cannot write: ") + std::strerror(errno);
                break;
            }
        }
        ok = stop.empty();
        close(f);
        if (!ok) {
            unlinkat(parent, parts.back().c_str(), 0); // no half-written file stays
            close(parent);
            fail(shown + ": " + stop);
            if (stop.rfind("stopped", 0) == 0)
                break;
            continue;
        }
        close(parent);
        ++res.written;
    }
    return res;
}
} // namespace

ExtractResult extractMembers(std::string_view data, const std::string& name,
                             const std::set<std::string>& members, const std::string& dir,
                             const ArchiveLimits& lim, const ArchiveMessage& message) {
    return extractFrom(Source{data}, name, members, dir, lim, message);
}

ExtractResult extractMembers(int fd, uint64_t size, std::string_view head, const std::string& name,
                             const std::set<std::string>& members, const std::string& dir,
                             const ArchiveLimits& lim, const ArchiveMessage& message) {
    return extractFrom(Source{head, fd, size}, name, members, dir, lim, message);
}

} // namespace talvo::grep::ext
