// The common options 0 ... 9, each run over every dialect that has it, under
// that dialect's own spelling and command-line layout.
#include "tests/talvo-grep/grep_runner.h"

#include <filesystem>

using namespace talvo::test;

namespace {

const std::string kText = joinLines({
    "the cat sat",       // 1
    "Cat and dog",       // 2
    "concatenate",       // 3
    "ｃａｔ full width", // 4
    "ＣＡＴ upper",      // 5
    "dog then cat",      // 6
    "猫cat猫",           // 7
    "cat",               // 8
    "nothing here",      // 9
});

class CommonFlags : public ::testing::Test {
protected:
    void SetUp() override { g.write("t.txt", kText); }
    GrepDir g;
};

TEST_F(CommonFlags, CountIgnoreCaseNumbersInEveryDialect) {
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        RunResult r = g.grep(d, *flagsFor(d, {"count"}), "cat", {"t.txt"});
        EXPECT_EQ(r.out, "5\n") << r.err;
        r = g.grep(d, *flagsFor(d, {"count", "icase"}), "cat", {"t.txt"});
        EXPECT_EQ(r.out, "6\n");
        // Full-width letters fold among themselves, not with ASCII.
        r = g.grep(d, *flagsFor(d, {"number", "icase"}), "ｃａｔ", {"t.txt"});
        EXPECT_EQ(r.out, "4:ｃａｔ full width\n5:ＣＡＴ upper\n");
        r = g.grep(d, *flagsFor(d, {"number"}), "dog", {"t.txt"});
        EXPECT_EQ(r.out, "2:Cat and dog\n6:dog then cat\n");
    }
}

TEST_F(CommonFlags, InvertWithCountAndFilesOnlyWithInvert) {
    g.write("all.txt", "cat\ncat\n");
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        RunResult r = g.grep(d, *flagsFor(d, {"invert", "count"}), "cat", {"t.txt"});
        EXPECT_EQ(r.out, "4\n");
        r = g.grep(d, *flagsFor(d, {"invert", "number"}), "cat|ｃａｔ|ＣＡＴ", {"t.txt"});
        EXPECT_EQ(r.out, "2:Cat and dog\n9:nothing here\n");
        // Files with at least one line that does not match.
        r = g.grep(d, *flagsFor(d, {"invert", "files"}), "cat", {"t.txt", "all.txt"});
        EXPECT_EQ(r.out, "t.txt\n");
        EXPECT_EQ(r.status, 0);
        r = g.grep(d, *flagsFor(d, {"files"}), "dog", {"t.txt", "all.txt"});
        EXPECT_EQ(r.out, "t.txt\n");
    }
}

TEST_F(CommonFlags, WordSearchAtLineEdgesAndBesideJapanese) {
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        RunResult r = g.grep(d, *flagsFor(d, {"word", "number"}), "cat", {"t.txt"});
        // Line 7: a Japanese character is a word character, so "猫cat猫" is one word.
        EXPECT_EQ(r.out, "1:the cat sat\n6:dog then cat\n8:cat\n") << r.err;
        r = g.grep(d, *flagsFor(d, {"word", "count"}), "猫cat猫", {"t.txt"});
        EXPECT_EQ(r.out, "1\n");
    }
}

TEST_F(CommonFlags, AndSearchWordsInEitherOrder) {
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        auto flags = flagsFor(d, {"and", "number"});
        if (!flags)
            continue;
        RunResult r = g.grep(d, *flags, "cat dog", {"t.txt"});
        EXPECT_EQ(r.out, "6:dog then cat\n") << r.err;
        r = g.grep(d, *flags, "dog Cat", {"t.txt"});
        EXPECT_EQ(r.out, "2:Cat and dog\n");
    }
    // Without AND the blank is part of the pattern.
    RunResult r = g.run("cgrep.exe", {"-n", "-e", "then cat", "t.txt"});
    EXPECT_EQ(r.out, "6:dog then cat\n");
}

TEST_F(CommonFlags, LiteralSearchTakesRegexCharactersAsThemselves) {
    g.write("re.txt", "a.c\nabc\n(x)+\n");
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        auto flags = flagsFor(d, {"literal", "number"});
        if (!flags)
            continue;
        EXPECT_EQ(g.grep(d, *flags, "a.c", {"re.txt"}).out, "1:a.c\n");
        EXPECT_EQ(g.grep(d, *flags, "(x)+", {"re.txt"}).out, "3:(x)+\n");
    }
}

TEST_F(CommonFlags, TagFormatForEditorJumps) {
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        auto flags = flagsFor(d, {"tag"});
        if (!flags)
            continue;
        RunResult r = g.grep(d, *flags, "dog", {"t.txt"});
        EXPECT_EQ(r.out, "t.txt(2): Cat and dog\nt.txt(6): dog then cat\n");
    }
}

TEST_F(CommonFlags, SubdirectorySearch) {
    std::filesystem::create_directories(g.dir().file("sub/deeper"));
    g.write("sub/x.txt", "dog in sub\n");
    g.write("sub/deeper/y.TXT", "dog deeper\n");
    g.write("sub/deeper/y.c", "dog in c\n");
    for (const auto& d : dialectCases()) {
        SCOPED_TRACE(d.program);
        auto flags = flagsFor(d, {"recurse"});
        if (!flags)
            continue;
        RunResult r = g.grep(d, *flags, "dog", {"*.txt"});
        EXPECT_EQ(r.out, "sub/deeper/y.TXT:dog deeper\nsub/x.txt:dog in sub\nt.txt:Cat and dog\n"
                         "t.txt:dog then cat\n")
            << r.err;
    }
}

} // namespace
