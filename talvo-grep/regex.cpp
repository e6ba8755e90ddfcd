// Parser and emitters of the pattern language (see regex.h).
#include "talvo-grep/regex.h"

#include "talvo-grep/encoding.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

namespace talvo::grep {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u32string decodePatternText(std::string_view bytes) {
    std::u32string out;
    if (isValidUtf8(bytes)) {
        auto p = reinterpret_cast<const unsigned char*>(bytes.data());
        auto end = p + bytes.size();
        while (p < end) {
            unsigned char c = *p;
            size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
            for (size_t i = 1; i < n; ++i) {
                cp = (cp << 6) | (p[i] & 0x3F);
            }
            out.push_back(cp);
            p += n;
        }
        return out;
    }
    const Encoding& sjis = Encoding::get(TextKind::ShiftJis);
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    auto end = p + bytes.size();
    while (p < end) {
        size_t n = sjis.charLength(p, end);
        out.push_back(sjis.decode(p, n));
        p += n;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Character predicates shared by every encoding.

namespace {
#include "talvo-grep/posix_classes.inc"

constexpr CodeRange kDigitRanges[] = {{'0', '9'}, {0xFF10, 0xFF19}};
constexpr CodeRange kSpaceRanges[] = {
    {'\t', '\r'},     {' ', ' '},       {0x85, 0x85},     {0xA0, 0xA0},     {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}};

bool isDigitChar(char32_t c) {
    return inRanges(kDigitRanges, c);
}
bool isSpaceChar(char32_t c) {
    return inRanges(kSpaceRanges, c);
}

// Sorts and joins overlapping or touching ranges.
void normalize(std::vector<CodeRange>& v) {
    std::sort(v.begin(), v.end(),
              [](const CodeRange& a, const CodeRange& b) { return a.lo < b.lo; });
    std::vector<CodeRange> out;
    for (const CodeRange& r : v) {
        if (!out.empty() && r.lo <= out.back().hi + 1)
            out.back().hi = std::max(out.back().hi, r.hi);
        else
            out.push_back(r);
    }
    v = std::move(out);
}

// Every code point that a normalized set leaves out.
std::vector<CodeRange> complement(std::span<const CodeRange> set) {
    std::vector<CodeRange> out;
    char32_t next = 0;
    for (const CodeRange& r : set) {
        if (r.lo > next)
            out.push_back({next, r.lo - 1});
        next = r.hi + 1;
    }
    if (next <= 0x10FFFF)
        out.push_back({next, 0x10FFFF});
    return out;
}

void addAll(std::vector<CodeRange>& to, std::span<const CodeRange> set, bool inverted) {
    if (!inverted) {
        to.insert(to.end(), set.begin(), set.end());
        return;
    }
    std::vector<CodeRange> sorted(set.begin(), set.end());
    normalize(sorted);
    for (const CodeRange& r : complement(sorted))
        to.push_back(r);
}
} // namespace

char32_t otherCase(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xFF41 && c <= 0xFF5A)
        return c - 32;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 32;
    return c;
}

bool CharClass::contains(char32_t c) const {
    bool in = false;
    for (const Range& r : ranges) {
        if (c >= r.lo && c <= r.hi) {
            in = true;
            break;
        }
    }
    in = in || (word && isWordChar(c)) || (notWord && !isWordChar(c)) ||
         (digit && isDigitChar(c)) || (notDigit && !isDigitChar(c)) || (space && isSpaceChar(c)) ||
         (notSpace && !isSpaceChar(c));
    return negated ? !in : in;
}

std::vector<CodeRange> classRanges(const CharClass& k) {
    std::vector<CodeRange> v;
    for (const auto& r : k.ranges)
        v.push_back({r.lo, r.hi});
    if (k.word || k.notWord) {
        if (k.word)
            addAll(v, wordCharRanges(), false);
        if (k.notWord)
            addAll(v, wordCharRanges(), true);
    }
    if (k.digit)
        addAll(v, kDigitRanges, false);
    if (k.notDigit)
        addAll(v, kDigitRanges, true);
    if (k.space)
        addAll(v, kSpaceRanges, false);
    if (k.notSpace)
        addAll(v, kSpaceRanges, true);
    normalize(v);
    if (k.negated)
        v = complement(v);
    // No class holds a line feed or a surrogate.
    std::vector<CodeRange> out;
    for (CodeRange r : v) {
        for (CodeRange gap : {CodeRange{'\n', '\n'}, CodeRange{0xD800, 0xDFFF}}) {
            if (r.lo < gap.lo && r.hi >= gap.lo) {
                out.push_back({r.lo, gap.lo - 1});
                r.lo = gap.lo;
            }
            if (r.lo >= gap.lo && r.lo <= gap.hi)
                r.lo = gap.hi + 1;
        }
        if (r.lo <= r.hi)
            out.push_back(r);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Parser: alternation := concat ('|' concat)*; concat := (atom quantifier*)*.

namespace {

using NodePtr = std::unique_ptr<Node>;

NodePtr makeNode(Node::Kind k) {
    auto n = std::make_unique<Node>();
    n->kind = k;
    return n;
}

class Parser {
public:
    Parser(std::u32string_view text, Pattern& out) : s_(text), out_(out) {}

    std::optional<PatternError> run() {
        NodePtr root = alternation();
        if (!error_ && pos_ < s_.size()) {
            fail(s_[pos_] == ')' ? "unmatched \")\"" : "unexpected character", pos_);
        }
        if (error_) {
            return error_;
        }
        for (int ref : backrefs_) {
            if (ref > groups_) {
                return PatternError{"back-reference \\" + std::to_string(ref) +
                                        " names a group that does not exist",
                                    1};
            }
        }
        out_.root = std::move(root);
        out_.groups = groups_;
        return std::nullopt;
    }

private:
    bool atEnd() const { return pos_ >= s_.size(); }
    void fail(const std::string& msg, size_t at) {
        if (!error_) {
            error_ = PatternError{msg, at + 1};
        }
    }
    bool altBar() const {
        if (atEnd())
            return false;
        if (s_[pos_] == '|')
            return true;
        return s_[pos_] == '\\' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '|';
    }

    NodePtr alternation() {
        std::vector<NodePtr> branches;
        branches.push_back(concat());
        while (!error_ && altBar()) {
            pos_ += s_[pos_] == '|' ? 1 : 2;
            branches.push_back(concat());
        }
        if (branches.size() == 1) {
            return std::move(branches[0]);
        }
        NodePtr n = makeNode(Node::Kind::Alternation);
        n->children = std::move(branches);
        return n;
    }

    NodePtr concat() {
        NodePtr n = makeNode(Node::Kind::Concat);
        while (!error_ && !atEnd() && !altBar() && s_[pos_] != ')') {
            size_t at = pos_;
            // A "*" that follows nothing (or only "^") stands for itself.
            bool leadingStar =
                s_[pos_] == '*' &&
                std::all_of(n->children.begin(), n->children.end(),
                            [](const NodePtr& c) { return c->kind == Node::Kind::LineStart; });
            NodePtr a = leadingStar ? (++pos_, literal('*')) : atom();
            if (error_)
                break;
            while (!error_ && !atEnd()) {
                if (!quantifier(a, at))
                    break;
            }
            n->children.push_back(std::move(a));
        }
        if (n->children.size() == 1) {
            return std::move(n->children[0]);
        }
        if (n->children.empty()) {
            return makeNode(Node::Kind::Empty);
        }
        return n;
    }

    bool readNumber(size_t& p, int& value) {
        size_t start = p;
        long v = 0;
        while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') {
            v = v * 10 + (s_[p] - '0');
            if (v > 100000)
                v = 100000;
            ++p;
        }
        value = static_cast<int>(v);
        return p > start;
    }

    // Applies a quantifier at pos_ to a; false when there is none.
    bool quantifier(NodePtr& a, size_t atomAt) {
        char32_t c = s_[pos_];
        if (c == '*' && a->kind == Node::Kind::LineStart)
            return false; // "^*" is a star at the line start
        int min = 0, max = 0;
        size_t at = pos_;
        if (c == '*') {
            min = 0, max = -1, ++pos_;
        } else if (c == '+') {
            min = 1, max = -1, ++pos_;
        } else if (c == '?') {
            min = 0, max = 1, ++pos_;
        } else if (c == '{') {
            size_t p = pos_ + 1;
            int lo = 0, hi = 0;
            bool hasLo = readNumber(p, lo);
            if (p < s_.size() && s_[p] == '}' && hasLo) {
                min = max = lo;
            } else if (p < s_.size() && s_[p] == ',') {
                ++p;
                bool hasHi = readNumber(p, hi);
                if (p >= s_.size() || s_[p] != '}' || (!hasLo && !hasHi)) {
                    return false; // not a repetition: "{" is literal
                }
                min = hasLo ? lo : 0;
                max = hasHi ? hi : -1;
            } else {
                return false;
            }
            pos_ = p + 1;
            if (max != -1 && min > max) {
                fail("repetition {" + std::to_string(min) + "," + std::to_string(max) +
                         "} has its minimum above its maximum",
                     at);
                return false;
            }
            if (min > 1000 || max > 1000) {
                fail("repetition count above 1000", at);
                return false;
            }
        } else {
            return false;
        }
        switch (a->kind) {
        case Node::Kind::LineStart:
        case Node::Kind::LineEnd:
            fail("nothing to repeat before \"" + std::string(1, static_cast<char>(c)) + "\"", at);
            return false;
        case Node::Kind::WordBoundary:
        case Node::Kind::NotWordBoundary:
        case Node::Kind::WordStart:
        case Node::Kind::WordEnd:
        case Node::Kind::Empty:
            // A repeated test holds once or, when it may be left out, always.
            if (min == 0)
                a = makeNode(Node::Kind::Empty);
            if (!atEnd() && (s_[pos_] == '?' || s_[pos_] == '+'))
                ++pos_;
            return true;
        default:
            break;
        }
        (void)atomAt;
        NodePtr r = makeNode(Node::Kind::Repeat);
        r->min = min;
        r->max = max;
        if (!atEnd() && s_[pos_] == '?') {
            r->lazy = true;
            ++pos_;
        } else if (!atEnd() && s_[pos_] == '+') {
            r->possessive = true;
            ++pos_;
        }
        r->children.push_back(std::move(a));
        a = std::move(r);
        return true;
    }

    NodePtr literal(char32_t c) {
        NodePtr n = makeNode(Node::Kind::Literal);
        n->cp = c;
        return n;
    }

    NodePtr atom() {
        size_t at = pos_;
        char32_t c = s_[pos_++];
        switch (c) {
        case '.':
            return makeNode(Node::Kind::Any);
        case '^':
            return makeNode(Node::Kind::LineStart);
        case '$':
            return makeNode(Node::Kind::LineEnd);
        case '*':
        case '+':
        case '?':
            fail(std::string("nothing to repeat before \"") + static_cast<char>(c) + "\"", at);
            return nullptr;
        case '[':
            return charClass(at);
        case '(':
            return group(at);
        case '\\':
            return escape(at);
        default:
            return literal(c);
        }
    }

    NodePtr group(size_t at) {
        Node::Kind kind = Node::Kind::Group;
        int index = 0;
        if (pos_ < s_.size() && s_[pos_] == '?') {
            std::u32string_view rest = s_.substr(pos_);
            auto starts = [&](std::u32string_view p) { return rest.substr(0, p.size()) == p; };
            if (starts(U"?:")) {
                kind = Node::Kind::NonCapture, pos_ += 2;
            } else if (starts(U"?=")) {
                kind = Node::Kind::LookAhead, pos_ += 2;
            } else if (starts(U"?!")) {
                kind = Node::Kind::NegLookAhead, pos_ += 2;
            } else if (starts(U"?<=")) {
                kind = Node::Kind::LookBehind, pos_ += 3;
            } else if (starts(U"?<!")) {
                kind = Node::Kind::NegLookBehind, pos_ += 3;
            } else {
                fail("unsupported group \"(?\"", at);
                return nullptr;
            }
        } else {
            index = ++groups_;
        }
        NodePtr inner = alternation();
        if (error_)
            return nullptr;
        if (atEnd() || s_[pos_] != ')') {
            fail("missing \")\" for the \"(\"", at);
            return nullptr;
        }
        ++pos_;
        NodePtr n = makeNode(kind);
        n->index = index;
        n->children.push_back(std::move(inner));
        return n;
    }

    // Reads \xHH or \x{H...}; pos_ is after the "x".
    bool hexEscape(size_t at, char32_t& out) {
        size_t p = pos_;
        bool braces = p < s_.size() && s_[p] == '{';
        if (braces)
            ++p;
        char32_t v = 0;
        size_t digits = 0;
        while (p < s_.size() && digits < (braces ? 6u : 2u)) {
            char32_t h = s_[p];
            int d = h >= '0' && h <= '9'   ? h - '0'
                    : h >= 'a' && h <= 'f' ? h - 'a' + 10
                    : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                           : -1;
            if (d < 0)
                break;
            v = v * 16 + static_cast<char32_t>(d);
            ++p, ++digits;
        }
        if (braces) {
            if (p >= s_.size() || s_[p] != '}' || digits == 0) {
                fail("malformed \\x{...}", at);
                return false;
            }
            ++p;
        } else if (digits == 0) {
            fail("\\x needs hexadecimal digits", at);
            return false;
        }
        if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
            fail("\\x names no character", at);
            return false;
        }
        pos_ = p;
        out = v;
        return true;
    }

    // An escape that stands for a character; false when c is none.
    bool charEscape(char32_t c, size_t at, char32_t& out) {
        switch (c) {
        case 't':
            out = '\t';
            return true;
        case 'r':
            out = '\r';
            return true;
        case 'f':
            out = '\f';
            return true;
        case 'v':
            out = '\v';
            return true;
        case 'e':
            out = 0x1B;
            return true;
        case 'a':
            out = 0x07;
            return true;
        case 'x':
            return hexEscape(at, out);
        default:
            break;
        }
        if (c < 0x80 &&
            !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
            out = c; // escaped punctuation stands for itself
            return true;
        }
        if (c >= 0x80) {
            out = c;
            return true;
        }
        return false;
    }

    NodePtr escape(size_t at) {
        if (atEnd()) {
            fail("pattern ends with \"\\\"", at);
            return nullptr;
        }
        char32_t c = s_[pos_++];
        auto cls = [&](auto set) {
            NodePtr n = makeNode(Node::Kind::Class);
            set(n->cls);
            return n;
        };
        switch (c) {
        case 'w':
            return cls([](CharClass& k) { k.word = true; });
        case 'W':
            return cls([](CharClass& k) { k.notWord = true; });
        case 'd':
            return cls([](CharClass& k) { k.digit = true; });
        case 'D':
            return cls([](CharClass& k) { k.notDigit = true; });
        case 's':
            return cls([](CharClass& k) { k.space = true; });
        case 'S':
            return cls([](CharClass& k) { k.notSpace = true; });
        case 'b':
            return makeNode(Node::Kind::WordBoundary);
        case 'B':
            return makeNode(Node::Kind::NotWordBoundary);
        case '<':
            return makeNode(Node::Kind::WordStart);
        case '>':
            return makeNode(Node::Kind::WordEnd);
        case 'n':
            fail("a pattern cannot match a line break (\\n)", at);
            return nullptr;
        default:
            break;
        }
        if (c >= '1' && c <= '9') {
            NodePtr n = makeNode(Node::Kind::Backref);
            n->index = static_cast<int>(c - '0');
            backrefs_.push_back(n->index);
            return n;
        }
        char32_t v = 0;
        if (charEscape(c, at, v)) {
            return literal(v);
        }
        if (!error_) {
            std::string name;
            appendUtf8(name, c);
            fail("unknown escape \"\\" + name + "\"", at);
        }
        return nullptr;
    }

    NodePtr charClass(size_t at) {
        NodePtr n = makeNode(Node::Kind::Class);
        CharClass& k = n->cls;
        if (!atEnd() && s_[pos_] == '^') {
            k.negated = true;
            ++pos_;
        }
        bool first = true;
        for (;;) {
            if (atEnd()) {
                fail("missing \"]\" for the \"[\"", at);
                return nullptr;
            }
            char32_t c = s_[pos_];
            if (c == ']' && !first) {
                ++pos_;
                break;
            }
            first = false;
            size_t itemAt = pos_;
            if (c == '[' && pos_ + 1 < s_.size() && s_[pos_ + 1] == ':') {
                if (!posixClass(k, itemAt))
                    return nullptr;
                continue;
            }
            char32_t lo = 0;
            if (!classChar(k, lo, itemAt)) {
                if (error_)
                    return nullptr;
                continue; // a set such as \w was added
            }
            if (pos_ + 1 < s_.size() && s_[pos_] == '-' && s_[pos_ + 1] != ']') {
                size_t hiAt = ++pos_;
                char32_t hi = 0;
                if (!classChar(k, hi, hiAt)) {
                    if (!error_)
                        fail("a range cannot end in a set such as \\w", hiAt);
                    return nullptr;
                }
                if (hi < lo) {
                    fail("range out of order in character class", itemAt);
                    return nullptr;
                }
                k.ranges.push_back({lo, hi});
            } else {
                k.ranges.push_back({lo, lo});
            }
        }
        return n;
    }

    // Reads one class member; false when it was a set (added to k) or an error.
    bool classChar(CharClass& k, char32_t& out, size_t at) {
        char32_t c = s_[pos_++];
        if (c != '\\') {
            out = c;
            return true;
        }
        if (atEnd()) {
            fail("missing \"]\" for the \"[\"", at);
            return false;
        }
        char32_t e = s_[pos_++];
        switch (e) {
        case 'w':
            k.word = true;
            return false;
        case 'W':
            k.notWord = true;
            return false;
        case 'd':
            k.digit = true;
            return false;
        case 'D':
            k.notDigit = true;
            return false;
        case 's':
            k.space = true;
            return false;
        case 'S':
            k.notSpace = true;
            return false;
        case 'n':
            fail("a pattern cannot match a line break (\\n)", at);
            return false;
        case 'b':
            out = 0x08;
            return true;
        default:
            break;
        }
        if (charEscape(e, at, out)) {
            return true;
        }
        if (!error_)
            fail("unknown escape in character class", at);
        return false;
    }

    bool posixClass(CharClass& k, size_t at) {
        size_t close = s_.find(U":]", pos_ + 2);
        if (close == std::u32string_view::npos) {
            fail("malformed [:name:] class", at);
            return false;
        }
        std::u32string name(s_.substr(pos_ + 2, close - pos_ - 2));
        pos_ = close + 2;
        // As the system's tools class characters in a UTF-8 locale: letters
        // take kana and kanji, spaces the ideographic space; digits stay ASCII.
        static const std::pair<std::u32string_view, std::span<const CodeRange>> kNamed[] = {
            {U"alpha", kPosixAlpha}, {U"upper", kPosixUpper}, {U"lower", kPosixLower},
            {U"alnum", kPosixAlnum}, {U"digit", kPosixDigit}, {U"xdigit", kPosixXdigit},
            {U"space", kPosixSpace}, {U"blank", kPosixBlank}, {U"punct", kPosixPunct},
            {U"print", kPosixPrint}, {U"graph", kPosixGraph}, {U"cntrl", kPosixCntrl}};
        if (name == U"word") {
            k.word = true;
            return true;
        }
        for (const auto& [named, set] : kNamed) {
            if (name == named) {
                for (const CodeRange& r : set)
                    k.ranges.push_back({r.lo, r.hi});
                k.anyCaseLetter |= set.data() == kPosixUpper || set.data() == kPosixLower;
                return true;
            }
        }
        fail("unknown class [:name:]", at);
        return false;
    }

    std::u32string_view s_;
    Pattern& out_;
    size_t pos_ = 0;
    int groups_ = 0;
    std::vector<int> backrefs_;
    std::optional<PatternError> error_;
};

} // namespace

std::optional<PatternError> parsePattern(std::u32string_view text, bool literal, Pattern& out) {
    if (literal) {
        NodePtr n = makeNode(Node::Kind::Concat);
        for (char32_t c : text) {
            if (c == '\n') {
                return PatternError{"a pattern cannot match a line break", 1};
            }
            NodePtr l = makeNode(Node::Kind::Literal);
            l->cp = c;
            n->children.push_back(std::move(l));
        }
        if (n->children.empty()) {
            n->kind = Node::Kind::Empty;
        }
        out.root = std::move(n);
        out.groups = 0;
        return std::nullopt;
    }
    return Parser(text, out).run();
}

// ---------------------------------------------------------------------------
// Emitters.

namespace {

// A class with letters folded in both cases, as ranges.
CharClass foldClass(const CharClass& k) {
    CharClass f = k;
    auto fold = [&](char32_t lo, char32_t hi, char32_t from, char32_t to, int delta) {
        char32_t a = std::max(lo, from), b = std::min(hi, to);
        if (a <= b) {
            f.ranges.push_back({static_cast<char32_t>(static_cast<int>(a) + delta),
                                static_cast<char32_t>(static_cast<int>(b) + delta)});
        }
    };
    // As grep in a UTF-8 locale reads them, [:upper:] and [:lower:] then take
    // every letter, kana and kanji among them.
    if (k.anyCaseLetter)
        for (const CodeRange& r : kPosixAlpha)
            f.ranges.push_back({r.lo, r.hi});
    for (const auto& r : k.ranges) {
        fold(r.lo, r.hi, 'a', 'z', -32);
        fold(r.lo, r.hi, 'A', 'Z', 32);
        fold(r.lo, r.hi, 0xFF41, 0xFF5A, -32);
        fold(r.lo, r.hi, 0xFF21, 0xFF3A, 32);
    }
    return f;
}

void appendCodeUtf8Text(std::string& out, char32_t c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        out.push_back(static_cast<char>(c));
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\x{%x}", static_cast<unsigned>(c));
        out += buf;
    }
}

bool needsGroup(const Node& n) {
    switch (n.kind) {
    case Node::Kind::Literal:
    case Node::Kind::Any:
    case Node::Kind::Class:
    case Node::Kind::Group:
    case Node::Kind::NonCapture:
    case Node::Kind::Backref:
        return false;
    default:
        return true;
    }
}

void appendQuantifier(std::string& out, const Node& n) {
    if (n.min == 0 && n.max == -1) {
        out += "*";
    } else if (n.min == 1 && n.max == -1) {
        out += "+";
    } else if (n.min == 0 && n.max == 1) {
        out += "?";
    } else {
        // Appended piece by piece: "{" + to_string(...) trips a false -Wrestrict at -O3.
        out += '{';
        out += std::to_string(n.min);
        if (n.max != n.min)
            out += ',';
        if (n.max != -1 && n.max != n.min)
            out += std::to_string(n.max);
        out += '}';
    }
    if (n.lazy)
        out += "?";
    if (n.possessive)
        out += "+";
}

// A word test as the callout the matcher answers, or nothing for Hyperscan.
void appendWordTest(Node::Kind kind, const EmitOptions& o, std::string& out) {
    if (!o.wordCallouts)
        return;
    int number = kind == Node::Kind::WordBoundary      ? kCalloutBoundary
                 : kind == Node::Kind::NotWordBoundary ? kCalloutNotBoundary
                 : kind == Node::Kind::WordStart       ? kCalloutWordStart
                                                       : kCalloutWordEnd;
    out += "(?C" + std::to_string(number) + ")";
}

// Classes with more ranges than this may be widened for Hyperscan.
constexpr size_t kLargeClass = 24;

class Utf8Emitter {
public:
    Utf8Emitter(const EmitOptions& o, int groupOffset) : o_(o), offset_(groupOffset) {}

    void emit(const Node& n, std::string& out) {
        switch (n.kind) {
        case Node::Kind::Empty:
            break;
        case Node::Kind::Literal: {
            char32_t other = o_.ignoreCase ? otherCase(n.cp) : n.cp;
            if (other != n.cp) {
                out += "[";
                appendCodeUtf8Text(out, n.cp);
                appendCodeUtf8Text(out, other);
                out += "]";
            } else {
                appendCodeUtf8Text(out, n.cp);
            }
            break;
        }
        case Node::Kind::Any:
            out += ".";
            break;
        case Node::Kind::Class:
            emitClass(o_.ignoreCase ? foldClass(n.cls) : n.cls, out);
            break;
        case Node::Kind::LineStart:
            out += "^";
            break;
        case Node::Kind::LineEnd:
            out += "(?:\\r?$)";
            break;
        case Node::Kind::WordBoundary:
        case Node::Kind::NotWordBoundary:
        case Node::Kind::WordStart:
        case Node::Kind::WordEnd:
            appendWordTest(n.kind, o_, out);
            break;
        case Node::Kind::Group:
            out += "(";
            emit(*n.children[0], out);
            out += ")";
            break;
        case Node::Kind::NonCapture:
            wrap("(?:", n, out);
            break;
        case Node::Kind::LookAhead:
            wrap("(?=", n, out);
            break;
        case Node::Kind::NegLookAhead:
            wrap("(?!", n, out);
            break;
        case Node::Kind::LookBehind:
            wrap("(?<=", n, out);
            break;
        case Node::Kind::NegLookBehind:
            wrap("(?<!", n, out);
            break;
        case Node::Kind::Backref:
            out += "\\g{" + std::to_string(n.index + offset_) + "}";
            break;
        case Node::Kind::Repeat:
            if (needsGroup(*n.children[0])) {
                wrap("(?:", n, out);
            } else {
                emit(*n.children[0], out);
            }
            appendQuantifier(out, n);
            break;
        case Node::Kind::Concat:
            for (const auto& c : n.children) {
                if (c->kind == Node::Kind::Alternation) {
                    wrap("(?:", *c, out, true);
                } else {
                    emit(*c, out);
                }
            }
            break;
        case Node::Kind::Alternation:
            for (size_t i = 0; i < n.children.size(); ++i) {
                if (i)
                    out += "|";
                emit(*n.children[i], out);
            }
            break;
        }
    }

private:
    void wrap(const char* open, const Node& n, std::string& out, bool self = false) {
        out += open;
        emit(self ? n : *n.children[0], out);
        out += ")";
    }

    void emitClass(const CharClass& k, std::string& out) {
        std::vector<CodeRange> set = classRanges(k);
        if (o_.widenLargeClasses && set.size() > kLargeClass && set.back().hi >= 0x80) {
            // The ASCII part as it is, then every other character.
            while (!set.empty() && set.back().lo >= 0x80)
                set.pop_back();
            if (!set.empty() && set.back().hi >= 0x80)
                set.back().hi = 0x7F;
            set.push_back({0x80, 0x10FFFF});
            if (o_.inexact)
                *o_.inexact = true;
        }
        out += "[";
        for (const CodeRange& r : set) {
            appendCodeUtf8Text(out, r.lo);
            if (r.hi != r.lo) {
                if (r.hi != r.lo + 1)
                    out += "-";
                appendCodeUtf8Text(out, r.hi);
            }
        }
        if (set.empty())
            out += "\\x{10ffff}"; // an empty class: matches only a non-character
        out += "]";
    }

    const EmitOptions& o_;
    int offset_;
};

// Emits byte-level regex text for a legacy encoding.
class LegacyEmitter {
public:
    LegacyEmitter(const EmitOptions& o, const Encoding& enc, int groupOffset)
        : o_(o), enc_(enc), offset_(groupOffset) {}

    void emit(const Node& n, std::string& out) {
        switch (n.kind) {
        case Node::Kind::Empty:
            break;
        case Node::Kind::Literal: {
            std::vector<std::string> seqs = enc_.encode(n.cp);
            if (o_.ignoreCase && otherCase(n.cp) != n.cp) {
                for (auto& s : enc_.encode(otherCase(n.cp)))
                    seqs.push_back(s);
            }
            emitSequences(seqs, out);
            break;
        }
        case Node::Kind::Any: {
            CharClass all;
            all.negated = true;
            emitClass(all, out);
            break;
        }
        case Node::Kind::Class:
            emitClass(o_.ignoreCase ? foldClass(n.cls) : n.cls, out);
            break;
        case Node::Kind::LineStart:
            out += "^";
            break;
        case Node::Kind::LineEnd:
            out += "(?:\\r?$)";
            break;
        case Node::Kind::WordBoundary:
        case Node::Kind::NotWordBoundary:
        case Node::Kind::WordStart:
        case Node::Kind::WordEnd:
            appendWordTest(n.kind, o_, out);
            break;
        case Node::Kind::Group:
            out += "(";
            emit(*n.children[0], out);
            out += ")";
            break;
        case Node::Kind::NonCapture:
            wrap("(?:", n, out);
            break;
        case Node::Kind::LookAhead:
            wrap("(?=", n, out);
            break;
        case Node::Kind::NegLookAhead:
            wrap("(?!", n, out);
            break;
        case Node::Kind::LookBehind:
            wrap("(?<=", n, out);
            break;
        case Node::Kind::NegLookBehind:
            wrap("(?<!", n, out);
            break;
        case Node::Kind::Backref:
            out += "\\g{" + std::to_string(n.index + offset_) + "}";
            break;
        case Node::Kind::Repeat:
            out += "(?:";
            emit(*n.children[0], out);
            out += ")";
            appendQuantifier(out, n);
            break;
        case Node::Kind::Concat:
            for (const auto& c : n.children) {
                if (c->kind == Node::Kind::Alternation) {
                    out += "(?:";
                    emit(*c, out);
                    out += ")";
                } else {
                    emit(*c, out);
                }
            }
            break;
        case Node::Kind::Alternation:
            for (size_t i = 0; i < n.children.size(); ++i) {
                if (i)
                    out += "|";
                emit(*n.children[i], out);
            }
            break;
        }
    }

private:
    void wrap(const char* open, const Node& n, std::string& out) {
        out += open;
        emit(*n.children[0], out);
        out += ")";
    }

    static void appendByte(std::string& out, unsigned char b) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", b);
        out += buf;
    }

    static void appendByteSet(std::string& out, const std::array<bool, 256>& set) {
        int count = 0, last = -1;
        for (int b = 0; b < 256; ++b) {
            if (set[b])
                ++count, last = b;
        }
        if (count == 1) {
            appendByte(out, static_cast<unsigned char>(last));
            return;
        }
        out += "[";
        for (int b = 0; b < 256;) {
            if (!set[b]) {
                ++b;
                continue;
            }
            int e = b;
            while (e + 1 < 256 && set[e + 1])
                ++e;
            appendByte(out, static_cast<unsigned char>(b));
            if (e > b) {
                out += "-";
                appendByte(out, static_cast<unsigned char>(e));
            }
            b = e + 1;
        }
        out += "]";
    }

    static void emitSequences(const std::vector<std::string>& seqs, std::string& out) {
        if (seqs.empty()) {
            out += "(?!)"; // a character this encoding cannot hold never matches
            return;
        }
        if (seqs.size() > 1)
            out += "(?:";
        for (size_t i = 0; i < seqs.size(); ++i) {
            if (i)
                out += "|";
            for (unsigned char b : seqs[i])
                appendByte(out, b);
        }
        if (seqs.size() > 1)
            out += ")";
    }

    // Every encoded character the class holds, grouped as prefix + last-byte set,
    // prefixes with the same last-byte set joined into one byte set.
    void emitClass(const CharClass& k, std::string& out) {
        std::array<bool, 256> singles{};
        bool anySingle = false;
        std::map<std::string, std::array<bool, 256>> byPrefix;
        // Sorted once: a named class holds hundreds of ranges.
        const std::vector<CodeRange> held = classRanges(k);
        enc_.forEachChar([&](std::string_view bytes, char32_t cp) {
            if (cp == '\n' || !inRanges(held, cp))
                return;
            auto last = static_cast<unsigned char>(bytes.back());
            if (bytes.size() == 1) {
                singles[last] = true;
                anySingle = true;
            } else {
                byPrefix[std::string(bytes.substr(0, bytes.size() - 1))][last] = true;
            }
        });
        // Join prefixes of one length whose last-byte sets are equal; for
        // three-byte prefixes only the middle byte varies.
        std::map<std::pair<std::string, std::array<bool, 256>>, std::array<bool, 256>> joined;
        for (const auto& [prefix, set] : byPrefix) {
            std::string head = prefix.substr(0, prefix.size() - 1);
            joined[{head, set}][static_cast<unsigned char>(prefix.back())] = true;
        }
        std::vector<std::string> branches;
        if (anySingle) {
            std::string b;
            appendByteSet(b, singles);
            branches.push_back(b);
        }
        if (o_.widenLargeClasses && joined.size() > kLargeClass) {
            // Every character of two or more bytes.
            branches.push_back(enc_.kind() == TextKind::ShiftJis
                                   ? "[\\x81-\\x9f\\xe0-\\xfc][\\x40-\\x7e\\x80-\\xfc]"
                                   : "(?:\\x8e[\\xa1-\\xdf]|\\x8f?[\\xa1-\\xfe][\\xa1-\\xfe])");
            joined.clear();
            if (o_.inexact)
                *o_.inexact = true;
        }
        for (const auto& [key, leads] : joined) {
            std::string b;
            for (unsigned char h : key.first)
                appendByte(b, h);
            appendByteSet(b, leads);
            appendByteSet(b, key.second);
            branches.push_back(b);
        }
        if (branches.empty()) {
            out += "(?!)";
            return;
        }
        if (branches.size() == 1) {
            out += branches[0];
            return;
        }
        out += "(?:";
        for (size_t i = 0; i < branches.size(); ++i) {
            if (i)
                out += "|";
            out += branches[i];
        }
        out += ")";
    }

    const EmitOptions& o_;
    const Encoding& enc_;
    int offset_;
};

std::string wrapWholeLine(std::string body, const EmitOptions& o) {
    auto callout = [](int n) { return "(?C" + std::to_string(n) + ")"; };
    if (o.wordCallouts && o.length != EmitOptions::Length::Any) {
        body = "(?:" + body + ")" +
               callout(o.length == EmitOptions::Length::Empty ? kCalloutEmpty : kCalloutNonEmpty);
    }
    if (o.wholeWord && o.wordCallouts) {
        body = callout(kCalloutNoWordBefore) + "(?:" + body + ")" + callout(kCalloutNoWordAfter);
    }
    return o.wholeLine ? "^(?:" + body + ")(?:\\r?$)" : body;
}

bool holdsWordAssertion(const Node& n) {
    switch (n.kind) {
    case Node::Kind::WordBoundary:
    case Node::Kind::NotWordBoundary:
    case Node::Kind::WordStart:
    case Node::Kind::WordEnd:
        return true;
    default:
        return std::any_of(n.children.begin(), n.children.end(),
                           [](const auto& c) { return holdsWordAssertion(*c); });
    }
}

bool unconditionalEmpty(const Node& n) {
    switch (n.kind) {
    case Node::Kind::Empty:
        return true;
    case Node::Kind::Repeat:
        return n.min == 0 || unconditionalEmpty(*n.children[0]);
    case Node::Kind::Group:
    case Node::Kind::NonCapture:
        return unconditionalEmpty(*n.children[0]);
    case Node::Kind::Concat:
        return std::all_of(n.children.begin(), n.children.end(),
                           [](const auto& c) { return unconditionalEmpty(*c); });
    case Node::Kind::Alternation:
        return std::any_of(n.children.begin(), n.children.end(),
                           [](const auto& c) { return unconditionalEmpty(*c); });
    default:
        return false;
    }
}

} // namespace

std::string emitUtf8(const Pattern& p, const EmitOptions& o, int groupOffset) {
    std::string body;
    Utf8Emitter(o, groupOffset).emit(*p.root, body);
    return wrapWholeLine(body, o);
}

std::string emitLegacy(const Pattern& p, const EmitOptions& o, const Encoding& enc,
                       int groupOffset) {
    std::string body;
    LegacyEmitter(o, enc, groupOffset).emit(*p.root, body);
    return wrapWholeLine(body, o);
}

namespace {

using Spellings = std::vector<std::u32string>;

struct SpellingExpander {
    bool ignoreCase;
    size_t limit;
    bool loose = false;

    std::optional<Spellings> product(const Spellings& a, const Spellings& b) const {
        if (a.size() * b.size() > limit)
            return std::nullopt;
        Spellings out;
        out.reserve(a.size() * b.size());
        for (const auto& x : a)
            for (const auto& y : b)
                out.push_back(x + y);
        return out;
    }

    std::optional<Spellings> expand(const Node& n) {
        switch (n.kind) {
        case Node::Kind::Empty:
            return Spellings{U""};
        case Node::Kind::Literal: {
            char32_t other = ignoreCase ? otherCase(n.cp) : n.cp;
            if (other != n.cp)
                return Spellings{std::u32string(1, n.cp), std::u32string(1, other)};
            return Spellings{std::u32string(1, n.cp)};
        }
        case Node::Kind::Class: {
            const CharClass k = ignoreCase ? foldClass(n.cls) : n.cls;
            if (k.negated || k.word || k.notWord || k.digit || k.notDigit || k.space || k.notSpace)
                return std::nullopt;
            Spellings out;
            for (const auto& r : k.ranges) {
                if (r.hi - r.lo >= 64 || out.size() + (r.hi - r.lo) >= 64)
                    return std::nullopt;
                for (char32_t c = r.lo; c <= r.hi; ++c) {
                    std::u32string one(1, c);
                    if (std::find(out.begin(), out.end(), one) == out.end())
                        out.push_back(one);
                }
            }
            if (out.empty())
                return std::nullopt;
            return out;
        }
        case Node::Kind::LookAhead:
        case Node::Kind::NegLookAhead:
        case Node::Kind::LookBehind:
        case Node::Kind::NegLookBehind:
            loose = true;
            return Spellings{U""};
        case Node::Kind::Group:
        case Node::Kind::NonCapture:
            return expand(*n.children[0]);
        case Node::Kind::Concat: {
            Spellings acc{U""};
            for (const auto& c : n.children) {
                auto part = expand(*c);
                if (!part)
                    return std::nullopt;
                auto next = product(acc, *part);
                if (!next)
                    return std::nullopt;
                acc = std::move(*next);
            }
            return acc;
        }
        case Node::Kind::Alternation: {
            Spellings out;
            for (const auto& c : n.children) {
                auto part = expand(*c);
                if (!part || out.size() + part->size() > limit)
                    return std::nullopt;
                out.insert(out.end(), part->begin(), part->end());
            }
            return out;
        }
        case Node::Kind::Repeat: {
            if (n.max < 0 || n.max > 4)
                return std::nullopt;
            auto one = expand(*n.children[0]);
            if (!one)
                return std::nullopt;
            Spellings out, power{U""};
            for (int k = 0; k <= n.max; ++k) {
                if (k >= n.min) {
                    if (out.size() + power.size() > limit)
                        return std::nullopt;
                    out.insert(out.end(), power.begin(), power.end());
                }
                if (k < n.max) {
                    auto next = product(power, *one);
                    if (!next)
                        return std::nullopt;
                    power = std::move(*next);
                }
            }
            return out;
        }
        default:
            return std::nullopt; // anchors, boundaries, '.', back-references
        }
    }
};

} // namespace

std::optional<std::vector<std::u32string>> spellings(const Pattern& p, bool ignoreCase,
                                                     size_t limit, bool& loose) {
    if (!p.root)
        return std::nullopt;
    SpellingExpander x{ignoreCase, limit};
    auto out = x.expand(*p.root);
    loose = x.loose;
    if (!out)
        return std::nullopt;
    std::sort(out->begin(), out->end());
    out->erase(std::unique(out->begin(), out->end()), out->end());
    if (out->empty() || out->front().empty())
        return std::nullopt;
    return out;
}

namespace {
bool emptyPossible(const Node& n) {
    switch (n.kind) {
    case Node::Kind::Literal:
    case Node::Kind::Any:
    case Node::Kind::Class:
        return false;
    case Node::Kind::Repeat:
        return n.min == 0 || emptyPossible(*n.children[0]);
    case Node::Kind::Group:
    case Node::Kind::NonCapture:
        return emptyPossible(*n.children[0]);
    case Node::Kind::Concat:
        return std::all_of(n.children.begin(), n.children.end(),
                           [](const auto& c) { return emptyPossible(*c); });
    case Node::Kind::Alternation:
        return std::any_of(n.children.begin(), n.children.end(),
                           [](const auto& c) { return emptyPossible(*c); });
    default:
        return true; // assertions, look-arounds, back-references, nothing
    }
}
} // namespace

bool canMatchEmpty(const Pattern& p) {
    return emptyPossible(*p.root);
}

bool hasWordAssertion(const Pattern& p) {
    return holdsWordAssertion(*p.root);
}

bool matchesEveryLine(const Pattern& p) {
    return unconditionalEmpty(*p.root);
}

bool isPlainLiteral(const Pattern& p) {
    const Node& n = *p.root;
    if (n.kind == Node::Kind::Literal)
        return true;
    if (n.kind != Node::Kind::Concat)
        return false;
    return std::all_of(n.children.begin(), n.children.end(),
                       [](const auto& c) { return c->kind == Node::Kind::Literal; });
}

std::string requiredLiteral(const Pattern& p, bool ignoreCase) {
    const Node& n = *p.root;
    std::vector<const Node*> items;
    if (n.kind == Node::Kind::Concat) {
        for (const auto& c : n.children)
            items.push_back(c.get());
    } else {
        items.push_back(&n);
    }
    std::string best, run;
    auto flush = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    for (const Node* c : items) {
        if (c->kind == Node::Kind::Literal && !(ignoreCase && otherCase(c->cp) != c->cp)) {
            appendUtf8(run, c->cp);
        } else if (c->kind == Node::Kind::LineStart || c->kind == Node::Kind::LineEnd ||
                   c->kind == Node::Kind::WordBoundary || c->kind == Node::Kind::NotWordBoundary ||
                   c->kind == Node::Kind::WordStart || c->kind == Node::Kind::WordEnd) {
            // zero-width: the run stays contiguous
        } else {
            flush();
        }
    }
    flush();
    return best;
}

} // namespace talvo::grep
