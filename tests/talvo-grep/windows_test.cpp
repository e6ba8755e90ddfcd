// Large files are read window by window; whatever the window size, every
// layout prints exactly what reading the whole file prints. TALVO_GREP_WINDOW
// sends small test files through tiny windows, so that lines, context groups
// and characters fall across window edges; TALVO_GREP_READ takes each window
// by reading or by mapping, the two ways the program chooses between.
#include "tests/talvo-grep/grep_runner.h"

#include <algorithm>
#include <cstdlib>

using namespace talvo::test;

namespace {

class WindowSize {
public:
    explicit WindowSize(const char* bytes, const char* way = "read") {
        setenv("TALVO_GREP_WINDOW", bytes, 1);
        setenv("TALVO_GREP_READ", way, 1);
    }
    ~WindowSize() {
        unsetenv("TALVO_GREP_WINDOW");
        unsetenv("TALVO_GREP_READ");
    }
    WindowSize(const WindowSize&) = delete;
    WindowSize& operator=(const WindowSize&) = delete;
};

// Matches spread unevenly, lines empty and long, Japanese text, a CR LF
// line and no line feed at the end.
std::string mixedText() {
    std::string t;
    for (int i = 0; i < 400; ++i) {
        if (i % 7 == 0)
            t += "ファイルを検索する " + std::to_string(i) + "\n";
        else if (i % 11 == 0)
            t += "\n";
        else if (i % 13 == 0)
            t += "word alpha beta\r\n";
        else if (i == 200)
            t += std::string(3000, 'x') + " alpha\n";
        else
            t += "line " + std::to_string(i) + " 日本語のテキスト\n";
    }
    return t + "最後の行 alpha";
}

const std::vector<std::vector<std::string>> kSearches = {
    {"cgrep.exe", "-n", "-e", "ファイル"},
    {"cgrep.exe", "-n", "-C", "-e", "alpha"},
    {"cgrep.exe", "-n", "-3", "-e", "alpha|検索"},
    {"cgrep.exe", "-c", "-e", "[ぁ-ん]+る"},
    {"cgrep.exe", "-n", "-v", "-e", "テキスト"},
    {"cgrep.exe", "-v", "-c", "-e", "e"},
    {"cgrep.exe", "-n", "-M", "-e", "検索"},
    {"cgrep.exe", "-w", "-n", "-e", "beta$"},
    {"cgrep.exe", "-n", "-e", "^$"},
    {"cgrep.exe", "-l", "-e", "最後"},
    {"ygrep.exe", "-n", "-p", "-e", "[0-9]+"},
    {"ygrep.exe", "-C3", "-e", "alpha"},
};

class Windows : public ::testing::Test {
protected:
    // Output of each search over file, read whole.
    std::vector<RunResult> wholeFile(const std::string& file) const {
        std::vector<RunResult> out;
        for (const auto& s : kSearches)
            out.push_back(run(s, file));
        return out;
    }
    RunResult run(const std::vector<std::string>& search, const std::string& file) const {
        std::vector<std::string> args(search.begin() + 1, search.end());
        args.push_back(file);
        return g.run(search[0], args);
    }
    void expectSameInWindows(const std::string& file) const {
        std::vector<RunResult> whole = wholeFile(file);
        for (const char* way : {"read", "map"}) {
            for (const char* size : {"1", "64", "4096"}) {
                if (std::string(way) == "map" && std::string(size) == "1")
                    continue; // a mapping per byte adds nothing to 64
                WindowSize w(size, way);
                for (size_t i = 0; i < kSearches.size(); ++i) {
                    RunResult r = run(kSearches[i], file);
                    EXPECT_EQ(r.out, whole[i].out)
                        << file << " " << way << " window " << size << " search " << i;
                    EXPECT_EQ(r.status, whole[i].status)
                        << file << " " << way << " window " << size;
                }
            }
        }
    }
    GrepDir g;
};

TEST_F(Windows, EveryLayoutPrintsTheSameInEachEncoding) {
    std::string text = mixedText();
    g.write("u.txt", text);
    g.write("bom.txt", "\xEF\xBB\xBF" + text);
    g.write("s.txt", convert(text, "CP932"));
    g.write("e.txt", convert(text, "EUC-JP"));
    for (const char* f : {"u.txt", "bom.txt", "s.txt", "e.txt"})
        expectSameInWindows(f);
}

TEST_F(Windows, MarkedUtf8WithStrayBytesReadsAsTheSameTextUnmarked) {
    // A byte-order mark does not make stray bytes valid: they match nothing,
    // not even ".", and never take the bytes after them into a character.
    std::string text = mixedText() + "\nx\xF4 alpha\n\xE6\xA4\x9C\xE7\xB4\xA2\xE3\x81 x\xE3";
    g.write("stray.txt", text);
    g.write("mstray.txt", "\xEF\xBB\xBF" + text);
    for (const char* pattern : {"x.", ".$", "検索.", "alpha", "^.{3}$"}) {
        RunResult plain = g.run("cgrep.exe", {"-n", "-e", pattern, "stray.txt"});
        EXPECT_EQ(g.run("cgrep.exe", {"-n", "-e", pattern, "mstray.txt"}).out, plain.out)
            << pattern;
    }
    EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "x.$", "mstray.txt"}).out, "0\n");
    expectSameInWindows("mstray.txt");
}

TEST_F(Windows, ShiftJisAfterALongAsciiStartIsStillFound) {
    // The start reads as UTF-8; the window where Shift-JIS begins hands the
    // rest to the encoding judgement, with the same lines as a whole read.
    std::string ascii;
    for (int i = 0; i < 300; ++i)
        ascii += "plain ascii line " + std::to_string(i) + "\n";
    g.write("late.txt", ascii + convert(mixedText(), "CP932"));
    expectSameInWindows("late.txt");
    WindowSize w("64");
    RunResult r = g.run("cgrep.exe", {"-c", "-e", "ファイル", "late.txt"});
    EXPECT_EQ(r.out, "58\n");
}

TEST_F(Windows, AnAsciiStringInsideDoubleByteCharactersOfALaterWindow) {
    // "A" and "\\" are the second bytes of "ア" and "ソ" in Shift-JIS, so
    // "アB" holds "AB". Past the first mebibyte, which is judged whole, each
    // window is checked before any of its lines is printed, though the
    // search reaches such bytes before the check has seen the window.
    std::string ascii;
    for (int i = 0; i < 60000; ++i)
        ascii += i % 5000 == 0 ? "AB plain line\n" : "plain ascii line " + std::to_string(i) + "\n";
    std::string sjis;
    for (int i = 0; i < 40; ++i)
        sjis += i % 9 == 0 ? "ソース AB\n" : "アBイソx\n";
    g.write("mixed.txt", ascii + convert(sjis, "CP932") + ascii);
    auto expectCounts = [&](const std::string& layout) {
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "AB", "mixed.txt"}).out, "29\n") << layout;
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "\\\\x", "mixed.txt"}).out, "0\n") << layout;
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "ソ", "mixed.txt"}).out, "40\n") << layout;
        // Found by its string first, then by the engine.
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "\\bAB\\b", "mixed.txt"}).out, "29\n") << layout;
    };
    expectCounts("default");
    for (const char* way : {"read", "map"}) {
        for (const char* size : {"4096", "65536"}) {
            WindowSize w(size, way);
            expectCounts(std::string(way) + " " + size);
        }
    }
}

TEST_F(Windows, Utf8LinesBeforeTheFirstThatIsNotStayUtf8) {
    // Past the first mebibyte, which is judged whole, text that stops
    // reading as UTF-8 is judged again from the line where it stops: the
    // UTF-8 lines of the same window before that line are still found.
    std::string utf8;
    for (int i = 0; i < 40000; ++i)
        utf8 += "行 " + std::to_string(i) +
                (i % 100 == 0 ? " ファイルを開く\n" : " 日本語のテキストです\n");
    std::string sjis;
    for (int i = 0; i < 50; ++i)
        sjis += i % 5 == 0 ? "ファイルを閉じる\n" : "シフトJISの行\n";
    g.write("turn.txt", utf8 + convert(sjis, "CP932"));
    auto expectLines = [&](const std::string& layout) {
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "ファイル", "turn.txt"}).out, "410\n") << layout;
        EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "開く$", "turn.txt"}).out, "400\n") << layout;
        RunResult r = g.run("cgrep.exe", {"-n", "-e", "閉じる", "turn.txt"});
        EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "40001:ファイルを閉じる\n") << layout;
    };
    expectLines("default");
    for (const char* way : {"read", "map"}) {
        for (const char* size : {"4096", "65536"}) {
            WindowSize w(size, way);
            expectLines(std::string(way) + " " + size);
        }
    }
}

TEST_F(Windows, LinesPrintedBeforeTheTextTurnsArePrintedOnce) {
    // The lines of a window are printed as they are found, each once its
    // text up to its end is known to be UTF-8: where the window stops
    // reading as UTF-8 after them, they are not printed again, and the
    // lines between them and the turn are still searched as UTF-8, also
    // where the engine took over from the string for a run of matches
    // that follows a stretch without any (a window searched unchecked).
    std::string utf8;
    for (int i = 0; i < 40000; ++i)
        utf8 += "行 " + std::to_string(i) +
                ((i % 100 == 0 && i < 32000) || i >= 39900 ? " PM_RESUME ファイル\n"
                                                           : " 日本語のテキストです\n");
    std::string sjis;
    for (int i = 0; i < 50; ++i)
        sjis += i % 5 == 0 ? "PM_RESUME を閉じる\n" : "シフトJISの行\n";
    g.write("turn.txt", utf8 + convert(sjis, "CP932"));
    auto expectLines = [&](const std::string& layout) {
        for (const char* pattern : {"PM_RESUME", "\\w+_RESUME\\b", "P.?_RESUME", "[A-Z]+_RESUME"}) {
            RunResult r = g.run("cgrep.exe", {"-n", "-e", pattern, "turn.txt"});
            std::vector<long> numbers;
            for (size_t at = 0; at < r.out.size(); at = r.out.find('\n', at) + 1)
                numbers.push_back(std::atol(r.out.c_str() + at));
            ASSERT_EQ(numbers.size(), 420u + 10u) << layout << " " << pattern;
            EXPECT_EQ(numbers[419], 40000) << layout << " " << pattern;
            EXPECT_EQ(numbers[420], 40001) << layout << " " << pattern;
            EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()) &&
                        std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end())
                << layout << " " << pattern;
            EXPECT_NE(r.out.find("40046:PM_RESUME を閉じる\n"), std::string::npos)
                << layout << " " << pattern;
        }
    };
    expectLines("default");
    for (const char* way : {"read", "map"}) {
        for (const char* size : {"4096", "65536"}) {
            WindowSize w(size, way);
            expectLines(std::string(way) + " " + size);
        }
    }
}

TEST_F(Windows, BinaryFilesAndLinesLongerThanTheWindow) {
    g.write("bin.dat", std::string("abc\0def alpha\n", 14) + std::string(5000, 'y') + "\n");
    g.write("long.txt",
            std::string(100000, 'z') + "needle" + std::string(100000, 'z') + "\nnext\n");
    for (const char* way : {"read", "map"}) {
        WindowSize w("16", way);
        EXPECT_EQ(g.run("cgrep.exe", {"-e", "alpha", "bin.dat"}).out,
                  "binary file matches: bin.dat\n");
        RunResult r = g.run("cgrep.exe", {"-n", "-A", "-e", "needle", "long.txt"});
        EXPECT_EQ(r.out.size(), 200006u + 3 + 7) << way;
        EXPECT_EQ(r.out.substr(r.out.size() - 7), "2-next\n") << way;
    }
}

TEST_F(Windows, AFirstWindowEndingInsideACharacterStaysUtf8) {
    // 1 MiB is not a multiple of the line length: the first window ends
    // inside "é", whose bytes alone would also read as Shift-JIS kana.
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "café\n";
    text += "last café\n";
    g.write("latin.txt", text);
    EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "caf.$", "latin.txt"}).out, "200001\n");
    EXPECT_EQ(g.run("cgrep.exe", {"-n", "-e", "last", "latin.txt"}).out, "200001:last café\n");
}

} // namespace
