// Pattern rewriting for the character equivalences and blank tolerance.
// A small parser walks the PCRE syntax just far enough to tell literal
// characters, character classes, groups and quantifiers apart; everything it
// does not rewrite is copied as written, so the engine's compiler still sees
// (and reports) the user's own constructs.
#include "talvo-grep/ext/equivalence.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "talvo-grep/ext/kana_tables.h"

namespace talvo::grep::ext {

Equivalences fuzzy() {
    return Equivalences{.width = true,
                        .kana = true,
                        .longVowel = true,
                        .bRowVRow = true,
                        .smallKana = true,
                        .caseFold = true};
}

Equivalences equivalencesFromWeights(int weights) {
    Equivalences eq;
    eq.width = (weights & 1) != 0;
    eq.kana = (weights & 2) != 0;
    eq.longVowel = (weights & 4) != 0;
    eq.bRowVRow = (weights & 8) != 0;
    return eq;
}

Blanks blanksFromWeights(int weights) {
    Blanks b;
    b.acrossLineBreaks = (weights & 1) != 0;
    b.ignoreTabs = (weights & 2) != 0;
    b.ignoreSpaces = (weights & 4) != 0;
    return b;
}

std::u32string foldForComparison(std::u32string_view text, const Equivalences& eq) {
    return detail::canonical(text, eq);
}

std::u32string decodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80           ? 1
                  : (b >> 5) == 0x6  ? 2
                  : (b >> 4) == 0xE  ? 3
                  : (b >> 3) == 0x1E ? 4
                                     : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (c < minimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out += 0xFFFD;
            ++i;
            continue;
        }
        out += c;
        i += len;
    }
    return out;
}

std::string encodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

bool isAsciiAlnum(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool isHex(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'f') || (c >= U'A' && c <= U'F');
}

// One character as a regex item, valid both inside and outside a class.
std::string escapeChar(char32_t c) {
    if (c < 0x20 || c == 0x7F) {
        static const char digits[] = "0123456789abcdef";
        std::string s = "\\x{";
        s += digits[(c >> 4) & 0xF];
        s += digits[c & 0xF];
        return s + "}";
    }
    if (c < 0x80 && !isAsciiAlnum(c))
        return std::string("\\") + static_cast<char>(c);
    return encodeUtf8(std::u32string_view(&c, 1));
}

std::string escapeSequence(std::u32string_view s) {
    std::string out;
    for (char32_t c : s)
        out += escapeChar(c);
    return out;
}

// The equivalence classes of the table characters and of the multi-character
// spellings that fold as one unit under the options.
class Classes {
public:
    explicit Classes(const Equivalences& eq) : eq_(eq) {
        if (!eq.any())
            return;
        for (char32_t c : detail::tableCharacters())
            add(std::u32string(1, c));
        for (const std::u32string& m : detail::multiCharacterSpellings()) {
            if (isBound(m)) {
                bound_.push_back(m);
                add(m);
            }
        }
    }

    bool active() const { return eq_.any(); }

    bool isBoundUnit(std::u32string_view s) const {
        return std::find(bound_.begin(), bound_.end(), s) != bound_.end();
    }

    // Every spelling equal to unit, unit itself included.
    std::vector<std::u32string> spellings(const std::u32string& unit) const {
        if (!active())
            return {unit};
        auto it = byKey_.find(detail::canonical(unit, eq_));
        std::vector<std::u32string> list =
            it == byKey_.end() ? std::vector<std::u32string>{} : it->second;
        if (std::find(list.begin(), list.end(), unit) == list.end())
            list.push_back(unit);
        return list;
    }

    // Characters that, following s, make a unit that is not equal to s: "ﾊ"
    // followed by "ﾞ" is "バ", not "ハ".
    std::u32string continuations(const std::u32string& s) const {
        std::u32string next;
        const std::u32string key = detail::canonical(s, eq_);
        for (const std::u32string& b : bound_) {
            if (b.size() > s.size() && b.compare(0, s.size(), s) == 0 &&
                detail::canonical(b, eq_) != key && next.find(b[s.size()]) == std::u32string::npos)
                next += b[s.size()];
        }
        return next;
    }

private:
    // A spelling is a unit when it folds differently from its characters
    // folded one by one.
    bool isBound(const std::u32string& m) const {
        std::u32string pieces;
        for (char32_t c : m)
            pieces += detail::canonical(std::u32string(1, c), eq_);
        return pieces != detail::canonical(m, eq_);
    }

    void add(const std::u32string& s) { byKey_[detail::canonical(s, eq_)].push_back(s); }

    Equivalences eq_;
    std::map<std::u32string, std::vector<std::u32string>> byKey_;
    std::vector<std::u32string> bound_;
};

// The spellings one pattern item stands for: single characters that can
// share a character class, and longer or guarded alternatives.
struct Alternatives {
    std::vector<char32_t> singles;
    std::vector<std::u32string> multis;                       // matched as they stand
    std::vector<std::pair<char32_t, std::u32string>> guarded; // character, forbidden followers

    void addSingle(char32_t c) {
        if (std::find(singles.begin(), singles.end(), c) == singles.end())
            singles.push_back(c);
    }
    void addMulti(const std::u32string& s) {
        if (std::find(multis.begin(), multis.end(), s) == multis.end())
            multis.push_back(s);
    }
};

class Rewriter {
public:
    Rewriter(std::u32string_view pattern, bool regex, const Classes& classes, const Blanks& blanks,
             const RewriteTarget& target)
        : p_(pattern), regex_(regex), classes_(classes), blanks_(blanks), target_(target) {
        const bool all = blanks.ignoreAllBlanks;
        std::string chars;
        if (blanks.ignoreSpaces || all)
            chars += "\\x{20}\\x{3000}";
        if (blanks.ignoreTabs || all)
            chars += "\\t";
        // The line feed is written as "\\x{a}" and kept out of classes: the
        // program's own pattern parser takes "\\n" as an error, and its
        // emitters leave line feeds out of every class.
        if (all)
            gap_ = "(?:[" + chars + "\\r]|\\x{a})*";
        else if (blanks.acrossLineBreaks)
            gap_ = chars.empty() ? "(?:\\r\\x{a}?|\\x{a})?"
                                 : "[" + chars + "]*(?:(?:\\r\\x{a}?|\\x{a})[" + chars + "]*)?";
        else if (!chars.empty())
            gap_ = "[" + chars + "]*";
        // A pattern made of ignored blanks only is searched as it stands.
        dropBlanks_ = std::any_of(p_.begin(), p_.end(), [&](char32_t c) { return !ignored(c); });
    }

    std::string run() {
        std::string out = alternation();
        while (more()) { // an unmatched ")": copied for the compiler to report
            out += encodeUtf8(p_.substr(i_, 1));
            ++i_;
            out += alternation();
        }
        return out;
    }

private:
    struct Atom {
        std::string text;
        bool zeroWidth = false;
        bool needsGroup = false; // several items that a quantifier must take together
        bool skip = false;       // nothing to emit
    };

    static Atom skipped() {
        Atom a;
        a.skip = true;
        return a;
    }

    bool more() const { return i_ < p_.size(); }
    char32_t at(std::size_t j) const { return j < p_.size() ? p_[j] : 0; }
    std::string verbatim(std::size_t from, std::size_t to) const {
        return encodeUtf8(p_.substr(from, to - from));
    }

    bool ignored(char32_t c) const {
        const bool all = blanks_.ignoreAllBlanks;
        if (c == U' ' || c == 0x3000)
            return blanks_.ignoreSpaces || all;
        if (c == U'\t')
            return blanks_.ignoreTabs || all;
        if (c == U'\r' || c == U'\n')
            return blanks_.acrossLineBreaks || all;
        return false;
    }

    std::string alternation() {
        std::string out = sequence();
        while (regex_ && more() && at(i_) == U'|') {
            ++i_;
            out += '|';
            out += sequence();
        }
        return out;
    }

    std::string sequence() {
        std::string out;
        bool afterItem = false;
        while (more()) {
            if (regex_ && !inQuote_ && (at(i_) == U'|' || at(i_) == U')'))
                break;
            Atom a = atom();
            if (a.skip)
                continue;
            const std::string q = quantifier();
            if (!q.empty()) {
                if (a.needsGroup)
                    a.text = "(?:" + a.text + ")";
                a.text += q;
            }
            if (a.zeroWidth) {
                afterItem = false;
            } else {
                if (afterItem && lookbehind_ == 0)
                    out += gap_;
                afterItem = true;
            }
            out += a.text;
        }
        return out;
    }

    bool validBrace(std::size_t j) const {
        if (at(j) != U'{')
            return false;
        std::size_t k = j + 1;
        const std::size_t digitsStart = k;
        while (at(k) >= U'0' && at(k) <= U'9')
            ++k;
        if (k == digitsStart)
            return false;
        if (at(k) == U',') {
            ++k;
            while (at(k) >= U'0' && at(k) <= U'9')
                ++k;
        }
        return at(k) == U'}';
    }

    bool quantifierAt(std::size_t j) const {
        if (!regex_)
            return false;
        if (inQuote_) { // a quantifier may follow only after the quote ends
            if (at(j) != U'\\' || at(j + 1) != U'E')
                return false;
            j += 2;
        }
        const char32_t c = at(j);
        return c == U'*' || c == U'+' || c == U'?' || validBrace(j);
    }

    std::string quantifier() {
        if (!regex_ || inQuote_ || !more())
            return {};
        const std::size_t start = i_;
        const char32_t c = at(i_);
        if (c == U'*' || c == U'+' || c == U'?') {
            ++i_;
        } else if (validBrace(i_)) {
            while (at(i_) != U'}')
                ++i_;
            ++i_;
        } else {
            return {};
        }
        if (at(i_) == U'?' || at(i_) == U'+')
            ++i_;
        return verbatim(start, i_);
    }

    Atom atom() {
        if (!regex_)
            return literal();
        if (inQuote_) {
            if (at(i_) == U'\\' && at(i_ + 1) == U'E') {
                inQuote_ = false;
                i_ += 2;
                return skipped();
            }
            return literal();
        }
        const char32_t c = at(i_);
        switch (c) {
        case U'(':
            return group();
        case U'[':
            return characterClass();
        case U'\\':
            return escape();
        case U'.':
            ++i_;
            return Atom{.text = "."};
        case U'^':
        case U'$':
            ++i_;
            return Atom{.text = verbatim(i_ - 1, i_), .zeroWidth = true};
        case U'*':
        case U'+':
        case U'?': // a quantifier with nothing before it: left to the compiler
            ++i_;
            return Atom{.text = verbatim(i_ - 1, i_)};
        case U'{':
            if (validBrace(i_)) {
                const std::size_t start = i_;
                while (at(i_) != U'}')
                    ++i_;
                ++i_;
                return Atom{.text = verbatim(start, i_)};
            }
            return literal();
        default:
            return literal();
        }
    }

    // A literal character at i_, or a multi-character unit starting there.
    Atom literal() {
        const char32_t c = at(i_);
        if (dropBlanks_ && ignored(c) && !quantifierAt(i_ + 1)) {
            ++i_;
            return skipped();
        }
        if (classes_.active()) {
            for (std::size_t len = 3; len >= 2; --len) {
                if (i_ + len > p_.size())
                    continue;
                const std::u32string unit(p_.substr(i_, len));
                if (classes_.isBoundUnit(unit) && !quantifierAt(i_ + len)) {
                    i_ += len;
                    return unitAtom(unit);
                }
            }
        }
        ++i_;
        return unitAtom(std::u32string(1, c));
    }

    bool representable(std::u32string_view s) const {
        if (!target_.representable)
            return true;
        return std::all_of(s.begin(), s.end(),
                           [&](char32_t c) { return target_.representable(c); });
    }

    // Adds the spellings equal to unit; own is the pattern's own spelling.
    void collect(const std::u32string& unit, bool negated, Alternatives& alt) {
        for (const std::u32string& s : classes_.spellings(unit)) {
            const bool own = s == unit;
            if (!own && !representable(s))
                continue;
            if (s.size() == 1) {
                const std::u32string guard = own || negated || !target_.lookaround
                                                 ? std::u32string()
                                                 : classes_.continuations(s);
                if (guard.empty())
                    alt.addSingle(s[0]);
                else
                    alt.guarded.emplace_back(s[0], guard);
            } else if (!negated && (lookbehind_ == 0 || s.size() == unit.size())) {
                alt.addMulti(s);
            }
        }
    }

    static std::string classOf(const std::vector<char32_t>& singles) {
        if (singles.size() == 1)
            return escapeChar(singles[0]);
        std::string out = "[";
        for (char32_t c : singles)
            out += escapeChar(c);
        return out + "]";
    }

    // Longer spellings first, then the guarded ones, then the plain class.
    static std::string join(Alternatives& alt, const std::string& plain) {
        std::stable_sort(alt.multis.begin(), alt.multis.end(),
                         [](const auto& a, const auto& b) { return a.size() > b.size(); });
        std::string out = "(?:";
        bool first = true;
        auto bar = [&] {
            if (!first)
                out += '|';
            first = false;
        };
        for (const std::u32string& m : alt.multis) {
            bar();
            out += escapeSequence(m);
        }
        for (const auto& [c, followers] : alt.guarded) {
            bar();
            out += escapeChar(c) + "(?!" +
                   classOf(std::vector<char32_t>(followers.begin(), followers.end())) + ")";
        }
        if (!plain.empty()) {
            bar();
            out += plain;
        }
        return out + ")";
    }

    Atom unitAtom(const std::u32string& unit) {
        Alternatives alt;
        collect(unit, false, alt);
        if (alt.multis.empty() && alt.guarded.empty())
            return Atom{.text = classOf(alt.singles)};
        if (alt.singles.empty() && alt.guarded.empty() && alt.multis.size() == 1)
            return Atom{.text = escapeSequence(alt.multis[0]), .needsGroup = true};
        return Atom{.text = join(alt, alt.singles.empty() ? std::string() : classOf(alt.singles))};
    }

    // Reads a hexadecimal escape at i_ ("\x{...}" or "\xhh"); nullopt if malformed.
    std::optional<char32_t> hexEscape(std::size_t& j) const {
        std::size_t k = j + 2;
        char32_t value = 0;
        if (at(k) == U'{') {
            ++k;
            const std::size_t start = k;
            while (isHex(at(k)) && k - start < 8)
                value = value * 16 + hexValue(at(k++));
            if (k == start || at(k) != U'}' || value > 0x10FFFF)
                return std::nullopt;
            j = k + 1;
            return value;
        }
        int n = 0;
        while (n < 2 && isHex(at(k))) {
            value = value * 16 + hexValue(at(k++));
            ++n;
        }
        j = k;
        return value;
    }

    static char32_t hexValue(char32_t c) {
        if (c <= U'9')
            return c - U'0';
        if (c <= U'F')
            return c - U'A' + 10;
        return c - U'a' + 10;
    }

    static std::optional<char32_t> controlEscape(char32_t d) {
        switch (d) {
        case U'n':
            return U'\n';
        case U't':
            return U'\t';
        case U'r':
            return U'\r';
        case U'f':
            return U'\f';
        case U'e':
            return 0x1B;
        case U'a':
            return 0x07;
        default:
            return std::nullopt;
        }
    }

    // Skips a bracketed argument such as "{...}", "<...>" or "'...'" at j.
    std::size_t skipBracketed(std::size_t j) const {
        const char32_t open = at(j);
        const char32_t close = open == U'{' ? U'}' : open == U'<' ? U'>' : U'\'';
        std::size_t k = j + 1;
        while (k < p_.size() && at(k) != close)
            ++k;
        return std::min(k + 1, p_.size());
    }

    Atom escape() {
        const std::size_t start = i_;
        if (i_ + 1 >= p_.size()) {
            i_ = p_.size();
            return Atom{.text = verbatim(start, i_)};
        }
        const char32_t d = at(i_ + 1);
        auto copied = [&](std::size_t end, bool zeroWidth = false) {
            i_ = end;
            return Atom{.text = verbatim(start, end), .zeroWidth = zeroWidth};
        };
        switch (d) {
        case U'Q':
            inQuote_ = true;
            i_ += 2;
            return skipped();
        case U'E':
            i_ += 2;
            return skipped();
        case U'x': {
            std::size_t j = i_;
            if (auto c = hexEscape(j)) {
                i_ = j;
                return unitAtom(std::u32string(1, *c));
            }
            return copied(i_ + 2);
        }
        case U'b':
        case U'B':
        case U'A':
        case U'z':
        case U'Z':
        case U'G':
        case U'K':
            return copied(i_ + 2, true);
        case U'g':
        case U'k':
        case U'p':
        case U'P':
        case U'o':
        case U'N': {
            const std::size_t j = i_ + 2;
            if (at(j) == U'{' || at(j) == U'<' || at(j) == U'\'')
                return copied(skipBracketed(j));
            std::size_t k = j;
            if (d == U'g' && (at(k) == U'+' || at(k) == U'-'))
                ++k;
            while (d == U'g' && at(k) >= U'0' && at(k) <= U'9')
                ++k;
            if ((d == U'p' || d == U'P') && k < p_.size())
                ++k;
            return copied(std::max(k, j));
        }
        case U'c':
            return copied(std::min(i_ + 3, p_.size()));
        default:
            break;
        }
        if (d >= U'0' && d <= U'9') { // back reference or octal
            std::size_t k = i_ + 1;
            while (at(k) >= U'0' && at(k) <= U'9')
                ++k;
            return copied(k);
        }
        if (auto c = controlEscape(d)) {
            i_ += 2;
            return unitAtom(std::u32string(1, *c));
        }
        if (d < 0x80 && isAsciiAlnum(d)) // \d, \w, \s, \R and the like
            return copied(i_ + 2);
        i_ += 2;
        return unitAtom(std::u32string(1, d));
    }

    // Copies up to and including the ")" that closes the group opened before j.
    std::size_t skipToClose(std::size_t j) const {
        while (j < p_.size() && at(j) != U')') {
            if (at(j) == U'\\')
                ++j;
            ++j;
        }
        return std::min(j + 1, p_.size());
    }

    Atom group() {
        const std::size_t start = i_;
        std::string opener;
        bool zeroWidth = false;
        bool behind = false;
        if (at(i_ + 1) == U'*') { // (*VERB)
            i_ = skipToClose(i_ + 2);
            return Atom{.text = verbatim(start, i_), .zeroWidth = true};
        }
        if (at(i_ + 1) != U'?') {
            opener = "(";
            ++i_;
        } else {
            const char32_t k = at(i_ + 2);
            if (k == U'#') {
                i_ = skipToClose(i_ + 3);
                return skipped();
            }
            if (k == U':' || k == U'|' || k == U'>') {
                i_ += 3;
                opener = verbatim(start, i_);
            } else if (k == U'=' || k == U'!') {
                i_ += 3;
                opener = verbatim(start, i_);
                zeroWidth = true;
            } else if (k == U'<' && (at(i_ + 3) == U'=' || at(i_ + 3) == U'!')) {
                i_ += 4;
                opener = verbatim(start, i_);
                zeroWidth = true;
                behind = true;
            } else if (k == U'<' || k == U'\'' || (k == U'P' && at(i_ + 3) == U'<')) {
                std::size_t j = k == U'P' ? i_ + 3 : i_ + 2;
                i_ = skipBracketed(j);
                opener = verbatim(start, i_);
            } else if (k == U'(') {
                // Conditional group: the condition is an assertion or a reference.
                i_ += 2;
                std::string condition;
                if (at(i_ + 1) == U'?') {
                    condition = group().text;
                } else {
                    const std::size_t c = i_;
                    i_ = skipToClose(i_ + 1);
                    condition = verbatim(c, i_);
                }
                opener = "(?" + condition;
            } else {
                std::size_t j = i_ + 2;
                while ((at(j) >= U'a' && at(j) <= U'z') || (at(j) >= U'A' && at(j) <= U'Z') ||
                       at(j) == U'-' || at(j) == U'^')
                    ++j;
                if (at(j) == U':' && j > i_ + 2) { // (?i:...)
                    i_ = j + 1;
                    opener = verbatim(start, i_);
                } else if (at(j) == U')') { // (?i): an option setting
                    i_ = j + 1;
                    return Atom{.text = verbatim(start, i_), .zeroWidth = true};
                } else { // recursion, subroutine calls, callouts
                    i_ = skipToClose(i_ + 2);
                    return Atom{.text = verbatim(start, i_)};
                }
            }
        }
        if (behind)
            ++lookbehind_;
        std::string body = alternation();
        if (behind)
            --lookbehind_;
        std::string text = opener + body;
        if (at(i_) == U')') {
            ++i_;
            text += ')';
        }
        return Atom{.text = text, .zeroWidth = zeroWidth};
    }

    // One member of a class: a character, or text copied as it stands.
    struct Member {
        enum Kind { Char, Range, Copied } kind;
        char32_t first = 0;
        char32_t last = 0;
        std::string text;
    };

    // Reads the character an item of a class stands for, advancing j.
    std::optional<char32_t> classChar(std::size_t& j) const {
        if (at(j) != U'\\') {
            return at(j++);
        }
        const char32_t d = at(j + 1);
        if (d == U'x') {
            std::size_t k = j;
            if (auto c = hexEscape(k)) {
                j = k;
                return c;
            }
            return std::nullopt;
        }
        if (d == U'b') {
            j += 2;
            return 0x08;
        }
        if (auto c = controlEscape(d)) {
            j += 2;
            return c;
        }
        if (d != 0 && !(d < 0x80 && isAsciiAlnum(d)) && d != U'Q' && d != U'E') {
            j += 2;
            return d;
        }
        return std::nullopt;
    }

    Atom characterClass() {
        const std::size_t start = i_;
        std::size_t j = i_ + 1;
        const bool negated = at(j) == U'^';
        if (negated)
            ++j;
        std::vector<Member> members;
        bool first = true;
        bool quoted = false;
        while (true) {
            if (j >= p_.size()) { // unterminated: the compiler reports it
                i_ = p_.size();
                return Atom{.text = verbatim(start, i_)};
            }
            if (quoted) {
                if (at(j) == U'\\' && at(j + 1) == U'E') {
                    quoted = false;
                    j += 2;
                } else {
                    members.push_back(Member{Member::Char, at(j), at(j), {}});
                    ++j;
                }
                continue;
            }
            const char32_t c = at(j);
            if (c == U']' && !first)
                break;
            first = false;
            if (c == U'[' && (at(j + 1) == U':' || at(j + 1) == U'.' || at(j + 1) == U'=')) {
                const char32_t kind = at(j + 1);
                std::size_t k = j + 2;
                while (k + 1 < p_.size() && !(at(k) == kind && at(k + 1) == U']'))
                    ++k;
                k = std::min(k + 2, p_.size());
                members.push_back(Member{Member::Copied, 0, 0, verbatim(j, k)});
                j = k;
                continue;
            }
            if (c == U'\\' && (at(j + 1) == U'Q' || at(j + 1) == U'E')) {
                quoted = at(j + 1) == U'Q';
                j += 2;
                continue;
            }
            const std::size_t itemStart = j;
            std::optional<char32_t> lo = classChar(j);
            if (!lo) { // \d, \p{...} and the like
                std::size_t k = itemStart + 2;
                if ((at(itemStart + 1) == U'p' || at(itemStart + 1) == U'P')) {
                    k = at(k) == U'{' ? skipBracketed(k) : std::min(k + 1, p_.size());
                }
                members.push_back(Member{Member::Copied, 0, 0, verbatim(itemStart, k)});
                j = k;
                continue;
            }
            if (at(j) == U'-' && at(j + 1) != U']' && j + 1 < p_.size()) {
                std::size_t k = j + 1;
                if (std::optional<char32_t> hi = classChar(k); hi && *hi >= *lo) {
                    members.push_back(Member{Member::Range, *lo, *hi, {}});
                    j = k;
                    continue;
                }
            }
            members.push_back(Member{Member::Char, *lo, *lo, {}});
        }
        i_ = j + 1; // past "]"

        Alternatives added;
        std::string own;
        for (const Member& m : members) {
            if (m.kind == Member::Copied) {
                own += m.text;
                continue;
            }
            own += escapeChar(m.first);
            if (m.kind == Member::Range)
                own += "-" + escapeChar(m.last);
            if (!classes_.active())
                continue;
            if (m.kind == Member::Char) {
                collect(std::u32string(1, m.first), negated, added);
            } else {
                for (char32_t t : detail::tableCharacters())
                    if (t >= m.first && t <= m.last)
                        collect(std::u32string(1, t), negated, added);
            }
        }
        std::string cls = "[";
        if (negated)
            cls += '^';
        cls += own;
        for (char32_t c : added.singles)
            cls += escapeChar(c);
        cls += "]";
        if (added.multis.empty() && added.guarded.empty())
            return Atom{.text = cls};
        return Atom{.text = join(added, cls)};
    }

    std::u32string_view p_;
    bool regex_;
    const Classes& classes_;
    Blanks blanks_;
    const RewriteTarget& target_;
    std::string gap_;
    bool dropBlanks_ = true;
    bool inQuote_ = false;
    int lookbehind_ = 0;
    std::size_t i_ = 0;
};

} // namespace

std::string rewritePattern(std::string_view pattern, bool regex, const Equivalences& eq,
                           const Blanks& blanks, const RewriteTarget& target) {
    const std::u32string text = decodeUtf8(pattern);
    const Classes classes(eq);
    return Rewriter(text, regex, classes, blanks, target).run();
}

std::string rewritePattern(std::string_view pattern, bool regex, const Equivalences& eq,
                           const Blanks& blanks) {
    return rewritePattern(pattern, regex, eq, blanks, RewriteTarget{});
}

} // namespace talvo::grep::ext
