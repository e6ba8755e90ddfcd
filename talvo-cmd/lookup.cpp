// Directory listings are read only when the exact spelling is missing, so the
// common case costs one stat per candidate.
#include "talvo-cmd/lookup.h"

#include <vector>

#include "talvo-cmd/system.h"

namespace talvo::cmd {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool hasExtension(std::string_view name) {
    auto dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0;
}

bool isBatchName(std::string_view name) {
    return name.size() > 4 && (equalIgnoringCase(name.substr(name.size() - 4), ".bat") ||
                               equalIgnoringCase(name.substr(name.size() - 4), ".cmd"));
}

bool runnable(const std::string& path) {
    return sys::fileKind(path) == sys::FileKind::Regular &&
           (isBatchName(path) || sys::isExecutable(path));
}

std::vector<std::string> candidates(std::string_view name) {
    std::vector<std::string> names{std::string(name)};
    if (!hasExtension(name))
        for (const char* ext : {".EXE", ".COM", ".BAT"})
            names.push_back(std::string(name) + ext);
    return names;
}

// The first candidate that names a runnable file in dir, exact spellings first.
std::optional<std::string> findInDirectory(const std::string& dir,
                                           const std::vector<std::string>& names) {
    for (const auto& name : names)
        if (std::string path = joinPath(dir, name); runnable(path))
            return path;
    std::vector<std::string> entries = sys::listDirectory(dir);
    for (const auto& name : names)
        for (const auto& entry : entries)
            if (equalIgnoringCase(entry, name))
                if (std::string path = joinPath(dir, entry); runnable(path))
                    return path;
    return std::nullopt;
}

bool wildcardMatchFrom(std::string_view p, std::string_view n) {
    // Iterative match with one backtrack point for the last "*".
    std::size_t pi = 0, ni = 0, starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || lower(p[pi]) == lower(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*")
        return true;
    return wildcardMatchFrom(pattern, name);
}

std::pair<std::string, std::string> splitPath(std::string_view path) {
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {".", std::string(path)};
    std::string dir(path.substr(0, slash));
    return {dir.empty() ? "/" : dir, std::string(path.substr(slash + 1))};
}

std::string joinPath(const std::string& dir, std::string_view name) {
    if (dir == ".")
        return std::string(name);
    if (!dir.empty() && dir.back() == '/')
        return dir + std::string(name);
    return dir + "/" + std::string(name);
}

std::optional<std::string> existingPath(std::string_view path) {
    if (path.empty())
        return std::nullopt;
    std::string exact(path);
    if (equalIgnoringCase(path, "nul"))
        return std::string("/dev/null");
    if (sys::fileKind(exact) != sys::FileKind::Missing)
        return exact;
    auto [dir, name] = splitPath(path);
    if (name.empty())
        return std::nullopt;
    for (const auto& entry : sys::listDirectory(dir))
        if (equalIgnoringCase(entry, name))
            return joinPath(dir, entry);
    return std::nullopt;
}

std::string pathForWriting(std::string_view path) {
    return existingPath(path).value_or(std::string(path));
}

std::optional<Program> findProgram(std::string_view word, std::string_view pathVariable) {
    if (word.empty())
        return std::nullopt;
    std::optional<std::string> found;
    if (word.find('/') != std::string_view::npos) {
        auto [dir, name] = splitPath(word);
        if (!name.empty())
            found = findInDirectory(dir, candidates(name));
    } else {
        found = findInDirectory(".", candidates(word));
        if (found && found->find('/') == std::string::npos)
            found = "./" + *found; // run from here, not from PATH
        std::vector<std::string> names{std::string(word)};
        if (lowered(word) != word)
            names.push_back(lowered(word));
        std::size_t start = 0;
        while (!found && start <= pathVariable.size()) {
            std::size_t colon = pathVariable.find(':', start);
            std::string_view dir = pathVariable.substr(
                start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
            start = colon == std::string_view::npos ? pathVariable.size() + 1 : colon + 1;
            std::string directory = dir.empty() ? "." : std::string(dir);
            for (const auto& name : names) {
                std::string path = directory + "/" + name;
                if (runnable(path)) {
                    found = path;
                    break;
                }
            }
        }
    }
    if (!found)
        return std::nullopt;
    return Program{*found, isBatchName(*found)};
}

} // namespace talvo::cmd
