// Encoding detection, tables for Shift-JIS and EUC-JP, and decoding.
#include "talvo-grep/encoding.h"

#include "talvo-grep/os.h"
#include "talvo-grep/regex.h"
#include "talvo-grep/vector_level.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace talvo::grep {

const char* textKindName(TextKind k) {
    switch (k) {
    case TextKind::Utf8:
        return "UTF-8";
    case TextKind::Utf16LE:
        return "UTF-16LE";
    case TextKind::Utf16BE:
        return "UTF-16BE";
    case TextKind::ShiftJis:
        return "Shift-JIS";
    case TextKind::EucJp:
        return "EUC-JP";
    case TextKind::Bytes:
        return "bytes";
    }
    return "?";
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at p, or 0 when it is invalid.
size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    unsigned char c = p[0];
    if (c < 0x80) {
        return 1;
    }
    size_t n = 0;
    char32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < n) {
        return 0;
    }
    char32_t cp = c & (0x3F >> (n - 1));
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

// Counts invalid sequences (and multibyte ones) of UTF-8, skipping ASCII by
// eight bytes at a time.
struct Tally {
    size_t errors = 0;
    size_t multibyte = 0;
    size_t halfKana = 0;
    size_t kana = 0; // full-width hiragana and katakana, the commonest characters
};

// p past its run of ASCII, eight bytes at a time: most of the text that
// the judgements walk, even in Japanese files (markup, code, blanks).
const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end) {
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ULL) {
            break;
        }
        p += 8;
    }
    return p;
}

// The UTF-8 sequences and stray bytes of data, up to the first stray byte
// after which stop(tally, bytes left) holds.
template <typename Stop> Tally tallyUtf8(std::string_view data, Stop stop) {
    Tally t;
    auto p = reinterpret_cast<const unsigned char*>(data.data());
    auto end = p + data.size();
    while (p < end) {
        p = skipAscii(p, end);
        if (p >= end) {
            break;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        size_t n = utf8SequenceLength(p, end);
        if (n == 0) {
            ++t.errors;
            if (stop(t, static_cast<size_t>(end - p))) {
                return t;
            }
            ++p;
        } else {
            ++t.multibyte;
            p += n;
        }
    }
    return t;
}

#if defined(__x86_64__)
// Validates UTF-8 sixteen bytes at a time by table look-ups on the high and
// low halves of each byte and of the byte before it: every invalid sequence
// (too short, too long, overlong, surrogate, above U+10FFFF) sets a bit.
// Returns the offset up to which the whole text is known to be valid; the
// caller checks the rest, which starts at a character boundary or an error.
// The look-up tables of the check, for either width.
constexpr uint8_t tooShort = 1 << 0, tooLong = 1 << 1, overlong3 = 1 << 2, tooLarge = 1 << 3,
                  surrogate = 1 << 4, overlong2 = 1 << 5, tooLarge1000 = 1 << 6, overlong4 = 1 << 6,
                  twoConts = 1 << 7;
constexpr uint8_t carry = tooShort | tooLong | twoConts;
constexpr uint8_t high1Table[16] = {tooLong,
                                    tooLong,
                                    tooLong,
                                    tooLong,
                                    tooLong,
                                    tooLong,
                                    tooLong,
                                    tooLong,
                                    twoConts,
                                    twoConts,
                                    twoConts,
                                    twoConts,
                                    tooShort | overlong2,
                                    tooShort,
                                    tooShort | overlong3 | surrogate,
                                    tooShort | tooLarge | tooLarge1000 | overlong4};
constexpr uint8_t big = carry | tooLarge | tooLarge1000;
constexpr uint8_t low1Table[16] = {carry | overlong3 | overlong2 | overlong4,
                                   carry | overlong2,
                                   carry,
                                   carry,
                                   carry | tooLarge,
                                   big,
                                   big,
                                   big,
                                   big,
                                   big,
                                   big,
                                   big,
                                   big,
                                   big | surrogate,
                                   big,
                                   big};
constexpr uint8_t high2Table[16] = {tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooLong | overlong2 | twoConts | overlong3 | tooLarge1000 |
                                        overlong4,
                                    tooLong | overlong2 | twoConts | overlong3 | tooLarge,
                                    tooLong | overlong2 | twoConts | surrogate | tooLarge,
                                    tooLong | overlong2 | twoConts | surrogate | tooLarge,
                                    tooShort,
                                    tooShort,
                                    tooShort,
                                    tooShort};

__attribute__((target("ssse3"))) size_t validUtf8PrefixSimd(const unsigned char* p, size_t n,
                                                            bool& bad) {
    const __m128i high1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high1Table));
    const __m128i low1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low1Table));
    const __m128i high2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high2Table));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i prev = _mm_setzero_si128();
    __m128i error = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        // Text is mostly ASCII: a run of it after complete characters is
        // passed over 64 bytes at a time.
        if (_mm_movemask_epi8(prev) == 0) {
            while (i + 64 <= n) {
                auto at = [&](size_t k) {
                    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k));
                };
                __m128i any =
                    _mm_or_si128(_mm_or_si128(at(0), at(16)), _mm_or_si128(at(32), at(48)));
                if (_mm_movemask_epi8(any) != 0)
                    break;
                i += 64;
            }
            if (i + 16 > n)
                break;
        }
        __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_or_si128(in, prev)) == 0) {
            prev = in; // ASCII after complete characters
            continue;
        }
        __m128i prev1 = _mm_alignr_epi8(in, prev, 15);
        __m128i b1h = _mm_shuffle_epi8(high1, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble));
        __m128i b1l = _mm_shuffle_epi8(low1, _mm_and_si128(prev1, nibble));
        __m128i b2h = _mm_shuffle_epi8(high2, _mm_and_si128(_mm_srli_epi16(in, 4), nibble));
        __m128i special = _mm_and_si128(_mm_and_si128(b1h, b1l), b2h);
        __m128i prev2 = _mm_alignr_epi8(in, prev, 14);
        __m128i prev3 = _mm_alignr_epi8(in, prev, 13);
        __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        __m128i must23 =
            _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
        error = _mm_or_si128(error, _mm_xor_si128(must23, special));
        prev = in;
        if ((i & 1023) == 0 &&
            _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) != 0xFFFF) {
            bad = true;
            return i;
        }
    }
    bad = _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) != 0xFFFF;
    return i;
}

// The same, thirty-two bytes at a time.
__attribute__((target("avx2"))) size_t validUtf8PrefixAvx2(const unsigned char* p, size_t n,
                                                           bool& bad) {
    const __m256i high1 =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high1Table)));
    const __m256i low1 =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low1Table)));
    const __m256i high2 =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high2Table)));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i prev = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        if (_mm256_movemask_epi8(prev) == 0) {
            while (i + 64 <= n) {
                __m256i any = _mm256_or_si256(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32)));
                if (_mm256_movemask_epi8(any) != 0)
                    break;
                i += 64;
            }
            if (i + 32 > n)
                break;
        }
        __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        if (_mm256_movemask_epi8(_mm256_or_si256(in, prev)) == 0) {
            prev = in;
            continue;
        }
        // The bytes before each byte of in: alignr works within each half,
        // so the half before the upper one is put beside it first.
        __m256i before = _mm256_permute2x128_si256(prev, in, 0x21);
        __m256i prev1 = _mm256_alignr_epi8(in, before, 15);
        __m256i b1h =
            _mm256_shuffle_epi8(high1, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble));
        __m256i b1l = _mm256_shuffle_epi8(low1, _mm256_and_si256(prev1, nibble));
        __m256i b2h =
            _mm256_shuffle_epi8(high2, _mm256_and_si256(_mm256_srli_epi16(in, 4), nibble));
        __m256i special = _mm256_and_si256(_mm256_and_si256(b1h, b1l), b2h);
        __m256i prev2 = _mm256_alignr_epi8(in, before, 14);
        __m256i prev3 = _mm256_alignr_epi8(in, before, 13);
        __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth),
                                          _mm256_set1_epi8(static_cast<char>(0x80)));
        error = _mm256_or_si256(error, _mm256_xor_si256(must23, special));
        prev = in;
        if ((i & 1023) == 0 && !_mm256_testz_si256(error, error)) {
            bad = true;
            return i;
        }
    }
    bad = !_mm256_testz_si256(error, error);
    return i;
}

// The same, sixty-four bytes at a time: Japanese text, with no runs of ASCII
// to pass over, goes through this check at twice the speed of the one above.
__attribute__((target("avx512f,avx512bw"))) size_t validUtf8PrefixAvx512(const unsigned char* p,
                                                                         size_t n, bool& bad) {
    // Each table once in every lane.
    uint8_t lanes[3][64];
    for (size_t k = 0; k < 64; ++k) {
        lanes[0][k] = high1Table[k % 16];
        lanes[1][k] = low1Table[k % 16];
        lanes[2][k] = high2Table[k % 16];
    }
    const __m512i high1 = _mm512_loadu_si512(lanes[0]);
    const __m512i low1 = _mm512_loadu_si512(lanes[1]);
    const __m512i high2 = _mm512_loadu_si512(lanes[2]);
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    const __m512i zero = _mm512_setzero_si512();
    __m512i prev = zero;
    __m512i error = zero;
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        __m512i in = _mm512_loadu_si512(p + i);
        if (_mm512_movepi8_mask(_mm512_or_si512(in, prev)) == 0) {
            prev = in; // ASCII after complete characters
            continue;
        }
        // The bytes before each byte of in: alignr works within each 16-byte
        // lane, so each lane is first put beside the lane before it.
        __m512i before = _mm512_maskz_alignr_epi64(0xFF, in, prev, 6);
        __m512i prev1 = _mm512_alignr_epi8(in, before, 15);
        __m512i b1h =
            _mm512_shuffle_epi8(high1, _mm512_and_si512(_mm512_srli_epi16(prev1, 4), nibble));
        __m512i b1l = _mm512_shuffle_epi8(low1, _mm512_and_si512(prev1, nibble));
        __m512i b2h =
            _mm512_shuffle_epi8(high2, _mm512_and_si512(_mm512_srli_epi16(in, 4), nibble));
        __m512i special = _mm512_and_si512(_mm512_and_si512(b1h, b1l), b2h);
        __m512i prev2 = _mm512_alignr_epi8(in, before, 14);
        __m512i prev3 = _mm512_alignr_epi8(in, before, 13);
        __m512i third = _mm512_subs_epu8(prev2, _mm512_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        __m512i fourth = _mm512_subs_epu8(prev3, _mm512_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        __m512i must23 = _mm512_and_si512(_mm512_or_si512(third, fourth),
                                          _mm512_set1_epi8(static_cast<char>(0x80)));
        error = _mm512_or_si512(error, _mm512_xor_si512(must23, special));
        prev = in;
        if ((i & 1023) == 0 && _mm512_test_epi8_mask(error, error) != 0) {
            bad = true;
            return i;
        }
    }
    bad = _mm512_test_epi8_mask(error, error) != 0;
    return i;
}
#endif

// True when all of data is valid UTF-8: the vector check where the processor
// has it, then the characters that cross its last block one by one.
bool validUtf8Fast(std::string_view data) {
    auto p = reinterpret_cast<const unsigned char*>(data.data());
    size_t done = 0;
#if defined(__x86_64__)
    VectorLevel level = vectorLevel();
    if (level >= VectorLevel::Sse && data.size() >= 64) {
        bool bad = false;
        done = level == VectorLevel::Avx512 ? validUtf8PrefixAvx512(p, data.size(), bad)
               : level == VectorLevel::Avx2 ? validUtf8PrefixAvx2(p, data.size(), bad)
                                            : validUtf8PrefixSimd(p, data.size(), bad);
        if (bad)
            return false;
        // Pairs ending before done are checked; a character that starts in the
        // last three bytes may still be incomplete: check from its start.
        size_t s = done - 1;
        while (s > 0 && done - s < 4 && (p[s] & 0xC0) == 0x80)
            --s;
        done = s;
    }
#endif
    return tallyUtf8(data.substr(done), [](const Tally&, size_t) { return true; }).errors == 0;
}

// A legacy reading counts as valid text when it has double-byte characters and
// at most one invalid byte in twenty of them (a damaged byte must not turn
// a Japanese file into bytes, but Latin-1 text must not pass as Japanese).
constexpr size_t kCharactersPerError = 20;
bool readsAsText(const Tally& t) {
    return t.multibyte > 0 && t.errors * kCharactersPerError <= t.multibyte;
}
// No reading of the bytes left can make it so: each character takes two.
bool cannotReadAsText(const Tally& t, size_t left) {
    return t.errors * kCharactersPerError > t.multibyte + left / 2;
}

bool sjisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool sjisTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}
bool eucByte(unsigned char c) {
    return c >= 0xA1 && c <= 0xFE;
}

Tally tallySjis(std::string_view data) {
    Tally t;
    auto p = reinterpret_cast<const unsigned char*>(data.data());
    auto end = p + data.size();
    while ((p = skipAscii(p, end)) < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
        } else if (c >= 0xA1 && c <= 0xDF) {
            ++t.halfKana;
            ++p;
        } else if (sjisLead(c) && end - p >= 2 && sjisTrail(p[1])) {
            ++t.multibyte;
            t.kana += (c == 0x82 && p[1] >= 0x9F && p[1] <= 0xF1) || (c == 0x83 && p[1] <= 0x96);
            p += 2;
        } else {
            ++t.errors;
            ++p;
            // What the rest holds would not change the judgement.
            if (cannotReadAsText(t, static_cast<size_t>(end - p)))
                return t;
        }
    }
    return t;
}

Tally tallyEuc(std::string_view data) {
    Tally t;
    auto p = reinterpret_cast<const unsigned char*>(data.data());
    auto end = p + data.size();
    while ((p = skipAscii(p, end)) < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
        } else if (c == 0x8E && end - p >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF) {
            ++t.multibyte;
            p += 2;
        } else if (c == 0x8F && end - p >= 3 && eucByte(p[1]) && eucByte(p[2])) {
            ++t.multibyte;
            p += 3;
        } else if (eucByte(c) && end - p >= 2 && eucByte(p[1])) {
            ++t.multibyte;
            t.kana += c == 0xA4 || c == 0xA5;
            p += 2;
        } else {
            ++t.errors;
            ++p;
            // What the rest holds would not change the judgement.
            if (cannotReadAsText(t, static_cast<size_t>(end - p)))
                return t;
        }
    }
    return t;
}

} // namespace

size_t completeUtf8Prefix(std::string_view data) {
    auto u = reinterpret_cast<const unsigned char*>(data.data());
    size_t n = data.size();
    // Back over up to three continuation bytes to a lead byte; cut there when
    // the sequence it starts is longer than what is left.
    for (size_t back = 1; back <= 4 && back <= n; ++back) {
        unsigned char c = u[n - back];
        if ((c & 0xC0) == 0x80)
            continue;
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? n - back : n;
    }
    return n;
}

bool isValidUtf8(std::string_view data) {
    return validUtf8Fast(data);
}

size_t validUtf8Length(std::string_view data) {
    auto p = reinterpret_cast<const unsigned char*>(data.data());
    auto end = p + data.size();
    while (p < end) {
        size_t n = *p < 0x80 ? 1 : utf8SequenceLength(p, end);
        if (n == 0)
            break;
        p += n;
    }
    return static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(data.data()));
}

Detection detectEncoding(std::string_view data) {
    auto u = reinterpret_cast<const unsigned char*>(data.data());
    if (data.size() >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
        // Marked text with stray bytes is read as bytes: the engines that read
        // UTF-8 unchecked are never handed invalid sequences.
        return {validUtf8Fast(data.substr(3)) ? TextKind::Utf8 : TextKind::Bytes, 3};
    }
    if (data.size() >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
        return {TextKind::Utf16LE, 2};
    }
    if (data.size() >= 2 && u[0] == 0xFE && u[1] == 0xFF) {
        return {TextKind::Utf16BE, 2};
    }
    if (validUtf8Fast(data)) {
        return {TextKind::Utf8, 0};
    }
    return {detectDoubleByteEncoding(data), 0};
}

TextKind detectDoubleByteEncoding(std::string_view data) {
    // Which double-byte encoding it is shows long before the end: the first
    // mebibyte decides, so that a large file is not read twice more.
    std::string_view sample = data.substr(0, 1 << 20);
    // UTF-8 but for a few bytes (a Latin-1 line pasted in) is UTF-8: its
    // Japanese may read as Shift-JIS as well, but Shift-JIS and EUC-JP text
    // seldom holds valid UTF-8 sequences and never eight to one bad byte.
    // Read as bytes, it is searched as UTF-8 with the stray bytes as U+FFFD.
    // Walked only while that may still hold: a sequence is two bytes or more.
    Tally utf8 = tallyUtf8(
        sample, [](const Tally& t, size_t left) { return t.errors * 8 > t.multibyte + left / 2; });
    if (utf8.multibyte > 0 && utf8.errors * 8 <= utf8.multibyte)
        return TextKind::Bytes;
    Tally sjis = tallySjis(sample);
    Tally euc = tallyEuc(sample);
    bool sjisOk = readsAsText(sjis);
    bool eucOk = readsAsText(euc);
    if (sjisOk && eucOk) {
        // EUC-JP text often reads as Shift-JIS too, then mostly as half-width
        // katakana; fewer errors, more kana, then fewer such katakana decide.
        if (sjis.errors != euc.errors) {
            return sjis.errors < euc.errors ? TextKind::ShiftJis : TextKind::EucJp;
        }
        // EUC-JP half-width katakana read as Shift-JIS kanji, but its kana
        // rows never read as Shift-JIS kana.
        if (sjis.kana != euc.kana) {
            return sjis.kana > euc.kana ? TextKind::ShiftJis : TextKind::EucJp;
        }
        return sjis.halfKana > sjis.multibyte ? TextKind::EucJp : TextKind::ShiftJis;
    }
    if (sjisOk) {
        return TextKind::ShiftJis;
    }
    if (eucOk) {
        return TextKind::EucJp;
    }
    return TextKind::Bytes;
}

void appendUtf8Lossy(std::string& out, std::string_view text) {
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    while (p < end) {
        auto start = p;
        while (p < end && *p < 0x80) {
            ++p;
        }
        out.append(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
        if (p >= end) {
            break;
        }
        size_t n = utf8SequenceLength(p, end);
        if (n == 0) {
            appendUtf8(out, kReplacement);
            ++p;
        } else {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
        }
    }
}

std::string fileNameToUtf8(std::string_view name) {
    if (validUtf8Fast(name))
        return std::string(name);
    // A name may read as both: the judgement of file contents decides the
    // order, and user-defined characters mark a wrong reading.
    bool eucFirst = detectDoubleByteEncoding(name) == TextKind::EucJp;
    for (TextKind kind : {eucFirst ? TextKind::EucJp : TextKind::ShiftJis,
                          eucFirst ? TextKind::ShiftJis : TextKind::EucJp}) {
        const Encoding& enc = Encoding::get(kind);
        auto p = reinterpret_cast<const unsigned char*>(name.data());
        auto end = p + name.size();
        std::string out;
        while (p < end) {
            size_t n = enc.charLength(p, end);
            char32_t c = enc.decode(p, n);
            if (c == kReplacement || (c >= 0xE000 && c <= 0xF8FF))
                break;
            appendUtf8(out, c);
            p += n;
        }
        if (p == end)
            return out;
    }
    std::string out;
    auto p = reinterpret_cast<const unsigned char*>(name.data());
    auto end = p + name.size();
    while (p < end) {
        size_t n = utf8SequenceLength(p, end);
        if (n > 0) {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
            continue;
        }
        const char* hex = "0123456789ABCDEF";
        out += "\\x";
        out += hex[*p >> 4];
        out += hex[*p & 15];
        ++p;
    }
    return out;
}

std::string utf16ToUtf8(std::string_view data, bool bigEndian) {
    std::string out;
    out.reserve(data.size() + data.size() / 2);
    auto u = reinterpret_cast<const unsigned char*>(data.data());
    size_t n = data.size() / 2;
    auto unit = [&](size_t i) -> char32_t {
        return bigEndian ? (u[2 * i] << 8) | u[2 * i + 1] : u[2 * i] | (u[2 * i + 1] << 8);
    };
    for (size_t i = 0; i < n; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    if (data.size() % 2 != 0) {
        appendUtf8(out, kReplacement);
    }
    return out;
}

// ---------------------------------------------------------------------------

namespace {
// Characters that users type in one form and the tables hold in another.
constexpr std::pair<char32_t, char32_t> kAliases[] = {
    {0x301C, 0xFF5E}, {0xFF5E, 0x301C}, {0x2016, 0x2225}, {0x2225, 0x2016}, {0x2212, 0xFF0D},
    {0xFF0D, 0x2212}, {0x00A2, 0xFFE0}, {0xFFE0, 0x00A2}, {0x00A3, 0xFFE1}, {0xFFE1, 0x00A3},
    {0x00AC, 0xFFE2}, {0xFFE2, 0x00AC}, {0x2014, 0x2015}, {0x2015, 0x2014},
};
} // namespace

namespace {
char32_t aliasOf(char32_t c) {
    for (auto [from, to] : kAliases) {
        if (from == c)
            return to;
    }
    return 0;
}

void addAliases(Node& n) {
    if (n.kind == Node::Kind::Literal) {
        if (char32_t other = aliasOf(n.cp)) {
            n.kind = Node::Kind::Class;
            n.cls = CharClass{};
            n.cls.ranges = {{n.cp, n.cp}, {other, other}};
        }
    } else if (n.kind == Node::Kind::Class) {
        auto member = [&](char32_t c) { return n.cls.contains(c) != n.cls.negated; };
        std::vector<CharClass::Range> more;
        for (auto [from, to] : kAliases) {
            if (member(from) && !member(to))
                more.push_back({to, to});
        }
        n.cls.ranges.insert(n.cls.ranges.end(), more.begin(), more.end());
    }
    for (auto& c : n.children)
        addAliases(*c);
}
} // namespace

void addCharacterAliases(Pattern& p) {
    if (p.root)
        addAliases(*p.root);
}

Encoding::Encoding(TextKind kind) : kind_(kind) {
    single_.assign(256, kReplacement);
    dbcs_.assign(65536, 0);
    for (unsigned c = 0; c < 0x80; ++c) {
        single_[c] = c;
    }
    if (kind == TextKind::ShiftJis) {
        os::CharsetDecoder dec("CP932");
        for (unsigned c = 0xA1; c <= 0xDF; ++c) {
            single_[c] = 0xFF61 + (c - 0xA1);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!sjisLead(static_cast<unsigned char>(lead))) {
                continue;
            }
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!sjisTrail(static_cast<unsigned char>(trail))) {
                    continue;
                }
                char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char32_t cp = kReplacement;
                dec.decode({b, 2}, cp);
                dbcs_[lead * 256 + trail] = cp;
            }
        }
    } else {
        os::CharsetDecoder dec("EUC-JP");
        triple_.assign(94 * 94, 0);
        for (unsigned k = 0xA1; k <= 0xDF; ++k) {
            dbcs_[0x8E * 256 + k] = 0xFF61 + (k - 0xA1);
        }
        for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
                char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char32_t cp = kReplacement;
                dec.decode({b, 2}, cp);
                dbcs_[lead * 256 + trail] = cp;
                char t[3] = {static_cast<char>(0x8F), static_cast<char>(lead),
                             static_cast<char>(trail)};
                char32_t cp3 = kReplacement;
                dec.decode({t, 3}, cp3);
                triple_[(lead - 0xA1) * 94 + (trail - 0xA1)] = cp3;
            }
        }
    }
    forEachChar([&](std::string_view bytes, char32_t cp) {
        if (cp != kReplacement) {
            reverse_.emplace_back(cp, std::string(bytes));
        }
    });
    std::stable_sort(reverse_.begin(), reverse_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // dbcs_ holds only pairs that charLength takes as one character; those
    // of four UTF-8 bytes are decoded one step at a time.
    utf8Pairs_.assign(65536, 0);
    for (unsigned i = 0x8000; i < 65536; ++i) {
        if (dbcs_[i] == 0 || dbcs_[i] >= 0x10000)
            continue;
        std::string bytes;
        appendUtf8(bytes, dbcs_[i]);
        uint32_t packed = static_cast<uint32_t>(bytes.size()) << 24;
        for (size_t k = 0; k < bytes.size(); ++k)
            packed |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])) << (8 * k);
        utf8Pairs_[i] = packed;
    }
}

const Encoding& Encoding::get(TextKind kind) {
    static std::once_flag sjisOnce, eucOnce;
    static const Encoding* sjis = nullptr;
    static const Encoding* euc = nullptr;
    if (kind == TextKind::ShiftJis) {
        std::call_once(sjisOnce, [] { sjis = new Encoding(TextKind::ShiftJis); });
        return *sjis;
    }
    std::call_once(eucOnce, [] { euc = new Encoding(TextKind::EucJp); });
    return *euc;
}

size_t Encoding::charLength(const unsigned char* p, const unsigned char* end) const {
    unsigned char c = *p;
    if (c < 0x80) {
        return 1;
    }
    size_t left = static_cast<size_t>(end - p);
    if (kind_ == TextKind::ShiftJis) {
        return sjisLead(c) && left >= 2 && sjisTrail(p[1]) ? 2 : 1;
    }
    if (c == 0x8E) {
        return left >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF ? 2 : 1;
    }
    if (c == 0x8F) {
        return left >= 3 && eucByte(p[1]) && eucByte(p[2]) ? 3 : 1;
    }
    return eucByte(c) && left >= 2 && eucByte(p[1]) ? 2 : 1;
}

char32_t Encoding::decode(const unsigned char* p, size_t n) const {
    char32_t cp = kReplacement;
    if (n == 1) {
        cp = single_[p[0]];
    } else if (n == 2) {
        cp = dbcs_[p[0] * 256 + p[1]];
    } else if (n == 3 && !triple_.empty()) {
        cp = triple_[(p[1] - 0xA1) * 94 + (p[2] - 0xA1)];
    }
    return cp == 0 ? kReplacement : cp;
}

std::vector<std::string> Encoding::encode(char32_t c) const {
    std::vector<std::string> out;
    auto collect = [&](char32_t want) {
        auto it = std::lower_bound(reverse_.begin(), reverse_.end(), want,
                                   [](const auto& e, char32_t v) { return e.first < v; });
        for (; it != reverse_.end() && it->first == want; ++it) {
            if (std::find(out.begin(), out.end(), it->second) == out.end()) {
                out.push_back(it->second);
            }
        }
    };
    collect(c);
    for (auto [from, to] : kAliases) {
        if (from == c) {
            collect(to);
        }
    }
    return out;
}

void Encoding::forEachChar(const std::function<void(std::string_view, char32_t)>& f) const {
    for (unsigned c = 0; c < 256; ++c) {
        if (single_[c] != kReplacement) {
            char b = static_cast<char>(c);
            f({&b, 1}, single_[c]);
        }
    }
    for (unsigned i = 0; i < 65536; ++i) {
        if (dbcs_[i] != 0) {
            char b[2] = {static_cast<char>(i >> 8), static_cast<char>(i & 0xFF)};
            f({b, 2}, dbcs_[i]);
        }
    }
    for (size_t i = 0; i < triple_.size(); ++i) {
        char b[3] = {static_cast<char>(0x8F), static_cast<char>(0xA1 + i / 94),
                     static_cast<char>(0xA1 + i % 94)};
        f({b, 3}, triple_[i] == 0 ? kReplacement : triple_[i]);
    }
}

void Encoding::appendDecoded(std::string& out, std::string_view text) const {
    // Written in place: a character of one to three bytes here is at most
    // three bytes of UTF-8.
    size_t at = out.size();
    out.resize(at + text.size() * 3);
    auto o = reinterpret_cast<unsigned char*>(out.data()) + at;
    auto start = o;
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    while (p < end) {
        // Most printed text is ASCII and two-byte characters: the first
        // eight bytes at a time, the second through a table of their UTF-8.
        if (const unsigned char* ascii = skipAscii(p, end); ascii != p) {
            for (; p < ascii; p += 8, o += 8) // whole blocks of eight
                std::memcpy(o, p, 8);
            continue;
        }
        if (*p < 0x80) {
            *o++ = *p++;
            continue;
        }
        if (end - p >= 2) {
            if (uint32_t u = utf8Pairs_[p[0] * 256 + p[1]]; u != 0) {
                o[0] = static_cast<unsigned char>(u);
                o[1] = static_cast<unsigned char>(u >> 8);
                o[2] = static_cast<unsigned char>(u >> 16);
                o += u >> 24;
                p += 2;
                continue;
            }
        }
        size_t n = charLength(p, end);
        char32_t c = decode(p, n);
        p += n;
        if (c < 0x80) {
            *o++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            // Beyond the BMP only through a two-byte or three-byte character.
            *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(at + static_cast<size_t>(o - start));
}

bool Encoding::isBoundary(std::string_view line, size_t offset) const {
    auto p = reinterpret_cast<const unsigned char*>(line.data());
    if (kind_ == TextKind::ShiftJis) {
        // Every lead byte is also a trail byte: the lead bytes just before
        // offset pair off from the byte before them, which ends a character.
        size_t r = offset;
        while (r > 0 && sjisLead(p[r - 1]))
            --r;
        if ((offset - r) % 2 == 0)
            return true;
        // The last one leads a character only with a trail byte after it.
        return offset >= line.size() || !sjisTrail(p[offset]);
    }
    // EUC-JP: two bytes of A1...FE pair off in a run of such bytes, after a
    // byte that always ends or starts a character; 8E and 8F before the run
    // take one and two of its bytes.
    size_t n = line.size();
    auto kana = [&](size_t i) { return i < n && p[i] >= 0xA1 && p[i] <= 0xDF; };
    auto pairAt = [&](size_t i) { return i + 1 < n && eucByte(p[i]) && eucByte(p[i + 1]); };
    size_t r = offset;
    while (r > 0 && eucByte(p[r - 1]))
        --r;
    size_t e = r;
    if (r > 0 && p[r - 1] == 0x8E && kana(r))
        e = r + 1;
    else if (r > 0 && p[r - 1] == 0x8F && pairAt(r))
        e = r + 2;
    if (e > offset)
        return false; // inside the character that 8E or 8F starts
    if ((offset - e) % 2 == 1)
        return offset >= n || !eucByte(p[offset]);
    return true;
}

} // namespace talvo::grep
