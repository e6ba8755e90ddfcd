// Result files that talvo-grep wrote itself, and the origin of each of their
// lines ("path:line:", "path(line): ", headers). talvo-grep uses this to narrow
// a result by the text of its lines only, talvo-view to show and jump.
// Decision: a result file is recognised by an extended attribute that
// talvo-grep sets on its standard output when that is a regular file it wrote
// from the start. The attribute names the output layout and the file's inode,
// size and modification time when talvo-grep finished, so the file's bytes
// stay exactly those of the search, a hand-written file in the same layout
// carries no attribute, and a file changed afterwards no longer matches it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep::result {

// How talvo-grep laid out the lines of one result.
struct Layout {
    enum class Kind { Lines, Counts, Names };
    Kind kind = Kind::Lines;
    bool names = false;              // each line begins with its file's path
    bool tag = false;                // "path(line): text"
    bool lineNumbers = false;        // "line:" after the path
    bool byteOffset = false;         // "offset:" after the line number
    bool headers = false;            // "==> path <==" before each file's lines
    bool conciseHeaders = false;     // the bare path as the header
    bool context = false;            // context lines ("-" for ":") and "--" between groups
    std::string markOpen, markClose; // around each match, when not empty
    // What was searched for, for showing the matches: a regular expression in
    // UTF-8 (or plain text when literal), one per search of a narrowing sequence.
    struct Search {
        std::string pattern;
        bool literal = false;
        bool ignoreCase = false;
        bool word = false;
        bool operator==(const Search&) const = default;
    };
    std::vector<Search> searches;

    bool operator==(const Layout&) const = default;
};

// The state of a file when its record was written.
struct Stamp {
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::int64_t mtimeNanoseconds = 0;
    bool operator==(const Stamp&) const = default;
};

// The attribute's text and back; parse gives nullopt for anything that is not
// a complete record of this version.
std::string formatRecord(const Layout& layout, const Stamp& stamp);
std::optional<std::pair<Layout, Stamp>> parseRecord(std::string_view text);

// Whether fd is a regular file positioned at its start: only then may the
// writer mark it when it has finished.
bool writesWholeFile(int fd);
// Sets the record on the regular file fd with its present stamp. False when the
// file system keeps no such attributes (the file then reads as plain text).
bool markResult(int fd, const Layout& layout);
// Removes a record (a file that will not be complete). Failures do not matter.
void unmarkResult(int fd);
// The layout of a file talvo-grep wrote, unchanged since: nullopt for every
// other file.
std::optional<Layout> resultLayout(int fd);
std::optional<Layout> resultLayout(const std::string& path);

// One line of a result as its layout reads it.
struct Origin {
    enum class Type { Match, Context, Header, Separator, Other };
    Type type = Type::Other;
    std::string_view path; // empty when the line names none
    long line = 0;         // the file's line number; 0 when not shown
    size_t textStart = 0;  // the text part begins here
};

// groupPath: the path of the lines around this one (the last header or match
// line), which tells a context line of "a-b.c" from a match line of "a".
Origin parseLine(std::string_view line, const Layout& layout, std::string_view groupPath = {});

// A layout guessed from a file's first lines, for results without a record
// (written before, or by another program): path and line numbers, tags and
// headers as they appear.
Layout guessLayout(std::string_view firstLines);

} // namespace talvo::grep::result
