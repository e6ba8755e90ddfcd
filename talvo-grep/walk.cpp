// Expansion of Windows-style file specifications (see walk.h).
#include "talvo-grep/walk.h"

#include "talvo-grep/os.h"

#include <cctype>

namespace talvo::grep {

std::vector<std::string> splitSpecs(std::string_view text) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur.push_back(c);
            any = true;
        }
    }
    if (any)
        out.push_back(cur);
    return out;
}

namespace {
char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool match(std::string_view p, std::string_view n) {
    // Iterative "*" matching with one back-track point: linear enough for names.
    size_t pi = 0, ni = 0, star = std::string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || lower(p[pi]) == lower(n[ni]))) {
            ++pi, ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

std::string normalise(std::string spec) {
    for (char& c : spec) {
        if (c == '\\')
            c = '/';
    }
    return spec;
}

struct Walker {
    bool recursive;
    const std::function<void(const std::string&, const std::string&)>& onError;
    const std::function<void(FileEntry)>& out;

    static std::string join(const std::string& dir, const std::string& name) {
        if (dir.empty())
            return name;
        return dir.back() == '/' ? dir + name : dir + "/" + name;
    }

    // Files of dir whose names fit pattern, in name order; below the start,
    // with recursion, subdirectories in the same order.
    void walk(const std::string& dir, const std::string& pattern, bool atStart) {
        std::vector<os::DirEntry> entries;
        std::string error;
        if (!os::listDirectory(dir.empty() ? "." : dir, entries, error)) {
            onError(dir.empty() ? "." : dir, error);
            return;
        }
        for (const os::DirEntry& entry : entries) {
            const std::string& name = entry.name;
            // Symbolic links are followed only among the operands themselves.
            bool follow = atStart && !recursive;
            // The directory's own word on the type saves a call per entry;
            // a name not matching the last part needs none unless it is a directory.
            os::EntryType t = entry.type;
            if (t == os::EntryType::File && !wildcardMatch(pattern, name))
                continue;
            std::string path = join(dir, name);
            if (t == os::EntryType::Missing || (entry.link && follow))
                t = os::entryType(path, follow);
            if (t == os::EntryType::File) {
                if (wildcardMatch(pattern, name))
                    out({path, path});
            } else if (t == os::EntryType::Directory && recursive) {
                walk(path, pattern, false);
            }
        }
    }

    void spec(const std::string& raw) {
        std::string s = normalise(raw);
        size_t slash = s.find_last_of('/');
        std::string dir = slash == std::string::npos ? "" : s.substr(0, slash + 1);
        std::string last = slash == std::string::npos ? s : s.substr(slash + 1);
        if (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        if (hasWildcard(s)) {
            os::EntryType t = os::entryType(dir.empty() ? "." : dir, true);
            if (t != os::EntryType::Directory) {
                onError(raw, "no such directory");
                return;
            }
            walk(dir, last, true);
            return;
        }
        os::EntryType t = os::entryType(s, true);
        if (t == os::EntryType::Missing && !last.empty()) {
            // Windows names ignore case: look for the one name that fits.
            std::vector<std::string> names;
            std::string error;
            if (os::listDirectory(dir.empty() ? "." : dir, names, error)) {
                for (const auto& n : names) {
                    if (wildcardMatch(last, n)) {
                        s = join(dir, n);
                        t = os::entryType(s, true);
                        break;
                    }
                }
            }
        }
        if (t == os::EntryType::Directory) {
            if (recursive) {
                walk(s, "*", false);
            } else {
                onError(raw, "is a directory");
            }
        } else if (t == os::EntryType::Missing) {
            onError(raw, "no such file or directory");
        } else if (recursive && !last.empty()) {
            // A plain name with subdirectory search: that name in every directory below.
            walk(dir, last, false);
        } else {
            out({s, s});
        }
    }
};
} // namespace

bool hasWildcard(std::string_view spec) {
    size_t slash = spec.find_last_of("/\\");
    std::string_view last = slash == std::string_view::npos ? spec : spec.substr(slash + 1);
    return last.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    return match(pattern, name);
}

std::vector<FileEntry>
expandSpecs(const std::vector<std::string>& specs, bool recursive,
            const std::function<void(const std::string&, const std::string&)>& onError) {
    std::vector<FileEntry> out;
    expandSpecs(specs, recursive, onError, [&](FileEntry e) { out.push_back(std::move(e)); });
    return out;
}

void expandSpecs(const std::vector<std::string>& specs, bool recursive,
                 const std::function<void(const std::string&, const std::string&)>& onError,
                 const std::function<void(FileEntry)>& onFile) {
    Walker w{recursive, onError, onFile};
    // True when the file specification names something as a whole: its directory
    // for a wild card, else the file or directory itself.
    auto resolves = [](const std::string& spec) {
        std::string s = normalise(spec);
        if (hasWildcard(s)) {
            size_t slash = s.find_last_of('/');
            std::string dir = slash == std::string::npos ? "." : s.substr(0, slash + 1);
            return os::entryType(dir, true) == os::EntryType::Directory;
        }
        return os::entryType(s, true) != os::EntryType::Missing;
    };
    for (const auto& s : specs) {
        if (s.find_first_of(" \"") != std::string::npos && !resolves(s)) {
            // Several specifications in one argument, as typed into the file box.
            for (const auto& part : splitSpecs(s))
                w.spec(part);
        } else {
            w.spec(s);
        }
    }
}

} // namespace talvo::grep
