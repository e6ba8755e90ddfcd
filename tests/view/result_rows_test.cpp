// Listing a result in the background: headings per file, the filter, lines
// without a final line feed, and a file much larger than one reading block.
#include "talvo-view/result_line.h"
#include "talvo-view/result_rows.h"

#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

using talvo::test::ProgramDir;
using talvo::view::LineReader;
using talvo::view::ResultRows;

namespace {

// Each row as "# path" for a heading and "text" for a line.
std::vector<std::string> listing(ResultRows& rows) {
    rows.wait();
    std::vector<std::string> out;
    LineReader reader(rows.layout());
    for (size_t i = 0; i < rows.size(); ++i) {
        auto row = rows.row(i);
        std::string line = rows.lineAt(row.offset);
        if (row.heading) {
            out.push_back("# " + reader.headingPath(line).toStdString());
        } else {
            auto shown = reader.read(line, rows.groupPathOf(i));
            out.push_back(shown.path.toStdString() + "@" + std::to_string(shown.line) + " " +
                          shown.text.toStdString());
        }
    }
    return out;
}

} // namespace

TEST(ResultRows, GroupsLinesUnderTheirFileAndFilters) {
    ProgramDir dir;
    dir.write("RESULT00.TXT", "a.c:1:alpha\r\na.c:5:Beta\nb.c:2:beta\n--\nb.c:9:gamma");
    ResultRows rows;
    ASSERT_TRUE(rows.open(dir.file("RESULT00.TXT")));
    EXPECT_EQ(listing(rows), (std::vector<std::string>{"# a.c", "a.c@1 alpha", "a.c@5 Beta",
                                                       "# b.c", "b.c@2 beta", "b.c@9 gamma"}));
    rows.setFilter("BETA");
    EXPECT_EQ(listing(rows),
              (std::vector<std::string>{"# a.c", "a.c@5 Beta", "# b.c", "b.c@2 beta"}));
    rows.setFilter("nowhere");
    EXPECT_TRUE(listing(rows).empty());
}

TEST(ResultRows, LinesUnderHeadersTakeTheHeadersPath) {
    ProgramDir dir;
    dir.write("R.TXT", "==> x/a.c <==\n3:one\n==> b.c <==\n4:two\n");
    ResultRows rows;
    ASSERT_TRUE(rows.open(dir.file("R.TXT")));
    EXPECT_EQ(listing(rows),
              (std::vector<std::string>{"# x/a.c", "x/a.c@3 one", "# b.c", "b.c@4 two"}));
}

TEST(ResultRows, AFileOfManyBlocksIsListedWhole) {
    ProgramDir dir;
    std::string text;
    const int lines = 60000;
    for (int i = 1; i <= lines; ++i)
        text += "f" + std::to_string(i / 1000) + ".txt:" + std::to_string(i) + ":" +
                std::string(20, 'x') + "\n";
    dir.write("BIG.TXT", text);
    ResultRows rows;
    ASSERT_TRUE(rows.open(dir.file("BIG.TXT")));
    rows.wait();
    EXPECT_EQ(rows.size(), static_cast<size_t>(lines + 61)); // one heading per file
    EXPECT_EQ(rows.bytesRead(), text.size());
    EXPECT_TRUE(rows.finished());
}

TEST(ResultRows, AMissingFileOrADirectoryListsNothing) {
    ProgramDir dir;
    ResultRows rows;
    EXPECT_FALSE(rows.open(dir.file("MISSING.TXT")));
    EXPECT_FALSE(rows.open(dir.path()));
    EXPECT_EQ(rows.size(), 0u);
}

TEST(ShownLines, MarksAreTakenOutAndGiveTheColumn) {
    talvo::grep::result::Layout l;
    l.names = l.lineNumbers = true;
    l.markOpen = "【";
    l.markClose = "】";
    LineReader reader(l);
    auto shown = reader.read("a.c:3:日本【語】です【x】", "");
    EXPECT_EQ(shown.text.toStdString(), "日本語ですx");
    ASSERT_EQ(shown.highlights.size(), 2);
    EXPECT_EQ(shown.highlights[0], (std::pair<int, int>{2, 1}));
    EXPECT_EQ(shown.column, 3);
    auto target = talvo::view::jumpTarget(shown, "/r");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path, "/r/a.c");
    EXPECT_EQ(target->line, 3);
    EXPECT_EQ(target->column, 3);
}

TEST(ShownLines, TheSearchesOfTheRecordAreHighlighted) {
    talvo::grep::result::Layout l;
    l.names = l.lineNumbers = true;
    l.searches = {{"b+", false, false, false}, {"X", true, true, false}};
    LineReader reader(l);
    auto shown = reader.read("/abs/a.c:3:abbx.x", "");
    ASSERT_EQ(shown.highlights.size(), 3);
    EXPECT_EQ(shown.highlights[0], (std::pair<int, int>{1, 2}));
    EXPECT_EQ(shown.column, 2);
    EXPECT_EQ(talvo::view::jumpTarget(shown, "/r")->path, "/abs/a.c");
    EXPECT_FALSE(talvo::view::jumpTarget(reader.read("", ""), "/r"));
}
