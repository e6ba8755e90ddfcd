// The origin of a result line in every layout talvo-grep writes, the record
// that marks talvo-grep's own result files, and the guess for files without one.
#include "talvo-grep/result_file.h"

#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace talvo::grep::result;
using talvo::test::ProgramDir;

namespace {

Layout layout(bool names, bool numbers, bool tag = false, bool context = false) {
    Layout l;
    l.names = names || tag;
    l.lineNumbers = numbers;
    l.tag = tag;
    l.context = context;
    return l;
}

struct Case {
    const char* line;
    Origin::Type type;
    const char* path;
    long lineNo;
    const char* text;
};

void expectOrigins(const Layout& l, const std::vector<Case>& cases, std::string group = {}) {
    for (const Case& c : cases) {
        std::string_view line = c.line;
        Origin o = parseLine(line, l, group);
        EXPECT_EQ(o.type, c.type) << c.line;
        EXPECT_EQ(o.path, c.path) << c.line;
        EXPECT_EQ(o.line, c.lineNo) << c.line;
        EXPECT_EQ(line.substr(o.textStart), c.text) << c.line;
    }
}

} // namespace

TEST(Origins, PathAndLineNumber) {
    expectOrigins(layout(true, true, false, true),
                  {{"src/a.c:12:int x = 1;", Origin::Type::Match, "src/a.c", 12, "int x = 1;"},
                   {"src/a.c-11-// before", Origin::Type::Context, "src/a.c", 11, "// before"},
                   {"dir:x/b.c:3:a:4:b", Origin::Type::Match, "dir:x/b.c", 3, "a:4:b"},
                   {"--", Origin::Type::Separator, "", 0, "--"},
                   {"C:\\x.txt:7:", Origin::Type::Match, "C:\\x.txt", 7, ""}});
}

TEST(Origins, AContextLineOfADashedNameIsToldByItsGroup) {
    Layout l = layout(true, true, false, true);
    // Without the group, "a-1-b.c-5-x:2:y" reads as a match of the file "a-1-b.c-5-x".
    expectOrigins(l, {{"a-1-b.c-5-x:2:y", Origin::Type::Context, "a-1-b.c", 5, "x:2:y"}},
                  "a-1-b.c");
    expectOrigins(layout(true, false, false, true),
                  {{"my-file.c-text: more", Origin::Type::Context, "my-file.c", 0, "text: more"},
                   {"my-file.c:hit", Origin::Type::Match, "my-file.c", 0, "hit"}},
                  "my-file.c");
}

TEST(Origins, TagFormat) {
    expectOrigins(
        layout(true, false, true, true),
        {{"src/a (1).c(12): text (3): x", Origin::Type::Match, "src/a (1).c", 12, "text (3): x"},
         {"a.c(2)- ctx", Origin::Type::Context, "a.c", 2, "ctx"},
         {"a.c(9): ", Origin::Type::Match, "a.c", 9, ""}});
}

TEST(Origins, NumbersOnlyPlainTextAndByteOffsets) {
    expectOrigins(layout(false, true), {{"42:a:b", Origin::Type::Match, "", 42, "a:b"}});
    expectOrigins(layout(false, false), {{"a.c:1:x", Origin::Type::Match, "", 0, "a.c:1:x"}});
    Layout offsets = layout(true, true);
    offsets.byteOffset = true;
    expectOrigins(offsets, {{"a.c:3:120:text", Origin::Type::Match, "a.c", 3, "text"}});
}

TEST(Origins, Headers) {
    Layout l = layout(false, true);
    l.headers = true;
    expectOrigins(l,
                  {{"==> sub/a b.c <==", Origin::Type::Header, "sub/a b.c", 0, "==> sub/a b.c <=="},
                   {"5:x", Origin::Type::Match, "", 5, "x"}});
    l.conciseHeaders = true;
    expectOrigins(l, {{"sub/a.c", Origin::Type::Header, "sub/a.c", 0, "sub/a.c"},
                      {"5:x", Origin::Type::Match, "", 5, "x"}});
}

TEST(Origins, CountsAndNamesHaveNoTextPart) {
    Layout l;
    l.kind = Layout::Kind::Counts;
    EXPECT_EQ(parseLine("a.c:3", l).type, Origin::Type::Other);
}

TEST(ResultRecord, RoundTripsAndRefusesAnythingElse) {
    Layout l = layout(true, true, false, true);
    l.markOpen = "【";
    l.markClose = "】";
    l.searches = {{"a%b\nc", false, true, false}, {"x", true, false, true}};
    Stamp s{12, 345, 1700000000, 999};
    auto back = parseRecord(formatRecord(l, s));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->first, l);
    EXPECT_EQ(back->second, s);
    std::string text = formatRecord(l, s);
    EXPECT_FALSE(parseRecord(text.substr(0, text.size() - 4))); // cut before "end"
    EXPECT_FALSE(parseRecord("talvo-grep result 2\nend\n"));
    EXPECT_FALSE(parseRecord(""));
    EXPECT_FALSE(parseRecord("talvo-grep result 1\nkind=lines\nend\n")); // no stamp
}

TEST(ResultRecord, OnlyTheMarkedUnchangedFileIsTakenForAResult) {
    ProgramDir dir;
    dir.write("RESULT00.TXT", "a.c:1:x\n");
    dir.write("LOOKALIKE.TXT", "a.c:1:x\n");
    int fd = open(dir.file("RESULT00.TXT").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    Layout l = layout(true, true);
    if (!markResult(fd, l)) {
        close(fd);
        GTEST_SKIP() << "the file system keeps no extended attributes";
    }
    EXPECT_EQ(resultLayout(fd), l);
    close(fd);
    EXPECT_EQ(resultLayout(dir.file("RESULT00.TXT")), l);
    EXPECT_FALSE(resultLayout(dir.file("LOOKALIKE.TXT")));
    EXPECT_FALSE(resultLayout(dir.file("MISSING.TXT")));
    // A change after the search: the record no longer fits the file.
    dir.write("RESULT00.TXT", "a.c:1:y\n");
    EXPECT_FALSE(resultLayout(dir.file("RESULT00.TXT")));
}

TEST(GuessedLayout, FromTheLinesThemselves) {
    Layout tag = guessLayout("a.c(1): x\nb.c(20): y\n");
    EXPECT_TRUE(tag.tag);
    Layout numbered = guessLayout("==> a.c <==\n1:x\n5:y\n");
    EXPECT_TRUE(numbered.headers);
    EXPECT_TRUE(numbered.lineNumbers);
    EXPECT_FALSE(numbered.names);
    Layout both = guessLayout("a.c:1:x\nb.c:22:y\n--\n");
    EXPECT_TRUE(both.names && both.lineNumbers && both.context);
    Layout prose = guessLayout("just text\nnothing: here\n");
    EXPECT_FALSE(prose.names || prose.lineNumbers || prose.tag);
}
