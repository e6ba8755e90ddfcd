// Files in UTF-8, UTF-8 with BOM, UTF-16, Shift-JIS and EUC-JP give the same
// lines; matches never start or end inside a double-byte character.
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

const std::string kJapanese = joinLines({
    "ソフトウェアの説明",      // 1
    "アイテム一覧",            // 2
    "ひらがなだけ",            // 3
    "表示する[x]",             // 4
    "ASCII only line",         // 5
    "ファイルを開く ファイル", // 6
});

struct Encoded {
    const char* file;
    std::string bytes;
};

std::vector<Encoded> allEncodings(const std::string& text) {
    return {{"u8.txt", text},
            {"bom.txt", "\xEF\xBB\xBF" + text},
            {"le.txt", "\xFF\xFE" + convert(text, "UTF-16LE")},
            {"be.txt", "\xFE\xFF" + convert(text, "UTF-16BE")},
            {"sjis.txt", convert(text, "CP932")},
            {"euc.txt", convert(text, "EUC-JP")}};
}

class Encodings : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& e : allEncodings(kJapanese))
            g.write(e.file, e.bytes);
    }
    std::string c(const std::vector<std::string>& args) const {
        return g.run("cgrep.exe", args).out;
    }
    GrepDir g;
};

TEST_F(Encodings, SameJapaneseLinesInEveryEncoding) {
    struct {
        const char* pattern;
        const char* lines;
    } cases[] = {
        {"ファイル", "6:ファイルを開く ファイル\n"},
        {"[ぁ-ん]+だけ", "3:ひらがなだけ\n"},
        {"^.{6}$", "2:アイテム一覧\n3:ひらがなだけ\n"},
        {"表示", "4:表示する[x]\n"},
        {"説明$", "1:ソフトウェアの説明\n"},
        {"\\[x\\]", "4:表示する[x]\n"},
        {"ア.テ", "2:アイテム一覧\n"},
        // Line 6 ends in katakana; every other line ends in something else.
        {"[^ァ-ヶー]$", "1:ソフトウェアの説明\n2:アイテム一覧\n3:ひらがなだけ\n4:表示する[x]\n5:"
                        "ASCII only line\n"},
    };
    for (const auto& e : allEncodings(kJapanese)) {
        for (const auto& k : cases) {
            EXPECT_EQ(c({"-n", "-e", k.pattern, e.file}), k.lines) << e.file << " " << k.pattern;
        }
    }
}

TEST_F(Encodings, LineFeedInPatternSeparatesPatterns) {
    // As in GNU grep: any of the lines of the pattern; an empty one matches
    // every line. The same in every encoding, fuzzy and literal searches too.
    for (const auto& e : allEncodings(kJapanese)) {
        EXPECT_EQ(c({"-n", "-e", "説明\nアイテム", e.file}),
                  "1:ソフトウェアの説明\n2:アイテム一覧\n")
            << e.file;
        EXPECT_EQ(c({"-n", "-Z", "-e", "ascii\nひらがな", e.file}),
                  "3:ひらがなだけ\n5:ASCII only line\n")
            << e.file;
        EXPECT_EQ(c({"-c", "-e", "nothing\n", e.file}), "6\n") << e.file;
        EXPECT_EQ(g.run("jgrep.exe", {"[x]\n一覧", e.file, "-q", "-c"}).out, "2\n") << e.file;
    }
}

TEST_F(Encodings, NamedClassesTakeJapaneseAsTheSystemDoes) {
    // As in a UTF-8 locale: kana, kanji and full-width letters and digits are
    // letters, only ASCII digits are digits, "、" is punctuation and the
    // ideographic space a space, in every encoding.
    const std::string text = joinLines({"カナだけ", "漢字", "ＡＢＣ", "１２３", "123", "、。",
                                        "全角　空白", "abc xyz", "tab\there", "ｶﾅ"});
    struct {
        const char* pattern;
        const char* lines;
    } cases[] = {
        {"^[[:alpha:]]+$", "1,2,3,4,10,"},
        {"[[:digit:]]", "5,"},
        {"[[:upper:]]", "3,"},
        {"[[:lower:]]", "8,9,"},
        {"[[:punct:]]", "6,"},
        {"[[:space:]]", "7,8,9,"},
        {"^[^[:alpha:]]+$", "5,6,"},
        {"^[[:graph:]]+$", "1,2,3,4,5,6,10,"},
    };
    for (const auto& e : allEncodings(text)) {
        if (e.file == std::string("bom.txt") || e.file == std::string("be.txt"))
            continue; // read as UTF-8 and UTF-16LE are
        g.write(e.file, e.bytes);
        for (const auto& k : cases) {
            std::string out = c({"-n", "-e", k.pattern, e.file}), numbers;
            for (size_t s = 0; s < out.size(); s = out.find('\n', s) + 1)
                numbers += out.substr(s, out.find(':', s) - s) + ",";
            EXPECT_EQ(numbers, k.lines) << e.file << " " << k.pattern;
        }
    }
}

TEST_F(Encodings, CharacterAliasesFindTheSameLinesEverywhere) {
    // "〜" and "～" are one character of Shift-JIS (and each other's alias in
    // EUC-JP); so are "‖" and "∥", "−" and "－". UTF-8 text may hold either.
    const std::string text = joinLines({"A〜B", "C～D", "‖x", "−1", "plain"});
    std::vector<Encoded> files = {{"a8.txt", text},
                                  {"a16.txt", "\xFF\xFE" + convert(text, "UTF-16LE")},
                                  {"asj.txt", convert(text, "CP932")},
                                  {"aeuc.txt", convert(text, "EUC-JP")}};
    struct {
        const char* pattern;
        const char* count;
    } cases[] = {{"〜", "2\n"},      {"～", "2\n"}, {"[A-D][〜]", "2\n"}, {"A[^～]B", "0\n"},
                 {"C[^〜]D", "0\n"}, {"∥x", "1\n"}, {"－1", "1\n"},       {"〜|‖", "3\n"}};
    for (const auto& f : files) {
        g.write(f.file, f.bytes);
        for (const auto& k : cases)
            EXPECT_EQ(c({"-c", "-e", k.pattern, f.file}), k.count) << f.file << " " << k.pattern;
        EXPECT_EQ(g.run("jgrep.exe", {"～", f.file, "-q", "-c"}).out, "2\n") << f.file;
    }
}

TEST_F(Encodings, ByteOffsetsAreOffsetsInTheFile) {
    // "ア" is three bytes in UTF-8, two in the others; "𠮷" four in UTF-8 and
    // UTF-16 (a surrogate pair). The offset is that of the file's own bytes.
    const std::string text = "アイ\n𠮷x\nabc\n";
    struct {
        const char* file;
        std::string bytes;
        const char* lines;
    } cases[] = {
        {"o8.txt", text, "0:アイ\n7:𠮷x\n13:abc\n"},
        {"obom.txt", "\xEF\xBB\xBF" + text, "3:アイ\n10:𠮷x\n16:abc\n"},
        {"ole.txt", "\xFF\xFE" + convert(text, "UTF-16LE"), "2:アイ\n8:𠮷x\n16:abc\n"},
        {"obe.txt", "\xFE\xFF" + convert(text, "UTF-16BE"), "2:アイ\n8:𠮷x\n16:abc\n"},
    };
    for (const auto& k : cases) {
        g.write(k.file, k.bytes);
        EXPECT_EQ(g.run("dgrep.exe", {"-a", "-e", ".", k.file}).out, k.lines) << k.file;
    }
    g.write("osj.txt", convert("アイ\nabc\n", "CP932"));
    EXPECT_EQ(g.run("dgrep.exe", {"-a", "-e", "b", "osj.txt"}).out, "5:abc\n");
}

TEST_F(Encodings, NoMatchInsideDoubleByteCharacters) {
    // Second bytes: "ソ" 83 5C ('\\'), "ア" 83 41 ('A'), "ー" 81 5B ('[').
    const std::string text = joinLines({"ソース", "アート", "ーー", "plain A [ \\ here"});
    g.write("s.txt", convert(text, "CP932"));
    EXPECT_EQ(c({"-n", "-e", "\\\\", "s.txt"}), "4:plain A [ \\ here\n");
    EXPECT_EQ(c({"-n", "-e", "A", "s.txt"}), "4:plain A [ \\ here\n");
    EXPECT_EQ(c({"-n", "-e", "\\[", "s.txt"}), "4:plain A [ \\ here\n");
    EXPECT_EQ(c({"-n", "-i", "-e", "a", "s.txt"}), "4:plain A [ \\ here\n");
    // "ア" is 83 41; with case ignored it must not become 83 61 ("ヂ").
    g.write("d.txt", convert("ヂ\n", "CP932"));
    EXPECT_EQ(c({"-c", "-i", "-e", "ア", "d.txt"}), "0\n");
    // EUC-JP: "ア" A5 A2 "イ" A5 A4; the bytes A2 A5 straddle two characters.
    g.write("e.txt", convert("アイ\n\n", "EUC-JP"));
    EXPECT_EQ(c({"-c", "-e", "ア", "e.txt"}), "1\n");
    EXPECT_EQ(c({"-c", "-e", "▲", "e.txt"}), "0\n"); // "▲" is A2 A5 in EUC-JP
}

TEST_F(Encodings, InvalidBytesShowAsReplacementAndHideNothing) {
    std::string sjis = convert("前の行\n", "CP932") + "bad \x81\x20 byte\n" +
                       convert("後の行 ソフト\n", "CP932") +
                       convert("説明文説明文説明文説明文説明文説明文説明文\n", "CP932");
    g.write("broken.txt", sjis);
    EXPECT_EQ(c({"-n", "-e", "byte", "broken.txt"}), "2:bad \xEF\xBF\xBD  byte\n");
    EXPECT_EQ(c({"-n", "-e", "ソフト", "broken.txt"}), "3:後の行 ソフト\n");
    g.write("latin.txt", "caf\xE9 au lait\nna\xEFve text\n");
    EXPECT_EQ(c({"-n", "-e", "lait", "latin.txt"}), "1:caf\xEF\xBF\xBD au lait\n");
}

TEST_F(Encodings, Utf8WithAStrayByteStaysUtf8) {
    // Japanese UTF-8 often reads as Shift-JIS as well; one Latin-1 line must
    // not turn the whole file into Shift-JIS and hide its Japanese.
    std::string text = kJapanese + "caf\xE9 au lait\n";
    for (int i = 0; i < 40; ++i)
        text += "ファイルの説明と表示\n";
    g.write("stray.txt", text);
    RunResult r = g.run("cgrep.exe", {"-c", "-e", "説明", "stray.txt"});
    EXPECT_EQ(r.out, "41\n") << r.err;
    EXPECT_EQ(c({"-n", "-e", "au lait", "stray.txt"}), "7:caf\xEF\xBF\xBD au lait\n");
    EXPECT_EQ(c({"-n", "-i", "-e", "ascii", "stray.txt"}), "5:ASCII only line\n");
    // Read window by window the same.
    setenv("TALVO_GREP_WINDOW", "64", 1);
    RunResult w = g.run("cgrep.exe", {"-c", "-e", "説明", "stray.txt"});
    unsetenv("TALVO_GREP_WINDOW");
    EXPECT_EQ(w.out, "41\n") << w.err;
}

TEST_F(Encodings, EmptyMatchesInMarkedLinesStepWholeCharacters) {
    // Marks and printed parts look for every match in a line; after an empty
    // one the search goes on at the next character, not inside this one.
    for (const char* pattern : {"\\B", "x*", "(?=ル)"}) {
        RunResult r = g.run("cgrep.exe", {"-M", "-n", "-e", pattern, "u8.txt"});
        EXPECT_EQ(r.status, 0) << pattern << r.err;
        EXPECT_NE(r.out.find("6:ファイルを開く ファイル\n"), std::string::npos) << pattern;
        r = g.run("ygrep.exe", {"-p", "-c", "-e", pattern, "u8.txt"});
        EXPECT_EQ(r.status, 0) << pattern << r.err;
    }
}

TEST_F(Encodings, CrLfLinesEndBeforeTheCarriageReturn) {
    g.write("crlf.txt", "one\r\ntwo\r\nthree");
    EXPECT_EQ(c({"-n", "-e", "o$", "crlf.txt"}), "2:two\r\n");
    EXPECT_EQ(c({"-c", "-e", "^t.*$", "crlf.txt"}), "2\n");
    EXPECT_EQ(c({"-n", "-x", "-e", "three", "crlf.txt"}), "3:three\n");
    g.write("crlf-sjis.txt", convert("ソフト\r\n説明\r\n", "CP932"));
    EXPECT_EQ(c({"-n", "-e", "明$", "crlf-sjis.txt"}), "2:説明\r\n");
}

TEST_F(Encodings, WordSearchInLegacyEncodings) {
    g.write("w.txt", convert("猫 cat\n猫cat\ncat。\n", "CP932"));
    EXPECT_EQ(c({"-n", "-w", "-e", "cat", "w.txt"}), "1:猫 cat\n3:cat。\n");
}

} // namespace
