// The fast ways to candidate lines (a fixed string found by its rarest bytes,
// and the string every match holds) select exactly the lines that a check of
// each line on its own selects, wherever the matches fall against the vector
// blocks and the end of the buffer.
#include "talvo-grep/encoding.h"
#include "talvo-grep/literal_finder.h"
#include "talvo-grep/matcher.h"
#include "tests/talvo-grep/vector_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using talvo::grep::LiteralFinder;
using talvo::grep::Matcher;
using talvo::grep::MatchSpec;
using talvo::grep::ScanContext;
using talvo::grep::TextKind;
using talvo::grep::validUtf8Length;

// A copy in a block of exactly its size: a read past the end is caught by
// the address sanitizer instead of landing in a string's spare capacity.
std::unique_ptr<char[]> exactCopy(const std::string& s) {
    auto p = std::make_unique<char[]>(s.size() + 1);
    std::copy(s.begin(), s.end(), p.get());
    return p;
}

// size characters drawn from alphabet.
std::string randomText(std::mt19937& random, const std::string& alphabet, size_t size) {
    std::string text(size, ' ');
    for (char& c : text)
        c = alphabet[random() % alphabet.size()];
    return text;
}

// A string of len bytes: a piece of hay, or drawn from alphabet.
std::string randomNeedle(std::mt19937& random, const std::string& alphabet, const std::string& hay,
                         size_t len, bool fromHay) {
    if (fromHay)
        return hay.substr(random() % (hay.size() - len + 1), len);
    return randomText(random, alphabet, len);
}

class LiteralFinderAt : public talvo::test::EveryVectorLevel {};
TALVO_AT_EVERY_VECTOR_LEVEL(LiteralFinderAt);

TEST_P(LiteralFinderAt, FindsWhatAPlainSearchFindsFromEveryOffset) {
    std::mt19937 random(7);
    const std::string alphabet = "aab_\n\xC3\xA9Z";
    for (int round = 0; round < 1500; ++round) {
        std::string hay = randomText(random, alphabet, random() % 200);
        size_t len = 1 + random() % (round % 3 == 0 ? 70 : 6);
        std::string needle =
            randomNeedle(random, alphabet, hay, len, hay.size() >= len && round % 2 == 0);
        auto block = exactCopy(hay);
        std::string_view view(block.get(), hay.size());
        LiteralFinder finder(needle);
        for (size_t from = 0; from <= hay.size() + 1; ++from)
            ASSERT_EQ(finder.find(view, from), view.find(needle, from))
                << "round " << round << " needle \"" << needle << "\" from " << from;
    }
}

TEST_P(LiteralFinderAt, TellsWhetherTheBytesBeforeWhatItFoundWereAscii) {
    // A byte from 0x80 on before the place found (or the end) is always
    // told; ASCII alone is told as such, whichever strings are looked for.
    std::mt19937 random(13);
    const std::string alphabet = "ab_\nxyz";
    for (int round = 0; round < 1500; ++round) {
        std::string hay = randomText(random, alphabet, random() % 300);
        bool withHigh = round % 2 == 0 && !hay.empty();
        if (withHigh)
            hay[random() % hay.size()] = static_cast<char>(0x80 + random() % 0x80);
        std::vector<std::string> needles(1 + random() % 3);
        for (std::string& needle : needles) {
            size_t len = 2 + random() % (round % 4 == 0 ? 30 : 4);
            needle = randomNeedle(random, alphabet, hay, len, hay.size() >= len && round % 3 != 0);
        }
        auto block = exactCopy(hay);
        std::string_view view(block.get(), hay.size());
        LiteralFinder finder(needles, round % 5 == 0);
        for (size_t from = 0; from <= hay.size(); from += 1 + random() % 7) {
            bool high = false;
            size_t at = finder.find(view, from, nullptr, &high);
            ASSERT_EQ(at, finder.find(view, from)) << "round " << round;
            size_t end = at == std::string_view::npos ? hay.size() : at;
            bool before = std::any_of(hay.begin() + static_cast<long>(from),
                                      hay.begin() + static_cast<long>(end),
                                      [](char c) { return (c & 0x80) != 0; });
            if (before) {
                ASSERT_TRUE(high) << "round " << round << " from " << from;
            }
            if (!withHigh) {
                ASSERT_FALSE(high) << "round " << round << " from " << from;
            }
        }
    }
}

TEST_P(LiteralFinderAt, IgnoresTheCaseOfAsciiLettersOnly) {
    // Bytes one case bit apart that are no letters ("@" and "`", "[" and
    // "{") and UTF-8 bytes must still match exactly.
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return s;
    };
    std::mt19937 random(5);
    const std::string alphabet = "aAbB@`[{_\xC3\xA9\xE3";
    for (int round = 0; round < 1500; ++round) {
        std::string hay(random() % 150, ' ');
        for (char& c : hay)
            c = alphabet[random() % alphabet.size()];
        std::string needle(1 + random() % (round % 4 == 0 ? 40 : 4), ' ');
        for (char& c : needle)
            c = alphabet[random() % alphabet.size()];
        auto block = exactCopy(hay);
        LiteralFinder finder(needle, true);
        std::string folded = lower(hay), key = lower(needle);
        for (size_t from = 0; from <= hay.size(); ++from)
            ASSERT_EQ(finder.find({block.get(), hay.size()}, from), folded.find(key, from))
                << "round " << round << " needle \"" << needle << "\" from " << from;
    }
}

TEST_P(LiteralFinderAt, FindsAStringThatEndsTheBufferOrRepeatsItsBytes) {
    for (size_t pad : {0u, 1u, 15u, 16u, 31u, 32u, 33u, 63u, 64u, 100u}) {
        std::string hay = std::string(pad, 'x') + "static";
        auto block = exactCopy(hay);
        std::string_view view(block.get(), hay.size());
        EXPECT_EQ(LiteralFinder("static").find(view), pad);
        EXPECT_EQ(LiteralFinder("statics").find(view), std::string_view::npos);
        std::string runs(pad + 40, 'a');
        runs.back() = 'b';
        auto rb = exactCopy(runs);
        EXPECT_EQ(LiteralFinder("aaaab").find({rb.get(), runs.size()}), runs.size() - 5);
    }
}

TEST_P(LiteralFinderAt, FindsTheFirstOfSeveralStrings) {
    // Strings that begin alike, contain one another or repeat, more of them
    // than the vector search takes, and -i over ASCII letters among others.
    std::mt19937 random(11);
    const std::string alphabet = "aB\xE3\x83\x95\xE3\x82\xA1\n_";
    for (int round = 0; round < 1200; ++round) {
        std::string hay = randomText(random, alphabet, random() % 300);
        std::vector<std::string> needles(1 + random() % 10);
        for (std::string& needle : needles) {
            size_t len = 1 + random() % (round % 4 == 0 ? 40 : 5);
            needle =
                randomNeedle(random, alphabet, hay, len, hay.size() >= len && random() % 2 == 0);
        }
        const bool caseless = round % 3 == 0;
        auto folded = [&](std::string s) {
            if (caseless)
                for (char& c : s)
                    if (c >= 'A' && c <= 'Z')
                        c = static_cast<char>(c | 0x20);
            return s;
        };
        const std::string hayFolded = folded(hay);
        auto block = exactCopy(hay);
        std::string_view view(block.get(), hay.size());
        LiteralFinder finder(needles, caseless);
        for (size_t from = 0; from <= hay.size(); from += 1 + random() % 3) {
            size_t want = std::string::npos;
            for (const std::string& needle : needles)
                want = std::min(want, hayFolded.find(folded(needle), from));
            size_t length = 0;
            size_t got = finder.find(view, from, &length);
            ASSERT_EQ(got, want) << "round " << round << " from " << from;
            if (got == std::string::npos)
                continue;
            bool oneOfThem = false;
            for (const std::string& needle : needles)
                oneOfThem |=
                    needle.size() == length && hayFolded.compare(got, length, folded(needle)) == 0;
            ASSERT_TRUE(oneOfThem) << "round " << round << " length " << length;
        }
    }
}

// Lines selected by scanLines over the whole buffer, and by lineMatches for
// each line alone.
using Lines = std::vector<std::pair<size_t, size_t>>;

Lines scanned(const Matcher& m, const std::string& text) {
    ScanContext ctx;
    std::string error;
    Lines out;
    auto block = exactCopy(text);
    EXPECT_TRUE(m.scanLines(
        TextKind::Utf8, ctx, {block.get(), text.size()},
        [&](size_t s, size_t e) {
            out.emplace_back(s, e);
            return true;
        },
        error))
        << error;
    return out;
}

Lines eachLine(const Matcher& m, const std::string& text) {
    ScanContext ctx;
    std::string error;
    Lines out;
    for (size_t s = 0; s < text.size();) {
        size_t e = text.find('\n', s);
        if (e == std::string::npos)
            e = text.size();
        if (m.lineMatches(TextKind::Utf8, ctx, std::string_view(text).substr(s, e - s), error))
            out.emplace_back(s, e);
        s = e + 1;
    }
    return out;
}

std::unique_ptr<Matcher> make(const std::string& pattern, bool ignoreCase = false) {
    MatchSpec spec;
    spec.patterns = {pattern};
    spec.ignoreCase = ignoreCase;
    std::string error;
    auto m = Matcher::create(spec, error);
    EXPECT_TRUE(m) << pattern << ": " << error;
    return m;
}

TEST(CandidateLines, AgreeWithEachLineCheckedAlone) {
    // A fixed string, a class around a string every match holds (answered
    // exactly by the engine), the same with a word test (confirmed line by
    // line), a string with no case under -i, and the UTF-8 of a letter.
    const std::pair<const char*, bool> patterns[] = {
        {"static", false},
        {"[A-Z]+_SUSPEND", false},
        {"\\w+_RESUME\\b", false},
        {"ab_", false},
        {"_\xC3\xA9_", true},
        {"a_b[_Z]", false},
        {"(b_|Z_)static", false},
        {"sTatic", true},
        {"A_b", true},
        {"z", true},
        // Patterns that match an empty line, the last one of the text too.
        {"^$", false},
        {"^(Z_|)$", false},
        {"(_\xC3\xA9_)*$", false},
        // Alternatives beyond ASCII are found by the strings themselves.
        {"\xC3\xA9"
         "ab|_\xC3\xA9_",
         false},
        {"(\xE3\x83\x95\xE3\x82\xA1|\xC3\xA9Z)", true},
        {"(?:\xC3\xA9|\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB)|\xC3\xA9"
         "a",
         false},
        // A string with a run of a class beside it is found by the string.
        {"[ぁ-ん]+する", false},
        {"する[ぁ-ん]{2,}", false},
        {"(?:[ぁ-ん]{2}する[^é]+)", false},
        {".+イル", false},
        {"[0-9]{2,3}年", false},
        {"\\w*ファイ", false},
        {"[ぁ-ん]++する", false},
        {"[^\\s]する", false},
        // Word tests at a string's ends are read where the string occurs,
        // whether its end characters are word characters or not.
        {"\\bstatic", false},
        {"static\\B", false},
        {"\\<ab_", false},
        {"_\\>", false},
        {"\\b_RESUME\\b", false},
        {"\\B_RESUME", false},
        {"@_\\b", false},
        {"\\b\xC3\xA9z", false},
        {"\\bする\\B", false},
        {"[ぁ-ん]+する\\b", false},
        {"\\b年[0-9]*", false},
        {"\\w+ファイ\\>", false},
    };
    const std::string words[] = {"static",
                                 "PM_SUSPEND",
                                 "_SUSPEND",
                                 "x_RESUME",
                                 "_RESUME_",
                                 "ab_",
                                 "_\xC3\xA9_",
                                 "a_bZ",
                                 "Z_static",
                                 " ",
                                 "\n",
                                 "\n",
                                 "staticab",
                                 "é",
                                 "ABC",
                                 "STATIC",
                                 "A_B",
                                 "@_`",
                                 "\xE3\x83\x95\xE3\x82\xA1",
                                 "\xE3\x82\xA4\xE3\x83\xAB",
                                 "\xC3\xA9z",
                                 "する",
                                 "ぁ",
                                 "ん",
                                 "1",
                                 "年",
                                 "ァイ",
                                 "ー",
                                 "゛",
                                 "e\xCC\x81"};
    std::mt19937 random(3);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        size_t n = random() % 120;
        for (size_t i = 0; i < n; ++i)
            text += words[random() % std::size(words)];
        for (const auto& [pattern, ignoreCase] : patterns) {
            auto m = make(pattern, ignoreCase);
            ASSERT_TRUE(m);
            ASSERT_EQ(scanned(*m, text), eachLine(*m, text))
                << "pattern " << pattern << ", round " << round << ", text:\n"
                << text;
        }
    }
}

TEST(CandidateLines, StayExactWhenTheStringTurnsOutCommon) {
    // Many lines hold the string first (the engine takes over part way),
    // then few do: both halves keep every match and nothing more.
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += i % 3 == 0 ? "xx_SUSPEND y\n" : "AB_SUSPEND\n";
    for (int i = 0; i < 3000; ++i)
        text += i % 500 == 0 ? "then PM_SUSPEND\n" : "nothing here at all, only filler text\n";
    text += "LAST_SUSPEND";
    for (const char* pattern : {"[A-Z]+_SUSPEND", "[A-Z]+_(SUSPEND)", "\\b[A-Z]+_SUSPEND"}) {
        auto m = make(pattern);
        ASSERT_TRUE(m);
        Lines got = scanned(*m, text);
        EXPECT_EQ(got, eachLine(*m, text)) << pattern;
        EXPECT_EQ(got.size(), 2000u + 6u + 1u) << pattern;
    }
}

TEST(CandidateLines, TextNotYetCheckedIsReportedUpToItsFirstStrayByte) {
    // Text not yet known to be UTF-8: each reported line is UTF-8 up to its
    // end, a scan that finds a stray byte says so, and the lines it leaves
    // to the caller start where it says. Together they are the lines that
    // the text before the stray byte's line holds.
    const char* patterns[] = {"_RESUME",        "\\w+_RESUME\\b", "P.?_RESUME",
                              "(PM|QQ)_RESUME", "ファイル",       "[A-Z]+_SUSPEND"};
    const std::string words[] = {
        "PM_RESUME", "x_RESUME ", "_SUSPEND", "AB_SUSPEND",       "ファイル", " ",
        "\n",        "\n",        "text",     "\x83\x74\x83\x40", "\xFF",     "\xE3\x83"};
    std::mt19937 random(5);
    for (int round = 0; round < 600; ++round) {
        std::string text;
        // In a third of the texts the candidates are so many that the
        // engine takes over part way.
        bool dense = round % 3 == 0;
        size_t n = random() % (dense ? 500 : 200);
        // Most texts are UTF-8 for long stretches before a stray byte.
        bool strays = random() % 2 == 0;
        for (size_t i = 0; i < n; ++i) {
            size_t w = random() % std::size(words);
            if (w >= 9 && !(strays && random() % 8 == 0))
                w = random() % 9;
            if (dense && random() % 2 == 0)
                w = random() % 2 == 0 ? 0 : 6;
            text += words[w];
        }
        size_t good = validUtf8Length(text);
        if (good < text.size()) {
            size_t nl = text.rfind('\n', good == 0 ? 0 : good - 1);
            good = good == 0 || nl == std::string::npos ? 0 : nl + 1;
        }
        for (const char* pattern : patterns) {
            auto m = make(pattern);
            ASSERT_TRUE(m);
            ScanContext ctx;
            std::string error;
            Lines got;
            bool valid = true;
            size_t rest = 0;
            auto block = exactCopy(text);
            ASSERT_TRUE(m->scanLines(
                TextKind::Utf8, ctx, {block.get(), text.size()},
                [&](size_t s, size_t e) {
                    got.emplace_back(s, e);
                    return true;
                },
                error, &rest, &valid));
            std::string context = std::string(pattern) + ", round " + std::to_string(round);
            ASSERT_EQ(valid, good == text.size()) << context;
            Lines expected = eachLine(*m, text.substr(0, good));
            if (valid) {
                EXPECT_EQ(got, expected) << context;
                continue;
            }
            // The caller searches from rest up to good as UTF-8.
            Lines before;
            for (const auto& line : expected)
                if (line.first < rest)
                    before.push_back(line);
            EXPECT_EQ(got, before) << context << " rest " << rest << " good " << good;
        }
    }
}

} // namespace
