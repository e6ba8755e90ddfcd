// The search of literal_finder.h.
#include "talvo-grep/literal_finder.h"

#include "talvo-grep/vector_level.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace talvo::grep {

namespace {
// How far ahead of the search its text is asked for: where a window comes
// straight from the page cache through a map, the processor's own
// prefetching alone leaves the loop waiting for memory (measured).
constexpr size_t kPrefetchAhead = 4096;

// How common each byte is (255 the most common), only the order counts:
// ASCII as in a mix of source code and English prose (the blank, "e", "_",
// "t"), bytes from 0x80 on as in Japanese UTF-8 text, where the lead byte
// of kana and the second bytes of kana and punctuation (81, 82, 83, 80)
// are far more common than the last byte, which tells the characters apart.
constexpr uint8_t kByteRank[256] = {
    0,   1,   2,   3,   4,   5,   6,   51,  7,   179, 245, 8,   64,  9,   10,  11,  12,  13,  14,
    15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  255, 161, 200, 216, 189, 163,
    169, 217, 236, 237, 229, 168, 235, 201, 214, 205, 218, 213, 195, 192, 183, 203, 184, 180, 185,
    199, 209, 204, 178, 194, 191, 162, 171, 222, 196, 228, 211, 238, 206, 198, 188, 225, 167, 193,
    226, 210, 230, 231, 221, 165, 223, 243, 232, 197, 190, 172, 207, 186, 164, 177, 187, 176, 159,
    253, 166, 246, 215, 244, 241, 254, 239, 219, 233, 249, 170, 224, 242, 227, 250, 247, 240, 174,
    248, 251, 252, 234, 208, 202, 212, 220, 175, 182, 173, 181, 160, 28,  154, 158, 157, 156, 134,
    106, 111, 123, 147, 131, 114, 150, 151, 124, 90,  120, 130, 99,  135, 116, 98,  146, 117, 142,
    95,  138, 112, 109, 102, 94,  101, 121, 115, 128, 103, 108, 137, 97,  132, 143, 145, 113, 141,
    149, 93,  126, 153, 148, 118, 96,  89,  136, 100, 92,  91,  104, 119, 127, 105, 107, 144, 110,
    129, 122, 29,  30,  85,  81,  71,  72,  58,  57,  60,  67,  65,  53,  63,  52,  82,  80,  86,
    83,  61,  59,  55,  62,  76,  77,  75,  74,  56,  54,  50,  31,  32,  33,  78,  73,  84,  245,
    133, 155, 152, 140, 139, 125, 70,  69,  68,  66,  34,  87,  79,  35,  36,  37,  38,  39,  40,
    41,  42,  43,  44,  45,  46,  47,  48,  49,
};

using Needle = LiteralNeedle;

// The strings looked for, and the first one found: a start position sets
// its bit for every string whose rare bytes sit there, so the positions are
// taken in order whatever string they belong to.
struct Needles {
    const Needle* keys;
    size_t count;
    size_t longest;
    size_t found = 0;  // the string at the offset returned
    bool high = false; // a byte from 0x80 on among those the blocks loaded
    bool matchAt(const char* h, size_t p, size_t n) {
        for (size_t j = 0; j < count; ++j)
            if (p + keys[j].size <= n && keys[j].matchesAt(h + p)) {
                found = j;
                return true;
            }
        return false;
    }
};

// Position by position: the last few positions of a buffer, and processors
// without vector instructions.
size_t findScalar(const char* h, size_t n, size_t at, Needles& k) {
    for (; at < n; ++at) {
        for (size_t j = 0; j < k.count; ++j) {
            const Needle& e = k.keys[j];
            if (at + e.size <= n &&
                static_cast<char>(h[at + e.r1] | e.fold[e.r1]) == e.lower[e.r1] &&
                static_cast<char>(h[at + e.r2] | e.fold[e.r2]) == e.lower[e.r2] &&
                e.matchesAt(h + at)) {
                k.found = j;
                return at;
            }
        }
    }
    return std::string_view::npos;
}

#if defined(__x86_64__)
// Each block sets a bit where both rare bytes of a string sit at their
// places for a start there; only those starts are compared whole. Each
// returns the first match or npos and leaves at where its blocks stopped,
// for findScalar. N is the number of strings where it is known when
// compiled, 0 for any number.
// The rare bytes of each string in registers, and the offsets of those
// bytes in locals: through the references the loop reloaded them from
// memory for every block.
struct Avx2Keys {
    __m256i b1[LiteralFinder::kMostStrings], b2[LiteralFinder::kMostStrings];
    __m256i f1[LiteralFinder::kMostStrings], f2[LiteralFinder::kMostStrings];
    size_t r1[LiteralFinder::kMostStrings], r2[LiteralFinder::kMostStrings];
};

// Starts in the block at s where both rare bytes of a string sit.
template <size_t N, bool Probe>
__attribute__((target("avx2"), always_inline)) inline uint32_t
startsAvx2(const char* s, size_t count, const Avx2Keys& q, __m256i& seen) {
    uint32_t mask = 0;
    for (size_t j = 0; j < (N ? N : count); ++j) {
        __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + q.r1[j]));
        __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + q.r2[j]));
        if constexpr (Probe)
            if (j == 0)
                seen = _mm256_or_si256(seen, v1);
        mask |= static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v1, q.f1[j]), q.b1[j]),
                             _mm256_cmpeq_epi8(_mm256_or_si256(v2, q.f2[j]), q.b2[j]))));
    }
    return mask;
}

size_t firstMatch(const char* h, size_t n, size_t at, uint64_t mask, Needles& k) {
    for (; mask != 0; mask &= mask - 1) {
        size_t p = at + static_cast<size_t>(__builtin_ctzll(mask));
        if (k.matchAt(h, p, n))
            return p;
    }
    return std::string_view::npos;
}

template <size_t N, bool Probe>
__attribute__((target("avx2"))) size_t findAvx2(const char* h, size_t n, size_t& atOut,
                                                Needles& k) {
    const size_t count = N ? N : k.count;
    Avx2Keys q;
    for (size_t j = 0; j < count; ++j) {
        const Needle& e = k.keys[j];
        q.b1[j] = _mm256_set1_epi8(e.lower[e.r1]);
        q.b2[j] = _mm256_set1_epi8(e.lower[e.r2]);
        q.f1[j] = _mm256_set1_epi8(e.fold[e.r1]);
        q.f2[j] = _mm256_set1_epi8(e.fold[e.r2]);
        q.r1[j] = e.r1;
        q.r2[j] = e.r2;
    }
    const size_t longest = k.longest;
    size_t at = atOut;
    __m256i seen = _mm256_setzero_si256();
    size_t hit = std::string_view::npos;
    // Two blocks a step: a candidate is looked for once per 64 bytes.
    for (; at + 64 + longest - 1 <= n; at += 64) {
        _mm_prefetch(h + at + kPrefetchAhead, _MM_HINT_T0);
        uint64_t mask = startsAvx2<N, Probe>(h + at, count, q, seen) |
                        static_cast<uint64_t>(startsAvx2<N, Probe>(h + at + 32, count, q, seen))
                            << 32;
        if (mask != 0 && (hit = firstMatch(h, n, at, mask, k)) != std::string_view::npos)
            break;
    }
    for (; hit == std::string_view::npos && at + 32 + longest - 1 <= n; at += 32) {
        uint32_t mask = startsAvx2<N, Probe>(h + at, count, q, seen);
        if (mask != 0 && (hit = firstMatch(h, n, at, mask, k)) != std::string_view::npos)
            break;
    }
    k.high |= Probe && _mm256_movemask_epi8(seen) != 0;
    atOut = at;
    return hit;
}

template <size_t N, bool Probe>
size_t findSse2(const char* h, size_t n, size_t& atOut, Needles& k) {
    const size_t count = N ? N : k.count;
    __m128i b1[LiteralFinder::kMostStrings], b2[LiteralFinder::kMostStrings];
    __m128i f1[LiteralFinder::kMostStrings], f2[LiteralFinder::kMostStrings];
    size_t r1[LiteralFinder::kMostStrings], r2[LiteralFinder::kMostStrings];
    for (size_t j = 0; j < count; ++j) {
        const Needle& e = k.keys[j];
        b1[j] = _mm_set1_epi8(e.lower[e.r1]);
        b2[j] = _mm_set1_epi8(e.lower[e.r2]);
        f1[j] = _mm_set1_epi8(e.fold[e.r1]);
        f2[j] = _mm_set1_epi8(e.fold[e.r2]);
        r1[j] = e.r1;
        r2[j] = e.r2;
    }
    // Locals, as in findAvx2.
    const size_t longest = k.longest;
    size_t at = atOut;
    __m128i seen = _mm_setzero_si128();
    for (; at + 16 + longest - 1 <= n; at += 16) {
        uint32_t mask = 0;
        for (size_t j = 0; j < count; ++j) {
            const char* s = h + at;
            __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r1[j]));
            __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r2[j]));
            if constexpr (Probe)
                if (j == 0)
                    seen = _mm_or_si128(seen, v1);
            mask |= static_cast<uint32_t>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(v1, f1[j]), b1[j]),
                                                _mm_cmpeq_epi8(_mm_or_si128(v2, f2[j]), b2[j]))));
        }
        for (; mask != 0; mask &= mask - 1) {
            size_t p = at + static_cast<size_t>(__builtin_ctz(mask));
            if (k.matchAt(h, p, n)) {
                k.high |= Probe && _mm_movemask_epi8(seen) != 0;
                atOut = at;
                return p;
            }
        }
    }
    k.high |= Probe && _mm_movemask_epi8(seen) != 0;
    atOut = at;
    return std::string_view::npos;
}

// The widest blocks first, each leaving the last bytes to the next narrower.
// No 64-byte blocks: on a processor that has them (AMD EPYC, AVX-512) they
// made every search of ASCII text a tenth slower than 32-byte ones.
// With Probe, k.high also tells whether the blocks loaded for the first
// string's rarest byte held a byte from 0x80 on: from the start plus that
// byte's offset up to the block where the search stopped.
template <size_t N, bool Probe> size_t findVector(const char* h, size_t n, size_t& at, Needles& k) {
    VectorLevel level = vectorLevel();
    size_t hit = std::string_view::npos;
    if (level >= VectorLevel::Avx2)
        hit = findAvx2<N, Probe>(h, n, at, k);
    if (hit == std::string_view::npos && level >= VectorLevel::Sse)
        hit = findSse2<N, Probe>(h, n, at, k);
    return hit;
}
template <size_t N> size_t findVector(const char* h, size_t n, size_t& at, Needles& k, bool probe) {
    return probe ? findVector<N, true>(h, n, at, k) : findVector<N, false>(h, n, at, k);
}
#endif
} // namespace

LiteralFinder::LiteralFinder(std::string needle, bool asciiCaseless)
    : LiteralFinder(std::vector<std::string>{std::move(needle)}, asciiCaseless) {}

LiteralFinder::LiteralFinder(std::vector<std::string> needles, bool asciiCaseless) {
    for (std::string& text : needles) {
        Key k;
        k.text = std::move(text);
        for (char c : k.text)
            ascii_ = ascii_ && (c & 0x80) == 0;
        k.lower = k.text;
        k.fold.assign(k.text.size(), '\0');
        for (size_t i = 0; i < k.text.size(); ++i) {
            char c = k.text[i];
            if (asciiCaseless && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
                k.lower[i] = static_cast<char>(c | 0x20);
                k.fold[i] = 0x20;
                caseless_ = true;
            }
        }
        // A letter of either case is as common as both together: the more
        // common case stands for it.
        auto rank = [&](size_t i) {
            auto c = static_cast<unsigned char>(k.lower[i]);
            return k.fold[i] ? std::max(kByteRank[c], kByteRank[c & 0xDF]) : kByteRank[c];
        };
        for (size_t i = 1; i < k.text.size(); ++i)
            if (rank(i) < rank(k.rare1))
                k.rare1 = i;
        k.rare2 = k.rare1;
        for (size_t i = 0; i < k.text.size(); ++i)
            if (i != k.rare1 && (k.rare2 == k.rare1 || rank(i) < rank(k.rare2)))
                k.rare2 = i;
        shortest_ = keys_.empty() ? k.text.size() : std::min(shortest_, k.text.size());
        longest_ = std::max(longest_, k.text.size());
        keys_.push_back(std::move(k));
    }
    if (keys_.empty())
        keys_.emplace_back();
    for (const Key& k : keys_)
        needles_.push_back({k.lower.data(), k.fold.data(), k.text.size(), k.rare1, k.rare2});
}

namespace {
bool anyHigh(const char* p, size_t n) {
    unsigned char all = 0;
    for (size_t i = 0; i < n; ++i)
        all |= static_cast<unsigned char>(p[i]);
    return (all & 0x80) != 0;
}
} // namespace

size_t LiteralFinder::find(std::string_view haystack, size_t from, size_t* length,
                           bool* high) const {
    const char* h = haystack.data();
    const size_t n = haystack.size();
    if (from > n || n - from < shortest_) {
        if (high)
            *high = from < n && anyHigh(h + from, n - from);
        return std::string_view::npos;
    }
    if (shortest_ == 0) {
        if (length)
            *length = 0;
        if (high)
            *high = false;
        return from;
    }
    if (keys_.size() == 1 && longest_ == 1 && !caseless_) {
        const void* p = std::memchr(h + from, keys_[0].text[0], n - from);
        if (length)
            *length = 1;
        if (high)
            *high = true; // not looked at: as if it held such a byte
        return p ? static_cast<size_t>(static_cast<const char*>(p) - h) : std::string_view::npos;
    }
    Needles all{needles_.data(), needles_.size(), longest_};
    size_t at = from;
    size_t hit = std::string_view::npos;
#if defined(__x86_64__)
    // One or two strings (a word and its other spelling) are kept in
    // registers; more are read from the stack block by block.
    if (keys_.size() == 1)
        hit = findVector<1>(h, n, at, all, high != nullptr);
    else if (keys_.size() == 2)
        hit = findVector<2>(h, n, at, all, high != nullptr);
    else if (keys_.size() == 3)
        hit = findVector<3>(h, n, at, all, high != nullptr);
    else if (keys_.size() <= kMostStrings)
        hit = findVector<0>(h, n, at, all, high != nullptr);
#endif
    // The blocks loaded [from + r1, at + r1); what lies before and after
    // them up to the string found is looked at here.
    const size_t loadedTo = at + needles_[0].r1;
    if (hit == std::string_view::npos)
        hit = findScalar(h, n, at, all);
    if (high) {
        size_t end = hit == std::string_view::npos ? n : hit;
        *high = all.high || anyHigh(h + from, std::min(needles_[0].r1, end - from)) ||
                (loadedTo < end && anyHigh(h + loadedTo, end - loadedTo));
    }
    if (hit != std::string_view::npos && length)
        *length = keys_[all.found].text.size();
    return hit;
}

} // namespace talvo::grep
