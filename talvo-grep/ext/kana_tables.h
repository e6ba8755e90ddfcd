// The character tables behind the equivalences: full-width and half-width
// forms, hiragana and katakana, the long-vowel family, the B-row and V-row
// spellings and the small kana. Internal to the equivalence rewrite.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "talvo-grep/ext/equivalence.h"

namespace talvo::grep::ext::detail {

// Folds text to its canonical spelling under eq (see foldForComparison).
std::u32string canonical(std::u32string_view text, const Equivalences& eq);

// Every single character that some table mentions, ascending.
const std::vector<char32_t>& tableCharacters();

// The multi-character spellings the tables know ("ﾊﾞ", "ヴァ", "ゔぁ", "ｳﾞｧ" ...).
const std::vector<std::u32string>& multiCharacterSpellings();

} // namespace talvo::grep::ext::detail
