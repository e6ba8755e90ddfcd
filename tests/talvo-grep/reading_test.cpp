// How talvo-grep takes its input: each input opened once, a file that shrinks
// while it is searched, lines too long to hold, endless input, memory, and
// the encoding of text that begins far into a large file.
#include "tests/talvo-grep/grep_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

using namespace talvo::test;

namespace {

class Setting {
public:
    Setting(const char* name, const char* value) : name_(name) { setenv(name, value, 1); }
    ~Setting() { unsetenv(name_); }
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

private:
    const char* name_;
};

std::string numberedLines(const std::string& text, int from, int count) {
    std::string s;
    for (int i = from; i < from + count; ++i)
        s += text + " " + std::to_string(i) + "\n";
    return s;
}

TEST(Reading, JapaneseAfterAMebibyteOfAsciiIsReadInItsOwnEncoding) {
    GrepDir g;
    std::string ascii = numberedLines("plain ascii text before the Japanese part", 0, 26000);
    ASSERT_GT(ascii.size(), 1100000u);
    std::string tail = numberedLines("設定ファイルを読む", 0, 100);
    g.write("u.txt", ascii + tail);
    g.write("s.txt", ascii + convert(tail, "CP932"));
    g.write("e.txt", ascii + convert(tail, "EUC-JP"));
    for (const char* way : {"read", "map"}) {
        Setting s("TALVO_GREP_READ", way);
        for (const char* f : {"u.txt", "s.txt", "e.txt"}) {
            EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "ファイル", f}).out, "100\n") << f << way;
            EXPECT_EQ(g.run("cgrep.exe", {"-n", "-e", "ファイルを読む 99$", f}).out,
                      "26100:設定ファイルを読む 99\n")
                << f << way;
        }
    }
    EXPECT_EQ(g.run("cgrep.exe", {"-c", "-e", "ファイル"}, ascii + convert(tail, "CP932")).out,
              "100\n");
}

TEST(Reading, ReadingAheadGivesWhatReadingInTurnGives) {
    // Lines of every length, some longer than the room kept before a window
    // read ahead, matches across line ends, context, and Shift-JIS after
    // the ASCII: each window size and search alike either way.
    GrepDir g;
    std::string text;
    // The first mebibyte is one window, read before any other.
    for (int i = 0; text.size() < (3 << 20); ++i) {
        size_t width = (static_cast<size_t>(i) * 7919) % (i % 97 == 5 ? 300000 : 300);
        std::string line(width, static_cast<char>('a' + i % 26));
        if (i % 13 == 0)
            line.insert(line.size() / 2, "needle");
        text += line + (i % 29 == 0 ? " alpha\nbeta tail\n" : "\n");
    }
    std::string tail = numberedLines("設定ファイルの needle", 0, 300);
    // Forty lines of context longer than that room, window after window.
    std::string medium;
    for (int i = 0; i < 300; ++i)
        medium += std::string(10000, 'm') + (i % 50 == 49 ? " needle\n" : "\n");
    g.write("medium.txt", medium);
    g.write("ascii.txt", text);
    g.write("mixed.txt", text + convert(tail, "CP932"));
    const std::vector<std::vector<std::string>> searches = {
        {"-n", "-e", "needle", "ascii.txt"},
        {"-c", "-e", "needle", "ascii.txt"},
        {"-n", "-B2", "-A1", "-e", "needle", "ascii.txt"},
        {"-n", "-B40", "-e", "needle", "ascii.txt"},
        {"-n", "-B40", "-e", "needle", "medium.txt"},
        {"-F", "-c", "-e", "alphabeta", "ascii.txt"},
        {"-n", "-e", "ファイル", "mixed.txt"},
        {"-c", "-e", "need", "mixed.txt"},
    };
    for (const char* window : {"4096", "65536"}) {
        Setting w("TALVO_GREP_WINDOW", window);
        for (const auto& args : searches) {
            RunResult inTurn, ahead;
            {
                Setting off("TALVO_GREP_READAHEAD", "0");
                inTurn = g.run("cgrep.exe", args);
            }
            {
                Setting on("TALVO_GREP_READAHEAD", "1");
                ahead = g.run("cgrep.exe", args);
            }
            EXPECT_EQ(ahead.status, inTurn.status) << window << " " << args[args.size() - 2];
            EXPECT_TRUE(ahead.out == inTurn.out) << window << " " << args[args.size() - 2];
            EXPECT_EQ(ahead.err, inTurn.err) << window << " " << args[args.size() - 2];
            EXPECT_FALSE(inTurn.out.empty()) << window << " " << args[args.size() - 2];
        }
    }
}

TEST(Reading, AFifoIsOpenedOnceAndReadFromItsFirstByte) {
    GrepDir g;
    std::string fifo = g.dir().file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The writer's first line must be found. A second opening for writing
    // ends a reader that opened the FIFO again; the test then opens it for
    // reading itself, so that the writer never waits for ever.
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        std::string text = "needle first\nother\nneedle last\n";
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
        fd = open(fifo.c_str(), O_WRONLY);
        close(fd);
    });
    RunResult r = g.run("cgrep.exe", {"-n", "-e", "needle", "pipe"});
    int unblock = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    close(unblock);
    EXPECT_EQ(r.out, "1:needle first\n3:needle last\n");
    EXPECT_EQ(r.status, 0);
}

TEST(Reading, AFileThatShrinksWhileSearchedIsReportedNotFatal) {
    // The output fills the pipe, so the program waits in mid-file while the
    // file is cut short; then it reads on. A mapped file would raise SIGBUS.
    GrepDir g;
    std::string text = numberedLines("a line of the file that is cut short", 0, 400000);
    // UTF-16 is transcoded piece by piece as it is read.
    std::string utf16 = "\xFF\xFE" + convert(text, "UTF-16LE");
    struct Case {
        const char* way;
        std::vector<std::string> flags;
        bool utf16 = false;
    };
    const std::vector<Case> cases = {{"map", {"-n"}},        {"read", {"-n"}},
                                     {"map", {"-F"}},        {"read", {"-F"}},
                                     {"read", {"-n"}, true}, {"read", {"-F"}, true}};
    for (const Case& c : cases) {
        g.write("cut.txt", c.utf16 ? utf16 : text);
        std::string cmd = "TALVO_GREP_READ=" + std::string(c.way) + " ./cgrep.exe";
        for (const auto& f : c.flags)
            cmd += " " + f;
        cmd += " -e line cut.txt 2>err.txt | (head -c 1 >/dev/null; : >cut.txt; "
               "cat >/dev/null); echo ${PIPESTATUS[0]}";
        RunResult r = runProgram(g.dir().path(), {"/bin/bash", "-c", cmd});
        EXPECT_EQ(r.out, "2\n") << c.way << " " << c.flags[0] << r.err;
        EXPECT_EQ(g.dir().read("err.txt"),
                  "talvo-grep: cut.txt: the file shrank while it was searched\n")
            << c.way << " " << c.flags[0];
    }
}

TEST(Reading, ALineOverTheLimitIsReportedAndTheSearchGoesOn) {
    GrepDir g;
    // Beyond the first window, where lines are taken window by window, and
    // longer than a window: a line within one is held anyway.
    Setting limit("TALVO_GREP_LINE_LIMIT", "100000");
    Setting window("TALVO_GREP_WINDOW", "4096");
    std::string before = numberedLines("needle before", 0, 60000);
    std::string longLine = std::string(300000, 'y') + " needle\n";
    std::string after = numberedLines("needle after", 0, 3);
    std::string text = before + longLine + after;
    g.write("long.txt", text);
    g.write("short.txt", before + "short needle\n" + after);
    RunResult expected = g.run("cgrep.exe", {"-n", "-v", "-e", "short", "short.txt"});
    std::string message = ": line 60001 is longer than 100000 bytes and was not searched\n";
    for (const char* way : {"read", "map"}) {
        Setting s("TALVO_GREP_READ", way);
        RunResult r = g.run("cgrep.exe", {"-n", "-e", "needle", "long.txt"});
        EXPECT_TRUE(r.out == expected.out) << way; // no diff of 60,000 lines
        EXPECT_EQ(r.err, "talvo-grep: long.txt" + message) << way;
        EXPECT_EQ(r.status, 2) << way;
        r = g.run("cgrep.exe", {"-c", "-e", "needle", "long.txt"});
        EXPECT_EQ(r.out, "60003\n") << way;
    }
    // Standard input counts its lines as they pass.
    RunResult r = g.run("cgrep.exe", {"-c", "-e", "needle"}, text);
    EXPECT_EQ(r.out, "60003\n");
    EXPECT_EQ(r.err, "talvo-grep: (standard input)" + message);
    EXPECT_EQ(r.status, 2);
}

// Text whose lines break inside the phrases searched for, pairs of lines
// that hold the first two words twice, and a run of short lines that one
// match spans, longer than a test window.
std::string brokenPhrases(const std::vector<std::string>& words, int lines) {
    std::string s;
    uint32_t seed = 12345;
    for (int i = 0; i < lines; ++i) {
        seed = seed * 1103515245u + 12345u;
        int n = static_cast<int>(seed >> 28);
        for (int k = 0; k < n; ++k) {
            seed = seed * 1103515245u + 12345u;
            s += words[(seed >> 24) % words.size()];
            if ((seed >> 20) % 3 == 0)
                s += ' ';
        }
        s += '\n';
        if (i == lines / 2)
            for (int k = 0; k < 3000; ++k)
                s += "k\n";
        if (i == lines / 2)
            s += words[0] + "\n";
        // A match and the start of another on the line that ends a window.
        if (i == lines / 4)
            for (int k = 0; k < 1000; ++k)
                s += words[0] + words[1] + " " + words[0] + "\n" + words[1] + " \n";
    }
    return s;
}

TEST(Reading, MatchesAcrossLinesAreFoundWindowByWindowAsInTheWholeText) {
    GrepDir g;
    std::string text = brokenPhrases({"alpha", "beta", "gamma", "delta", "x"}, 40000);
    std::string ja = brokenPhrases({"設定", "ファイル", "読む", "x"}, 25000);
    // Past the first window, which holds a mebibyte whatever the setting.
    ASSERT_GT(text.size(), 1100000u);
    ASSERT_GT(ja.size(), 1100000u);
    g.write("t.txt", text);
    g.write("s.txt", convert(ja, "CP932"));
    std::string run(2100, 'k');
    struct Case {
        const char* program;
        const char* file;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"cgrep.exe", "t.txt", {"-F", "-n", "-e", "betagamma"}},
        {"cgrep.exe", "t.txt", {"-F", "-n", "-e", "alphabeta"}},
        {"cgrep.exe", "t.txt", {"-F", "-c", "-e", "deltax"}},
        {"cgrep.exe", "t.txt", {"-W", "-n", "-C2", "-e", "alphabetagamma"}},
        {"cgrep.exe", "t.txt", {"-W", "-v", "-n", "-e", "xx"}},
        {"cgrep.exe", "t.txt", {"-W", "-M", "-e", "gammadeltaalpha"}},
        {"cgrep.exe", "t.txt", {"-F", "-n", "-e", run}},
        {"cgrep.exe", "t.txt", {"-W", "-n", "-B3", "-e", "kkkkalpha"}},
        {"ygrep.exe", "t.txt", {"-W", "-n", "-e", "betagamma|kkk"}},
        {"cgrep.exe", "s.txt", {"-W", "-n", "-e", "ファイル読む"}},
        {"cgrep.exe", "s.txt", {"-F", "-n", "-e", "設定ファイル"}},
        {"cgrep.exe", "s.txt", {"-F", "-c", "-e", "設定x"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(c.file);
        RunResult whole;
        {
            Setting window("TALVO_GREP_WINDOW", "100000000");
            whole = g.run(c.program, args);
        }
        std::string shown = c.program;
        for (const auto& a : args)
            shown += " " + a.substr(0, 20);
        ASSERT_EQ(whole.status, 0) << shown << " " << whole.err;
        for (const char* way : {"read", "map"}) {
            Setting s("TALVO_GREP_READ", way);
            Setting window("TALVO_GREP_WINDOW", "4096");
            RunResult r = g.run(c.program, args);
            EXPECT_TRUE(r.out == whole.out) << shown << " " << way;
            EXPECT_EQ(r.err, "") << shown << " " << way;
            if (std::string(way) == "read") {
                r = g.run(c.program, c.args, g.dir().read(c.file));
                EXPECT_EQ(r.out.size(), whole.out.size()) << shown << " from standard input";
            }
        }
    }
    // The run of short lines is one match, however the windows cut it.
    Setting window("TALVO_GREP_WINDOW", "4096");
    EXPECT_EQ(g.run("cgrep.exe", {"-F", "-c", "-e", run, "t.txt"}).out, "1\n");
}

TEST(Reading, AMatchAcrossLinesLongerThanTheLimitIsReportedAndTheSearchGoesOn) {
    GrepDir g;
    Setting limit("TALVO_GREP_LINE_LIMIT", "100000");
    Setting window("TALVO_GREP_WINDOW", "4096");
    // Past the first window; then blank lines that an "a" and "b" apart from
    // each other may match over, far more than the limit.
    std::string text = numberedLines("before", 0, 100000) + "a\n" + std::string(300000, '\n') +
                       "b\nab\n" + numberedLines("after a", 0, 3);
    g.write("gap.txt", text);
    for (const char* way : {"read", "map"}) {
        Setting s("TALVO_GREP_READ", way);
        RunResult r = g.run("cgrep.exe", {"-W", "-n", "-e", "ab", "gap.txt"});
        EXPECT_EQ(r.out, "400003:ab\n") << way;
        EXPECT_EQ(r.err, "talvo-grep: gap.txt: a match from line 100001 on would be longer than "
                         "100000 bytes and was not searched\n")
            << way;
        EXPECT_EQ(r.status, 2) << way;
    }
    RunResult r = g.run("cgrep.exe", {"-W", "-c", "-e", "ab"}, text);
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.err, "talvo-grep: (standard input): a match from line 100001 on would be longer "
                     "than 100000 bytes and was not searched\n");
}

// A memory limit for the program: the address space without sanitizers,
// resident memory under AddressSanitizer, which reserves far more address
// space than it uses.
std::string limitMemory(int mib) {
#if defined(__SANITIZE_ADDRESS__)
    return "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=" +
           std::to_string(mib) + ":quarantine_size_mb=8\"; ";
#else
    return "ulimit -v " + std::to_string(mib << 10) + "; ";
#endif
}

TEST(Reading, MemoryStaysBoundedWhateverTheInput) {
    GrepDir g;
    // Two files in which every line matches, searched at once: each file's
    // output is written as it goes, not held until its turn.
    std::string text = numberedLines("every line of this file matches the pattern", 0, 1400000);
    g.write("a.txt", text);
    g.write("b.txt", text);
    RunResult r = runProgram(g.dir().path(),
                             {"/bin/bash", "-c",
                              limitMemory(160) + "./cgrep.exe -n -e matches a.txt b.txt | wc -l; "
                                                 "echo ${PIPESTATUS[0]}"});
    EXPECT_EQ(r.out, "2800000\n0\n");
    EXPECT_EQ(r.err, "");
    g.dir().remove("a.txt");
    g.dir().remove("b.txt");
    // Endless input without a line feed: the line is reported once it passes
    // the limit, and the rest is read through in bounded memory.
    r = runProgram(g.dir().path(),
                   {"/bin/bash", "-c",
                    limitMemory(400) + "head -c 320M /dev/zero | ./cgrep.exe -e x; echo $?"});
    EXPECT_EQ(r.out, "2\n");
    EXPECT_EQ(r.err, "talvo-grep: (standard input): line 1 is longer than 256 MiB and was not "
                     "searched\n");
}

TEST(Reading, ASearchAcrossLinesHoldsNoWholeFile) {
    // A file far larger than the limit, a match across every pair of lines.
    GrepDir g;
    RunResult r = runProgram(
        g.dir().path(),
        {"/bin/bash", "-c",
         "yes $'the first line of each pair of lines ends in alpha\\nbeta begins the "
         "second line' | head -n 8000000 >pairs.txt; " +
             limitMemory(160) + "./cgrep.exe -F -c -e alphabeta pairs.txt; echo $?; rm pairs.txt"});
    EXPECT_EQ(r.out, "4000000\n0\n");
    EXPECT_EQ(r.err, "");
}

TEST(Reading, LargeArchiveMembersAreSearchedAsTheyAreUnpacked) {
    // Larger than a member held whole; a tar holds it between two small ones.
    GrepDir g;
    std::string large;
    int needles = 0;
    for (int i = 0; large.size() < (10 << 20); ++i) {
        large += "line " + std::to_string(i) + " of the large member";
        large += i % 1000 == 7 ? " needle\n" : "\n";
        needles += i % 1000 == 7;
    }
    g.write("large.txt", large);
    g.write("small.txt", "small needle\n");
    g.write("last.txt", "last needle\n");
    RunResult made =
        runProgram(g.dir().path(), {"/bin/bash", "-c",
                                    "gzip -k large.txt && tar czf both.tgz small.txt large.txt "
                                    "last.txt && head -c $(($(stat -c %s large.txt.gz) * 19 / "
                                    "20)) large.txt.gz >cut.gz"});
    ASSERT_EQ(made.status, 0) << made.err;
    RunResult plain = g.run("ygrep.exe", {"-n", "-C1", "needle", "large.txt"});
    std::string named, inTar;
    for (size_t s = 0; s < plain.out.size();) {
        size_t e = plain.out.find('\n', s) + 1;
        std::string line = plain.out.substr(s, e - s);
        // The name, then the separator after the line number: ":" or "-".
        std::string sep(1, line[line.find_first_not_of("0123456789")]);
        named += line == "--\n" ? line : "large.txt.gz" + sep + line;
        inTar += line == "--\n" ? line : "both.tgz/large.txt" + sep + line;
        s = e;
    }
    for (const char* window : {"0", "4096"}) {
        Setting s("TALVO_GREP_WINDOW", window);
        RunResult r = g.run("ygrep.exe", {"-z", "-n", "-C1", "needle", "large.txt.gz"});
        EXPECT_TRUE(r.out == named) << window;
        EXPECT_EQ(r.status, 0) << window;
        r = g.run("ygrep.exe", {"-z", "-c", "needle", "both.tgz"});
        EXPECT_EQ(r.out, "both.tgz/small.txt:1\nboth.tgz/large.txt:" + std::to_string(needles) +
                             "\nboth.tgz/last.txt:1\n")
            << window;
        r = g.run("ygrep.exe", {"-z", "-n", "-C1", "needle", "both.tgz"});
        EXPECT_TRUE(r.out == "both.tgz/small.txt:1:small needle\n" + inTar +
                                 "both.tgz/last.txt:1:last needle\n")
            << window;
    }
    // A stream cut short past what is held whole: the lines before the cut,
    // and the member named.
    RunResult r = g.run("ygrep.exe", {"-z", "-n", "needle", "cut.gz"});
    EXPECT_EQ(r.out.substr(0, 36), "cut.gz:8:line 7 of the large member ");
    EXPECT_EQ(r.err, "talvo-grep: cut.gz: truncated gzip input\n");
    EXPECT_EQ(r.status, 2);
}

TEST(Reading, ACompressedFileIsNeverHeldWhole) {
    GrepDir g;
    RunResult r = runProgram(
        g.dir().path(),
        {"/bin/bash", "-c",
         "yes 'every line of this compressed file matches the pattern, and it is far larger "
         "than the memory limit' | head -n 2000000 | gzip -1 >big.gz; " +
             limitMemory(160) + "./wgrep.com -c matches big.gz; echo $?; rm big.gz"});
    EXPECT_EQ(r.out, "big.gz:2000000\n0\n");
    EXPECT_EQ(r.err, "");
}

TEST(Reading, AnArchiveFromAPipeOrInsideAnArchiveIsNeverHeldWhole) {
    // A tar holds its member's bytes as they are, so it is larger than the
    // memory limit too; the same tar comes through a FIFO, inside another
    // tar, and as the archive a matching member is written out of.
    GrepDir g;
    RunResult r = runProgram(
        g.dir().path(),
        {"/bin/bash", "-c",
         "yes 'every line of this member matches the pattern, and the member is larger than "
         "the memory limit' | head -n 1800000 >m.txt; echo 'one needle' >n.txt; "
         "tar cf big.tar m.txt n.txt && tar cf outer.tar big.tar && rm m.txt n.txt && "
         "mkfifo p && mkdir x || exit 9; " +
             limitMemory(160) +
             "(cat big.tar >p &); ./ygrep.exe -z -c matches p; echo $?; "
             "./ygrep.exe -z -c matches outer.tar; echo $?; "
             "cd x && ../jgrep.exe needle ../big.tar -y -z; echo $?; cat n.txt; ls; "
             "rm ../big.tar ../outer.tar"});
    EXPECT_EQ(r.out, "p/m.txt:1800000\np/n.txt:0\n0\n"
                     "outer.tar/big.tar/m.txt:1800000\nouter.tar/big.tar/n.txt:0\n0\n"
                     "../big.tar/n.txt:one needle\n0\none needle\nn.txt\n");
    EXPECT_EQ(r.err, "");
}

TEST(Reading, AMemberNamedLikeAnArchiveThatIsTextIsSearchedToItsEnd) {
    // Larger than a member held in memory, so copied out to be opened as an
    // archive; as none reads it, its text is searched, all of it.
    GrepDir g;
    RunResult r =
        runProgram(g.dir().path(),
                   {"/bin/bash", "-c",
                    "yes 'plain text, not an archive' | head -n 600000 | sed '0~1000s/$/ needle/' "
                    ">notes.tar && tar cf outer.tar notes.tar && rm notes.tar && "
                    "./ygrep.exe -z -c needle outer.tar; echo $?"});
    EXPECT_EQ(r.out, "outer.tar/notes.tar:600\n0\n");
}

TEST(Reading, Utf16IsTranscodedWindowByWindowWithTheOffsetsOfTheFile) {
    // Under a mebibyte in UTF-16, so that it is read whole without a window
    // setting, and over one in UTF-8, so that the windows of the transcoded
    // text pass over it; characters beyond the BMP come in surrogate pairs.
    GrepDir g;
    std::string text;
    for (int i = 0; text.size() < 1200000; ++i) {
        text += "設定ファイルを読む行、設定ファイルを書く行、設定ファイルを消す行、設定ファイルを読"
                "む行 " +
                std::to_string(i);
        if (i % 7 == 3)
            text += " 𠮷野家の needle";
        if (i % 11 == 5)
            text += " 😀😀";
        text += i % 13 == 0 ? "\r\n" : "\n";
    }
    std::string le = "\xFF\xFE" + convert(text, "UTF-16LE");
    std::string be = "\xFE\xFF" + convert(text, "UTF-16BE");
    ASSERT_LT(le.size(), 1000000u);
    g.write("le.txt", le);
    g.write("be.txt", be);
    const std::vector<std::vector<std::string>> cases = {
        {"dgrep.exe", "-a", "-n", "needle"},
        {"dgrep.exe", "-a", "-v", "needle"},
        {"cgrep.exe", "-n", "-C2", "-e", "😀"},
        {"cgrep.exe", "-c", "-e", "𠮷野家"},
        {"cgrep.exe", "-n", "-M", "-e", "読む行 [0-9]*5 "},
        {"cgrep.exe", "-n", "-F", "-e", "needle設定"},
    };
    for (const auto& c : cases) {
        for (const char* f : {"le.txt", "be.txt"}) {
            std::vector<std::string> args(c.begin() + 1, c.end());
            args.push_back(f);
            RunResult whole = g.run(c[0], args);
            ASSERT_EQ(whole.status, 0) << c[0] << " " << c[1] << " " << f << whole.err;
            for (const char* way : {"read", "map"}) {
                Setting s("TALVO_GREP_READ", way);
                Setting window("TALVO_GREP_WINDOW", "4096");
                RunResult r = g.run(c[0], args);
                EXPECT_TRUE(r.out == whole.out) << c[0] << " " << c[1] << " " << f << " " << way;
                EXPECT_EQ(r.err, "");
            }
            RunResult piped = g.run(c[0], {args.begin(), args.end() - 1}, g.dir().read(f));
            EXPECT_EQ(piped.out.size(), whole.out.size()) << c[0] << " " << c[1] << " " << f;
        }
    }
}

TEST(Reading, Utf16IsNeverHeldWhole) {
    GrepDir g;
    RunResult r = runProgram(
        g.dir().path(),
        {"/bin/bash", "-c",
         "yes 'every line of this UTF-16 file matches the pattern, and the file is far larger "
         "than the memory limit' | head -n 1000000 | iconv -f UTF-8 -t UTF-16 >big.txt; " +
             limitMemory(160) + "./cgrep.exe -c -e matches big.txt; echo $?; rm big.txt"});
    EXPECT_EQ(r.out, "1000000\n0\n");
    EXPECT_EQ(r.err, "");
}

} // namespace
