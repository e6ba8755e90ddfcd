// The word test at a position of Shift-JIS and EUC-JP text, read from the
// bytes just around it, agrees with decoding the line from its start; classes
// built from the word characters hold exactly them.
#include "talvo-grep/regex.h"
#include "talvo-grep/words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

using talvo::grep::Encoding;
using talvo::grep::TextKind;

TEST(WordCharacters, BeforeAndAfterAgreeWithTheWalkFromTheLineStart) {
    // ASCII word and other bytes, lead bytes that are also trail bytes
    // (0x83 0x5C is "ソ"), trail-only bytes, half-width kana, invalid bytes.
    const unsigned char alphabet[] = {0x41, 0x5F, 0x20, 0x5C, 0x5B, 0x75, 0x40, 0x7E, 0x80,
                                      0x81, 0x83, 0x8E, 0x8F, 0x9F, 0xA0, 0xA1, 0xA4, 0xA5,
                                      0xB0, 0xDE, 0xDF, 0xE0, 0xEF, 0xFC, 0xFE};
    std::mt19937 random(11);
    for (TextKind kind : {TextKind::ShiftJis, TextKind::EucJp}) {
        const Encoding& enc = Encoding::get(kind);
        for (int round = 0; round < 3000; ++round) {
            std::string line(1 + random() % 20, '\0');
            for (char& c : line)
                c = static_cast<char>(alphabet[random() % sizeof alphabet]);
            auto p = reinterpret_cast<const unsigned char*>(line.data());
            auto end = p + line.size();
            bool previousWord = false;
            for (size_t i = 0; i <= line.size();) {
                const char* name = kind == TextKind::ShiftJis ? "Shift-JIS" : "EUC-JP";
                ASSERT_EQ(talvo::grep::wordCharBefore(kind, line, i), previousWord)
                    << name << " offset " << i << ", round " << round;
                if (i == line.size()) {
                    ASSERT_FALSE(talvo::grep::wordCharAfter(kind, line, i));
                    break;
                }
                size_t n = enc.charLength(p + i, end);
                previousWord = talvo::grep::isWordChar(enc.decode(p + i, n));
                ASSERT_EQ(talvo::grep::wordCharAfter(kind, line, i), previousWord)
                    << name << " offset " << i << ", round " << round;
                i += n;
            }
        }
    }
}

TEST(WordCharacters, Utf8NeighboursAndBrokenSequences) {
    using talvo::grep::wordCharAfter;
    using talvo::grep::wordCharBefore;
    const std::string text = "ア、x\xE3\x81"; // a cut sequence at the end
    EXPECT_TRUE(wordCharBefore(TextKind::Utf8, text, 3));
    EXPECT_FALSE(wordCharAfter(TextKind::Utf8, text, 3));
    EXPECT_FALSE(wordCharBefore(TextKind::Utf8, text, 6));
    EXPECT_TRUE(wordCharAfter(TextKind::Utf8, text, 6));
    EXPECT_FALSE(wordCharAfter(TextKind::Bytes, text, 7));
    EXPECT_FALSE(wordCharBefore(TextKind::Bytes, text, text.size()));
}

TEST(WordCharacters, ClassesHoldTheWordCharactersExactly) {
    using talvo::grep::CharClass;
    using talvo::grep::classRanges;
    using talvo::grep::CodeRange;
    auto holds = [](const std::vector<CodeRange>& set, char32_t c) {
        auto it = std::upper_bound(set.begin(), set.end(), c,
                                   [](char32_t v, const CodeRange& r) { return v < r.lo; });
        return it != set.begin() && c <= (it - 1)->hi;
    };
    CharClass word, notWord, notNotWord;
    word.word = true;
    notWord.notWord = true;
    notNotWord.notWord = true;
    notNotWord.negated = true;
    auto w = classRanges(word), nw = classRanges(notWord), nnw = classRanges(notNotWord);
    for (char32_t c = 0; c < 0x30000; ++c) {
        bool isWord = talvo::grep::isWordChar(c);
        bool plain = c != '\n' && (c < 0xD800 || c > 0xDFFF);
        ASSERT_EQ(holds(w, c), isWord) << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(holds(nnw, c), isWord) << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(holds(nw, c), plain && !isWord) << std::hex << static_cast<unsigned>(c);
    }
}

} // namespace
