// Character equivalences: each option alone and in sums, half-width voiced
// katakana, classes, fuzzy search. Rewritten patterns are compiled with
// PCRE2 and run over sample texts.
#include <gtest/gtest.h>

#include <vector>

#include "platform/codepage.h"
#include "talvo-grep/ext/equivalence.h"
#include "tests/talvo-grep-ext/pcre_match.h"

using talvo::grep::ext::Blanks;
using talvo::grep::ext::Equivalences;
using talvo::grep::ext::equivalencesFromWeights;
using talvo::grep::ext::foldForComparison;
using talvo::grep::ext::fuzzy;
using talvo::grep::ext::rewritePattern;
using talvo::grep::ext::RewriteTarget;
using talvo::test::CompiledRegex;

namespace {

// What the rewritten pattern matches first in text ("" when nothing).
std::string found(std::string_view pattern, std::string_view text, const Equivalences& eq,
                  bool regex = false, const RewriteTarget& target = {}) {
    const std::string rewritten = rewritePattern(pattern, regex, eq, Blanks{}, target);
    CompiledRegex re(rewritten);
    EXPECT_TRUE(re.ok()) << re.error();
    return re.find(text).value_or("");
}

Equivalences width() {
    return Equivalences{.width = true};
}
Equivalences kana() {
    return Equivalences{.kana = true};
}

} // namespace

TEST(Equivalence, WidthFoldsLatinDigitsAndSigns) {
    EXPECT_EQ(found("ABC-12", "x ＡＢＣ－１２ y", width()), "ＡＢＣ－１２");
    EXPECT_EQ(found("ＡＢＣ", "xABCx", width()), "ABC");
    EXPECT_EQ(found("a.b", "a．b", width()), "a．b");
    EXPECT_EQ(found("a b", "a　b", width()), "a　b");
    EXPECT_EQ(found("ABC", "ａｂｃ", width()), "") << "width alone keeps case";
}

TEST(Equivalence, WidthFoldsKatakanaBothWays) {
    EXPECT_EQ(found("ﾌｧｲﾙ", "このファイルを", width()), "ファイル");
    EXPECT_EQ(found("ファイル", "このﾌｧｲﾙを", width()), "ﾌｧｲﾙ");
    EXPECT_EQ(found("｢ｶﾅ｣｡", "「カナ」。", width()), "「カナ」。");
    EXPECT_EQ(found("ファイル", "ふぁいる", width()), "");
}

TEST(Equivalence, HalfWidthVoicedPairIsOneCharacter) {
    // In the pattern.
    EXPECT_EQ(found("ﾊﾞｲｵﾘﾝ", "バイオリン", width()), "バイオリン");
    EXPECT_EQ(found("ﾊﾟﾝ", "パン", width()), "パン");
    EXPECT_EQ(found("ｳﾞ", "ヴ", width()), "ヴ");
    // In the text: the match covers both half-width characters.
    EXPECT_EQ(found("バイオリン", "ﾊﾞｲｵﾘﾝ", width()), "ﾊﾞｲｵﾘﾝ");
    EXPECT_EQ(found("ガス", "ｶﾞｽ", width()), "ｶﾞｽ");
    // An unvoiced character does not find the base of a voiced pair.
    EXPECT_EQ(found("ハン", "ﾊﾞﾝ ﾊﾟﾝ", width()), "");
    EXPECT_EQ(found("ハン", "ﾊﾞﾝ ﾊﾝ", width()), "ﾊﾝ");
    // A pattern still finds what it finds without equivalences.
    EXPECT_EQ(found("ﾊ", "ﾊﾞ", width()), "ﾊ");
}

TEST(Equivalence, KanaFoldsHiraganaAndKatakana) {
    EXPECT_EQ(found("ふぁいる", "ファイル", kana()), "ファイル");
    EXPECT_EQ(found("ファイル", "ふぁいる", kana()), "ふぁいる");
    EXPECT_EQ(found("ファイル", "ﾌｧｲﾙ", kana()), "") << "kana alone keeps width";
    EXPECT_EQ(found("ゝ", "ヽ", kana()), "ヽ");
}

TEST(Equivalence, LongVowelFamily) {
    const Equivalences eq{.longVowel = true};
    for (const char* dash : {"ー", "－", "-", "ｰ", "―", "‐", "−"}) {
        const std::string text = std::string("デ") + dash + "タ";
        EXPECT_EQ(found("データ", text, eq), text) << dash;
        EXPECT_EQ(found(text, "データ", eq), "データ") << dash;
    }
    EXPECT_EQ(found("データ", "デ~タ", eq), "");
}

TEST(Equivalence, BRowAndVRow) {
    const Equivalences eq{.bRowVRow = true};
    EXPECT_EQ(found("バイオリン", "ヴァイオリン", eq), "ヴァイオリン");
    EXPECT_EQ(found("ヴァイオリン", "バイオリン", eq), "バイオリン");
    EXPECT_EQ(found("ビデオ", "ヴィデオ", eq), "ヴィデオ");
    EXPECT_EQ(found("ベール", "ヴェール", eq), "ヴェール");
    EXPECT_EQ(found("ボルテージ", "ヴォルテージ", eq), "ヴォルテージ");
    EXPECT_EQ(found("ブ", "ヴ", eq), "ヴ");
    // "ブ" is not the first half of "ヴァ" (which is "バ").
    EXPECT_EQ(found("ブイ", "ヴァイ", eq), "");
    EXPECT_EQ(found("ばいおりん", "ヴァイオリン", eq), "") << "B-row alone keeps kana";
}

// Every spelling in a group finds every other one as a whole match, so the
// classes hold when options are combined.
TEST(Equivalence, CombinedOptionsAreTransitive) {
    struct Group {
        int weights;
        std::vector<std::string> spellings;
    };
    const std::vector<Group> groups = {
        {3, {"ﾌｧｲﾙ", "ファイル", "ふぁいる"}},
        {3, {"ﾊﾞ", "バ", "ば"}},
        {15, {"ﾊﾞ", "バ", "ば", "ヴァ", "ゔぁ", "ｳﾞｧ"}},
        {15, {"ﾌﾞ", "ブ", "ぶ", "ヴ", "ゔ", "ｳﾞ"}},
        {15, {"ﾃﾞｰﾀ", "データ", "でーた", "デ－タ", "で-た", "ﾃﾞ―ﾀ"}},
        {7, {"ﾃﾞｰﾀ", "でーた", "デ－タ", "ﾃﾞ-ﾀ"}},
        {9, {"ｳﾞｨ", "ヴィ", "ビ", "ﾋﾞ"}},
    };
    for (const Group& g : groups) {
        const Equivalences eq = equivalencesFromWeights(g.weights);
        for (const std::string& a : g.spellings)
            for (const std::string& b : g.spellings)
                EXPECT_EQ(found(a, "<" + b + ">", eq), b)
                    << "weights " << g.weights << ": " << a << " finds " << b;
        for (const std::string& a : g.spellings)
            EXPECT_EQ(foldForComparison(talvo::grep::ext::decodeUtf8(a), eq),
                      foldForComparison(talvo::grep::ext::decodeUtf8(g.spellings[0]), eq));
    }
}

TEST(Equivalence, WeightsSelectTheirEquivalenceOnly) {
    EXPECT_EQ(found("ﾌｧｲﾙ", "ふぁいる", equivalencesFromWeights(1)), "");
    EXPECT_EQ(found("ﾌｧｲﾙ", "ふぁいる", equivalencesFromWeights(3)), "ふぁいる");
    EXPECT_EQ(found("データ", "デ-タ", equivalencesFromWeights(3)), "");
    EXPECT_EQ(found("データ", "デ-タ", equivalencesFromWeights(4)), "デ-タ");
    EXPECT_EQ(found("バ", "ヴァ", equivalencesFromWeights(7)), "");
    EXPECT_EQ(found("ﾊﾞ", "ゔぁ", equivalencesFromWeights(15)), "ゔぁ");
    EXPECT_EQ(found("ファイル", "ふぁいる", Equivalences{}), "");
}

TEST(Equivalence, RegexClassesTakeEquivalentsToo) {
    const Equivalences wk = equivalencesFromWeights(3);
    EXPECT_EQ(found("[ァ-ン]+る", "ふぁいる", kana(), true), "ふぁいる");
    EXPECT_EQ(found("[0-9]+個", "全部で１２個", width(), true), "１２個");
    EXPECT_EQ(found("[バビ]ー", "ﾋﾞｰﾙ", wk, true), "ﾋﾞｰ");
    EXPECT_EQ(found("[^ア]い", "あい", kana(), true), "");
    EXPECT_EQ(found("[^ア]い", "かい", kana(), true), "かい");
    EXPECT_EQ(found("[a-c]+", "ＡＢＣ", Equivalences{.width = true, .caseFold = true}, true),
              "ＡＢＣ");
    EXPECT_EQ(found("[]ア]+", "]あ", kana(), true), "]あ");
    EXPECT_EQ(found("[ア-]+", "-あ", kana(), true), "-あ");
}

TEST(Equivalence, QuantifierTakesEverySpelling) {
    EXPECT_EQ(found("バ+", "xﾊﾞバﾊﾞy", width(), true), "ﾊﾞバﾊﾞ");
    EXPECT_EQ(found("バ{2}", "ﾊﾞバ", width(), true), "ﾊﾞバ");
    EXPECT_EQ(found("ﾊﾞ?イ", "ハイ", width(), true), "ハイ");
    // The quantifier keeps applying to the last character only.
    EXPECT_EQ(found("ﾌｧ+", "ファァァ", width(), true), "ファァァ");
    EXPECT_EQ(found("(ふぁ|いる){2}", "ファイル", kana(), true), "ファイル");
}

TEST(Equivalence, RegexConstructsKeepTheirMeaning) {
    const Equivalences eq = equivalencesFromWeights(15);
    EXPECT_EQ(found("^ファ", "ふぁ", eq, true), "ふぁ");
    EXPECT_EQ(found("^ファ", "xふぁ", eq, true), "");
    EXPECT_EQ(found("イル$", "ﾌｧｲﾙ", eq, true), "ｲﾙ");
    EXPECT_EQ(found("\\d+ア", "12あ", eq, true), "12あ");
    EXPECT_EQ(found("a\\.b", "a．b", eq, true), "a．b");
    EXPECT_EQ(found("a\\.b", "axb", eq, true), "");
    EXPECT_EQ(found("\\x{30A2}", "あ", eq, true), "あ");
    EXPECT_EQ(found("\\Qア.\\E", "あ.", eq, true), "あ.");
    EXPECT_EQ(found("\\Qア.\\E", "あx", eq, true), "");
    EXPECT_EQ(found("(ア)\\1", "ああ", eq, true), "ああ");
    EXPECT_EQ(found("(?<=バ)イ", "バイ", eq, true), "イ");
    EXPECT_EQ(found("ア(?=イ)", "あい", eq, true), "あ");
    EXPECT_EQ(found("(?i)talvo", "TALVO", Equivalences{}, true), "TALVO");
    EXPECT_EQ(found("a|ﾌｧ", "ふぁ", eq, true), "ふぁ");
    EXPECT_EQ(found("x(?#note)y", "xy", eq, true), "xy");
}

TEST(Equivalence, LiteralPatternHasNoMetacharacters) {
    const Equivalences eq = equivalencesFromWeights(15);
    EXPECT_EQ(found("a.b*(c)", "a.b*(c)", eq), "a.b*(c)");
    EXPECT_EQ(found("a.b", "axb", eq), "");
    EXPECT_EQ(found("[ア]", "[あ]", eq), "[あ]");
    EXPECT_EQ(found("\\Q|", "\\Q|", eq), "\\Q|");
    EXPECT_EQ(found("1-2", "１－２", eq), "１－２");
}

TEST(Equivalence, FuzzyFindsNotationVariants) {
    const Equivalences f = fuzzy();
    EXPECT_EQ(found("ばいおりん", "名器ヴァイオリン", f), "ヴァイオリン");
    EXPECT_EQ(found("ばいおりん", "ﾊﾞｲｵﾘﾝ", f), "ﾊﾞｲｵﾘﾝ");
    EXPECT_EQ(found("きつて", "切手はキッテ", f), "キッテ");
    EXPECT_EQ(found("ファイル", "フアイル", f), "フアイル");
    EXPECT_EQ(found("ヵ所", "カ所", f), "カ所");
    EXPECT_EQ(found("talvo", "ＴＡＬＶＯ", f), "ＴＡＬＶＯ");
    EXPECT_EQ(found("サーバ", "さ-ば", f), "さ-ば");
    // Voiced and unvoiced kana stay apart.
    EXPECT_EQ(found("かす", "ガス", f), "");
}

// A pattern never finds less after rewriting, and whatever compiles still
// compiles.
TEST(Equivalence, RewriteNeverLosesMatchesOfThePattern) {
    const std::vector<std::string> patterns = {
        "a{2,3}",
        "a{,3}",
        "{x}",
        "x{",
        "(?i)abc",
        "(?<n>ア)\\k<n>",
        "(?:a|b)*c",
        "[]a]",
        "[^]a]",
        "[a-]",
        "[-a]",
        "[\\]]",
        "[[:alpha:]ア]",
        "\\p{Katakana}+",
        "\\pL",
        "(a)?(?(1)b|c)",
        "\\Qア*\\E+",
        "ア(?!イ)",
        "$",
        "^",
        "",
        "\\\\",
        "\\b\\w+\\b",
        "a\\Kb",
        "[\\x{3041}-\\x{3096}]",
        "\\x41",
        "\\t",
        "(?|(a)|(b))",
        "(?>ab|a)b",
        "ﾊﾞ*",
        "ｳﾞｧ",
        "[ﾊﾞ]",
        ".\\R.",
        "\\N{U+30A2}",
        "(?<!ア)イ",
    };
    const std::vector<std::string> texts = {"aaa",  "{x}",    "x{",     "ABC", "ああ", "]",
                                            "-a",   "x アイ", "ab",     "c",   "\t",   "あい",
                                            "ﾊﾞﾊﾞ", "ｳﾞｧ",    "a\r\nb", "イ",  "bb"};
    for (const Equivalences& eq : {Equivalences{}, width(), fuzzy(), equivalencesFromWeights(15)}) {
        for (const std::string& p : patterns) {
            CompiledRegex plain(p);
            if (!plain.ok())
                continue;
            CompiledRegex rewritten(rewritePattern(p, true, eq, Blanks{}));
            ASSERT_TRUE(rewritten.ok()) << p << ": " << rewritten.error();
            for (const std::string& t : texts) {
                if (plain.find(t)) {
                    EXPECT_TRUE(rewritten.find(t)) << p << " on " << t;
                }
            }
        }
    }
}

TEST(Equivalence, BrokenPatternsStayBroken) {
    for (const char* p : {"[abc", "(ア", "ア)", "\\", "a{2", "*a", "(?<=a+)b"}) {
        const std::string rewritten = rewritePattern(p, true, fuzzy(), Blanks{});
        CompiledRegex plain(p);
        CompiledRegex re(rewritten);
        EXPECT_EQ(plain.ok(), re.ok()) << p << " -> " << rewritten;
    }
}

TEST(Equivalence, MatchPositionsAreInTheOriginalText) {
    const std::string text = "xxﾊﾞｲｵﾘﾝyy";
    CompiledRegex re(rewritePattern("バイオリン", false, width(), Blanks{}));
    const auto span = re.span(text);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, 2u);
    EXPECT_EQ(span->second, text.size() - 2);
}

TEST(Equivalence, SpellingsTheTargetCannotHoldAreLeftOut) {
    RewriteTarget cp932;
    cp932.representable = [](char32_t c) {
        return talvo::platform::representableInCp932(
            talvo::grep::ext::encodeUtf8(std::u32string(1, c)));
    };
    const Equivalences eq = equivalencesFromWeights(15);
    const std::string rewritten = rewritePattern("ブ", false, eq, Blanks{}, cp932);
    ASSERT_TRUE(talvo::platform::utf8ToCp932(rewritten).has_value()) << rewritten;
    EXPECT_EQ(found("ブ", "ヴ", eq, false, cp932), "ヴ");
    EXPECT_EQ(found("ブ", "ゔ", eq, false, cp932), "");
    // The pattern's own spelling is kept whatever the target says.
    EXPECT_EQ(found("ゔ", "ゔ", eq, false, cp932), "ゔ");
}

TEST(Equivalence, WithoutLookaroundTheRewriteFindsASuperset) {
    RewriteTarget prefilter;
    prefilter.lookaround = false;
    const std::string rewritten = rewritePattern("ハン", false, width(), Blanks{}, prefilter);
    EXPECT_EQ(rewritten.find("(?!"), std::string::npos) << rewritten;
    EXPECT_EQ(found("ハ", "ﾊﾞ", width(), false, prefilter), "ﾊ");
    EXPECT_EQ(found("ハ", "ﾊﾞ", width(), false), "");
}
