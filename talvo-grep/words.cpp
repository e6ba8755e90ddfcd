// Word characters (see words.h).
#include "talvo-grep/words.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace talvo::grep {

namespace {

constexpr CodeRange kWordRanges[] = {
#include "talvo-grep/word_chars.inc"
};

// The Basic Multilingual Plane as a bit set: Japanese text never reaches the
// range search.
struct BmpBits {
    std::array<uint64_t, 1024> bits{};
    BmpBits() {
        for (const CodeRange& r : kWordRanges) {
            for (char32_t c = r.lo; c <= r.hi && c < 0x10000; ++c)
                bits[c >> 6] |= uint64_t{1} << (c & 63);
        }
    }
};

const BmpBits& bmp() {
    static const BmpBits b;
    return b;
}

char32_t utf8Before(const unsigned char* text, size_t offset) {
    size_t i = offset - 1;
    while (i > 0 && offset - i < 4 && (text[i] & 0xC0) == 0x80)
        --i;
    size_t n = 0;
    char32_t c = decodeUtf8(text + i, text + offset, n);
    // A sequence that does not end at offset leaves a stray byte before it.
    return i + n == offset ? c : 0xFFFD;
}

} // namespace

char32_t decodeUtf8(const unsigned char* p, const unsigned char* end, size_t& n) {
    unsigned char c = p[0];
    n = 1;
    if (c < 0x80)
        return c;
    size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || static_cast<size_t>(end - p) < len)
        return 0xFFFD;
    char32_t cp = c & (0x3F >> (len - 1));
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    n = len;
    return cp;
}

bool inRanges(std::span<const CodeRange> ranges, char32_t c) {
    auto it = std::upper_bound(ranges.begin(), ranges.end(), c,
                               [](char32_t v, const CodeRange& r) { return v < r.lo; });
    return it != ranges.begin() && c <= (it - 1)->hi;
}

bool isWordChar(char32_t c) {
    if (c < 0x10000)
        return (bmp().bits[c >> 6] >> (c & 63)) & 1;
    return inRanges(kWordRanges, c);
}

std::span<const CodeRange> wordCharRanges() {
    return kWordRanges;
}

bool wordCharBefore(TextKind kind, std::string_view text, size_t offset) {
    if (offset == 0 || offset > text.size())
        return false;
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    // A Shift-JIS trail byte may look like ASCII from 0x40 on.
    if (p[offset - 1] < (kind == TextKind::ShiftJis ? 0x40 : 0x80))
        return isWordChar(p[offset - 1]);
    if (kind != TextKind::ShiftJis && kind != TextKind::EucJp)
        return isWordChar(utf8Before(p, offset));
    const Encoding& enc = Encoding::get(kind);
    // The longest character that ends at offset and starts on a boundary.
    for (size_t n = kind == TextKind::EucJp ? 3 : 2; n > 1; --n) {
        if (offset >= n && enc.charLength(p + offset - n, p + offset) == n &&
            enc.isBoundary(text, offset - n))
            return isWordChar(enc.decode(p + offset - n, n));
    }
    return isWordChar(enc.decode(p + offset - 1, 1));
}

bool wordCharAfter(TextKind kind, std::string_view text, size_t offset) {
    if (offset >= text.size())
        return false;
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    if (p[offset] < 0x80)
        return isWordChar(p[offset]);
    if (kind != TextKind::ShiftJis && kind != TextKind::EucJp) {
        size_t n = 0;
        return isWordChar(decodeUtf8(p + offset, end, n));
    }
    const Encoding& enc = Encoding::get(kind);
    return isWordChar(enc.decode(p + offset, enc.charLength(p + offset, end)));
}

} // namespace talvo::grep
