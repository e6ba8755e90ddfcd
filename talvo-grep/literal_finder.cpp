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
// How common each byte is in a mix of source code and English prose (255 the
// most common: the blank, "e", "_", "t"), with the UTF-8 lead byte of kana
// and common kanji raised. Only the order matters.
constexpr uint8_t kByteRank[256] = {
    0,   1,   2,   3,   4,   5,   6,   51,  7,   179, 245, 8,   64,  9,   10,  11,  12,  13,  14,
    15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  255, 161, 200, 216, 189, 163,
    169, 217, 236, 237, 229, 168, 235, 201, 214, 205, 218, 213, 195, 192, 183, 203, 184, 180, 185,
    199, 209, 204, 178, 194, 191, 162, 171, 222, 196, 228, 211, 238, 206, 198, 188, 225, 167, 193,
    226, 210, 230, 231, 221, 165, 223, 243, 232, 197, 190, 172, 207, 186, 164, 177, 187, 176, 159,
    253, 166, 246, 215, 244, 241, 254, 239, 219, 233, 249, 170, 224, 242, 227, 250, 247, 240, 174,
    248, 251, 252, 234, 208, 202, 212, 220, 175, 182, 173, 181, 160, 28,  143, 146, 138, 134, 122,
    99,  119, 145, 142, 125, 89,  80,  116, 96,  85,  149, 127, 140, 123, 124, 139, 130, 151, 98,
    106, 141, 128, 94,  129, 105, 92,  156, 132, 109, 93,  103, 131, 102, 113, 133, 112, 135, 91,
    79,  81,  86,  108, 83,  104, 126, 107, 120, 114, 101, 100, 111, 154, 144, 84,  121, 137, 117,
    118, 90,  29,  30,  115, 148, 77,  78,  58,  57,  60,  67,  65,  53,  63,  52,  152, 136, 158,
    150, 61,  59,  55,  62,  110, 147, 97,  95,  56,  54,  50,  31,  32,  33,  153, 87,  157, 245,
    70,  76,  75,  74,  73,  72,  71,  69,  68,  66,  34,  82,  155, 35,  36,  37,  38,  39,  40,
    41,  42,  43,  44,  45,  46,  47,  48,  49,
};

struct Needle {
    const char* lower;
    const char* fold;
    size_t size;
    size_t r1, r2;
    bool matchesAt(const char* h) const {
        for (size_t i = 0; i < size; ++i)
            if (static_cast<char>(h[i] | fold[i]) != lower[i])
                return false;
        return true;
    }
};

// Position by position: the last few positions of a buffer, and processors
// without vector instructions.
size_t findScalar(const char* h, size_t n, size_t at, const Needle& k) {
    for (; at + k.size <= n; ++at) {
        if (static_cast<char>(h[at + k.r1] | k.fold[k.r1]) == k.lower[k.r1] &&
            static_cast<char>(h[at + k.r2] | k.fold[k.r2]) == k.lower[k.r2] && k.matchesAt(h + at))
            return at;
    }
    return std::string_view::npos;
}

#if defined(__x86_64__)
// Each block sets a bit where both rare bytes sit at their places for a
// start there; only those starts are compared whole. Each returns the first
// match or npos and leaves at where its blocks stopped, for findScalar.
__attribute__((target("avx2"))) size_t findAvx2(const char* h, size_t n, size_t& at,
                                                const Needle& k) {
    const __m256i b1 = _mm256_set1_epi8(k.lower[k.r1]);
    const __m256i b2 = _mm256_set1_epi8(k.lower[k.r2]);
    const __m256i f1 = _mm256_set1_epi8(k.fold[k.r1]);
    const __m256i f2 = _mm256_set1_epi8(k.fold[k.r2]);
    for (; at + 32 + k.size - 1 <= n; at += 32) {
        __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + at + k.r1));
        __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + at + k.r2));
        auto mask = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v1, f1), b1),
                                                  _mm256_cmpeq_epi8(_mm256_or_si256(v2, f2), b2))));
        while (mask != 0) {
            size_t p = at + static_cast<size_t>(__builtin_ctz(mask));
            if (k.matchesAt(h + p))
                return p;
            mask &= mask - 1;
        }
    }
    return std::string_view::npos;
}

__attribute__((target("avx512f,avx512bw"))) size_t findAvx512(const char* h, size_t n, size_t& at,
                                                              const Needle& k) {
    const __m512i b1 = _mm512_set1_epi8(k.lower[k.r1]);
    const __m512i b2 = _mm512_set1_epi8(k.lower[k.r2]);
    const __m512i f1 = _mm512_set1_epi8(k.fold[k.r1]);
    const __m512i f2 = _mm512_set1_epi8(k.fold[k.r2]);
    for (; at + 64 + k.size - 1 <= n; at += 64) {
        __m512i v1 = _mm512_loadu_si512(h + at + k.r1);
        __m512i v2 = _mm512_loadu_si512(h + at + k.r2);
        uint64_t mask = _mm512_cmpeq_epi8_mask(_mm512_or_si512(v1, f1), b1) &
                        _mm512_cmpeq_epi8_mask(_mm512_or_si512(v2, f2), b2);
        while (mask != 0) {
            size_t p = at + static_cast<size_t>(__builtin_ctzll(mask));
            if (k.matchesAt(h + p))
                return p;
            mask &= mask - 1;
        }
    }
    return std::string_view::npos;
}

size_t findSse2(const char* h, size_t n, size_t& at, const Needle& k) {
    const __m128i b1 = _mm_set1_epi8(k.lower[k.r1]);
    const __m128i b2 = _mm_set1_epi8(k.lower[k.r2]);
    const __m128i f1 = _mm_set1_epi8(k.fold[k.r1]);
    const __m128i f2 = _mm_set1_epi8(k.fold[k.r2]);
    for (; at + 16 + k.size - 1 <= n; at += 16) {
        __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at + k.r1));
        __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at + k.r2));
        auto mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpeq_epi8(_mm_or_si128(v1, f1), b1), _mm_cmpeq_epi8(_mm_or_si128(v2, f2), b2))));
        while (mask != 0) {
            size_t p = at + static_cast<size_t>(__builtin_ctz(mask));
            if (k.matchesAt(h + p))
                return p;
            mask &= mask - 1;
        }
    }
    return std::string_view::npos;
}
#endif
} // namespace

LiteralFinder::LiteralFinder(std::string needle, bool asciiCaseless)
    : needle_(std::move(needle)), lower_(needle_), fold_(needle_.size(), '\0') {
    for (size_t i = 0; i < needle_.size(); ++i) {
        char c = needle_[i];
        if (asciiCaseless && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            lower_[i] = static_cast<char>(c | 0x20);
            fold_[i] = 0x20;
            caseless_ = true;
        }
    }
    // A letter of either case is as common as both together: the more
    // common case stands for it.
    auto rank = [&](size_t i) {
        auto c = static_cast<unsigned char>(lower_[i]);
        return fold_[i] ? std::max(kByteRank[c], kByteRank[c & 0xDF]) : kByteRank[c];
    };
    for (size_t i = 1; i < needle_.size(); ++i)
        if (rank(i) < rank(rare1_))
            rare1_ = i;
    rare2_ = rare1_;
    for (size_t i = 0; i < needle_.size(); ++i)
        if (i != rare1_ && (rare2_ == rare1_ || rank(i) < rank(rare2_)))
            rare2_ = i;
}

size_t LiteralFinder::find(std::string_view haystack, size_t from) const {
    const char* h = haystack.data();
    const size_t n = haystack.size();
    const size_t m = needle_.size();
    if (from > n || n - from < m)
        return std::string_view::npos;
    if (m == 0)
        return from;
    if (m == 1 && !caseless_) {
        const void* p = std::memchr(h + from, needle_[0], n - from);
        return p ? static_cast<size_t>(static_cast<const char*>(p) - h) : std::string_view::npos;
    }
    const Needle k{lower_.data(), fold_.data(), m, rare1_, rare2_};
    size_t at = from;
#if defined(__x86_64__)
    // Each width leaves the last bytes to the next narrower one.
    VectorLevel level = vectorLevel();
    size_t hit = std::string_view::npos;
    if (level >= VectorLevel::Avx512)
        hit = findAvx512(h, n, at, k);
    if (hit == std::string_view::npos && level >= VectorLevel::Avx2)
        hit = findAvx2(h, n, at, k);
    if (hit == std::string_view::npos && level >= VectorLevel::Sse)
        hit = findSse2(h, n, at, k);
    if (hit != std::string_view::npos)
        return hit;
#endif
    return findScalar(h, n, at, k);
}

} // namespace talvo::grep
