// The pattern language: syntax, invalid patterns with their position,
// patterns that make backtracking engines explode, and binary files.
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

class Patterns : public ::testing::Test {
protected:
    RunResult c(const std::vector<std::string>& args) const { return g.run("cgrep.exe", args); }
    GrepDir g;
};

TEST_F(Patterns, ExtendedSyntax) {
    g.write("t.txt", joinLines({"abc", "abd", "aXc", "a1c 22", "foo_bar baz", "", "x|y"}));
    struct {
        const char* pattern;
        const char* lines;
    } cases[] = {
        {"ab(c|d)", "1:abc\n2:abd\n"},
        {"abc\\|abd", "1:abc\n2:abd\n"},
        {"a[^b]c", "3:aXc\n4:a1c 22\n"},
        {"a\\dc", "4:a1c 22\n"},
        {"\\d{2}$", "4:a1c 22\n"},
        {"^$", "6:\n"},
        {"\\bbaz", "5:foo_bar baz\n"},
        {"\\w+\\s\\w+", "4:a1c 22\n5:foo_bar baz\n"},
        {"x\\|y", "7:x|y\n"},
        {"(a)b\\1", ""},
        {"^(.)(.).\\2?$", "1:abc\n2:abd\n3:aXc\n7:x|y\n"},
        {"[[:upper:]]", "3:aXc\n"},
    };
    for (const auto& k : cases) {
        RunResult r = c({"-n", "-e", k.pattern, "t.txt"});
        EXPECT_EQ(r.out, k.lines) << k.pattern << " " << r.err;
    }
    // A negated class never reaches into the next line.
    g.write("two.txt", "a\nb\n");
    EXPECT_EQ(c({"-c", "-e", "a[^x]b", "two.txt"}).out, "0\n");
    EXPECT_EQ(c({"-c", "-e", "a\\sb", "two.txt"}).out, "0\n");
    EXPECT_EQ(c({"-c", "-e", "a\\Wb", "two.txt"}).out, "0\n");
}

TEST_F(Patterns, EmptyPatternMatchesEveryLine) {
    g.write("t.txt", "one\n\nthree");
    EXPECT_EQ(c({"-c", "-e", "", "t.txt"}).out, "3\n");
    EXPECT_EQ(g.run("izgrep.exe", {"-c", "-e", "", "t.txt"}).out, "3\n");
}

TEST_F(Patterns, BackReferences) {
    g.write("t.txt", joinLines({"abcd xx abcd", "abcd xx abce", "hello hello"}));
    // "hell" recurs in "hello hello" as well.
    EXPECT_EQ(c({"-n", "-e", "(....).*\\1", "t.txt"}).out, "1:abcd xx abcd\n3:hello hello\n");
    EXPECT_EQ(c({"-n", "-e", "^(....) .*\\1$", "t.txt"}).out, "1:abcd xx abcd\n");
    EXPECT_EQ(c({"-n", "-w", "-e", "(\\w+) \\1", "t.txt"}).out, "3:hello hello\n");
    // Several patterns: each one's group numbers stay its own.
    EXPECT_EQ(c({"-n", "-e", "(q)\\1", "-e", "(l)\\1", "t.txt"}).out, "3:hello hello\n");
}

TEST_F(Patterns, InvalidPatternsNamePositionAndPrintNothing) {
    g.write("t.txt", "abc\n");
    struct {
        const char* pattern;
        const char* words;
    } cases[] = {
        {"ab(c", "position 3"}, {"abc)", "position 4"},    {"[abc", "position 1"},
        {"+abc", "position 1"}, {"a{3,1}", "position 2"},  {"z-a", nullptr},
        {"[z-a]", "range"},     {"\\q", "unknown escape"}, {"(a)\\2", "group"},
        {"ab\\", "ends with"},
    };
    for (const auto& k : cases) {
        RunResult r = c({"-e", k.pattern, "t.txt"});
        if (!k.words) {
            EXPECT_EQ(r.status, 1) << k.pattern;
            continue;
        }
        EXPECT_EQ(r.status, 2) << k.pattern;
        EXPECT_EQ(r.out, "") << k.pattern;
        EXPECT_NE(r.err.find(k.words), std::string::npos) << k.pattern << ": " << r.err;
        EXPECT_NE(r.err.find(k.pattern), std::string::npos) << r.err;
    }
}

TEST_F(Patterns, ExplosivePatternsFinish) {
    std::string line(100000, 'a');
    g.write("a.txt", line + "\n" + line + "b\n");
    EXPECT_EQ(c({"-c", "-e", "(a*)*b", "a.txt"}).out, "1\n");
    EXPECT_EQ(c({"-c", "-e", "(a|aa)+$", "a.txt"}).out, "1\n");
    // Through the confirming engine (word search): a result or an engine-limit
    // error, never a hang and never a silent "no match".
    g.write("w.txt", line + " b\n");
    RunResult r = c({"-c", "-w", "-e", "(a*)*b", "w.txt"});
    if (r.status == 2) {
        EXPECT_NE(r.err.find("limit"), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.out, "1\n");
        EXPECT_EQ(r.status, 0);
    }
    r = c({"-c", "-e", "(a*)*\\1c", "a.txt"});
    EXPECT_TRUE(r.status == 1 || (r.status == 2 && r.err.find("limit") != std::string::npos))
        << r.status << r.err;
}

TEST_F(Patterns, AnEngineCompileGivenUpChangesNoResult) {
    // A compile past its budget is left behind and the search goes on with
    // the other engine; a budget of nothing gives up every one. The lines,
    // counts, status and output of over 256 KiB must come out the same,
    // in every encoding.
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += "line " + std::to_string(i) + (i % 3 ? " a-x\n" : " ファイル、x\n");
    g.write("u.txt", text);
    g.write("s.txt", convert(text, "CP932"));
    g.write("e.txt", convert(text, "EUC-JP"));
    const std::vector<std::vector<std::string>> searches = {
        {"-n", "-e", "a\\Wx$"},          {"-c", "-e", "\\d\\W+x"},
        {"-n", "-e", "ル\\W"},           {"-c", "-w", "-e", "[0-9]+"},
        {"-c", "-e", "(\\w?.)+x"},       {"-c", "-e", "^line [0-9]*7 "},
        {"-c", "-e", "nothing\\W+here"}, {"-c", "-e", "([0-9])\\1 "},
    };
    for (const char* file : {"u.txt", "s.txt", "e.txt"}) {
        for (auto args : searches) {
            args.push_back(file);
            RunResult usual = c(args);
            setenv("TALVO_GREP_COMPILE_MS", "0", 1);
            RunResult without = c(args);
            unsetenv("TALVO_GREP_COMPILE_MS");
            EXPECT_EQ(without.status, usual.status) << file << " " << args[args.size() - 2];
            EXPECT_TRUE(without.out == usual.out) << file << " " << args[args.size() - 2];
            EXPECT_EQ(without.err, usual.err) << file << " " << args[args.size() - 2];
        }
    }
    EXPECT_GT(c({"-n", "-e", "a\\Wx$", "u.txt"}).out.size(), 256u << 10);
}

TEST_F(Patterns, PatternsThatExpandTooFarAreRefusedOrStillFound) {
    // Counted repetitions of repetitions, and of characters that fuzzy search
    // turns into classes, multiply what the engines must build.
    std::string xs(1000, 'x');
    xs[10] = 'X';
    g.write("u.txt", "short xxx\n" + xs + "\n");
    g.write("s.txt", convert("ファイル\n", "CP932") + std::string(999, 'x') + "\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-Z", "-e", "((x{30}){30}){30}", "u.txt"},
          std::vector<std::string>{"-e", "(.{1000}){5}", "u.txt"},
          std::vector<std::string>{"-Z", "-e", "(a(bc){100}){100}", "u.txt"}}) {
        RunResult r = c(args);
        EXPECT_EQ(r.status, 2) << args[args.size() - 2];
        EXPECT_NE(r.err.find("too complex"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // Large but bounded: still searched, in every encoding.
    EXPECT_EQ(c({"-Z", "-c", "-e", "x{1000}", "u.txt", "s.txt"}).out, "u.txt:1\ns.txt:0\n");
    EXPECT_EQ(c({"-c", "-e", "x{999}", "u.txt", "s.txt"}).out, "u.txt:0\ns.txt:1\n");
    RunResult j = g.run("jgrep.exe", {"x{1000}", "u.txt", "s.txt", "-j", "-c", "-i"});
    EXPECT_EQ(j.out, "u.txt:1\ns.txt:0\n") << j.err;
    // What a legacy encoding cannot compile is named as such, with its file.
    RunResult r = c({"-c", "-e", "(.{100}){10}", "s.txt"});
    if (r.status == 2)
        EXPECT_NE(r.err.find("s.txt: the pattern is too complex"), std::string::npos) << r.err;
    else
        EXPECT_EQ(r.out, "0\n");
}

TEST_F(Patterns, EngineLimitMarksTheResultIncomplete) {
    // Lines that match around one on which the confirming engine gives up:
    // what was found is kept, and the result says that the rest is missing.
    std::string lines;
    for (int i = 0; i < 5; ++i)
        lines += "x b\n";
    g.write("m.txt", lines + std::string(100000, 'a') + " b\n" + lines);
    const std::string note = "talvo-grep: m.txt: incomplete, the search of this file stopped "
                             "after 5 lines: ";
    RunResult r = c({"-c", "-w", "-e", "(a*)*b", "m.txt"});
    ASSERT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.err.find("m.txt: the pattern is too complex for this line"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.rfind(note, 0), 0u) << r.out; // no count of 5 as if it were all
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
    r = c({"-n", "-w", "-e", "(a*)*b", "m.txt", "m.txt"});
    EXPECT_EQ(r.out.rfind("m.txt:1:x b\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("m.txt:5:x b\n" + note), std::string::npos) << r.out;
    // A file known to match is listed whole; nothing is said of one never cut short.
    r = c({"-l", "-w", "-e", "(a*)*b", "m.txt"});
    EXPECT_EQ(r.out, "m.txt\n");
}

TEST_F(Patterns, LongLinesAndFileEdges) {
    std::string big(10 * 1024 * 1024, 'x');
    big[5 * 1024 * 1024] = 'Y';
    g.write("long.txt", "short\n" + big + "\nend");
    RunResult r = c({"-n", "-c", "-e", "Y", "long.txt"});
    EXPECT_EQ(r.out, "1\n");
    r = c({"-n", "-e", "x{3}Yx", "long.txt"});
    EXPECT_EQ(r.out.substr(0, 6), "2:xxxx");
    EXPECT_EQ(r.out.size(), big.size() + 3);
    EXPECT_EQ(c({"-n", "-e", "end$", "long.txt"}).out, "3:end\n");
    g.write("empty.txt", "");
    r = c({"-e", "", "empty.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    g.write("lf.txt", "\n");
    EXPECT_EQ(c({"-c", "-e", "^$", "lf.txt"}).out, "1\n");
    g.write("noeol.txt", "last line");
    EXPECT_EQ(c({"-e", "line$", "noeol.txt"}).out, "last line\n");
}

TEST_F(Patterns, BinaryFilesAreReportedNotDumped) {
    static const char kBinary[] = "head\0\x01\x02 needle \xFF\xFE tail\n";
    g.write("bin.dat", std::string(kBinary, sizeof kBinary - 1));
    g.write("t.txt", "needle\n");
    RunResult r = c({"-e", "needle", "bin.dat", "t.txt"});
    EXPECT_EQ(r.out, "binary file matches: bin.dat\nt.txt:needle\n");
    EXPECT_EQ(r.status, 0);
    r = c({"-e", "absent", "bin.dat"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(c({"-l", "-e", "needle", "bin.dat"}).out, "bin.dat\n");
}

TEST_F(Patterns, StandardInputWithoutFiles) {
    RunResult r = g.run("cgrep.exe", {"-n", "-e", "b"}, "a\nb\nc\n");
    EXPECT_EQ(r.out, "2:b\n");
}

} // namespace
