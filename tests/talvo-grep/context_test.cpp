// Context lines, headers and the other output options: groups that touch or
// overlap print each line once, separators stand only between groups.
#include "tests/talvo-grep/grep_runner.h"

using namespace talvo::test;

namespace {

// Lines 1 ... 12; "hit" on 2, 4 and 10.
const std::string kText = joinLines(
    {"l1", "l2 hit", "l3", "l4 hit", "l5", "l6", "l7", "l8", "l9", "l10 hit", "l11", "l12"});

class Context : public ::testing::Test {
protected:
    void SetUp() override { g.write("t.txt", kText); }
    RunResult c(const std::vector<std::string>& args) const { return g.run("cgrep.exe", args); }
    GrepDir g;
};

TEST_F(Context, OverlappingGroupsPrintEachLineOnceWithSeparatorsBetween) {
    RunResult r = c({"-n", "-C", "-e", "hit", "t.txt"});
    EXPECT_EQ(r.out, "1-l1\n2:l2 hit\n3-l3\n4:l4 hit\n5-l5\n6-l6\n--\n8-l8\n9-l9\n10:l10 hit\n"
                     "11-l11\n12-l12\n");
    r = c({"-n", "-A", "-e", "hit", "t.txt"});
    EXPECT_EQ(r.out, "2:l2 hit\n3-l3\n4:l4 hit\n5-l5\n--\n10:l10 hit\n11-l11\n");
    r = c({"-n", "-B", "-e", "hit", "t.txt"});
    EXPECT_EQ(r.out, "1-l1\n2:l2 hit\n3-l3\n4:l4 hit\n--\n9-l9\n10:l10 hit\n");
    // Groups that touch (after-context of 4 reaches 5, before-context of 10 starts at 7).
    r = c({"-n", "-3", "-e", "l4|l10", "t.txt"});
    EXPECT_EQ(r.out, "1-l1\n2-l2 hit\n3-l3\n4:l4 hit\n5-l5\n6-l6\n7-l7\n8-l8\n9-l9\n10:l10 hit\n"
                     "11-l11\n12-l12\n");
}

TEST_F(Context, JgrepAndYgrepContextSpellings) {
    RunResult r = g.run("jgrep.exe", {"l10", "t.txt", "-n", "-k0-1"});
    EXPECT_EQ(r.out, "10:l10 hit\n11-l11\n");
    r = g.run("jgrep.exe", {"l10", "t.txt", "-n", "-k1-0"});
    EXPECT_EQ(r.out, "9-l9\n10:l10 hit\n");
    r = g.run("jgrep.exe", {"l10", "t.txt", "-k2"});
    EXPECT_EQ(r.out, "l8\nl9\nl10 hit\nl11\nl12\n");
    r = g.run("ygrep.exe", {"-n", "-C3", "-e", "l1$", "t.txt"});
    EXPECT_EQ(r.out, "1:l1\n2-l2 hit\n3-l3\n4-l4 hit\n");
}

TEST_F(Context, ContextAcrossFilesKeepsNamesAndSeparators) {
    g.write("u.txt", "x\nhit u\n");
    RunResult r = c({"-A", "-e", "l10|hit u", "t.txt", "u.txt"});
    EXPECT_EQ(r.out, "t.txt:l10 hit\nt.txt-l11\n--\nu.txt:hit u\n");
}

TEST_F(Context, CgrepOutputOptions) {
    g.write("u.txt", "hit u\n");
    // -h: no file names; -x: whole line; -s: nothing but the status.
    EXPECT_EQ(c({"-h", "-e", "hit", "t.txt", "u.txt"}).out, "l2 hit\nl4 hit\nl10 hit\nhit u\n");
    EXPECT_EQ(c({"-x", "-e", "l1", "t.txt"}).out, "l1\n");
    RunResult r = c({"-s", "-e", "hit", "t.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = c({"-s", "-e", "absent", "t.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // -G: the file name once as a header, the lines without it.
    r = c({"-G", "-n", "-e", "hit", "t.txt", "u.txt"});
    EXPECT_EQ(r.out, "==> t.txt <==\n2:l2 hit\n4:l4 hit\n10:l10 hit\n==> u.txt <==\n1:hit u\n");
}

TEST_F(Context, WgrepHeadersAndDisplayFormats) {
    g.write("U.txt", "hit u\n");
    g.write("none.txt", "nothing\n");
    auto w = [&](std::vector<std::string> flags) {
        flags.insert(flags.end(), {"-e", "hit u|l2", "t.txt", "U.txt", "none.txt"});
        return g.run("wgrep.com", flags).out;
    };
    EXPECT_EQ(w({}), "t.txt:l2 hit\nU.txt:hit u\n");
    EXPECT_EQ(w({"-h0"}), "==> t.txt <==\nl2 hit\n==> U.txt <==\nhit u\n==> none.txt <==\n");
    EXPECT_EQ(w({"-h2"}), "==> t.txt <==\nl2 hit\n==> U.txt <==\nhit u\n");
    EXPECT_EQ(w({"-h3"}), "l2 hit\nhit u\n");
    EXPECT_EQ(w({"-h2", "-d2"}), "==> t.txt <==\nt.txt:2:l2 hit\n==> U.txt <==\nU.txt:1:hit u\n");
    EXPECT_EQ(w({"-h2", "-d17"}), "t.txt\nl2 hit\nu.txt\nhit u\n");
    EXPECT_EQ(w({"-d1"}), "t.txt:l2 hit\nu.txt:hit u\n");
}

TEST_F(Context, DgrepFileNamesAddressesAndFullPaths) {
    g.write("hit-name.txt", "nothing inside\n");
    RunResult r = g.run("dgrep.exe", {"-z", "-e", "^hit", "*.txt"});
    EXPECT_EQ(r.out, "hit-name.txt\n");
    r = g.run("dgrep.exe", {"-a", "-e", "l2|l4", "t.txt"});
    EXPECT_EQ(r.out, "3:l2 hit\n13:l4 hit\n");
    r = g.run("dgrep.exe", {"-\\", "-e", "l2", "t.txt"});
    std::string dir = g.dir().path();
    // The program directory may be reached through a symbolic link; compare the tail.
    EXPECT_NE(r.out.find("/t.txt:l2 hit\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.front(), '/');
}

TEST_F(Context, YgrepStopsAndOnlyMatchingParts) {
    g.write("u.txt", "hit u\nhit again\n");
    EXPECT_EQ(g.run("ygrep.exe", {"-o", "-e", "hit", "t.txt", "u.txt"}).out,
              "t.txt:l2 hit\nu.txt:hit u\n");
    EXPECT_EQ(g.run("ygrep.exe", {"-O", "-e", "hit", "t.txt", "u.txt"}).out, "t.txt:l2 hit\n");
    EXPECT_EQ(g.run("ygrep.exe", {"-p", "-n", "-e", "l[0-9]+", "t.txt"}).out.substr(0, 14),
              "1:l1\n2:l2\n3:l3");
    g.write("m.txt", "ab ab x ab\n");
    EXPECT_EQ(g.run("ygrep.exe", {"-p", "-e", "ab", "m.txt"}).out, "ab\nab\nab\n");
    EXPECT_EQ(g.run("izgrep.exe", {"-m", "-e", "a.", "m.txt"}).out, "ab\nab\nab\n");
    RunResult r = g.run("ygrep.exe", {"-S", "-e", "hit", "missing.txt", "u.txt"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 2);
}

TEST_F(Context, JgrepMatchLimitsPerFileAndPerRun) {
    g.write("u.txt", "hit u\nhit again\n");
    EXPECT_EQ(g.run("jgrep.exe", {"hit", "t.txt", "u.txt", "-^1"}).out,
              "t.txt:l2 hit\nu.txt:hit u\n");
    EXPECT_EQ(g.run("jgrep.exe", {"hit", "t.txt", "u.txt", "-^-5"}).out,
              "t.txt:l2 hit\nt.txt:l4 hit\nt.txt:l10 hit\nu.txt:hit u\nu.txt:hit again\n");
    EXPECT_EQ(g.run("jgrep.exe", {"hit", "t.txt", "u.txt", "-^-2"}).out,
              "t.txt:l2 hit\nt.txt:l4 hit\n");
}

} // namespace
