// Word characters: the one definition behind \w, \W, \b, \B, \<, \> and the
// word search, in every encoding.
// Decision: a word character is a Unicode letter (the Alphabetic property),
// mark, decimal digit or connector punctuation ("_", "＿"); kana, kanji and
// the long vowel mark "ー" are letters, the spacing sound marks "゛" "゜" are
// symbols. A legacy encoding's bytes are decoded before the test, so the same
// text gives the same answer in UTF-8, Shift-JIS, EUC-JP and UTF-16.
#pragma once

#include "talvo-grep/encoding.h"

#include <span>
#include <string_view>

namespace talvo::grep {

struct CodeRange {
    char32_t lo, hi; // inclusive
};

bool isWordChar(char32_t c);
// The word characters as sorted, disjoint ranges.
std::span<const CodeRange> wordCharRanges();
// True when c lies in one of ranges (sorted, disjoint).
bool inRanges(std::span<const CodeRange> ranges, char32_t c);

// The code point of the UTF-8 sequence at p, or U+FFFD when it is no
// character; n is set to its length (1 for a stray byte).
char32_t decodeUtf8(const unsigned char* p, const unsigned char* end, size_t& n);

// Whether the character that ends at offset (before it) or starts at offset
// (after it) in text of kind is a word character. The start and end of text,
// and bytes that are no character, are not. Offset must lie on a character
// boundary; UTF-16 text is read as the UTF-8 it was turned into.
bool wordCharBefore(TextKind kind, std::string_view text, size_t offset);
bool wordCharAfter(TextKind kind, std::string_view text, size_t offset);

} // namespace talvo::grep
