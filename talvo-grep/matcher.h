// The matcher: finds the lines of a buffer that match, and the matches in a
// line. One matcher serves every encoding; its patterns are compiled once per
// encoding on first use.
// Decision: Hyperscan scans the whole buffer for candidate lines (it cannot
// blow up on any pattern); PCRE2 with its JIT confirms candidates where
// Hyperscan is only a prefilter (back-references, look-arounds, word search,
// legacy encodings) and gives match positions. A memchr-driven literal search
// feeds PCRE2 when Hyperscan cannot take the pattern at all.
#pragma once

#include "talvo-grep/encoding.h"
#include "talvo-grep/regex.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

struct MatchSpec {
    std::vector<std::string> patterns; // UTF-8 as typed; several mean "any of them"
    bool literal = false;
    bool ignoreCase = false;
    bool wholeLine = false;
    bool word = false;
    bool allWords = false; // AND search: the blank-separated words must all occur
    // Applied to each pattern before parsing (character equivalences, blanks
    // and line breaks): takes the pattern and whether it is a regular
    // expression, returns regular-expression text in UTF-8.
    std::function<std::string(std::string_view, bool)> rewrite;
    // A match may run across line breaks (the pattern can match a line feed);
    // maxLineBreaks limits how many it may hold (-1: no limit).
    bool crossLines = false;
    int maxLineBreaks = -1;
};

struct CompiledSet; // one encoding's compiled terms
class ScanContext;  // per-thread scratch of the engines

class Matcher {
public:
    // Parses and compiles for UTF-8; returns nullptr and an error that names
    // the problem and its position when a pattern is invalid.
    static std::unique_ptr<Matcher> create(const MatchSpec& spec, std::string& error);
    ~Matcher();

    // Text of kind Utf8 must be valid UTF-8: its engines read it unchecked.
    // Text that may hold stray bytes is searched as Bytes.

    // Calls onLine(start, end) for every matching line of data (end excludes the
    // line feed), in order, until it returns false. Across lines, [start, end)
    // holds every line that a match touches, and matches that share a line
    // make one call. Returns false and sets
    // error when an engine limit was hit.
    // resume, when given, says that more text follows data (which ends after
    // a line feed): a match across lines that may go on past data, and the
    // lines it shares with matches before it, are left to the next call, and
    // *resume is set to the line start where that call must begin
    // (data.size() when all of data was scanned).
    // valid, when given, says that data of kind Utf8 is not yet checked:
    // the scan makes sure that data up to a line's end is UTF-8 before it
    // reports that line, and sets *valid. False means that data is not all
    // UTF-8: the lines reported end before its first stray byte, and the
    // lines from *resume (when given) on were not scanned. Once onLine stops
    // the scan, the rest is left unchecked.
    bool scanLines(TextKind kind, ScanContext& ctx, std::string_view data,
                   const std::function<bool(size_t, size_t)>& onLine, std::string& error,
                   size_t* resume = nullptr, bool* valid = nullptr) const;
    // True when line (without its line feed) matches.
    bool lineMatches(TextKind kind, ScanContext& ctx, std::string_view line,
                     std::string& error) const;
    // Calls onMatch(start, end) for each non-overlapping match in line.
    bool matchesInLine(TextKind kind, ScanContext& ctx, std::string_view line,
                       const std::function<void(size_t, size_t)>& onMatch,
                       std::string& error) const;

    // True when a match may run across lines: the text is searched as a whole.
    bool crossesLines() const { return spec_.crossLines; }

private:
    Matcher() = default;
    const CompiledSet* compiled(TextKind kind, std::string& error) const;
    bool scanAcross(const CompiledSet& set, TextKind kind, ScanContext& ctx, std::string_view data,
                    const std::function<bool(size_t, size_t)>& onLine, std::string& error,
                    size_t* resume) const;

    MatchSpec spec_;
    std::vector<Pattern> terms_; // one per AND word, or one joined alternation
    std::vector<int> groupOffsets_;
    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<CompiledSet>> sets_; // by TextKind
    mutable std::vector<std::string> setErrors_;
    mutable std::vector<bool> built_;
};

class ScanContext {
public:
    ScanContext();
    ~ScanContext();
    ScanContext(const ScanContext&) = delete;
    ScanContext& operator=(const ScanContext&) = delete;

    struct Impl; // engine scratch, defined by the matcher

private:
    friend class Matcher;
    std::unique_ptr<Impl> impl_;
};

} // namespace talvo::grep
