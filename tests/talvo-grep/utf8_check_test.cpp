// The UTF-8 check that decides a file's encoding agrees with a plain decoder
// on every kind of fault, wherever it falls relative to the vector blocks.
#include "talvo-grep/encoding.h"
#include "tests/talvo-grep/vector_levels.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Reference: one sequence at a time by the definition. The length of the
// text before its first fault.
size_t referenceLength(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return i;
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (t & 0x3F);
        }
        static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += n;
    }
    return i;
}

bool referenceValid(const std::string& s) {
    return referenceLength(s) == s.size();
}

class Utf8CheckAt : public talvo::test::EveryVectorLevel {};
TALVO_AT_EVERY_VECTOR_LEVEL(Utf8CheckAt);

TEST_P(Utf8CheckAt, AgreesWithTheDefinitionAtEveryOffset) {
    const std::string faults[] = {
        "\xC3",
        "\x80",
        "\xC0\xAF",
        "\xE0\x80\xAF",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xE3\x81",
        "\xF0\x9F\x98",
        "\xC3\xA9\xA9",
        "\xFF",
        "\xF5\x80\x80\x80",
        "\xC1\xBF",
    };
    const std::string goods[] = {"\xC3\xA9",     "\xE3\x81\x82",     "\xF0\x9F\x98\x80",
                                 "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
    for (size_t len : {64u, 100u, 160u, 1000u, 4100u}) {
        for (size_t at = 0; at + 5 < len; at += (at < 80 || at + 80 > len) ? 1 : 37) {
            for (const auto& g : goods) {
                std::string s(len, 'a');
                s.replace(at, g.size(), g);
                ASSERT_TRUE(talvo::grep::isValidUtf8(s)) << len << " " << at;
            }
            for (const auto& f : faults) {
                std::string s(len, 'a');
                s.replace(at, f.size(), f);
                ASSERT_EQ(talvo::grep::isValidUtf8(s), referenceValid(s)) << len << " " << at;
                ASSERT_EQ(talvo::grep::validUtf8Length(s), referenceLength(s)) << len << " " << at;
            }
        }
        // A sequence cut by the end of the text.
        std::string cut(len - 1, 'a');
        cut += "\xE3";
        EXPECT_FALSE(talvo::grep::isValidUtf8(cut));
    }
    // Japanese text mixed with random bytes.
    std::mt19937 rng(7);
    const std::string ja = "日本語のテキスト、ファイル検索 ";
    for (int round = 0; round < 2000; ++round) {
        std::string s;
        while (s.size() < 300)
            s += ja;
        if (round % 2)
            s[rng() % s.size()] = static_cast<char>(rng() & 0xFF);
        ASSERT_EQ(talvo::grep::isValidUtf8(s), referenceValid(s)) << round;
        ASSERT_EQ(talvo::grep::validUtf8Length(s), referenceLength(s)) << round;
    }
    // Runs of ASCII of every length between characters and faults, so that
    // the check passes over ASCII in large steps and stops inside a
    // character or just after one.
    const std::string pieces[] = {"\xC3\xA9", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xE3\x81",
                                  "\x80",     "\xED\xA0\x80", "\xC0\xAF"};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        while (s.size() < 400) {
            s.append(rng() % 150, 'x');
            const std::string& piece = pieces[rng() % (round % 3 ? 3 : 7)];
            s += piece;
        }
        ASSERT_EQ(talvo::grep::isValidUtf8(s), referenceValid(s)) << round;
    }
}

} // namespace

namespace {

// The character boundaries of Shift-JIS and EUC-JP text, found without
// walking from the line start, agree with that walk on bytes of every class:
// ASCII, lead bytes that are also trail bytes, trail-only bytes, half-width
// kana and invalid bytes, in runs long and short.
TEST(DoubleByteBoundary, AgreesWithTheWalkFromTheLineStart) {
    using talvo::grep::Encoding;
    using talvo::grep::TextKind;
    const unsigned char alphabet[] = {0x41, 0x40, 0x7E, 0x7F, 0x80, 0x81, 0x8E, 0x8F, 0x9F,
                                      0xA0, 0xA1, 0xB0, 0xDF, 0xE0, 0xEF, 0xFC, 0xFD, 0xFE};
    std::mt19937 random(7);
    for (TextKind kind : {TextKind::ShiftJis, TextKind::EucJp}) {
        const Encoding& enc = Encoding::get(kind);
        for (int round = 0; round < 3000; ++round) {
            std::string line(1 + random() % 24, '\0');
            for (char& c : line)
                c = static_cast<char>(alphabet[random() % sizeof alphabet]);
            auto p = reinterpret_cast<const unsigned char*>(line.data());
            std::vector<bool> starts(line.size() + 1, false);
            for (size_t i = 0; i <= line.size();) {
                starts[i] = true;
                if (i == line.size())
                    break;
                i += enc.charLength(p + i, p + line.size());
            }
            for (size_t off = 0; off <= line.size(); ++off)
                ASSERT_EQ(enc.isBoundary(line, off), starts[off])
                    << (kind == TextKind::ShiftJis ? "Shift-JIS" : "EUC-JP") << " offset " << off
                    << " of a " << line.size() << "-byte line, round " << round;
        }
    }
}

} // namespace

namespace {

// Printed Shift-JIS and EUC-JP lines come out in UTF-8 as the character-by-
// character decoding gives them, whatever the bytes: runs of ASCII longer
// and shorter than a block, characters cut at the end, invalid bytes.
TEST(DoubleByteDecoding, AgreesWithDecodingCharacterByCharacter) {
    using talvo::grep::Encoding;
    using talvo::grep::TextKind;
    auto utf8 = [](std::string& out, char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            return;
        }
        int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        static const unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        out += static_cast<char>(lead[n] | (c >> (6 * (n - 1))));
        for (int k = n - 2; k >= 0; --k)
            out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    };
    const unsigned char alphabet[] = {0x0A, 0x41, 0x40, 0x7E, 0x80, 0x81, 0x82, 0x83, 0x8E, 0x8F,
                                      0x9F, 0xA0, 0xA1, 0xA4, 0xA5, 0xB0, 0xDF, 0xE0, 0xFC, 0xFE};
    std::mt19937 random(11);
    for (TextKind kind : {TextKind::ShiftJis, TextKind::EucJp}) {
        const Encoding& enc = Encoding::get(kind);
        for (int round = 0; round < 20000; ++round) {
            std::string text(random() % 40, '\0');
            for (char& c : text) {
                unsigned r = random() % 8;
                c = static_cast<char>(r < 3   ? 'a' + random() % 26
                                      : r < 7 ? alphabet[random() % sizeof alphabet]
                                              : random() % 256);
            }
            auto p = reinterpret_cast<const unsigned char*>(text.data());
            auto end = p + text.size();
            std::string want = "kept";
            while (p < end) {
                // ASCII as it is, NUL too.
                size_t n = enc.charLength(p, end);
                if (*p < 0x80)
                    want += static_cast<char>(*p);
                else
                    utf8(want, enc.decode(p, n));
                p += n;
            }
            std::string got = "kept";
            enc.appendDecoded(got, text);
            ASSERT_EQ(got, want) << (kind == TextKind::ShiftJis ? "Shift-JIS" : "EUC-JP")
                                 << " round " << round;
        }
    }
}

} // namespace
