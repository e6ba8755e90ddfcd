// The pattern language of talvo-grep: one parser for every dialect, a syntax
// tree, and emitters that turn the tree into the text the engines compile.
// Decision: the tree, not the text, is the source of truth, so one pattern can
// be emitted as UTF-8 regex text or as byte sequences of a legacy encoding
// (Shift-JIS, EUC-JP) whose files are searched without transcoding.
#pragma once

#include "talvo-grep/words.h"

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
    bool anyCaseLetter = false; // holds [:upper:] or [:lower:]: with case ignored, every letter
    bool contains(char32_t c) const;
};

// The code points a class holds, as sorted ranges without the line feed and
// the surrogates.
std::vector<CodeRange> classRanges(const CharClass& k);

struct Node {
    enum class Kind {
        Empty,
        Literal,         // cp
        Any,             // '.', any character but a line end
        Class,           // cls
        LineStart,       // ^
        LineEnd,         // $ (also before a CR of a CR LF line end)
        WordBoundary,    // \b
        NotWordBoundary, // \B
        WordStart,       // \<
        WordEnd,         // \>
        Group,           // capturing (index), children[0]
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

// Callout numbers of the word tests in PCRE2 text: the matcher answers them
// from the characters around the position, decoded in the text's encoding.
enum WordCallout : int {
    kCalloutBoundary = 1,     // \b
    kCalloutNotBoundary = 2,  // \B
    kCalloutWordStart = 3,    // \<
    kCalloutWordEnd = 4,      // \>
    kCalloutNoWordBefore = 5, // start of a whole-word match
    kCalloutNoWordAfter = 6,  // end of a whole-word match
    kCalloutNonEmpty = 7,     // the match so far is not empty
    kCalloutEmpty = 8,        // the match so far is empty
};

// How the tree becomes engine text.
struct EmitOptions {
    bool ignoreCase = false; // ASCII and full-width Latin letters
    bool wholeLine = false;  // the match must cover the whole line
    bool wholeWord = false;  // no word character just before or after the match
    // Only matches of this length (PCRE2 text): a whole-word search takes an
    // empty match only where no longer one starts.
    enum class Length { Any, NonEmpty, Empty } length = Length::Any;
    // Word tests as PCRE2 callouts; without, they are left out (for Hyperscan,
    // whose matches are then a superset to be confirmed).
    bool wordCallouts = true;
    // Classes of many ranges may be widened to every non-ASCII character
    // (Hyperscan compiles them many times faster); inexact, when given, is
    // then set, as the text matches more than the pattern.
    bool widenLargeClasses = false;
    bool* inexact = nullptr;
};

// UTF-8 regex text for PCRE2 (UTF) and Hyperscan (UTF8). Nothing emitted can
// match a line feed; every class is spelled as code point ranges, so both
// engines read \w, \d and \s alike. groupOffset renumbers back-references
// when several patterns are joined.
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

// True when the pattern may match the empty string somewhere.
bool canMatchEmpty(const Pattern& p);
// True when the pattern holds \b, \B, \< or \>.
bool hasWordAssertion(const Pattern& p);
// Case partner of ASCII and full-width Latin letters, or c itself.
char32_t otherCase(char32_t c);

void appendUtf8(std::string& out, char32_t c);

} // namespace talvo::grep
