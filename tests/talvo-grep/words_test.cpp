// Word search and the word tests \b \B \< \> \w \W: one definition of a word
// character, the same lines in UTF-8, Shift-JIS, EUC-JP and UTF-16, and the
// whole-word rule of GNU grep (every alternative and shorter match tried).
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

class Words : public ::testing::Test {
protected:
    // Writes text in every encoding that holds it and expects the same
    // output of "cgrep.exe args... -e pattern file" for each. One run
    // searches them all: each line of its output starts with the file's name.
    void expectInEveryEncoding(const std::string& text, std::vector<std::string> args,
                               const std::string& pattern, const std::string& want) {
        struct {
            const char* file;
            const char* iconvName;
            const char* bom;
        } encodings[] = {{"u8.txt", "UTF-8", ""},
                         {"sjis.txt", "CP932", ""},
                         {"euc.txt", "EUC-JP", ""},
                         {"le.txt", "UTF-16LE", "\xFF\xFE"}};
        args.insert(args.end(), {"-e", pattern});
        std::map<std::string, std::string> got;
        for (const auto& e : encodings) {
            auto bytes = tryConvert(text, e.iconvName);
            if (!bytes)
                continue;
            g.write(e.file, e.bom + *bytes);
            args.push_back(e.file);
            got[e.file];
        }
        RunResult r = g.run("cgrep.exe", args);
        std::istringstream out(r.out);
        std::string line;
        while (std::getline(out, line)) {
            size_t colon = line.find(':');
            ASSERT_NE(colon, std::string::npos) << pattern << "\n" << r.out;
            got[line.substr(0, colon)] += line.substr(colon + 1) + "\n";
        }
        for (const auto& [file, lines] : got)
            EXPECT_EQ(lines, want) << file << " " << pattern << " " << r.err;
    }
    GrepDir g;
};

TEST_F(Words, CharacterAfterAMatchIsReadWhole) {
    // "、" after the match once was read from a cut four-byte window.
    expectInEveryEncoding("ファイル、を開く\n", {"-c", "-w"}, "ファイル", "1\n");
    expectInEveryEncoding("ファイルを開く\n", {"-c", "-w"}, "ファイル", "0\n");
    expectInEveryEncoding("データファイル\n「ファイル」\n", {"-n", "-w"}, "ファイル",
                          "2:「ファイル」\n");
    // The second place in a line counts when the first is inside a word.
    expectInEveryEncoding("データファイルとファイル\nファイルのデータファイル、\n", {"-c", "-w"},
                          "ファイル", "0\n");
    expectInEveryEncoding("データファイル・ファイル\nファイルデータ ファイル\n", {"-c", "-w"},
                          "ファイル", "2\n");
    // "ア" is 83 41 in Shift-JIS: its second byte is no "A" of the text.
    expectInEveryEncoding("ア\nアA\nア A\n", {"-n", "-w"}, "A", "3:ア A\n");
}

TEST_F(Words, FullWidthAndHalfWidthLettersMakeWords) {
    expectInEveryEncoding("ＡＢＣ\n", {"-c", "-w"}, "Ａ", "0\n");
    expectInEveryEncoding("Ａ　ＢＣ\n", {"-c", "-w"}, "Ａ", "1\n");
    // Half-width katakana alone would read as EUC-JP kanji as well.
    expectInEveryEncoding("ｶﾀｶﾅ、半角のカタカナ\n", {"-c", "-w"}, "ｶﾀ", "0\n");
    expectInEveryEncoding("ｶﾀ ｶﾅ、半角のカタカナ\n", {"-c", "-w"}, "ｶﾀ", "1\n");
    expectInEveryEncoding("１２３\n", {"-c", "-w"}, "１２", "0\n");
}

TEST_F(Words, WholeWordTriesEveryAlternativeAndLength) {
    const std::string text = joinLines({"n = getline(fp);", "foobar", "", "foo bar", "x"});
    expectInEveryEncoding(text, {"-n", "-w"}, "get|getline", "1:n = getline(fp);\n");
    expectInEveryEncoding(text, {"-n", "-w"}, "foo|foobar", "2:foobar\n4:foo bar\n");
    expectInEveryEncoding(text, {"-n", "-w"}, "fo+b?", "4:foo bar\n");
    // Empty matches count: ".*" takes the empty line, "" every place
    // between two characters that are no word characters.
    expectInEveryEncoding(text, {"-c", "-w"}, ".*", "5\n");
    expectInEveryEncoding(text, {"-n", "-w"}, "", "1:n = getline(fp);\n3:\n");
    expectInEveryEncoding("猫 cat\n猫cat\ncat。\n", {"-n", "-w"}, "cat", "1:猫 cat\n3:cat。\n");
    // A repeat before the end test gives characters back: "n =" before "g".
    expectInEveryEncoding("int n = getline(fp);\n", {"-c", "-w"}, "n\\W+", "1\n");
    expectInEveryEncoding("ファイル、を開く\n", {"-c", "-w"}, "ル\\W+", "0\n");
    expectInEveryEncoding("「ファイル」、を開く\n", {"-c", "-w"}, "ファイル\\W+", "1\n");
    // An empty match counts only where no longer one starts (GNU grep's rule):
    // " ?" takes the empty place before "？" but not the one after ")".
    expectInEveryEncoding("getline(fp) を呼ぶ\n？ はい\na  b\n", {"-n", "-w"}, " ?", "2:？ はい\n");
    // An empty match stands between two characters, never between the bytes
    // of one: "x*" finds no place in "あ、い" (a word on one side of each),
    // but the one between "、" and "「", and a line of "、" alone.
    const std::string marks = joinLines({"あ、い", "あ、「い", "、"});
    expectInEveryEncoding(marks, {"-n", "-w"}, "x*", "2:あ、「い\n3:、\n");
    expectInEveryEncoding(marks, {"-n", "-w"}, "^x*", "3:、\n");
    expectInEveryEncoding(marks, {"-n", "-w"}, "x*$", "3:、\n");
    // ".*" after a word test is tried at every start, not only the line's.
    expectInEveryEncoding("ab-x\n", {"-c"}, "\\B.*x", "1\n");
}

TEST_F(Words, BoundariesReadWholeCharactersInLegacyEncodings) {
    // "ソ" is 83 5C in Shift-JIS: its second byte looks like "\", no word
    // character, yet "ソ" is one.
    expectInEveryEncoding("ソfoo\n", {"-c"}, "\\bfoo", "0\n");
    expectInEveryEncoding("ソfoo\n", {"-c"}, "\\Bfoo", "1\n");
    // "ー" 81 5B and "「" 81 75: second bytes "[" and "u".
    const std::string text =
        joinLines({"データファイル", "「ファイル」", "ファイル名", "ファイル", "ﾌｧｲﾙファイル"});
    expectInEveryEncoding(text, {"-n"}, "\\bファイル",
                          "2:「ファイル」\n3:ファイル名\n4:ファイル\n");
    expectInEveryEncoding(text, {"-n"}, "ファイル\\b",
                          "1:データファイル\n2:「ファイル」\n4:ファイル\n5:ﾌｧｲﾙファイル\n");
    expectInEveryEncoding(text, {"-n"}, "\\<ファイル\\>", "2:「ファイル」\n4:ファイル\n");
    expectInEveryEncoding(text, {"-n"}, "\\Bファイル", "1:データファイル\n5:ﾌｧｲﾙファイル\n");
    expectInEveryEncoding(text, {"-c"}, "ル\\>", "4\n");
    expectInEveryEncoding(text, {"-c"}, "\\<ル", "0\n");
}

TEST_F(Words, OneDefinitionOfAWordCharacter) {
    // Letters (kana, kanji, "ー", "々", full-width and half-width forms,
    // letter numbers), digits and connectors are word characters; the
    // spacing sound marks, "・" and circled numbers are not.
    struct {
        const char* ch;
        bool word;
    } cases[] = {{"ア", true},  {"ー", true},  {"ｰ", true},   {"ﾞ", true},  {"々", true},
                 {"〇", true},  {"漢", true},  {"Ａ", true},  {"ａ", true}, {"０", true},
                 {"＿", true},  {"_", true},   {"Ⅳ", true},   {"é", true},  {"゛", false},
                 {"゜", false}, {"・", false}, {"、", false}, {"①", false}, {"　", false},
                 {"＃", false}, {"-", false}};
    // One line "xCx" per character C that the encoding holds.
    for (const char* enc : {"UTF-8", "CP932", "EUC-JP", "UTF-16LE"}) {
        std::string text, words, others;
        int n = 0;
        for (const auto& k : cases) {
            if (!tryConvert(k.ch, enc))
                continue;
            std::string line = std::string("x") + k.ch + "x\n";
            text += line;
            (k.word ? words : others) += std::to_string(++n) + ":" + line;
        }
        std::string bytes = *tryConvert(text, enc);
        g.write("t.txt", (enc[0] == 'U' && enc[4] == '1' ? "\xFF\xFE" : "") + bytes);
        auto run = [&](std::vector<std::string> args) {
            args.push_back("t.txt");
            return g.run("cgrep.exe", args).out;
        };
        EXPECT_EQ(run({"-n", "-e", "x\\w"}), words) << enc;
        EXPECT_EQ(run({"-n", "-e", "x\\W"}), others) << enc;
        EXPECT_EQ(run({"-n", "-e", "^x\\b"}), others) << enc;
        EXPECT_EQ(run({"-n", "-e", "[\\w]x$"}), words) << enc;
        EXPECT_EQ(run({"-n", "-w", "-e", "x"}), others) << enc;
    }
}

TEST_F(Words, RepeatedTestsAndALeadingStar) {
    const std::string text = joinLines({"ab", "a b", "*a", "x**", "b"});
    // A repeated word test holds once; one that may be left out always.
    expectInEveryEncoding(text, {"-n"}, "a\\b+", "2:a b\n3:*a\n");
    expectInEveryEncoding(text, {"-c"}, "a\\b*", "3\n");
    expectInEveryEncoding(text, {"-c"}, "a\\B{1,3}b", "1\n");
    // A test or anchor inside a repeated group holds at every repetition.
    expectInEveryEncoding("__init __exit ____\n", {"-c"}, "(\\b_)+$", "0\n");
    expectInEveryEncoding("__init __exit ____\n", {"-c"}, " (\\b_)+_+$", "1\n");
    expectInEveryEncoding("a b\n b\nab\n", {"-n"}, "^(^.)+[^a-z]", "1:a b\n");
    expectInEveryEncoding("a b\n b\nab\n", {"-c"}, "(^\\W){1,2}", "1\n");
    // A star that repeats nothing stands for itself.
    expectInEveryEncoding(text, {"-n"}, "*a", "3:*a\n");
    expectInEveryEncoding(text, {"-n"}, "^*", "3:*a\n");
    expectInEveryEncoding(text, {"-n"}, "x|*", "3:*a\n4:x**\n");
    expectInEveryEncoding(text, {"-n"}, "(*a)", "3:*a\n");
    expectInEveryEncoding(text, {"-n"}, "x\\*+$", "4:x**\n");
    RunResult r = g.run("cgrep.exe", {"-e", "+a", "u8.txt"});
    EXPECT_EQ(r.status, 2) << r.out;
}

} // namespace
