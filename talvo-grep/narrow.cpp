// Narrowing talvo-grep's own results (see narrow.h).
#include "talvo-grep/narrow.h"

#include "talvo-grep/os.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace talvo::grep {

namespace {

constexpr size_t kBlock = 1 << 20;

// Reads fd line by line (without the line feed); false from onLine stops.
template <typename F> bool forEachLine(int fd, F&& onLine) {
    std::string block(kBlock, '\0');
    std::string carry;
    for (;;) {
        ssize_t n = read(fd, block.data(), block.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        size_t at = 0, size = static_cast<size_t>(n);
        while (at < size) {
            const void* nl = std::memchr(block.data() + at, '\n', size - at);
            if (!nl) {
                carry.append(block, at, size - at);
                break;
            }
            size_t end = static_cast<size_t>(static_cast<const char*>(nl) - block.data());
            bool more;
            if (carry.empty()) {
                more = onLine(std::string_view(block.data() + at, end - at));
            } else {
                carry.append(block, at, end - at);
                more = onLine(std::string_view(carry));
                carry.clear();
            }
            if (!more)
                return true;
            at = end + 1;
        }
    }
    if (!carry.empty())
        onLine(std::string_view(carry));
    return true;
}

std::string withoutMarks(std::string_view text, const result::Layout& l) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t o = text.find(l.markOpen, at);
        size_t c = o == std::string_view::npos ? o : text.find(l.markClose, o + l.markOpen.size());
        if (c == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, o - at));
        out.append(text.substr(o + l.markOpen.size(), c - o - l.markOpen.size()));
        at = c + l.markClose.size();
    }
    return out;
}

} // namespace

result::Layout outputLayout(const Options& o, bool showNames) {
    result::Layout l;
    if (o.count)
        l.kind = result::Layout::Kind::Counts;
    else if (o.filesWithMatches || o.fileNameSearch)
        l.kind = result::Layout::Kind::Names;
    // As the printer decides them.
    l.tag = o.tag;
    l.names = o.tag || (showNames && (o.header == HeaderMode::None || o.pathAndLine));
    if (o.noFileName && !o.tag)
        l.names = false;
    l.lineNumbers = !o.tag && (o.lineNumbers || o.pathAndLine);
    l.byteOffset = o.byteOffset;
    l.headers = o.header != HeaderMode::None && !o.noFileName;
    l.conciseHeaders = l.headers && o.conciseHeader;
    l.context = o.before > 0 || o.after > 0;
    l.markOpen = o.markOpen;
    l.markClose = o.markClose;
    if (!o.invert) {
        for (const auto& p : o.match.patterns)
            l.searches.push_back({p, o.match.literal, o.match.ignoreCase, o.match.word});
    }
    return l;
}

std::vector<std::optional<result::Layout>> ownResults(const Options& o,
                                                      const std::vector<FileEntry>& files) {
    std::vector<std::optional<result::Layout>> layouts(files.size());
    if (o.recursive || o.fileNameSearch)
        return layouts;
    for (const auto& spec : o.fileSpecs)
        if (hasWildcard(spec))
            return layouts;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].path.empty())
            continue; // standard input
        auto layout = result::resultLayout(files[i].path);
        if (layout && layout->kind == result::Layout::Kind::Lines)
            layouts[i] = std::move(layout);
    }
    return layouts;
}

void searchResult(const Options& o, const Matcher& m, const FileEntry& file,
                  const result::Layout& layout, ScanContext& ctx, FileResult& r,
                  std::atomic<long>& totalLeft) {
    using result::Origin;
    int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        r.failed = true;
        r.err += file.name + ": " + std::strerror(errno) + "\n";
        return;
    }
    const bool marks = !layout.markOpen.empty() && !layout.markClose.empty();
    std::string group;         // path of the present group (header or last line)
    std::string pendingHeader; // a header line not printed yet
    // Counts and names go by the file each line came from, in order of appearance.
    std::vector<std::pair<std::string, long>> perFile;
    std::string error;
    auto tally = [&](std::string_view path) -> long& {
        if (perFile.empty() || perFile.back().first != path)
            perFile.emplace_back(std::string(path), 0);
        return perFile.back().second;
    };
    bool ok = forEachLine(fd, [&](std::string_view line) {
        std::string_view text = line;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        Origin origin = result::parseLine(text, layout, group);
        switch (origin.type) {
        case Origin::Type::Header:
            group = std::string(origin.path);
            pendingHeader = std::string(line);
            tally(group);
            return true;
        case Origin::Type::Context:
            // Context belongs to the lines the first search chose.
            if (!origin.path.empty())
                group = std::string(origin.path);
            return true;
        case Origin::Type::Separator:
        case Origin::Type::Other:
            // What names no line of a file (a note about a file) goes too.
            return true;
        case Origin::Type::Match:
            break;
        }
        if (!origin.path.empty())
            group = std::string(origin.path);
        std::string_view part = text.substr(origin.textStart);
        std::string plain;
        if (marks) {
            plain = withoutMarks(part, layout);
            part = plain;
        }
        // Read back from disk: a line that is not UTF-8 (however it came to
        // be) is matched as bytes, never by the engines that read UTF-8 unchecked.
        TextKind kind = isValidUtf8(part) ? TextKind::Utf8 : TextKind::Bytes;
        bool hit = m.lineMatches(kind, ctx, part, error);
        if (!error.empty())
            return false;
        long& n = tally(group);
        if (hit == o.invert)
            return true;
        if (o.maxPerFile >= 0 && n >= o.maxPerFile)
            return true;
        if (o.maxTotal > 0 && totalLeft.fetch_sub(1) <= 0)
            return false;
        ++n;
        r.matched = true;
        if (o.silent)
            return false;
        if (o.count || o.filesWithMatches)
            return true;
        if (!pendingHeader.empty()) {
            r.out += pendingHeader + "\n";
            pendingHeader.clear();
        }
        if (o.onlyMatching && !o.invert && !marks) {
            std::string_view prefix = text.substr(0, origin.textStart);
            m.matchesInLine(
                kind, ctx, part,
                [&](size_t s, size_t e) {
                    r.out.append(prefix);
                    r.out.append(part.substr(s, e - s));
                    r.out += '\n';
                },
                error);
        } else {
            r.out.append(line);
            r.out += '\n';
        }
        if (r.flush && r.out.size() > kFlushSize)
            r.flush(r);
        return true;
    });
    close(fd);
    if (!ok) {
        r.failed = true;
        r.err += file.name + ": " + std::strerror(errno) + "\n";
    }
    if (!error.empty()) {
        r.failed = true;
        r.err += file.name + ": " + error + "\n";
    }
    if (o.silent)
        return;
    for (const auto& [path, n] : perFile) {
        if (o.count)
            r.out += (path.empty() ? "" : path + ":") + std::to_string(n) + "\n";
        else if (o.filesWithMatches && n > 0)
            r.out += (path.empty() ? file.name : path) + "\n";
    }
    if (o.count && perFile.empty())
        r.out += "0\n";
}

std::optional<result::Layout> runLayout(const Options& o, bool showNames,
                                        const std::vector<std::optional<result::Layout>>& inputs) {
    size_t own = 0;
    for (const auto& in : inputs)
        own += in.has_value();
    if (own == 0 || inputs.empty())
        return outputLayout(o, showNames);
    if (own != inputs.size())
        return std::nullopt;
    for (const auto& in : inputs)
        if (!(*in == *inputs.front()))
            return std::nullopt;
    result::Layout l = *inputs.front();
    if (o.count)
        l.kind = result::Layout::Kind::Counts;
    else if (o.filesWithMatches)
        l.kind = result::Layout::Kind::Names;
    // What remains is the first search's lines: their context is gone.
    l.context = false;
    if (!o.invert && !(o.onlyMatching && !l.markOpen.empty()))
        for (const auto& p : o.match.patterns)
            l.searches.push_back({p, o.match.literal, o.match.ignoreCase, o.match.word});
    return l;
}

} // namespace talvo::grep
