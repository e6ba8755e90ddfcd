// One file from bytes to printed lines (see searcher.h).
#include "talvo-grep/searcher.h"

#include "talvo-grep/ext/archive.h"
#include "talvo-grep/os.h"
#include "talvo-grep/printer.h"

#include <cstdlib>
#include <cstring>
#include <set>

namespace talvo::grep {

namespace {
// Output beyond this is written at once when the file is printed in order.
constexpr size_t kFlushSize = 4 << 20;
// Files from this size on are read window by window, through a buffer of
// this size that stays in the processor's caches; the first window holds at
// least the part that decides binary or text and the encoding.
constexpr size_t kWindowed = 1 << 20;
constexpr size_t kFirstWindow = 1 << 20;

// TALVO_GREP_WINDOW=N (a test setting) reads every file window by window
// through N-byte windows, so that small test files take that path too.
size_t windowSetting() {
    static const size_t n = [] {
        const char* v = std::getenv("TALVO_GREP_WINDOW");
        long k = v ? std::atol(v) : 0;
        return k > 0 ? static_cast<size_t>(k) : size_t{0};
    }();
    return n;
}
} // namespace

// One text's scan, window after window: the printer, the count and the
// selection of lines, whichever part of the text the buffer holds.
class Searcher::TextScan {
public:
    TextScan(const Searcher& s, const Options& po, bool showNames, const std::string& name,
             std::string_view first, TextKind kind, bool binary, size_t offsetBase,
             ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft)
        : o_(s.o_), m_(s.m_), streaming_(s.streaming_), ctx_(ctx), r_(r), totalLeft_(totalLeft),
          kind_(kind), binary_(binary), name_(name),
          p_(po, showNames, name, first, kind, offsetBase, r.out) {}

    void setKind(TextKind kind) {
        kind_ = kind;
        p_.setKind(kind);
    }
    // Scans the complete lines [from, to) of window, which holds the lines
    // before from that context may print. False once no more is wanted.
    bool scan(std::string_view window, size_t from, size_t to) {
        data_ = window;
        p_.setWindow(window.substr(0, to));
        std::string_view text = window.substr(from, to - from);
        auto select = [&](size_t s, size_t e) { return this->select(from + s, from + e); };
        bool ok = true;
        if (!o_.invert) {
            ok = m_.scanLines(kind_, ctx_, text, select, error_);
        } else {
            size_t cursor = from;
            ok = m_.scanLines(
                kind_, ctx_, text,
                [&](size_t s, size_t e) {
                    while (cursor < from + s) {
                        size_t le = lineEnd(cursor, to);
                        if (!this->select(cursor, le))
                            return false;
                        cursor = le + 1;
                    }
                    cursor = from + e + 1;
                    return true;
                },
                error_);
            while (ok && !done_ && cursor < to) {
                size_t le = lineEnd(cursor, to);
                if (!this->select(cursor, le))
                    break;
                cursor = le + 1;
            }
        }
        if (!ok || !error_.empty()) {
            failed_ = true;
            done_ = true;
        }
        return !done_;
    }
    void leaveWindow(size_t scanEnd, size_t keepFrom) { p_.leaveWindow(scanEnd, keepFrom); }
    void finish() {
        if (failed_) {
            r_.failed = true;
            r_.err += name_ + ": " + error_ + "\n";
        }
        if (o_.silent)
            return;
        if (o_.count && !failed_) {
            p_.count(n_);
        } else if (o_.filesWithMatches) {
            if (n_ > 0)
                p_.fileName();
        } else if (binary_) {
            if (n_ > 0)
                p_.binaryMatch();
        } else if (!o_.count) {
            p_.finish();
        }
        // The result itself says that it lacks part of this file: a count
        // or a list of lines cut short must not pass for the whole answer.
        if (failed_ && !(o_.filesWithMatches && n_ > 0))
            p_.incomplete(n_, error_);
    }

private:
    size_t lineEnd(size_t s, size_t to) const {
        const void* nl = std::memchr(data_.data() + s, '\n', to - s);
        return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data_.data()) : to;
    }
    bool select(size_t s, size_t e) {
        if (o_.maxTotal > 0 && totalLeft_.fetch_sub(1) <= 0)
            return stop();
        ++n_;
        r_.matched = true;
        bool more = o_.maxPerFile < 0 || n_ < o_.maxPerFile;
        if (o_.silent || o_.filesWithMatches || (binary_ && !o_.count))
            return stop();
        if (o_.count)
            return more || stop();
        bool marked = !o_.markOpen.empty() || !o_.markClose.empty();
        if ((o_.onlyMatching || marked) && !o_.invert) {
            parts_.clear();
            m_.matchesInLine(
                kind_, ctx_, data_.substr(s, e - s),
                [&](size_t a, size_t b) { parts_.emplace_back(a, b); }, error_);
            if (!parts_.empty())
                p_.line(s, e, &parts_);
            else if (!o_.onlyMatching)
                p_.line(s, e);
        } else {
            p_.line(s, e);
        }
        if (streaming_ && r_.out.size() > kFlushSize) {
            os::writeOut(r_.out);
            r_.out.clear();
        }
        return more || stop();
    }
    bool stop() {
        done_ = true;
        return false;
    }

    const Options& o_;
    const Matcher& m_;
    bool streaming_;
    ScanContext& ctx_;
    FileResult& r_;
    std::atomic<long>& totalLeft_;
    TextKind kind_;
    bool binary_;
    const std::string& name_;
    Printer p_;
    std::string_view data_;
    long n_ = 0;
    bool done_ = false;
    bool failed_ = false;
    std::string error_;
    std::vector<std::pair<size_t, size_t>> parts_;
};

Searcher::Searcher(const Options& o, const Matcher& m, bool showNames)
    : o_(o), memberOptions_(o), m_(m), showNames_(showNames) {
    if (o.memberHeadersOnMatch && o.header == HeaderMode::AllFiles)
        memberOptions_.header = HeaderMode::MatchingFiles;
}

void Searcher::searchName(const FileEntry& entry, ScanContext& ctx, FileResult& r) const {
    size_t slash = entry.name.find_last_of('/');
    std::string base =
        fileNameToUtf8(slash == std::string::npos ? entry.name : entry.name.substr(slash + 1));
    std::string error;
    TextKind kind = isValidUtf8(base) ? TextKind::Utf8 : TextKind::Bytes;
    bool hit = m_.lineMatches(kind, ctx, base, error);
    if (!error.empty()) {
        r.failed = true;
        r.err += entry.name + ": " + error + "\n";
        return;
    }
    if (hit == o_.invert)
        return;
    r.matched = true;
    if (!o_.silent) {
        Printer p(o_, showNames_, entry.name, {}, TextKind::Utf8, 0, r.out);
        p.fileName();
    }
}

void Searcher::search(const FileEntry& entry, ScanContext& ctx, FileResult& r,
                      std::atomic<long>& totalLeft) const {
    if (o_.fileNameSearch) {
        searchName(entry, ctx, r);
        return;
    }
    // In UTF-8 from here on, in results and messages alike.
    std::string name = entry.path.empty() ? "(standard input)" : fileNameToUtf8(entry.name);
    std::string error;
    if (!entry.path.empty() && searchRegularFile(entry, name, ctx, r, totalLeft))
        return;
    os::FileData file;
    bool ok = entry.path.empty() ? file.loadStdin(error) : file.load(entry.path, error);
    if (!ok) {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
        return;
    }
    searchWhole(file.bytes(), entry, name, ctx, r, totalLeft);
}

void Searcher::searchWhole(std::string_view data, const FileEntry& entry, const std::string& name,
                           ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft) const {
    if (o_.archives && !entry.path.empty() &&
        ext::looksLikeArchive(entry.path, data.substr(0, 1024)) &&
        searchArchive(data, name, ctx, r, totalLeft))
        return;
    searchBytes(data, name, ctx, r, totalLeft, false);
}

bool Searcher::searchRegularFile(const FileEntry& entry, const std::string& name, ScanContext& ctx,
                                 FileResult& r, std::atomic<long>& totalLeft) const {
    size_t window = windowSetting();
    bool forced = window > 0;
    if (!forced)
        window = kWindowed;
    os::FileReader file;
    std::string error;
    if (!file.open(entry.path, error) || !file.regular())
        return false; // the whole-file path reports the error or reads it
    // The buffer is kept per thread: a fresh one would cost its page faults
    // for every file.
    thread_local std::vector<char> buf;
    size_t len = 0;
    auto fill = [&](size_t want) -> bool {
        if (buf.size() < len + want)
            buf.resize(len + want);
        size_t got = 0;
        bool ok = file.read(buf.data() + len, want, got, error);
        len += got;
        return ok;
    };
    auto fail = [&] {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
        return true;
    };
    bool small = !forced && file.size() < kWindowed;
    if (small || (m_.crossesLines() && file.size() < kWindowed)) {
        // Read whole: one read of its size and one more byte finds the end.
        if (!fill(file.size() + 1))
            return fail();
        while (!file.eof())
            if (!fill(std::max(len, window)))
                return fail();
        searchWhole({buf.data(), len}, entry, name, ctx, r, totalLeft);
        return true;
    }
    if (m_.crossesLines())
        return false; // a large file across lines: mapped as a whole
    file.adviseSequential();
    if (!fill(std::max(window, kFirstWindow)))
        return fail();
    std::string_view head(buf.data(), len);
    bool utf16Bom = head.size() >= 2 && ((head[0] == '\xFF' && head[1] == '\xFE') ||
                                         (head[0] == '\xFE' && head[1] == '\xFF'));
    if (utf16Bom || (o_.archives && ext::looksLikeArchive(entry.path, head.substr(0, 1024))))
        return false; // transcoded or unpacked as a whole
    bool binary = std::memchr(head.data(), '\0', std::min(head.size(), kBinaryProbe));
    size_t offsetBase = 0;
    TextKind kind = TextKind::Bytes;
    // UTF-8 is taken for as long as each window reads as UTF-8; a window
    // that does not turns the rest of the file over to the double-byte
    // judgement of its first mebibyte, the one the whole-file path makes.
    bool checkUtf8 = false;
    if (!binary) {
        if (head.size() >= 3 && head.substr(0, 3) == "\xEF\xBB\xBF") {
            offsetBase = 3;
            std::memmove(buf.data(), buf.data() + 3, len - 3);
            len -= 3;
            kind = TextKind::Utf8;
        } else {
            // Judged on whole lines: the window may end inside a character.
            std::string_view judged = head;
            if (!file.eof()) {
                size_t nl = head.rfind('\n');
                judged = head.substr(0, nl == std::string_view::npos ? completeUtf8Prefix(head)
                                                                     : nl + 1);
            }
            Detection det = detectEncoding(judged);
            kind = det.kind;
            checkUtf8 = kind == TextKind::Utf8 && !file.eof();
        }
    }
    TextScan scan(*this, o_, showNames_, name, {buf.data(), len}, kind, binary, offsetBase, ctx, r,
                  totalLeft);
    size_t from = 0; // start of the lines not yet scanned
    for (;;) {
        std::string_view data(buf.data(), len);
        size_t to = len;
        if (!file.eof()) {
            const void* nl = memrchr(data.data() + from, '\n', len - from);
            if (!nl) {
                // No whole line yet: a longer line than the window.
                if (!fill(std::max(window, len)))
                    return fail();
                continue;
            }
            to = static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1;
        }
        if (checkUtf8 && !isValidUtf8(data.substr(from, to - from))) {
            checkUtf8 = false;
            std::string start;
            if (!file.readStart(start, 1 << 20, error))
                return fail();
            scan.setKind(detectDoubleByteEncoding(start));
        }
        if (!scan.scan(data, from, to) || file.eof())
            break;
        // The lines that before-context may print come along.
        size_t keep = to;
        for (int k = 0; k < o_.before && keep > 0; ++k) {
            const void* nl = keep > 1 ? memrchr(data.data(), '\n', keep - 1) : nullptr;
            keep = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : 0;
        }
        scan.leaveWindow(to, keep);
        std::memmove(buf.data(), buf.data() + keep, len - keep);
        len -= keep;
        from = to - keep;
        if (!fill(window))
            return fail();
    }
    scan.finish();
    return true;
}

bool Searcher::searchArchive(std::string_view data, const std::string& name, ScanContext& ctx,
                             FileResult& r, std::atomic<long>& totalLeft) const {
    ext::ArchiveLimits limits;
    std::set<std::string> hits; // members of the outer archive with a match
    bool anyMatch = r.matched;
    auto message = [&](const std::string& text, bool failure) {
        r.failed = r.failed || failure;
        if (!o_.quiet)
            r.err += text + "\n";
    };
    ext::ArchiveRead read = ext::readArchive(
        data, name, limits,
        [&](const ext::ArchiveMember& m) {
            std::string shown = m.path.empty()    ? name
                                : o_.archiveNames ? name + "/" + m.path
                                                  : m.path;
            r.matched = false;
            searchBytes(m.data, shown, ctx, r, totalLeft, true);
            if (r.matched)
                hits.insert(m.topLevel);
            anyMatch = anyMatch || r.matched;
            r.matched = anyMatch;
            return !(o_.silent && anyMatch) && !(o_.maxTotal > 0 && totalLeft.load() <= 0);
        },
        message);
    r.matched = anyMatch;
    if (read.notArchive)
        return false;
    if (o_.extractMatches && !hits.empty())
        ext::extractMembers(data, name, hits, ".", limits, message);
    return true;
}

void Searcher::searchBytes(std::string_view data, const std::string& name, ScanContext& ctx,
                           FileResult& r, std::atomic<long>& totalLeft, bool member) const {
    Detection det;
    // UTF-16 text is full of NUL bytes; its byte-order mark decides first.
    bool utf16Bom = data.size() >= 2 && ((data[0] == '\xFF' && data[1] == '\xFE') ||
                                         (data[0] == '\xFE' && data[1] == '\xFF'));
    bool binary = !utf16Bom && std::memchr(data.data(), '\0', std::min(data.size(), kBinaryProbe));
    if (binary) {
        searchText(data, TextKind::Bytes, 0, name, ctx, r, totalLeft, member);
        return;
    }
    det = detectEncoding(data);
    if (det.kind == TextKind::Utf16LE || det.kind == TextKind::Utf16BE) {
        std::string text = utf16ToUtf8(data.substr(det.bomLength), det.kind == TextKind::Utf16BE);
        // Searched as UTF-8; the kind lets the printer give offsets in the file.
        searchText(text, det.kind, det.bomLength, name, ctx, r, totalLeft, member);
        return;
    }
    searchText(data.substr(det.bomLength), det.kind, det.bomLength, name, ctx, r, totalLeft,
               member);
}

void Searcher::searchText(std::string_view data, TextKind kind, size_t offsetBase,
                          const std::string& name, ScanContext& ctx, FileResult& r,
                          std::atomic<long>& totalLeft, bool member) const {
    bool binary = kind == TextKind::Bytes &&
                  std::memchr(data.data(), '\0', std::min(data.size(), kBinaryProbe));
    // Members always carry their names: an archive holds many files.
    TextScan scan(*this, member ? memberOptions_ : o_, showNames_ || (member && !o_.noFileName),
                  name, data, kind, binary, offsetBase, ctx, r, totalLeft);
    scan.scan(data, 0, data.size());
    scan.finish();
}

} // namespace talvo::grep
