// Result records and origin parsing (see result_file.h).
#include "talvo-grep/result_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace talvo::grep::result {

namespace {

constexpr const char* kAttribute = "user.talvo-grep.result";
constexpr std::string_view kFirstLine = "talvo-grep result 1";
// A record is a few lines; anything much larger is not ours.
constexpr size_t kMaxRecord = 60 * 1024;

std::string escape(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '%' || u == 0x7F) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view s) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        int hi = nibble(s[i + 1]), lo = nibble(s[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The end of the run of digits at i, or npos when there is none (or it is too
// long to be a line number or offset).
size_t digitsEnd(std::string_view s, size_t i) {
    size_t j = i;
    while (j < s.size() && isDigit(s[j]))
        ++j;
    return j > i && j - i <= 18 ? j : std::string_view::npos;
}

long number(std::string_view digits) {
    long n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view s) {
    if (s.empty() || s.size() > 19)
        return std::nullopt;
    std::uint64_t n = 0;
    for (char c : s) {
        if (!isDigit(c))
            return std::nullopt;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return n;
}

std::optional<Stamp> stampOf(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                 st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// "path(12): " from position p (at the "("): the end of the prefix, the line
// number and the separator, or npos.
size_t tagAt(std::string_view line, size_t p, long& lineNo, char& sep) {
    if (p >= line.size() || line[p] != '(')
        return std::string_view::npos;
    size_t d = digitsEnd(line, p + 1);
    if (d == std::string_view::npos || d + 2 >= line.size() || line[d] != ')' ||
        (line[d + 1] != ':' && line[d + 1] != '-') || line[d + 2] != ' ')
        return std::string_view::npos;
    lineNo = number(line.substr(p + 1, d - p - 1));
    sep = line[d + 1];
    return d + 3;
}

// sep, digits, sep at i ("path:12:" after the path).
bool numberFieldAt(std::string_view line, size_t i, char sep) {
    if (i >= line.size() || line[i] != sep)
        return false;
    size_t d = digitsEnd(line, i + 1);
    return d != std::string_view::npos && d < line.size() && line[d] == sep;
}

} // namespace

std::string formatRecord(const Layout& l, const Stamp& s) {
    std::string r(kFirstLine);
    r += "\nstamp=" + std::to_string(s.inode) + " " + std::to_string(s.size) + " " +
         std::to_string(s.mtimeSeconds) + " " + std::to_string(s.mtimeNanoseconds);
    r += "\nkind=";
    r += l.kind == Layout::Kind::Lines    ? "lines"
         : l.kind == Layout::Kind::Counts ? "counts"
                                          : "names";
    r += "\nlayout=";
    if (l.names)
        r += 'p';
    if (l.tag)
        r += 't';
    if (l.lineNumbers)
        r += 'n';
    if (l.byteOffset)
        r += 'b';
    if (l.headers)
        r += 'h';
    if (l.conciseHeaders)
        r += 's';
    if (l.context)
        r += 'c';
    r += "\nopen=" + escape(l.markOpen);
    r += "\nclose=" + escape(l.markClose);
    for (const auto& search : l.searches) {
        r += "\nsearch=";
        r += search.literal ? 'l' : '-';
        r += search.ignoreCase ? 'i' : '-';
        r += search.word ? 'w' : '-';
        r += ':' + escape(search.pattern);
    }
    r += "\nend\n";
    return r;
}

std::optional<std::pair<Layout, Stamp>> parseRecord(std::string_view text) {
    Layout l;
    Stamp s;
    bool sawStamp = false, sawKind = false, sawEnd = false;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string_view::npos)
            return std::nullopt; // every line ends, "end" included
        std::string_view line = text.substr(at, nl - at);
        at = nl + 1;
        if (first) {
            if (line != kFirstLine)
                return std::nullopt;
            first = false;
            continue;
        }
        if (sawEnd)
            return std::nullopt;
        if (line == "end") {
            sawEnd = true;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "stamp") {
            std::uint64_t v[4];
            size_t p = 0;
            for (int k = 0; k < 4; ++k) {
                size_t blank = k < 3 ? value.find(' ', p) : value.size();
                if (blank == std::string_view::npos)
                    return std::nullopt;
                auto n = parseUnsigned(value.substr(p, blank - p));
                if (!n)
                    return std::nullopt;
                v[k] = *n;
                p = blank + 1;
            }
            s = {v[0], v[1], static_cast<std::int64_t>(v[2]), static_cast<std::int64_t>(v[3])};
            sawStamp = true;
        } else if (key == "kind") {
            if (value == "lines")
                l.kind = Layout::Kind::Lines;
            else if (value == "counts")
                l.kind = Layout::Kind::Counts;
            else if (value == "names")
                l.kind = Layout::Kind::Names;
            else
                return std::nullopt;
            sawKind = true;
        } else if (key == "layout") {
            for (char c : value) {
                switch (c) {
                case 'p':
                    l.names = true;
                    break;
                case 't':
                    l.tag = true;
                    break;
                case 'n':
                    l.lineNumbers = true;
                    break;
                case 'b':
                    l.byteOffset = true;
                    break;
                case 'h':
                    l.headers = true;
                    break;
                case 's':
                    l.conciseHeaders = true;
                    break;
                case 'c':
                    l.context = true;
                    break;
                default:
                    return std::nullopt;
                }
            }
        } else if (key == "open" || key == "close") {
            auto v = unescape(value);
            if (!v)
                return std::nullopt;
            (key == "open" ? l.markOpen : l.markClose) = *v;
        } else if (key == "search") {
            if (value.size() < 4 || value[3] != ':')
                return std::nullopt;
            auto v = unescape(value.substr(4));
            if (!v)
                return std::nullopt;
            l.searches.push_back({*v, value[0] == 'l', value[1] == 'i', value[2] == 'w'});
        } else {
            return std::nullopt;
        }
    }
    if (!sawStamp || !sawKind || !sawEnd)
        return std::nullopt;
    return std::make_pair(l, s);
}

bool writesWholeFile(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lseek(fd, 0, SEEK_CUR) == 0;
}

bool markResult(int fd, const Layout& layout) {
    auto stamp = stampOf(fd);
    if (!stamp)
        return false;
    std::string record = formatRecord(layout, *stamp);
    if (record.size() > kMaxRecord) {
        // Patterns too long to keep: the layout alone still narrows.
        Layout plain = layout;
        plain.searches.clear();
        record = formatRecord(plain, *stamp);
    }
    return fsetxattr(fd, kAttribute, record.data(), record.size(), 0) == 0;
}

void unmarkResult(int fd) {
    [[maybe_unused]] int ignored = fremovexattr(fd, kAttribute);
}

namespace {

// The record of a file through fgetxattr or getxattr, and its stamp.
template <typename GetAttribute>
std::optional<Layout> recordedLayout(GetAttribute get, const std::optional<Stamp>& stamp) {
    if (!stamp)
        return std::nullopt;
    std::string buffer(4096, '\0');
    ssize_t n = get(buffer.data(), buffer.size());
    if (n < 0 && errno == ERANGE) {
        ssize_t size = get(nullptr, 0);
        if (size <= 0 || static_cast<size_t>(size) > kMaxRecord)
            return std::nullopt;
        buffer.resize(static_cast<size_t>(size));
        n = get(buffer.data(), buffer.size());
    }
    if (n <= 0)
        return std::nullopt;
    auto record = parseRecord(std::string_view(buffer.data(), static_cast<size_t>(n)));
    if (!record || record->second != *stamp)
        return std::nullopt;
    return record->first;
}

std::optional<Stamp> stampOf(const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                 st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

} // namespace

std::optional<Layout> resultLayout(int fd) {
    return recordedLayout(
        [fd](char* data, size_t size) { return fgetxattr(fd, kAttribute, data, size); },
        stampOf(fd));
}

std::optional<Layout> resultLayout(const std::string& path) {
    // Looked at without opening it: opening a named pipe would count as its reader.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return recordedLayout(
        [&path](char* data, size_t size) { return getxattr(path.c_str(), kAttribute, data, size); },
        stampOf(st));
}

Origin parseLine(std::string_view line, const Layout& layout, std::string_view groupPath) {
    Origin o;
    if (layout.kind != Layout::Kind::Lines)
        return o;
    if (layout.context && line == "--") {
        o.type = Origin::Type::Separator;
        return o;
    }
    if (layout.headers && !layout.conciseHeaders && line.size() >= 8 && line.starts_with("==> ") &&
        line.ends_with(" <==")) {
        o.type = Origin::Type::Header;
        o.path = line.substr(4, line.size() - 8);
        return o;
    }
    // A bare-path header is the line that does not read as a line of a file.
    auto conciseHeader = [&] {
        Origin h;
        if (layout.headers && layout.conciseHeaders && !line.empty()) {
            h.type = Origin::Type::Header;
            h.path = line;
        }
        return h;
    };
    size_t pos = 0;
    char sep = 0;
    if (layout.tag) {
        size_t end = std::string_view::npos;
        if (!groupPath.empty() && line.starts_with(groupPath))
            end = tagAt(line, groupPath.size(), o.line, sep);
        if (end != std::string_view::npos) {
            o.path = groupPath;
        } else {
            for (size_t p = line.find('('); p != std::string_view::npos;
                 p = line.find('(', p + 1)) {
                end = tagAt(line, p, o.line, sep);
                if (end != std::string_view::npos) {
                    o.path = line.substr(0, p);
                    break;
                }
            }
        }
        if (end == std::string_view::npos)
            return conciseHeader();
        pos = end;
    } else {
        if (layout.names) {
            bool found = false;
            if (!groupPath.empty() && line.size() > groupPath.size() &&
                line.starts_with(groupPath)) {
                char c = line[groupPath.size()];
                if ((c == ':' || (c == '-' && layout.context)) &&
                    (!layout.lineNumbers || numberFieldAt(line, groupPath.size(), c))) {
                    sep = c;
                    found = true;
                }
            }
            if (found) {
                o.path = groupPath;
                pos = groupPath.size() + 1;
            } else {
                std::string_view seps = layout.context ? ":-" : ":";
                for (char c : seps) {
                    for (size_t i = line.find(c, 1); i != std::string_view::npos && !found;
                         i = line.find(c, i + 1)) {
                        if (layout.lineNumbers && !numberFieldAt(line, i, c))
                            continue;
                        o.path = line.substr(0, i);
                        pos = i + 1;
                        sep = c;
                        found = true;
                    }
                    if (found)
                        break;
                }
            }
            if (!found)
                return conciseHeader();
        }
        if (layout.lineNumbers) {
            size_t d = digitsEnd(line, pos);
            if (d == std::string_view::npos || d >= line.size())
                return conciseHeader();
            char c = line[d];
            if ((sep && c != sep) || (!sep && c != ':' && !(c == '-' && layout.context)))
                return conciseHeader();
            sep = c;
            o.line = number(line.substr(pos, d - pos));
            pos = d + 1;
        }
    }
    if (layout.byteOffset) {
        size_t d = digitsEnd(line, pos);
        if (d != std::string_view::npos && d < line.size() && (!sep || line[d] == sep)) {
            sep = line[d];
            pos = d + 1;
        }
    }
    o.type = sep == '-' ? Origin::Type::Context : Origin::Type::Match;
    o.textStart = pos;
    return o;
}

Layout guessLayout(std::string_view firstLines) {
    Layout l;
    std::vector<std::string_view> lines;
    for (size_t at = 0; at < firstLines.size() && lines.size() < 200;) {
        size_t nl = firstLines.find('\n', at);
        std::string_view line =
            firstLines.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        at = nl + 1;
    }
    int tagged = 0, numbered = 0, pathNumbered = 0, plain = 0;
    for (std::string_view line : lines) {
        if (line == "--") {
            l.context = true;
            continue;
        }
        if (line.starts_with("==> ") && line.ends_with(" <==")) {
            l.headers = true;
            continue;
        }
        if (line.empty())
            continue;
        ++plain;
        long n;
        char sep;
        for (size_t p = line.find('('); p != std::string_view::npos; p = line.find('(', p + 1)) {
            if (p > 0 && tagAt(line, p, n, sep) != std::string_view::npos) {
                ++tagged;
                break;
            }
        }
        size_t d = digitsEnd(line, 0);
        if (d != std::string_view::npos && d < line.size() && line[d] == ':')
            ++numbered;
        for (size_t i = line.find(':', 1); i != std::string_view::npos; i = line.find(':', i + 1)) {
            if (numberFieldAt(line, i, ':')) {
                ++pathNumbered;
                break;
            }
        }
        if (line.find("【") != std::string_view::npos &&
            line.find("】") != std::string_view::npos) {
            l.markOpen = "【";
            l.markClose = "】";
        }
    }
    // Most lines must agree; a few lines of text that happen to look alike do not decide.
    auto most = [&](int n) { return plain > 0 && n * 5 >= plain * 4; };
    if (most(tagged)) {
        l.tag = l.names = true;
    } else if (most(numbered) && !most(pathNumbered)) {
        l.lineNumbers = true;
    } else if (most(pathNumbered)) {
        l.names = l.lineNumbers = true;
    }
    return l;
}

} // namespace talvo::grep::result
