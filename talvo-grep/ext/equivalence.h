// Character equivalences and blank tolerance for Japanese text, done by
// rewriting the pattern: each literal character becomes the class (or, for
// multi-character spellings, the alternation) of everything it is taken to
// equal, and blanks or line breaks become optional between the pattern's
// characters. The text is matched as it stands, so match positions are
// positions in the file's own bytes and marks and printed parts show the
// text unchanged.
//
// For the engine:
//   WGREP -j<n>, DGREP -J<n>  equivalencesFromWeights(n)
//                             (1 width, 2 hiragana/katakana, 4 long vowel/minus,
//                              8 B-row/V-row; DGREP only has 1, 2 and 4)
//   JGREP -j                  Equivalences{.width = true}
//   CGREP -Z, IZGREP -z       fuzzy()
//   WGREP -s<n>               blanksFromWeights(n) (1 across lines, 2 tabs, 4 spaces)
//   CGREP -F, YGREP -W        Blanks{.acrossLineBreaks = true}
//                             (YGREP -W allows two lines: reject matches that
//                              hold more than one line break)
//   CGREP -W                  Blanks{.ignoreAllBlanks = true}
// The result is a UTF-8 regex for PCRE2 in UTF mode. Compile the user's
// pattern first so that its errors and their positions are reported as the
// user wrote them. For Shift-JIS and EUC-JP files map the rewritten regex to
// the file's bytes exactly as any regex is mapped; pass a RewriteTarget whose
// `representable` drops the spellings the file's encoding cannot hold (for
// example "ゔ" in code page 932). Matches across lines need the engine to
// search the buffer rather than line by line, and to print every line a
// match touches. Hyperscan has no lookaround: with `lookaround = false` the
// result is a superset usable as a prefilter, to be confirmed with the exact
// (default) rewrite under PCRE2.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace talvo::grep::ext {

struct Equivalences {
    bool width = false;     // full-width and half-width Latin, digits, signs and katakana
    bool kana = false;      // hiragana and katakana
    bool longVowel = false; // "ー" and the minus and dash signs
    bool bRowVRow =
        false; // "バ" = "ヴァ", "ビ" = "ヴィ", "ブ" = "ヴ", "ベ" = "ヴェ", "ボ" = "ヴォ"
    bool smallKana = false; // small kana taken as their full-size forms
    bool caseFold = false;  // upper and lower case Latin letters, full-width ones too
    bool any() const { return width || kana || longVowel || bRowVRow || smallKana || caseFold; }
};

struct Blanks {
    bool acrossLineBreaks = false; // a match may run over line breaks
    bool ignoreTabs = false;       // tabs in the text are skipped between characters
    bool ignoreSpaces = false;     // spaces, full-width spaces too
    bool ignoreAllBlanks = false;  // line breaks, spaces and tabs all skipped
    bool any() const { return acrossLineBreaks || ignoreTabs || ignoreSpaces || ignoreAllBlanks; }
};

// What fuzzy search folds (this block is quoted by the help):
//   - full-width and half-width forms: Latin letters, digits and signs
//     ("Ａ" = "A", "１" = "1", "＃" = "#", the full-width space = " "), and
//     katakana, half-width voiced forms written as two characters included
//     ("ﾊﾞ" = "バ", "ﾊﾟ" = "パ", "ｳﾞ" = "ヴ");
//   - hiragana and katakana ("ふぁいる" = "ファイル", "ゝ" = "ヽ");
//   - the long-vowel mark, minus and dash signs ("ー" = "－" = "-" = "ｰ" =
//     "―" = "‐" = "−");
//   - the B-row and the V-row ("バ" = "ヴァ", "ビ" = "ヴィ", "ブ" = "ヴ",
//     "ベ" = "ヴェ", "ボ" = "ヴォ", in hiragana and half-width too);
//   - small kana as their full-size forms ("ァ" = "ア", "っ" = "つ",
//     "ゃ" = "や", "ヵ" = "カ", "ｯ" = "ﾂ");
//   - upper and lower case of Latin letters, full-width ones too.
// Nothing else is folded: kanji variants, old kana, voiced and unvoiced
// kana ("カ" and "ガ") and punctuation other than the above stay distinct.
Equivalences fuzzy();

Equivalences equivalencesFromWeights(int weights);
Blanks blanksFromWeights(int weights);

struct RewriteTarget {
    // When set, a spelling that holds a character for which this returns
    // false is left out (the pattern's own spelling is always kept).
    std::function<bool(char32_t)> representable;
    // Guards such as "ﾊ(?![ﾞﾟ])", so that "ハ" does not find the first half of
    // "ﾊﾞ"; without them the rewrite finds a superset.
    bool lookaround = true;
};

// pattern: UTF-8; PCRE syntax when regex is true ("\|" already turned into
// "|"), a literal text otherwise. Returns a PCRE2 regex (UTF mode) that
// finds every spelling the options make equal, and at least everything the
// pattern itself finds. Escapes, anchors, quantifiers, groups and back
// references keep their meaning; a quantifier after a rewritten character
// applies to all of its spellings. Blanks become optional only between two
// neighbouring items of a sequence, not inside a repetition; blank
// characters of a kind that is ignored are dropped from the pattern.
std::string rewritePattern(std::string_view pattern, bool regex, const Equivalences& eq,
                           const Blanks& blanks);
std::string rewritePattern(std::string_view pattern, bool regex, const Equivalences& eq,
                           const Blanks& blanks, const RewriteTarget& target);

// The canonical spelling of a text under the options: two texts are equal
// under them when their foldings are equal. Multi-character spellings
// ("ﾊﾞ", "ヴァ") fold to one character.
std::u32string foldForComparison(std::u32string_view text, const Equivalences& eq);

// UTF-8 helpers; invalid bytes decode to U+FFFD.
std::u32string decodeUtf8(std::string_view utf8);
std::string encodeUtf8(std::u32string_view text);

} // namespace talvo::grep::ext
