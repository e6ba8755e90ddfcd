// The pattern language of talvo-grep: one parser for every dialect, a syntax
// tree, and emitters that turn the tree into the text the engines compile.
// Decision: the tree, not the text, is the source of truth, so one pattern can
// be emitted as UTF-8 regex text or as byte sequences of a legacy encoding
// (Shift-JIS, EUC-JP) whose files are searched without transcoding.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

class Encoding;

// A character class: ranges of code points plus the built-in sets.
struct CharClass {
    struct Range {
        char32_t lo, hi;
    };
    std::vector<Range> ranges;
    bool word = false, notWord = false, digit = false, notDigit = false, space = false,
         notSpace = false;
    bool negated = false;
    bool contains(char32_t c) const;
};

struct Node {
    enum class Kind {
        Empty,
        Literal,   // cp
        Any,       // '.', any character but a line end
        Class,     // cls
        LineStart, // ^
        LineEnd,   // $ (also before a CR of a CR LF line end)
        WordBoundary,
        NotWordBoundary,
        Group, // capturing (index), children[0]
        NonCapture,
        LookAhead,
        NegLookAhead,
        LookBehind,
        NegLookBehind,
        Backref, // index
        Repeat,  // children[0], min, max (-1 = unbounded), lazy/possessive
        Concat,
        Alternation,
    };
    Kind kind = Kind::Empty;
    char32_t cp = 0;
    CharClass cls;
    int index = 0;
    int min = 0, max = 0;
    bool lazy = false, possessive = false;
    std::vector<std::unique_ptr<Node>> children;
};

struct PatternError {
    std::string message; // names the problem
    size_t position = 0; // 1-based character position in the pattern
};

struct Pattern {
    std::unique_ptr<Node> root;
    int groups = 0;
};

// Parses the extended syntax ("\|" is alternation as well). Literal mode takes
// every character as itself. Returns the error on failure.
std::optional<PatternError> parsePattern(std::u32string_view text, bool literal, Pattern& out);

// Decodes UTF-8 pattern text; text that is not UTF-8 is read as code page 932.
std::u32string decodePatternText(std::string_view bytes);

// How the tree becomes engine text.
struct EmitOptions {
    bool ignoreCase = false; // ASCII and full-width Latin letters
    bool wholeLine = false;  // the match must cover the whole line
};

// UTF-8 regex text for PCRE2 (UTF, UCP) and Hyperscan (UTF8, UCP). Nothing
// emitted can match a line feed. groupOffset renumbers back-references when
// several patterns are joined.
std::string emitUtf8(const Pattern& p, const EmitOptions& o, int groupOffset = 0);
// Byte-level regex text for a file in a legacy double-byte encoding; every
// character atom matches whole encoded characters of that encoding.
std::string emitLegacy(const Pattern& p, const EmitOptions& o, const Encoding& enc,
                       int groupOffset = 0);

// True when the pattern matches the empty string anywhere, without conditions:
// every line matches.
bool matchesEveryLine(const Pattern& p);
// The longest run of literal characters that every match contains (UTF-8), or
// "" when there is none or case is ignored for a letter in it.
std::string requiredLiteral(const Pattern& p, bool ignoreCase);
// Every string the pattern matches, when they are few (at most limit) and it
// has nothing but characters, small classes, alternatives and short fixed
// repeats; nullopt otherwise, or when it can match the empty string.
// Look-arounds are left out, and loose is set: the strings then match more.
std::optional<std::vector<std::u32string>> spellings(const Pattern& p, bool ignoreCase,
                                                     size_t limit, bool& loose);
// True when the pattern is a plain run of characters.
bool isPlainLiteral(const Pattern& p);

// Word characters for the word search and \w: letters, digits, "_", and
// Japanese characters (kana, kanji, full-width letters and digits).
bool isWordChar(char32_t c);
// Case partner of ASCII and full-width Latin letters, or c itself.
char32_t otherCase(char32_t c);

void appendUtf8(std::string& out, char32_t c);

} // namespace talvo::grep
