// The grep program's Japanese-text flags, run on files in UTF-8, Shift-JIS
// and EUC-JP: equivalences alone and in sums, half-width voiced katakana,
// classes, matches across lines, ignored blanks, fuzzy search, marks and
// matching parts. Output is always UTF-8, so one expectation serves every
// encoding.
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

struct Encoded {
    const char* name;
    std::string bytes;
};

std::vector<Encoded> inEveryEncoding(const std::string& utf8) {
    return {{"utf8", utf8}, {"sjis", convert(utf8, "CP932")}, {"eucjp", convert(utf8, "EUC-JP")}};
}

class JapaneseSearch : public ::testing::Test {
protected:
    // Runs program args... PATTERN FILE on text in each encoding and expects
    // the same output from all of them.
    void expectEverywhere(const std::string& text, const std::string& program,
                          const std::vector<std::string>& flags, const std::string& pattern,
                          const std::string& expected, int status = 0,
                          bool flagsAfterFiles = false) {
        for (const Encoded& e : inEveryEncoding(text)) {
            std::string file = std::string(e.name) + ".txt";
            g_.write(file, e.bytes);
            std::vector<std::string> args{pattern, file};
            args.insert(flagsAfterFiles ? args.end() : args.begin(), flags.begin(), flags.end());
            RunResult r = g_.run(program, args);
            EXPECT_EQ(r.status, status) << e.name << " " << pattern << "\n" << r.err;
            EXPECT_EQ(r.out, expected) << e.name << " " << program << " " << pattern;
        }
    }

    GrepDir g_;
};

const std::string kKatakana = joinLines({
    "このファイルを開く", // 1
    "ふぁいるの名前",     // 2
    "ﾌｧｲﾙ一覧",           // 3
    "ユーザー設定",       // 4
    "ユーザ‐名",          // 5
    "ヴァイオリン教室",   // 6
    "ﾊﾞｲｵﾘﾝの弦",         // 7
    "ハイオク満タン",     // 8
    "ＡＢＣ１２３",       // 9
});

} // namespace

TEST_F(JapaneseSearch, EachEquivalenceAlone) {
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "ﾌｧｲﾙ",
                     "1:このファイルを開く\n3:ﾌｧｲﾙ一覧\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "ABC123", "9:ＡＢＣ１２３\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j2"}, "ファイル",
                     "1:このファイルを開く\n2:ふぁいるの名前\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j4"}, "ユーザー",
                     "4:ユーザー設定\n5:ユーザ‐名\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j8"}, "バイオリン", "6:ヴァイオリン教室\n");
    expectEverywhere(kKatakana, "jgrep.exe", {"-n", "-j"}, "バイオリン", "7:ﾊﾞｲｵﾘﾝの弦\n", 0, true);
    // Without the flag each finds only its own spelling.
    expectEverywhere(kKatakana, "wgrep.com", {"-n"}, "ﾌｧｲﾙ", "3:ﾌｧｲﾙ一覧\n");
}

TEST_F(JapaneseSearch, SumsOfEquivalences) {
    // The acceptance case: half-width katakana finds katakana and hiragana.
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j3"}, "ﾌｧｲﾙ",
                     "1:このファイルを開く\n2:ふぁいるの名前\n3:ﾌｧｲﾙ一覧\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j15"}, "ﾊﾞｲｵﾘﾝ",
                     "6:ヴァイオリン教室\n7:ﾊﾞｲｵﾘﾝの弦\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j15"}, "ゆーざ-",
                     "4:ユーザー設定\n5:ユーザ‐名\n");
    expectEverywhere(kKatakana, "dgrep.exe", {"-n", "-J7"}, "ふぁいる",
                     "1:このファイルを開く\n2:ふぁいるの名前\n3:ﾌｧｲﾙ一覧\n");
    expectEverywhere(kKatakana, "dgrep.exe", {"-n", "-J7"}, "ゆーざ-",
                     "4:ユーザー設定\n5:ユーザ‐名\n");
}

TEST_F(JapaneseSearch, HalfWidthVoicedKatakanaIsOneCharacter) {
    // In the text: "ﾊﾞ" is "バ", and "ハ" does not find its first half.
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "バイオリン", "7:ﾊﾞｲｵﾘﾝの弦\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "ハイ", "8:ハイオク満タン\n");
    // In the pattern.
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "ﾊﾞｲｵ", "7:ﾊﾞｲｵﾘﾝの弦\n");
}

TEST_F(JapaneseSearch, ClassesAndEquivalencesTogether) {
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j1"}, "フ[ァィ]イ.",
                     "1:このファイルを開く\n3:ﾌｧｲﾙ一覧\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-n", "-j2"}, "[ふぶ]ァイル",
                     "1:このファイルを開く\n2:ふぁいるの名前\n");
    // Taken literally with -r, the brackets are characters.
    expectEverywhere("[ふぁ]\nフ\n", "wgrep.com", {"-n", "-r", "-j2"}, "[ファ]", "1:[ふぁ]\n");
}

TEST_F(JapaneseSearch, AndSearchAndInvertWithEquivalences) {
    expectEverywhere(kKatakana, "wgrep.com", {"-a", "-j2"}, "の ファイル",
                     "このファイルを開く\nふぁいるの名前\n");
    expectEverywhere(kKatakana, "wgrep.com", {"-c", "-v", "-j3"}, "ファイル", "6\n");
}

TEST_F(JapaneseSearch, MatchesAcrossLineBreaks) {
    const std::string text = joinLines({"一行目", "このファ", "イルは", "三行", "最後のフ"}) +
                             "ァイル"; // no final line end
    const std::string expected = "2:このファ\nイルは\n5:最後のフ\nァイル\n";
    expectEverywhere(text, "cgrep.exe", {"-n", "-F"}, "ファイル", expected);
    expectEverywhere(text, "wgrep.com", {"-n", "-s1"}, "ファイル", expected);
    expectEverywhere(text, "ygrep.exe", {"-n", "-W"}, "ファイル", expected);
    expectEverywhere(text, "cgrep.exe", {"-c", "-F"}, "ファイル", "2\n");
    // Lines that no match touches.
    expectEverywhere(text, "cgrep.exe", {"-n", "-v", "-F"}, "ファイル", "1:一行目\n4:三行\n");
    // Without the flag nothing matches.
    expectEverywhere(text, "cgrep.exe", {"-n"}, "ファイル", "", 1);
}

TEST_F(JapaneseSearch, MatchesAcrossCrLfAndSharedLines) {
    const std::string text = "設定ファ\r\nイルと検索\r\nファイル\r\n";
    // The second match starts on the line where the first one ends: every
    // line once, under the first line's number.
    expectEverywhere(text, "cgrep.exe", {"-n", "-F"}, "ファイル|検索ファ",
                     "1:設定ファ\r\nイルと検索\r\nファイル\r\n");
    expectEverywhere(text, "ygrep.exe", {"-n", "-p", "-W"}, "ファイル",
                     "1:ファ\r\nイル\n3:ファイル\n");
}

TEST_F(JapaneseSearch, TwoLinesAtMostForYgrep) {
    const std::string text = joinLines({"ab", "c", "de"});
    expectEverywhere(text, "cgrep.exe", {"-n", "-F"}, "abcde", "1:ab\nc\nde\n");
    expectEverywhere(text, "ygrep.exe", {"-n", "-W"}, "abcde", "", 1);
    expectEverywhere(text, "ygrep.exe", {"-n", "-W"}, "abc", "1:ab\nc\n");
}

TEST_F(JapaneseSearch, BlanksTabsAndFullWidthSpacesIgnored) {
    const std::string text = joinLines({"検索　対象", "検 索\t対象", "検\t索対象", "検索", "対象"});
    expectEverywhere(text, "wgrep.com", {"-n", "-s4"}, "検索対象", "1:検索　対象\n");
    expectEverywhere(text, "wgrep.com", {"-n", "-s2"}, "検索対象", "3:検\t索対象\n");
    expectEverywhere(text, "wgrep.com", {"-n", "-s6"}, "検索対象",
                     "1:検索　対象\n2:検 索\t対象\n3:検\t索対象\n");
    expectEverywhere(text, "wgrep.com", {"-n", "-s7"}, "検索対象",
                     "1:検索　対象\n2:検 索\t対象\n3:検\t索対象\n4:検索\n対象\n");
    expectEverywhere(text, "cgrep.exe", {"-n", "-W"}, "検索対象",
                     "1:検索　対象\n2:検 索\t対象\n3:検\t索対象\n4:検索\n対象\n");
    // Blanks in the pattern are not compared either.
    expectEverywhere(text, "cgrep.exe", {"-c", "-W"}, "検 索 対 象", "4\n");
}

TEST_F(JapaneseSearch, FuzzySearchFindsNotationVariants) {
    const std::string text =
        joinLines({"ヴァイオリン", "ﾊﾞｲｵﾘﾝ", "ばいおりん", "フアイル", "ＦＩＬＥ", "カイオリン"});
    expectEverywhere(text, "cgrep.exe", {"-n", "-Z"}, "ばいおりん",
                     "1:ヴァイオリン\n2:ﾊﾞｲｵﾘﾝ\n3:ばいおりん\n");
    expectEverywhere(text, "izgrep.exe", {"-n", "-z"}, "ばいおりん",
                     "1:ヴァイオリン\n2:ﾊﾞｲｵﾘﾝ\n3:ばいおりん\n");
    // Small kana as full-size ones; case and width of Latin letters.
    expectEverywhere(text, "cgrep.exe", {"-n", "-Z"}, "ふぁいる", "4:フアイル\n");
    expectEverywhere(text, "izgrep.exe", {"-n", "-z"}, "file", "5:ＦＩＬＥ\n");
    // Voiced and unvoiced kana stay distinct.
    expectEverywhere(text, "cgrep.exe", {"-c", "-Z"}, "かいおりん", "1\n");
}

TEST_F(JapaneseSearch, FuzzySearchNeverTakesHalfOfAVoicedHalfWidthPair) {
    // "ﾊﾞ" is "バ": its "ﾊ" alone is no "は", also at the pattern's end, where
    // the Shift-JIS search runs over the list of the pattern's spellings.
    const std::string text = joinLines({"ﾌｧｲﾙﾊﾞ", "ﾌｧｲﾙﾊ", "ファイルは", "ﾌﾞｧｲﾙは"});
    expectEverywhere(text, "cgrep.exe", {"-n", "-Z"}, "ふぁいるは", "2:ﾌｧｲﾙﾊ\n3:ファイルは\n");
    expectEverywhere(text, "cgrep.exe", {"-n", "-Z"}, "ふぁいるば", "1:ﾌｧｲﾙﾊﾞ\n");
}

TEST_F(JapaneseSearch, MarksAroundMatchesAtDoubleByteCharacters) {
    const std::string text = joinLines({"ソースとアイテムのソース", "ASCII only"});
    expectEverywhere(text, "cgrep.exe", {"-M"}, "ソース", "【ソース】とアイテムの【ソース】\n");
    expectEverywhere(text, "ygrep.exe", {"-M", "-n"}, "アイ", "1:ソースと【アイ】テムのソース\n");
    expectEverywhere(text, "ygrep.exe", {"-M"}, "only$", "ASCII 【only】\n");
    // A byte of a double-byte character is never marked.
    expectEverywhere(text, "cgrep.exe", {"-M"}, "[A-Z]+", "【ASCII】 only\n");
    // JGREP: the user's marks, flags after the file.
    for (const Encoded& e : inEveryEncoding(text)) {
        g_.write("j.txt", e.bytes);
        RunResult r = g_.run("jgrep.exe", {"ス", "j.txt", "-\\/<</>>"});
        EXPECT_EQ(r.out, "ソー<<ス>>とアイテムのソー<<ス>>\n") << e.name << r.err;
        r = g_.run("jgrep.exe", {"テム", "j.txt", "-\\/【/】", "-j"});
        EXPECT_EQ(r.out, "ソースとアイ【テム】のソース\n") << e.name << r.err;
    }
}

TEST_F(JapaneseSearch, MarksWithEquivalencesShowTheTextAsItStands) {
    expectEverywhere(kKatakana, "cgrep.exe", {"-M", "-Z"}, "バイオリン",
                     "【ヴァイオリン】教室\n【ﾊﾞｲｵﾘﾝ】の弦\n");
}

TEST_F(JapaneseSearch, OnlyTheMatchingPartsOneALine) {
    const std::string text = joinLines({"型番12と345とファイル6789", "なし"});
    expectEverywhere(text, "ygrep.exe", {"-p"}, "[0-9]+", "12\n345\n6789\n");
    expectEverywhere(text, "izgrep.exe", {"-m", "-n"}, "[0-9]{3,}", "1:345\n1:6789\n");
    expectEverywhere(text, "izgrep.exe", {"-m", "-z"}, "ふぁいる", "ファイル\n");
}

TEST(JapaneseFlags, BadSumsAndMarksAreRefused) {
    GrepDir g;
    g.write("a.txt", "x\n");
    for (auto [program, flag] : std::vector<std::pair<const char*, const char*>>{
             {"wgrep.com", "-j16"},
             {"dgrep.exe", "-J8"},
             {"wgrep.com", "-s8"},
         }) {
        RunResult r = g.run(program, {flag, "x", "a.txt"});
        EXPECT_EQ(r.status, 2) << program << " " << flag;
        EXPECT_NE(r.err.find("sum"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    RunResult r = g.run("jgrep.exe", {"x", "a.txt", "-\\/【"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("OPEN/CLOSE"), std::string::npos) << r.err;
}

TEST(JapaneseFlags, PatternErrorsNameThePositionAsTyped) {
    GrepDir g;
    g.write("a.txt", "x\n");
    RunResult r = g.run("wgrep.com", {"-j15", "ﾊﾞｲ(ｵ", "a.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"ﾊﾞｲ(ｵ\" at position 4"), std::string::npos) << r.err;
}

TEST(JapaneseFlags, HelpListsTheFlagsAndWhatFuzzySearchFolds) {
    GrepDir g;
    for (const char* program : {"cgrep.exe", "dgrep.exe", "izgrep.exe", "wgrep.com"}) {
        RunResult r = g.run(program, {"--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("ァ=ア"), std::string::npos) << program;
        EXPECT_NE(r.out.find("ﾊﾞ=バ"), std::string::npos) << program;
    }
    RunResult r = g.run("cgrep.exe", {"--help"});
    for (const char* flag : {"-F", "-W", "-M", "-Z"}) {
        size_t at = r.out.find(std::string("\n  ") + flag + " ");
        ASSERT_NE(at, std::string::npos) << flag;
        size_t end = r.out.find("\n  -", at + 1);
        EXPECT_EQ(r.out.substr(at, end - at).find("not available"), std::string::npos) << flag;
    }
}
