// The dialect comes from the program's name; each dialect reads its own
// command line, rejects what it does not know and documents its flags.
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

const std::string kText = joinLines({"alpha one", "Beta two", "gamma ALPHA", "delta"});

TEST(Dialects, NameDecidesDialectWhateverCaseAndExtension) {
    GrepDir g;
    g.dir().linkBuildProgram("talvo-grep", "DGREP.EXE");
    g.dir().linkBuildProgram("talvo-grep", "jgslim.exe");
    g.dir().linkBuildProgram("talvo-grep", "Wgrep");
    struct {
        const char* program;
        const char* dialect;
    } cases[] = {{"cgrep.exe", "CGREP"}, {"DGREP.EXE", "DGREP"},   {"izgrep.exe", "IZGREP"},
                 {"jgrep.exe", "JGREP"}, {"jgslim.exe", "JGSLIM"}, {"Wgrep", "WGREP"},
                 {"wgrep.com", "WGREP"}, {"ygrep.exe", "YGREP"}};
    for (const auto& c : cases) {
        RunResult r = g.run(c.program, {"--version"});
        EXPECT_EQ(r.status, 0) << c.program;
        EXPECT_NE(r.out.find(std::string("(") + c.dialect + ")"), std::string::npos)
            << c.program << ": " << r.out;
    }
    RunResult r = g.run("talvo-grep", {"--dialect", "ygrep", "--version"});
    EXPECT_NE(r.out.find("(YGREP)"), std::string::npos) << r.out;
    r = g.run("talvo-grep", {"--dialect", "nogrep", "x"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nogrep"), std::string::npos);
}

TEST(Dialects, SameSearchThroughEveryNameFindsSameLines) {
    GrepDir g;
    g.write("t.txt", kText);
    const std::string expected = "1:alpha one\n3:gamma ALPHA\n";
    RunResult c = g.run("cgrep.exe", {"-n", "-i", "alpha", "t.txt"});
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, expected);
    for (const auto& d : dialectCases()) {
        RunResult r = g.grep(d, {d.flag.at("number"), d.flag.at("icase")}, "alpha", {"t.txt"});
        EXPECT_EQ(r.status, 0) << d.program << r.err;
        EXPECT_EQ(r.out, expected) << d.program;
    }
}

TEST(Dialects, JgrepLayoutTakesFlagsAfterTheFiles) {
    GrepDir g;
    g.write("t.txt", kText);
    g.write("-v", "alpha as a file\n");
    RunResult r = g.run("jgrep.exe", {"alpha", "t.txt", "-i", "-n"});
    EXPECT_EQ(r.out, "1:alpha one\n3:gamma ALPHA\n") << r.err;
    // After "--" a dash starts a file name, not a flag.
    r = g.run("jgrep.exe", {"alpha", "-n", "--", "-v"});
    EXPECT_EQ(r.out, "1:alpha as a file\n") << r.err;
    // The first argument is the pattern even when it looks like a flag; the
    // flags after it still count and nothing is read from standard input.
    g.write("opts.txt", "use -v to invert\nplain\n");
    r = g.run("jgrep.exe", {"-v", "*.txt", "-n"}, "-v from standard input\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "opts.txt:1:use -v to invert\n");
    r = g.run("jgrep.exe", {"-c", "opts.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // -e after the pattern adds one.
    r = g.run("jgrep.exe", {"delta", "t.txt", "-e", "two"});
    EXPECT_EQ(r.out, "Beta two\ndelta\n");
}

TEST(Dialects, FlagsEndAtThePatternOutsideJgrep) {
    GrepDir g;
    g.write("t.txt", kText);
    g.write("-n", "delta in a file named -n\n");
    RunResult r = g.run("cgrep.exe", {"delta", "t.txt", "-n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "t.txt:delta\n-n:delta in a file named -n\n");
    // Repeated -e: any of the patterns, as " -e " inside an unquoted pattern gives.
    r = g.run("cgrep.exe", {"-e", "one", "-e", "two", "t.txt"});
    EXPECT_EQ(r.out, "alpha one\nBeta two\n");
}

TEST(Dialects, IzgrepExtraPatternsWithEAndS) {
    GrepDir g;
    g.write("t.txt", kText);
    RunResult r = g.run("izgrep.exe", {"-n", "-e", "one", "-s", "delta", "t.txt"});
    EXPECT_EQ(r.out, "1:alpha one\n4:delta\n") << r.err;
}

TEST(Dialects, ClusteredOneLetterFlags) {
    GrepDir g;
    g.write("t.txt", kText);
    RunResult r = g.run("cgrep.exe", {"-in", "alpha", "t.txt"});
    EXPECT_EQ(r.out, "1:alpha one\n3:gamma ALPHA\n");
}

TEST(Dialects, ArchiveFlagsSearchPlainFilesAsBefore) {
    GrepDir g;
    g.write("t.txt", kText);
    struct {
        const char* program;
        std::vector<std::string> args;
        const char* flag;
    } cases[] = {
        // The archive flags; a file that is no archive is searched as it stands.
        {"jgrep.exe", {"alpha", "t.txt", "-y"}, "-y"},
        {"wgrep.com", {"-d8", "-e", "alpha", "t.txt"}, "-d8"},
        {"ygrep.exe", {"-z", "-e", "alpha", "t.txt"}, "-z"},
    };
    for (const auto& c : cases) {
        RunResult r = g.run(c.program, c.args);
        EXPECT_EQ(r.status, 0) << c.program << " " << c.flag << ": " << r.err;
        EXPECT_NE(r.out.find("alpha one"), std::string::npos) << c.program << " " << c.flag;
    }
    RunResult r = g.run("dgrep.exe", {"-t", "-e", "a", "t.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown flag -t"), std::string::npos) << r.err;
}

TEST(Dialects, HelpListsEveryFlagInJapaneseAndEnglish) {
    GrepDir g;
    struct {
        const char* program;
        std::vector<const char*> needles;
    } cases[] = {
        {"cgrep.exe", {"-G", "-x", "-3", "ファジー検索", "fuzzy search", "PATH(LINE): TEXT"}},
        {"wgrep.com", {"-dN", "-h0", "-h3", "-jN", "-sN", "-u", "ヘッダ表示"}},
        {"jgrep.exe",
         {"-n-fn", "-kB-A", "-^-N", "-^N", "-\\/OPEN/CLOSE", "PATTERN [FILES...] [FLAGS...]"}},
        {"dgrep.exe", {"-JN", "-\\", "アドレス表示", "byte offset"}},
        {"ygrep.exe", {"-%", "-C", "-O", "-S", "-p"}},
        {"izgrep.exe", {"-m", "-s PATTERN"}},
    };
    for (const auto& c : cases) {
        RunResult r = g.run(c.program, {"--help"});
        EXPECT_EQ(r.status, 0);
        for (const char* n : c.needles) {
            EXPECT_NE(r.out.find(n), std::string::npos) << c.program << " lacks " << n;
        }
    }
}

TEST(Dialects, NoPatternIsAnError) {
    GrepDir g;
    RunResult r = g.run("cgrep.exe", {"-n"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no pattern"), std::string::npos);
}

} // namespace
