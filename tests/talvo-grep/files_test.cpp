// File operands as typed into the file box, the walk below directories, errors
// on single files, and the order of output when files are searched in parallel.
#include "tests/talvo-grep/grep_runner.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

using namespace talvo::test;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(g.dir().file("src/lib"));
        fs::create_directories(g.dir().file("docs"));
        g.write("src/main.c", "int hit;\n");
        g.write("src/Util.C", "hit upper\n");
        g.write("src/lib/deep.c", "deep hit\n");
        g.write("src/README", "hit no dot\n");
        g.write("docs/a.txt", "doc hit\n");
    }
    RunResult d(const std::vector<std::string>& args) const { return g.run("dgrep.exe", args); }
    GrepDir g;
};

TEST_F(Files, WildcardsIgnoreCaseAndAcceptBothSeparators) {
    EXPECT_EQ(d({"-e", "hit", "src/*.C"}).out, "src/Util.C:hit upper\nsrc/main.c:int hit;\n");
    EXPECT_EQ(d({"-e", "hit", "src\\*.c"}).out, "src/Util.C:hit upper\nsrc/main.c:int hit;\n");
    EXPECT_EQ(d({"-e", "hit", "src/M?IN.*"}).out, "src/main.c:int hit;\n");
    // *.* takes names without a dot as well.
    EXPECT_EQ(d({"-l", "-e", "hit", "src/*.*"}).out, "src/README\nsrc/Util.C\nsrc/main.c\n");
    // A plain name in another case still finds the file.
    EXPECT_EQ(d({"-e", "hit", "src/readme"}).out, "hit no dot\n");
}

TEST_F(Files, SeveralSpecificationsInOrder) {
    EXPECT_EQ(d({"-l", "-e", "hit", "docs/*.txt", "src/*.c"}).out,
              "docs/a.txt\nsrc/Util.C\nsrc/main.c\n");
    // As one argument typed into the file box.
    EXPECT_EQ(d({"-l", "-e", "hit", "docs/*.txt src/main.c"}).out, "docs/a.txt\nsrc/main.c\n");
}

TEST_F(Files, SubdirectoriesTakeTheLastPartAndSkipLinksBelowTheStart) {
    fs::create_symlink(g.dir().file("src/lib"), g.dir().file("src/zlink"));
    fs::create_symlink(g.dir().file("src/main.c"), g.dir().file("src/zfile.c"));
    EXPECT_EQ(d({"-s", "-l", "-e", "hit", "src/*.c"}).out,
              "src/Util.C\nsrc/lib/deep.c\nsrc/main.c\n");
    EXPECT_EQ(d({"-s", "-l", "-e", "hit", "*.txt"}).out, "docs/a.txt\n");
    EXPECT_EQ(d({"-s", "-l", "-e", "hit", "src"}).out,
              "src/README\nsrc/Util.C\nsrc/lib/deep.c\nsrc/main.c\n");
    // A link named as the operand itself is followed.
    EXPECT_EQ(d({"-l", "-e", "hit", "src/zlink/*.c"}).out, "src/zlink/deep.c\n");
}

TEST_F(Files, PathWithBlanksAndJapaneseLetters) {
    fs::create_directories(g.dir().file("My 資料"));
    g.write("My 資料/報告 1.txt", "hit in japanese path\n");
    EXPECT_EQ(d({"-e", "hit", "My 資料/*.txt"}).out, "My 資料/報告 1.txt:hit in japanese path\n");
    EXPECT_EQ(d({"-l", "-e", "hit", "\"My 資料/報告 1.txt\" docs/a.txt"}).out,
              "My 資料/報告 1.txt\ndocs/a.txt\n");
    EXPECT_EQ(d({"-e", "hit", "My 資料/報告 1.txt"}).out, "hit in japanese path\n");
}

TEST_F(Files, NamesInOtherEncodingsAreWrittenInUtf8) {
    // Names made on Windows or an old system: code page 932 and EUC-JP bytes
    // become UTF-8, and a byte that is neither is written as \xNN; the result
    // is UTF-8 throughout, so the next narrowing step reads it as UTF-8.
    fs::create_directories(g.dir().file("n"));
    g.write("n/" + convert("ファイル", "CP932") + ".txt", "説明 one\n");
    g.write("n/" + convert("資料", "EUC-JP") + ".txt", "説明 two\n");
    g.write("n/caf\xE9.txt", "説明 three\n");
    RunResult r = d({"-n", "-e", "説明", "n/*.txt"});
    EXPECT_EQ(r.out,
              "n/caf\\xE9.txt:1:説明 three\nn/ファイル.txt:1:説明 one\nn/資料.txt:1:説明 two\n")
        << r.err;
    g.write("RESULT00.TXT", r.out);
    EXPECT_EQ(d({"-c", "-e", "説明", "RESULT00.TXT"}).out, "3\n");
    EXPECT_EQ(d({"-c", "-e", "ファイル", "RESULT00.TXT"}).out, "1\n");
    // The file-name search looks at the name as written.
    EXPECT_EQ(d({"-z", "-e", "ファイル", "n/*.txt"}).out, "n/ファイル.txt\n");
    EXPECT_EQ(g.run("wgrep.com", {"-h2", "-d1", "-e", "two", "n/*.txt"}).out,
              "==> n/資料.txt <==\n説明 two\n");
}

TEST_F(Files, UnreadableAndMissingFilesAreReportedAndTheSearchGoesOn) {
    std::string bad = "docs/b.txt";
    g.write(bad, "hit but unreadable\n");
    fs::permissions(g.dir().file(bad), fs::perms::none);
    bool root = geteuid() == 0;
    std::vector<std::string> args{"-e", "hit", "docs/*.txt", "missing.txt", "src/main.c"};
    // Root reads any file; a file that fails with an I/O error stands in for it.
    if (root)
        args.insert(args.begin() + 3, "/proc/self/mem");
    RunResult r = d(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("docs/a.txt:doc hit\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("src/main.c:int hit;\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(root ? "/proc/self/mem" : "docs/b.txt"), std::string::npos) << r.err;
}

TEST_F(Files, ManyFilesInParallelPrintInNameOrder) {
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "many/f%03d.txt", i);
        fs::create_directories(g.dir().file("many"));
        // Uneven sizes so that files finish out of order.
        std::string body(static_cast<size_t>((i * 7919) % 200000), 'x');
        g.write(name, body + "\nmatch " + std::to_string(i) + "\n");
        expected += std::string(name) + ":match " + std::to_string(i) + "\n";
    }
    RunResult r = d({"-s", "-e", "^match", "many/*.txt"});
    EXPECT_EQ(r.out, expected);
}

TEST_F(Files, FilesWithMuchOutputAreWrittenWholeAndInOrder) {
    // Outputs below, above and far above what a file writes as it goes, and
    // what it holds while the files before it are still searched.
    const int lines[] = {3, 40000, 1, 300000, 12000, 0, 90000, 2};
    std::string expected;
    std::vector<std::string> args = {"-s", "-e", "hit"};
    for (int f = 0; f < 8; ++f) {
        std::string name = "big" + std::to_string(f) + ".txt", body;
        for (int i = 0; i < lines[f]; ++i)
            body += "hit " + std::to_string(i) + " of file " + std::to_string(f) + "\n";
        g.write(name, body + "miss\n");
        for (size_t at = 0; at < body.size();) {
            size_t nl = body.find('\n', at);
            expected += name + ":" + body.substr(at, nl + 1 - at);
            at = nl + 1;
        }
        args.push_back(name);
    }
    RunResult r = d(args);
    EXPECT_EQ(r.out.size(), expected.size());
    EXPECT_TRUE(r.out == expected);
}

TEST_F(Files, NestedDirectoriesSearchedAsTheWalkFindsThemKeepTheWalkOrder) {
    // Files and directories side by side at every level, so that files of a
    // directory come before and after those of its subdirectories, some
    // directories empty; -c and -l as well as lines.
    std::string lines, counts, names;
    std::function<void(const std::string&, int)> make = [&](const std::string& dir, int depth) {
        fs::create_directories(g.dir().file(dir));
        for (int i = 0; i < 6; ++i) {
            std::string name = dir + "/" + static_cast<char>('a' + i);
            if (i % 2 == 1 && depth < 3) {
                make(name, depth + 1);
                continue;
            }
            std::string path = name + ".txt";
            bool hit = (depth + i) % 3 != 0;
            g.write(path, hit ? "one\nhit " + path + "\n" : "none\n");
            lines += hit ? path + ":hit " + path + "\n" : "";
            counts += path + ":" + (hit ? "1" : "0") + "\n";
            names += hit ? path + "\n" : "";
        }
        fs::create_directories(g.dir().file(dir + "/zempty"));
    };
    make("tree", 0);
    EXPECT_EQ(d({"-s", "-e", "^hit", "tree"}).out, lines);
    EXPECT_EQ(d({"-s", "-c", "-e", "^hit", "tree"}).out, counts);
    EXPECT_EQ(d({"-s", "-l", "-e", "^hit", "tree"}).out, names);
    RunResult none = d({"-s", "-e", "nowhere", "tree"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    RunResult missing = d({"-s", "-e", "^hit", "nothere/*.txt"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("nothere"), std::string::npos) << missing.err;
}

} // namespace
