// Changes to the command-set file: append and insert, renew, delete, the
// fifteen-set limit, values that would not read back whole, and storing the
// current search in the first free set.
#include "command_set_test_files.h"
#include "commandsets/command_set_edits.h"
#include "commandsets/command_set_text.h"

#include <gtest/gtest.h>

using namespace talvo::commandsets;
using namespace talvo::commandsets::test;
using talvo::test::ProgramDir;

namespace {

std::vector<CommandSet> setsOf(const CommandSetFile& file, int count) {
    std::vector<CommandSet> sets;
    for (int n = 1; n <= count; ++n)
        sets.push_back(file.read(n));
    return sets;
}

CommandSet numbered(int n) {
    return {"set" + std::to_string(n), "cmd" + std::to_string(n)};
}

} // namespace

TEST(AddSetTest, WithoutSelectionAppends) {
    ProgramDir dir;
    writeNumberedSets(dir, 3);
    CommandSetFile file(dir.path());
    const auto result = addSet(file, 3, std::nullopt, {"new", "c-new"});
    EXPECT_TRUE(result.done());
    EXPECT_EQ(result.setNumber, 4);
    EXPECT_EQ(file.read(4), (CommandSet{"new", "c-new"}));
}

TEST(AddSetTest, InsertBeforeSelectedMovesLaterSetsUpFromTheTop) {
    ProgramDir dir;
    writeNumberedSets(dir, 4);
    CommandSetFile file(dir.path());
    const auto result = addSet(file, 4, 1, {"new", "c-new"});
    EXPECT_EQ(result.setNumber, 2);
    EXPECT_EQ(setsOf(file, 5),
              (std::vector<CommandSet>{
                  numbered(1), {"new", "c-new"}, numbered(2), numbered(3), numbered(4)}));
    // Copies from the top down put sets 4, 3, 2 at 5, 4, 3: each line in its
    // place in the file, appended keys after the section's last key.
    const std::string text = fileText(dir);
    EXPECT_NE(text.find("名前[5]=set4\r\nコマンドライン[5]=cmd4\r\n"), std::string::npos);
    EXPECT_NE(text.find("名前[2]=new\r\nコマンドライン[2]=c-new\r\n"), std::string::npos);
}

TEST(AddSetTest, InsertBeforeFirstAndFifteenthAddedButNotSixteenth) {
    ProgramDir dir;
    writeNumberedSets(dir, 14);
    CommandSetFile file(dir.path());
    EXPECT_EQ(addSet(file, 14, 0, {"first", "c-first"}).setNumber, 1);
    EXPECT_EQ(file.read(15), numbered(14));
    EXPECT_EQ(file.read(2), numbered(1));
    const std::string before = dir.read("talvolst.ini");
    const auto refused = addSet(file, 15, std::nullopt, {"x", "y"});
    EXPECT_EQ(refused.refusal, EditRefusal::ListFull);
    EXPECT_EQ(dir.read("talvolst.ini"), before);
}

TEST(AddSetTest, TooLongValuesAreRefusedAndNothingIsWritten) {
    ProgramDir dir;
    writeNumberedSets(dir, 2);
    CommandSetFile file(dir.path());
    const std::string before = dir.read("talvolst.ini");
    EXPECT_EQ(addSet(file, 2, 0, {std::string(500, 'n'), "c"}).refusal, EditRefusal::NameTooLong);
    EXPECT_EQ(addSet(file, 2, std::nullopt, {"n", std::string(500, 'c')}).refusal,
              EditRefusal::CommandLineTooLong);
    EXPECT_EQ(renewSet(file, 0, {"n", std::string(500, 'c')}).refusal,
              EditRefusal::CommandLineTooLong);
    EXPECT_EQ(dir.read("talvolst.ini"), before);
    // Exactly 499 bytes reads back whole.
    EXPECT_TRUE(addSet(file, 2, std::nullopt, {"n", std::string(499, 'c')}).done());
    EXPECT_EQ(file.readCommandLine(3), std::string(499, 'c'));
}

TEST(RenewSetTest, WritesTheSelectedSetOnly) {
    ProgramDir dir;
    writeNumberedSets(dir, 3);
    CommandSetFile file(dir.path());
    EXPECT_EQ(renewSet(file, 1, {"renamed", "c2b"}).setNumber, 2);
    EXPECT_EQ(setsOf(file, 3),
              (std::vector<CommandSet>{numbered(1), {"renamed", "c2b"}, numbered(3)}));
}

TEST(DeleteSetTest, LaterSetsMoveDownAndTheLastKeepsEmptyKeys) {
    ProgramDir dir;
    writeNumberedSets(dir, 3);
    CommandSetFile file(dir.path());
    deleteSet(file, 3, 0);
    EXPECT_EQ(setsOf(file, 3), (std::vector<CommandSet>{numbered(2), numbered(3), {}}));
    const std::string text = fileText(dir);
    EXPECT_NE(text.find("名前[3]=\r\n"), std::string::npos);
    EXPECT_NE(text.find("コマンドライン[3]=\r\n"), std::string::npos);
    EXPECT_EQ(file.editorList().size(), 2u);
}

TEST(DeleteSetTest, FullListNeverReadsPastFifteen) {
    ProgramDir dir;
    std::vector<std::string> lines;
    for (int n = 1; n <= 16; ++n) {
        lines.push_back("名前[" + std::to_string(n) + "]=set" + std::to_string(n));
        lines.push_back("コマンドライン[" + std::to_string(n) + "]=cmd" + std::to_string(n));
    }
    writeCommandSetFile(dir, lines);
    CommandSetFile file(dir.path());
    deleteSet(file, 15, 14);
    EXPECT_TRUE(file.read(15).empty());
    deleteSet(file, 14, 0);
    EXPECT_EQ(file.read(1), numbered(2));
    EXPECT_EQ(file.read(13), numbered(14));
    EXPECT_TRUE(file.read(14).empty());
}

TEST(StoreSearchTest, GoesToTheFirstSetAfterTheStoredOnes) {
    ProgramDir dir;
    writeNumberedSets(dir, 3);
    CommandSetFile file(dir.path());
    EXPECT_EQ(storeSearch(file, "CGREP.EXE  $K $F > RESULT00.TXT"), 4);
    EXPECT_EQ(file.read(4), (CommandSet{"（無題）", "CGREP.EXE  $K $F > RESULT00.TXT"}));
}

TEST(StoreSearchTest, WithoutAFileTheSetBecomesSetOne) {
    ProgramDir dir;
    CommandSetFile file(dir.path());
    EXPECT_EQ(storeSearch(file, "t"), 1);
    EXPECT_EQ(file.read(1), (CommandSet{"（無題）", "t"}));
}

TEST(StoreSearchTest, FifteenSetsLeaveTheFileAlone) {
    ProgramDir dir;
    writeNumberedSets(dir, 15);
    CommandSetFile file(dir.path());
    const std::string before = dir.read("talvolst.ini");
    EXPECT_EQ(storeSearch(file, "t"), std::nullopt);
    EXPECT_EQ(dir.read("talvolst.ini"), before);
}

TEST(StoreSearchTest, NeverOverwritesACommandLineWhoseNameIsEmpty) {
    ProgramDir dir;
    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca",
                              "名前[2]=", "コマンドライン[2]=keep-me", "名前[3]=only-name"});
    CommandSetFile file(dir.path());
    EXPECT_EQ(storeSearch(file, "t"), 4);
    EXPECT_EQ(file.read(2), (CommandSet{"", "keep-me"}));
    EXPECT_EQ(file.read(3), (CommandSet{"only-name", ""}));
    EXPECT_EQ(file.read(4), (CommandSet{"（無題）", "t"}));
}

TEST(StoreSearchTest, FifteenSetsOneWithoutNameStillCountAsFull) {
    ProgramDir dir;
    writeNumberedSets(dir, 15);
    CommandSetFile file(dir.path());
    file.write(7, {"", "cmd7"});
    EXPECT_EQ(storeSearch(file, "t"), std::nullopt);
    EXPECT_EQ(file.read(7), (CommandSet{"", "cmd7"}));
}
