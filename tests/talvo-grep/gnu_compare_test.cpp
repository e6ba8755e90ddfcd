// Counts per file against GNU grep on one generated tree, for the flags that
// mean the same in both.
#include "tests/talvo-grep/grep_runner.h"

#include <filesystem>
#include <map>
#include <random>

using namespace talvo::test;
namespace fs = std::filesystem;

namespace {

// "path:count" lines into a map, "./" dropped.
std::map<std::string, std::string> perFile(const std::string& out) {
    std::map<std::string, std::string> m;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("./", 0) == 0)
            line.erase(0, 2);
        size_t colon = line.rfind(':');
        if (colon == std::string::npos) {
            m[line] = "";
        } else {
            m[line.substr(0, colon)] = line.substr(colon + 1);
        }
    }
    return m;
}

TEST(GnuCompare, CountsAgreeOnAGeneratedTree) {
    if (!fs::exists("/usr/bin/grep"))
        GTEST_SKIP() << "GNU grep not installed";
    GrepDir g;
    const char* words[] = {"alpha", "Beta", "gamma", "delta_x", "foo", "FOO",     "bar-baz",
                           "q.x",   "42",   "x42y",  "end",     "  ",  "(paren)", "tab\there"};
    std::mt19937 rng(12345);
    fs::create_directories(g.dir().file("tree/a/b"));
    fs::create_directories(g.dir().file("tree/c"));
    const char* dirs[] = {"tree/", "tree/a/", "tree/a/b/", "tree/c/"};
    for (int f = 0; f < 40; ++f) {
        std::string text;
        int lines = static_cast<int>(rng() % 60);
        for (int l = 0; l < lines; ++l) {
            int n = static_cast<int>(rng() % 8);
            for (int w = 0; w < n; ++w) {
                text += words[rng() % std::size(words)];
                text += rng() % 3 ? " " : "";
            }
            text += "\n";
        }
        g.write(std::string(dirs[f % 4]) + "f" + std::to_string(f) + ".txt", text);
    }
    struct {
        std::vector<std::string> ours; // DGREP flags
        std::vector<std::string> gnu;
        const char* pattern;
    } cases[] = {
        {{"-c"}, {"-c"}, "foo"},
        {{"-c", "-i"}, {"-c", "-i"}, "foo"},
        {{"-c", "-v"}, {"-c", "-v"}, "a"},
        {{"-c", "-w"}, {"-c", "-w"}, "42"},
        {{"-c", "-w"}, {"-c", "-w"}, "x"},
        {{"-c"}, {"-c"}, "^(alpha|gamma) "},
        {{"-c"}, {"-c"}, "[0-9]+y"},
        {{"-c"}, {"-c"}, "a.p"},
        {{"-c"}, {"-c"}, "\\(paren\\)$"},
        {{"-c"}, {"-c"}, "(foo|FOO) *\\1"},
        {{"-c", "-i", "-w"}, {"-c", "-i", "-w"}, "beta"},
        {{"-l"}, {"-l"}, "end$"},
        {{"-l", "-v"}, {"-l", "-v"}, "e"},
    };
    for (const auto& k : cases) {
        std::vector<std::string> ours = k.ours;
        ours.insert(ours.begin(), "-s");
        ours.insert(ours.end(), {"-e", k.pattern, "tree/*.txt"});
        RunResult mine = g.run("dgrep.exe", ours);
        std::vector<std::string> gnu{"/usr/bin/grep", "-r", "-E", "--include=*.txt"};
        gnu.insert(gnu.end(), k.gnu.begin(), k.gnu.end());
        gnu.insert(gnu.end(), {"-e", k.pattern, "tree"});
        RunResult theirs = runProgram(g.dir().path(), gnu);
        EXPECT_EQ(perFile(mine.out), perFile(theirs.out)) << k.pattern << " " << mine.err;
        EXPECT_EQ(mine.status, theirs.status) << k.pattern;
    }
}

} // namespace
