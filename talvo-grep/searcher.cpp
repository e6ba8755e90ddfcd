// One file from bytes to printed lines (see searcher.h).
#include "talvo-grep/searcher.h"

#include "talvo-grep/ext/archive.h"
#include "talvo-grep/os.h"
#include "talvo-grep/printer.h"

#include <cstring>
#include <set>

namespace talvo::grep {

namespace {
// Output beyond this is written at once when the file is printed in order.
constexpr size_t kFlushSize = 4 << 20;
} // namespace

Searcher::Searcher(const Options& o, const Matcher& m, bool showNames)
    : o_(o), memberOptions_(o), m_(m), showNames_(showNames) {
    if (o.memberHeadersOnMatch && o.header == HeaderMode::AllFiles)
        memberOptions_.header = HeaderMode::MatchingFiles;
}

void Searcher::searchName(const FileEntry& entry, ScanContext& ctx, FileResult& r) const {
    size_t slash = entry.name.find_last_of('/');
    std::string base = slash == std::string::npos ? entry.name : entry.name.substr(slash + 1);
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
    std::string name = entry.path.empty() ? "(standard input)" : entry.name;
    os::FileData file;
    std::string error;
    bool ok = entry.path.empty() ? file.loadStdin(error) : file.load(entry.path, error);
    if (!ok) {
        r.failed = true;
        if (!o_.quiet)
            r.err += name + ": " + error + "\n";
        return;
    }
    std::string_view data = file.bytes();
    if (o_.archives && !entry.path.empty() &&
        ext::looksLikeArchive(entry.path, data.substr(0, 1024)) &&
        searchArchive(data, name, ctx, r, totalLeft))
        return;
    searchBytes(data, name, ctx, r, totalLeft, false);
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
        searchText(text, TextKind::Utf8, det.bomLength, name, ctx, r, totalLeft, member);
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
    Printer p(member ? memberOptions_ : o_, showNames_ || (member && !o_.noFileName), name, data,
              kind, offsetBase, r.out);
    long n = 0;
    bool stopped = false;
    std::string error;
    std::vector<std::pair<size_t, size_t>> parts;

    auto select = [&](size_t s, size_t e) -> bool {
        if (o_.maxTotal > 0 && totalLeft.fetch_sub(1) <= 0) {
            stopped = true;
            return false;
        }
        ++n;
        r.matched = true;
        bool more = o_.maxPerFile < 0 || n < o_.maxPerFile;
        if (o_.silent || o_.filesWithMatches || (binary && !o_.count))
            return false;
        if (o_.count)
            return more;
        bool marked = !o_.markOpen.empty() || !o_.markClose.empty();
        if ((o_.onlyMatching || marked) && !o_.invert) {
            parts.clear();
            m_.matchesInLine(
                kind, ctx, data.substr(s, e - s),
                [&](size_t a, size_t b) { parts.emplace_back(a, b); }, error);
            if (!parts.empty())
                p.line(s, e, &parts);
            else if (!o_.onlyMatching)
                p.line(s, e);
        } else {
            p.line(s, e);
        }
        if (streaming_ && r.out.size() > kFlushSize) {
            os::writeOut(r.out);
            r.out.clear();
        }
        return more;
    };
    auto lineEnd = [&](size_t s) {
        const void* nl = std::memchr(data.data() + s, '\n', data.size() - s);
        return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) : data.size();
    };

    bool ok = true;
    if (!o_.invert) {
        ok = m_.scanLines(kind, ctx, data, select, error);
    } else {
        size_t cursor = 0;
        ok = m_.scanLines(
            kind, ctx, data,
            [&](size_t s, size_t e) {
                while (cursor < s) {
                    size_t le = lineEnd(cursor);
                    if (!select(cursor, le)) {
                        stopped = true;
                        return false;
                    }
                    cursor = le + 1;
                }
                cursor = e + 1;
                return true;
            },
            error);
        while (ok && !stopped && cursor < data.size()) {
            size_t le = lineEnd(cursor);
            if (!select(cursor, le))
                break;
            cursor = le + 1;
        }
    }
    if (!ok || !error.empty()) {
        r.failed = true;
        r.err += name + ": " + error + "\n";
    }
    if (o_.silent)
        return;
    if (o_.count) {
        p.count(n);
    } else if (o_.filesWithMatches) {
        if (n > 0)
            p.fileName();
    } else if (binary) {
        if (n > 0)
            p.binaryMatch();
    } else {
        p.finish();
    }
}

} // namespace talvo::grep
