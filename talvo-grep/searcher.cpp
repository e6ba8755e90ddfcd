// One file from bytes to printed lines (see searcher.h).
#include "talvo-grep/searcher.h"

#include "talvo-grep/ext/archive.h"
#include "talvo-grep/os.h"
#include "talvo-grep/printer.h"
#include "talvo-grep/reader.h"

#include <algorithm>
#include <new>

#include <cstdlib>
#include <cstring>
#include <set>

namespace talvo::grep {

namespace {
// Files from this size on are read window by window, through a buffer of
// this size that stays in the processor's caches; the first window holds at
// least the part that decides binary or text and the encoding.
constexpr size_t kWindowed = 1 << 20;
constexpr size_t kFirstWindow = 1 << 20;
// A line longer than this is reported and not searched, so that no input can
// make the program hold more than this and its windows; an input that has to
// be searched as a whole and cannot be mapped is held up to this size.
constexpr size_t kLineLimit = 256 << 20;
// The text judged for its encoding where a later window stops reading as UTF-8.
constexpr size_t kJudged = 1 << 20;
// The part of a window checked for UTF-8 and searched before the next: it
// stays in the processor's second-level cache between the two.
constexpr size_t kPiece = 256 << 10;

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

// TALVO_GREP_LINE_LIMIT=N (a test setting) lowers the line limit.
size_t lineLimit() {
    static const size_t n = [] {
        const char* v = std::getenv("TALVO_GREP_LINE_LIMIT");
        long k = v ? std::atol(v) : 0;
        return k > 0 ? static_cast<size_t>(k) : kLineLimit;
    }();
    return n;
}

// The end of the piece of [at, to) that starts at at: the line end after
// kPiece bytes, or to.
size_t pieceEnd(std::string_view data, size_t at, size_t to) {
    size_t piece = windowSetting() > 0 ? std::max<size_t>(windowSetting() / 4, 1) : kPiece;
    if (to - at <= piece + piece / 2)
        return to;
    const void* nl = std::memchr(data.data() + at + piece, '\n', to - at - piece);
    return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : to;
}

std::string sizeText(size_t n) {
    return n >= (1 << 20) ? std::to_string(n >> 20) + " MiB" : std::to_string(n) + " bytes";
}

bool startsWithUtf16Bom(std::string_view d) {
    return d.size() >= 2 &&
           ((d[0] == '\xFF' && d[1] == '\xFE') || (d[0] == '\xFE' && d[1] == '\xFF'));
}
} // namespace

// One text's scan, window after window: the printer, the count and the
// selection of lines, whichever part of the text the buffer holds.
class Searcher::TextScan {
public:
    TextScan(const Searcher& s, const Options& po, bool showNames, const std::string& name,
             std::string_view first, TextKind kind, bool binary, size_t offsetBase,
             ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft)
        : o_(s.o_), m_(s.m_), ctx_(ctx), r_(r), totalLeft_(totalLeft), kind_(kind), binary_(binary),
          name_(name), p_(po, showNames, name, first, kind, offsetBase, r.out) {}

    void setKind(TextKind kind) {
        kind_ = kind;
        p_.setKind(kind);
    }
    // Lines that are selected alone, with no lines around them printed:
    // their UTF-8 check may wait until one is found.
    bool linesStandAlone() const { return !o_.invert && o_.before == 0 && o_.after == 0; }
    long selected() const { return n_; }
    // Scans the complete lines [from, to) of window, which holds the lines
    // before from that context may print. False once no more is wanted.
    // With done, more text follows: a match across lines may be left at the
    // end for the next window, and *done tells where the lines scanned end.
    // With valid, the lines are UTF-8 still to be checked: the scan checks
    // them before it prints any, and when they are not, prints nothing and
    // sets *valid to false.
    bool scan(std::string_view window, size_t from, size_t to, size_t* done = nullptr,
              bool* valid = nullptr) {
        data_ = window;
        p_.setWindow(window.substr(0, to));
        std::string_view text = window.substr(from, to - from);
        auto select = [&](size_t s, size_t e) { return this->select(from + s, from + e); };
        bool ok = true;
        size_t rest = text.size();
        size_t* resume = done ? &rest : nullptr;
        if (valid) {
            ok = m_.scanLines(kind_, ctx_, text, select, error_, resume, valid);
        } else if (!o_.invert) {
            ok = m_.scanLines(kind_, ctx_, text, select, error_, resume);
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
                error_, resume);
            to = from + rest;
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
        if (done)
            *done = from + rest;
        return !done_;
    }
    void leaveWindow(size_t scanEnd, size_t keepFrom) { p_.leaveWindow(scanEnd, keepFrom); }
    // The same for a window that was not scanned.
    void passWindow(std::string_view window, size_t scanEnd, size_t keepFrom) {
        p_.setWindow(window);
        p_.leaveWindow(scanEnd, keepFrom);
    }
    void countAllLines() { p_.countAllLines(); }
    long lineNumberAt(std::string_view window, size_t s) {
        p_.setWindow(window);
        return p_.lineNumberAt(s);
    }
    void stopAfterContext() { p_.stopAfterContext(); }
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
        if (os::FileMapping::shrankHere())
            return stop();
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
        if (r_.flush && r_.out.size() > kFlushSize)
            r_.flush(r_);
        return more || stop();
    }
    bool stop() {
        done_ = true;
        return false;
    }

    const Options& o_;
    const Matcher& m_;
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
    try {
        searchInput(entry, name, ctx, r, totalLeft);
    } catch (const std::bad_alloc&) {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": not enough memory to search it\n";
    }
}

void Searcher::searchWhole(std::string_view data, const FileEntry& entry, const std::string& name,
                           ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft) const {
    if (o_.archives && !entry.path.empty() &&
        ext::looksLikeArchive(entry.path, data.substr(0, 1024)) &&
        searchArchive(data, name, ctx, r, totalLeft))
        return;
    searchBytes(data, name, ctx, r, totalLeft, false);
}

void Searcher::searchInput(const FileEntry& entry, const std::string& name, ScanContext& ctx,
                           FileResult& r, std::atomic<long>& totalLeft) const {
    size_t window = windowSetting();
    bool forced = window > 0;
    if (!forced)
        window = kWindowed;
    std::string error;
    auto fail = [&] {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
    };
    os::FileMapping::clearShrankHere();
    // Opened once: a FIFO or a device gives its bytes to one reader only.
    os::FileReader file;
    if (!file.open(entry.path, error))
        return fail();
    WindowReader reader(file, forced ? window : 0);
    // A small file is read whole: one read of its size and one more byte
    // finds the end.
    bool small = file.regular() && file.size() < kWindowed && file.size() > 0;
    if (!reader.start(small ? file.size() + 1 : std::max(window, kFirstWindow), error))
        return fail();
    std::string_view head = reader.view();
    if (reader.eof() && !forced) {
        searchWhole(head, entry, name, ctx, r, totalLeft);
        return;
    }
    bool archive = o_.archives && !entry.path.empty() &&
                   ext::looksLikeArchive(entry.path, head.substr(0, 1024));
    if (!archive) {
        if (startsWithUtf16Bom(head))
            return searchUtf16(file, reader, name, ctx, r, totalLeft, false);
        return searchWindows(file, reader, name, ctx, r, totalLeft, false);
    }
    // An archive is unpacked as it is read, from any offset: one from a pipe
    // is copied to a temporary file first, not held in memory.
    if (file.regular()) {
        if (!searchArchive(head, name, ctx, r, totalLeft, &file))
            searchWindows(file, reader, name, ctx, r, totalLeft, false);
        return;
    }
    os::FileReader copy;
    if (!copy.spool(file, head, ext::ArchiveLimits().maxTotalBytes, error))
        return fail();
    if (searchArchive(head, name, ctx, r, totalLeft, &copy))
        return;
    // No archive after all: the copy is searched as text.
    WindowReader again(copy, forced ? window : 0, true);
    if (!again.start(std::max(window, kFirstWindow), error))
        return fail();
    searchWindows(copy, again, name, ctx, r, totalLeft, false);
}

void Searcher::searchWindows(os::FileReader& file, WindowReader& reader, const std::string& name,
                             ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft,
                             bool member, const TextKind* utf16) const {
    std::string error;
    auto fail = [&] {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
    };
    std::string_view head = reader.view();
    bool binary = !utf16 && std::memchr(head.data(), '\0', std::min(head.size(), kBinaryProbe));
    size_t offsetBase = 0;
    size_t skip = 0; // bytes of the view before the text (a byte-order mark)
    TextKind kind = TextKind::Bytes;
    // Past the first window, UTF-8 is taken for as long as the lines read as
    // UTF-8; the first that does not turns the rest of the input over to the
    // double-byte judgement of what follows there (by whole windows where a
    // match may cross lines).
    bool checkUtf8 = false;
    bool onTheWay = true;
    bool bom = false;
    if (utf16) {
        // Transcoded from UTF-16 after its byte-order mark.
        kind = *utf16;
        offsetBase = 2;
    } else if (!binary) {
        if (head.size() >= 3 && head.substr(0, 3) == "\xEF\xBB\xBF") {
            // The mark is a claim, not a proof: the text is checked all the same.
            offsetBase = skip = 3;
            kind = TextKind::Utf8;
            checkUtf8 = bom = true;
        } else {
            // Judged on whole lines: the window may end inside a character.
            std::string_view judged = head;
            if (!reader.eof()) {
                size_t nl = head.rfind('\n');
                judged = head.substr(0, nl == std::string_view::npos ? completeUtf8Prefix(head)
                                                                     : nl + 1);
            }
            kind = detectEncoding(judged).kind;
            checkUtf8 = kind == TextKind::Utf8 && !reader.eof();
        }
    }
    // Members always carry their names: an archive holds many files.
    TextScan scan(*this, member ? memberOptions_ : o_, showNames_ || (member && !o_.noFileName),
                  name, head.substr(skip), kind, binary, offsetBase, ctx, r, totalLeft);
    // Lines of an input that cannot be read again are counted as they pass,
    // for the message about a line too long to search.
    if (!file.regular())
        scan.countAllLines();
    // Where text stops reading as UTF-8, at offset at of data: text marked
    // as UTF-8 keeps its characters (stray bytes match nothing), other text
    // is judged on what follows there, as the text before may all be ASCII.
    auto turnFrom = [&](std::string_view data, size_t at) {
        TextKind next = TextKind::Bytes;
        if (!bom) {
            std::string_view judged = data.substr(at);
            std::string more;
            if (file.regular() && judged.size() < kJudged) {
                if (!file.readAt(reader.offset() + skip + at, more, kJudged, error))
                    return false;
                judged = more;
            }
            next = detectDoubleByteEncoding(judged.substr(0, kJudged));
        }
        scan.setKind(next);
        return true;
    };
    size_t from = 0; // start of the lines not yet scanned, in data
    bool stopped = false;
    const bool across = m_.crossesLines();
    while (!stopped) {
        std::string_view data = reader.view().substr(skip);
        size_t to = data.size();
        if (!reader.eof()) {
            const void* nl = memrchr(data.data() + from, '\n', data.size() - from);
            if (!nl && data.size() - from > lineLimit()) {
                if (!skipLongLine(file, reader, scan, skip, from, name, r, error))
                    return fail();
                continue;
            }
            if (!nl) {
                // No whole line yet: a longer line than the window, held up
                // to one byte over the limit.
                if (!reader.extend(lineLimit() + 1 - (data.size() - from), error))
                    return fail();
                continue;
            }
            to = static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1;
        }
        // A window that reads as UTF-8 is checked and searched a piece at a
        // time: the search then reads each piece from the cache that the
        // check brought it into. Where no line is printed before its check,
        // the search may check a piece on its way, so ASCII without a match
        // is read once. Lines stay UTF-8 up to the first that is not.
        size_t done = to;
        size_t at = from; // start of the lines not yet scanned in this window
        if (checkUtf8) {
            const bool pieces = !across && scan.linesStandAlone();
            while (at < to && !stopped) {
                size_t end = pieces ? pieceEnd(data, at, to) : to;
                std::string_view piece = data.substr(at, end - at);
                bool valid = true;
                size_t scanned = at; // lines before it are scanned as UTF-8
                const long selectedBefore = scan.selected();
                if (pieces && onTheWay)
                    stopped = !scan.scan(data, at, end, &scanned, &valid);
                else if ((valid = isValidUtf8(piece)))
                    stopped = !scan.scan(data, at, end, across && !reader.eof() ? &done : nullptr);
                // After a piece with matches the check goes first again,
                // which reads a piece full of them faster (measured).
                onTheWay = scan.selected() == selectedBefore;
                if (!valid) {
                    if (pieces) {
                        // The lines printed end before the first that is not
                        // UTF-8; those between them are searched as such.
                        size_t good = at + validUtf8Length(piece);
                        const void* nl = memrchr(data.data() + at, '\n', good - at);
                        good =
                            nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1
                               : at;
                        if (good > scanned && !stopped)
                            stopped = !scan.scan(data, scanned, good);
                        at = good;
                    }
                    checkUtf8 = false;
                    if (!turnFrom(data, at))
                        return fail();
                    break;
                }
                at = end;
            }
        }
        // A search across lines leaves a match that may go on past the
        // window to the next one.
        if (!stopped && at < to)
            stopped = !scan.scan(data, at, to, across && !reader.eof() ? &done : nullptr);
        if (reader.truncated() || (reader.eof() && file.regular() &&
                                   reader.offset() + reader.view().size() < file.size())) {
            error = "the file shrank while it was searched";
            fail();
            break;
        }
        if (reader.eof())
            break;
        if (!stopped && done == from) {
            // Such a match starts at from: the window grows, up to the limit.
            if (data.size() - from > lineLimit()) {
                if (!skipLongMatch(file, reader, scan, skip, from, name, r, error))
                    return fail();
                continue;
            }
            if (!reader.extend(lineLimit() + 1 - (data.size() - from), error))
                return fail();
            continue;
        }
        to = done;
        // The lines that before-context may print come along.
        size_t keep = to;
        for (int k = 0; k < o_.before && keep > 0; ++k) {
            const void* nl = keep > 1 ? memrchr(data.data(), '\n', keep - 1) : nullptr;
            keep = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : 0;
        }
        if (stopped)
            break;
        scan.leaveWindow(to, keep);
        from = to - keep;
        if (!reader.advance(skip + keep, error))
            return fail();
        skip = 0;
    }
    scan.finish();
}

bool Searcher::lineNumberOf(os::FileReader& file, WindowReader& reader, TextScan& scan, size_t skip,
                            size_t from, long& lineNo, std::string& error) const {
    // Counted now for a file (a rare pass), or counted as the input passed.
    lineNo = scan.lineNumberAt(reader.view().substr(skip), from);
    if (!file.regular())
        return true;
    lineNo = 1;
    uint64_t end = reader.offset() + skip + from;
    std::string part;
    for (uint64_t at = 0; at < end; at += part.size()) {
        if (!file.readAt(at, part, static_cast<size_t>(std::min<uint64_t>(end - at, 1 << 20)),
                         error))
            return false;
        if (part.empty())
            break;
        lineNo += std::count(part.begin(), part.end(), '\n');
    }
    return true;
}

bool Searcher::skipLongMatch(os::FileReader& file, WindowReader& reader, TextScan& scan,
                             size_t skip, size_t& from, const std::string& name, FileResult& r,
                             std::string& error) const {
    long lineNo = 0;
    if (!lineNumberOf(file, reader, scan, skip, from, lineNo, error))
        return false;
    r.failed = true;
    if (!o_.quiet)
        r.err += name + ": a match from line " + std::to_string(lineNo) +
                 " on would be longer than " + sizeText(lineLimit()) + " and was not searched\n";
    scan.stopAfterContext();
    // Matches are looked for again from the next line on.
    std::string_view data = reader.view().substr(skip);
    const void* nl = std::memchr(data.data() + from, '\n', data.size() - from);
    from = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : data.size();
    return true;
}

bool Searcher::skipLongLine(os::FileReader& file, WindowReader& reader, TextScan& scan,
                            size_t& skip, size_t& from, const std::string& name, FileResult& r,
                            std::string& error) const {
    // The line starts at from.
    long lineNo = 0;
    if (!lineNumberOf(file, reader, scan, skip, from, lineNo, error))
        return false;
    r.failed = true;
    if (!o_.quiet)
        r.err += name + ": line " + std::to_string(lineNo) + " is longer than " +
                 sizeText(lineLimit()) + " and was not searched\n";
    scan.stopAfterContext();
    // Windows pass without a look until the line feed that ends the line.
    for (;;) {
        std::string_view data = reader.view().substr(skip);
        const void* nl = std::memchr(data.data() + from, '\n', data.size() - from);
        if (nl || reader.eof()) {
            size_t next = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1
                             : data.size();
            scan.passWindow(data, from, next);
            if (!reader.advance(skip + next, error))
                return false;
            skip = 0;
            from = 0;
            return true;
        }
        scan.passWindow(data, from, data.size());
        if (!reader.advance(skip + data.size(), error))
            return false;
        skip = 0;
        from = 0;
    }
}

bool Searcher::searchArchive(std::string_view data, const std::string& name, ScanContext& ctx,
                             FileResult& r, std::atomic<long>& totalLeft,
                             os::FileReader* file) const {
    ext::ArchiveLimits limits;
    std::set<std::string> hits; // members of the outer archive with a match
    bool anyMatch = r.matched;
    auto message = [&](const std::string& text, bool failure) {
        r.failed = r.failed || failure;
        if (!o_.quiet)
            r.err += text + "\n";
    };
    auto onMember = [&](const ext::ArchiveMember& m) {
        std::string shown = m.path.empty() ? name : o_.archiveNames ? name + "/" + m.path : m.path;
        r.matched = false;
        if (m.whole)
            searchBytes(m.head, shown, ctx, r, totalLeft, true);
        else
            searchMember(m, shown, ctx, r, totalLeft);
        if (r.matched)
            hits.insert(m.topLevel);
        anyMatch = anyMatch || r.matched;
        r.matched = anyMatch;
        return !(o_.silent && anyMatch) && !(o_.maxTotal > 0 && totalLeft.load() <= 0);
    };
    ext::ArchiveRead read =
        file ? ext::readArchive(file->fd(), file->size(), data, name, limits, onMember, message)
             : ext::readArchive(data, name, limits, onMember, message);
    r.matched = anyMatch;
    if (read.notArchive)
        return false;
    if (o_.extractMatches && !hits.empty()) {
        if (file)
            ext::extractMembers(file->fd(), file->size(), data, name, hits, ".", limits, message);
        else
            ext::extractMembers(data, name, hits, ".", limits, message);
    }
    return true;
}

void Searcher::searchUtf16(os::FileReader& file, WindowReader& raw, const std::string& name,
                           ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft,
                           bool member) const {
    const size_t kStep = windowSetting() > 0 ? windowSetting() : size_t{1} << 20;
    TextKind kind = raw.view()[0] == '\xFE' ? TextKind::Utf16BE : TextKind::Utf16LE;
    // The raw bytes after the mark: the rest of the first window, then the
    // input from there on, transcoded a piece at a time. A piece never ends
    // inside a unit or a surrogate pair: those bytes wait for the next one.
    std::string_view first = raw.view().substr(2);
    size_t firstUsed = 0;
    uint64_t next = raw.offset() + raw.view().size();
    bool rawEnd = raw.eof();
    std::string carry, piece, text;
    size_t given = 0;
    auto transcodeMore = [&](std::string& why) {
        piece = carry;
        carry.clear();
        if (firstUsed < first.size()) {
            size_t n = std::min(kStep, first.size() - firstUsed);
            piece.append(first.substr(firstUsed, n));
            firstUsed += n;
        } else if (!rawEnd) {
            size_t old = piece.size(), got = 0;
            piece.resize(old + kStep);
            if (!file.read(next, piece.data() + old, kStep, got, why))
                return false;
            piece.resize(old + got);
            next += got;
            rawEnd = file.eof();
            // A file cut short while it was searched is no whole answer.
            if (rawEnd && file.regular() && next < file.size()) {
                why = "the file shrank while it was searched";
                return false;
            }
        }
        if (firstUsed < first.size() || !rawEnd) {
            size_t keep = piece.size() % 2;
            if (piece.size() - keep >= 2) {
                size_t at = piece.size() - keep - 2;
                auto hi =
                    static_cast<unsigned char>(piece[kind == TextKind::Utf16BE ? at : at + 1]);
                if (hi >= 0xD8 && hi <= 0xDB)
                    keep += 2;
            }
            carry = piece.substr(piece.size() - keep);
            piece.resize(piece.size() - keep);
        }
        text = utf16ToUtf8(piece, kind == TextKind::Utf16BE);
        given = 0;
        return true;
    };
    os::FileReader in;
    in.openPull([&](char* dst, size_t want, size_t& got, std::string& why) {
        got = 0;
        while (got < want) {
            if (given == text.size()) {
                if (firstUsed >= first.size() && rawEnd && carry.empty())
                    break;
                if (!transcodeMore(why))
                    return false;
                continue;
            }
            size_t n = std::min(want - got, text.size() - given);
            std::memcpy(dst + got, text.data() + given, n);
            got += n;
            given += n;
        }
        return true;
    });
    std::string error;
    size_t window = windowSetting();
    WindowReader reader(in, window, true);
    if (!reader.start(std::max(window > 0 ? window : kWindowed, kFirstWindow), error)) {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
        return;
    }
    searchWindows(in, reader, name, ctx, r, totalLeft, member, &kind);
}

void Searcher::searchMember(const ext::ArchiveMember& m, const std::string& name, ScanContext& ctx,
                            FileResult& r, std::atomic<long>& totalLeft) const {
    // The bytes handed on first, then the rest as it is unpacked: read like
    // a pipe, window by window.
    size_t given = 0;
    os::FileReader in;
    in.openPull([&](char* dst, size_t want, size_t& got, std::string& why) {
        got = std::min(want, m.head.size() - given);
        std::memcpy(dst, m.head.data() + given, got);
        given += got;
        if (got == want)
            return true;
        size_t more = 0;
        bool ok = m.readMore(dst + got, want - got, more, why);
        got += more;
        return ok;
    });
    std::string error;
    auto fail = [&] {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
    };
    size_t window = windowSetting();
    // The archive may be read from the buffer of this thread's readers.
    WindowReader reader(in, window, true);
    if (!reader.start(std::max(window > 0 ? window : kWindowed, kFirstWindow), error))
        return fail();
    if (startsWithUtf16Bom(reader.view()))
        return searchUtf16(in, reader, name, ctx, r, totalLeft, true);
    searchWindows(in, reader, name, ctx, r, totalLeft, true);
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
