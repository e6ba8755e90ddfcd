// Character tables and the canonical folding they define. Folding runs in a
// fixed order (width, kana, long vowel, B-row/V-row, small kana, case) so
// that the classes it makes are the same whichever options are combined:
// with width and kana on, "ﾌｧｲﾙ", "ファイル" and "ふぁいる" all fold to
// "ファイル". The V-row spellings are folded before small kana, so "ヴァ"
// stays "バ" under fuzzy search.
#include "talvo-grep/ext/kana_tables.h"

#include <algorithm>
#include <array>
#include <set>

namespace talvo::grep::ext::detail {
namespace {

// Half-width katakana U+FF61 ... U+FF9F and their full-width forms.
constexpr std::array<char32_t, 63> kHalfToFull = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};

constexpr char32_t kHalfVoiced = 0xFF9E;     // ﾞ
constexpr char32_t kHalfSemiVoiced = 0xFF9F; // ﾟ

// Signs U+FFE0 ... U+FFE6 and their narrow forms.
constexpr std::array<char32_t, 7> kWideSigns = {0x00A2, 0x00A3, 0x00AC, 0x00AF,
                                                0x00A6, 0x00A5, 0x20A9};

constexpr std::array<char32_t, 7> kLongVowelFamily = {0x30FC, 0xFF0D, 0x002D, 0xFF70,
                                                      0x2015, 0x2010, 0x2212};

struct Pair {
    char32_t from;
    char32_t to;
};

// Small kana and their full-size forms: katakana, hiragana, half-width.
constexpr std::array<Pair, 33> kSmallKana = {{
    {0x30A1, 0x30A2}, {0x30A3, 0x30A4}, {0x30A5, 0x30A6}, {0x30A7, 0x30A8}, {0x30A9, 0x30AA},
    {0x30C3, 0x30C4}, {0x30E3, 0x30E4}, {0x30E5, 0x30E6}, {0x30E7, 0x30E8}, {0x30EE, 0x30EF},
    {0x30F5, 0x30AB}, {0x30F6, 0x30B1}, {0x3041, 0x3042}, {0x3043, 0x3044}, {0x3045, 0x3046},
    {0x3047, 0x3048}, {0x3049, 0x304A}, {0x3063, 0x3064}, {0x3083, 0x3084}, {0x3085, 0x3086},
    {0x3087, 0x3088}, {0x308E, 0x308F}, {0x3095, 0x304B}, {0x3096, 0x3051}, {0xFF67, 0xFF71},
    {0xFF68, 0xFF72}, {0xFF69, 0xFF73}, {0xFF6A, 0xFF74}, {0xFF6B, 0xFF75}, {0xFF6C, 0xFF94},
    {0xFF6D, 0xFF95}, {0xFF6E, 0xFF96}, {0xFF6F, 0xFF82},
}};

// V-row spellings and the B-row character each stands for, per script.
struct VRow {
    std::u32string_view from;
    std::u32string_view to;
};
constexpr std::array<VRow, 15> kVRow = {{
    {U"ヴァ", U"バ"},
    {U"ヴィ", U"ビ"},
    {U"ヴェ", U"ベ"},
    {U"ヴォ", U"ボ"},
    {U"ヴ", U"ブ"},
    {U"ゔぁ", U"ば"},
    {U"ゔぃ", U"び"},
    {U"ゔぇ", U"べ"},
    {U"ゔぉ", U"ぼ"},
    {U"ゔ", U"ぶ"},
    {U"ｳﾞｧ", U"ﾊﾞ"},
    {U"ｳﾞｨ", U"ﾋﾞ"},
    {U"ｳﾞｪ", U"ﾍﾞ"},
    {U"ｳﾞｫ", U"ﾎﾞ"},
    {U"ｳﾞ", U"ﾌﾞ"},
}};

bool isHalfKatakana(char32_t c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}

// The full-width katakana that a half-width base and a voiced mark make, or 0.
char32_t voicedForm(char32_t halfBase, char32_t mark) {
    if (!isHalfKatakana(halfBase))
        return 0;
    const char32_t full = kHalfToFull[halfBase - 0xFF61];
    const bool kaToTo = full >= 0x30AB && full <= 0x30C8 && full != 0x30C3;
    const bool haToHo = full >= 0x30CF && full <= 0x30DB && (full - 0x30CF) % 3 == 0;
    if (mark == kHalfVoiced) {
        if (full == 0x30A6) // ウ
            return 0x30F4;
        if (kaToTo || haToHo)
            return full + 1;
    } else if (mark == kHalfSemiVoiced && haToHo) {
        return full + 2;
    }
    return 0;
}

std::u32string foldWidth(std::u32string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t c = s[i];
        if (i + 1 < s.size()) {
            if (char32_t v = voicedForm(c, s[i + 1])) {
                out += v;
                ++i;
                continue;
            }
        }
        if (isHalfKatakana(c))
            out += kHalfToFull[c - 0xFF61];
        else if (c >= 0xFF01 && c <= 0xFF5E)
            out += c - 0xFEE0;
        else if (c == 0x3000)
            out += U' ';
        else if (c >= 0xFFE0 && c <= 0xFFE6)
            out += kWideSigns[c - 0xFFE0];
        else
            out += c;
    }
    return out;
}

char32_t foldKana(char32_t c) {
    if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E)
        return c + 0x60;
    return c;
}

char32_t foldLongVowel(char32_t c) {
    return std::find(kLongVowelFamily.begin(), kLongVowelFamily.end(), c) != kLongVowelFamily.end()
               ? 0x30FC
               : c;
}

std::u32string foldVRow(std::u32string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        bool replaced = false;
        for (const VRow& v : kVRow) { // longer spellings come first in each script
            if (s.substr(i, v.from.size()) == v.from) {
                out += v.to;
                i += v.from.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += s[i++];
    }
    return out;
}

char32_t foldSmallKana(char32_t c) {
    for (const Pair& p : kSmallKana)
        if (p.from == c)
            return p.to;
    return c;
}

char32_t foldCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xFF21 && c <= 0xFF3A))
        return c + 0x20;
    return c;
}

template <typename F> void mapEach(std::u32string& s, F f) {
    for (char32_t& c : s)
        c = f(c);
}

} // namespace

std::u32string canonical(std::u32string_view text, const Equivalences& eq) {
    std::u32string s = eq.width ? foldWidth(text) : std::u32string(text);
    if (eq.kana)
        mapEach(s, foldKana);
    if (eq.longVowel)
        mapEach(s, foldLongVowel);
    if (eq.bRowVRow)
        s = foldVRow(s);
    if (eq.smallKana)
        mapEach(s, foldSmallKana);
    if (eq.caseFold)
        mapEach(s, foldCase);
    return s;
}

const std::vector<char32_t>& tableCharacters() {
    static const std::vector<char32_t> chars = [] {
        std::set<char32_t> set;
        for (char32_t c = 0x20; c <= 0x7E; ++c)
            set.insert(c);
        for (char32_t c = 0xFF01; c <= 0xFF9F; ++c)
            set.insert(c);
        for (char32_t c = 0xFFE0; c <= 0xFFE6; ++c)
            set.insert(c);
        for (char32_t c = 0x3041; c <= 0x3096; ++c)
            set.insert(c);
        for (char32_t c = 0x309B; c <= 0x309E; ++c)
            set.insert(c);
        for (char32_t c = 0x30A1; c <= 0x30FE; ++c)
            set.insert(c);
        set.insert(kHalfToFull.begin(), kHalfToFull.end());
        set.insert(kWideSigns.begin(), kWideSigns.end());
        set.insert(kLongVowelFamily.begin(), kLongVowelFamily.end());
        set.insert(0x3000);
        return std::vector<char32_t>(set.begin(), set.end());
    }();
    return chars;
}

const std::vector<std::u32string>& multiCharacterSpellings() {
    static const std::vector<std::u32string> spellings = [] {
        std::vector<std::u32string> list;
        for (char32_t base = 0xFF61; base <= 0xFF9D; ++base)
            for (char32_t mark : {kHalfVoiced, kHalfSemiVoiced})
                if (voicedForm(base, mark))
                    list.push_back(std::u32string{base, mark});
        for (const VRow& v : kVRow)
            if (v.from.size() > 1)
                list.emplace_back(v.from);
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        return list;
    }();
    return spellings;
}

} // namespace talvo::grep::ext::detail
