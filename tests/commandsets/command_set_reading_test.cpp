// Reading the command-set file: where it is, which entries each reader sees,
// the 499-byte limit, and the code-page-932 bytes on disk.
#include "command_set_test_files.h"
#include "commandsets/command_set_text.h"

#include <gtest/gtest.h>

using namespace talvo::commandsets;
using namespace talvo::commandsets::test;
using talvo::test::ProgramDir;

TEST(CommandSetReadingTest, MissingFileHasNoSets) {
    ProgramDir dir;
    CommandSetFile file(dir.path());
    EXPECT_TRUE(file.menuNames().empty());
    EXPECT_TRUE(file.editorList().empty());
    EXPECT_FALSE(dir.exists("talvolst.ini")); // reading never creates it
}

TEST(CommandSetReadingTest, FileIsFoundRegardlessOfCaseAndKeepsItsName) {
    ProgramDir dir;
    writeCommandSetFile(dir, {"名前[1]=one", "コマンドライン[1]=c1"}, "TalvoLst.INI");
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.path(), dir.file("TalvoLst.INI"));
    EXPECT_EQ(file.menuNames(), std::vector<std::string>{"one"});
    file.write(2, {"two", "c2"});
    EXPECT_FALSE(dir.exists("talvolst.ini"));
    EXPECT_NE(fileText(dir, "TalvoLst.INI").find("名前[2]=two"), std::string::npos);
}

TEST(CommandSetReadingTest, AGapEndsTheMenuAndTheList) {
    ProgramDir dir;
    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca", "名前[2]=b",
                              "コマンドライン[2]=cb", "名前[4]=d", "コマンドライン[4]=cd"});
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.menuNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(file.editorList().size(), 2u);
}

TEST(CommandSetReadingTest, MenuStopsAtAnEmptyNameAndTheListAtAnEmptyCommandLine) {
    ProgramDir dir;
    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca",
                              "名前[2]=", "コマンドライン[2]=only-line", "名前[3]=only-name",
                              "コマンドライン[3]="});
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.menuNames(), std::vector<std::string>{"a"});
    const auto list = file.editorList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(listLine(list[1].name, list[1].commandLine), "：only-line");

    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca", "名前[2]=only-name", "名前[3]=c",
                              "コマンドライン[3]=cc"});
    EXPECT_EQ(file.menuNames(), (std::vector<std::string>{"a", "only-name", "c"}));
    EXPECT_EQ(file.editorList().size(), 1u);
}

TEST(CommandSetReadingTest, KeysAboveFifteenAreIgnored) {
    ProgramDir dir;
    std::vector<std::string> lines;
    for (int n = 1; n <= 17; ++n) {
        lines.push_back("名前[" + std::to_string(n) + "]=s" + std::to_string(n));
        lines.push_back("コマンドライン[" + std::to_string(n) + "]=c" + std::to_string(n));
    }
    writeCommandSetFile(dir, lines);
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.menuNames().size(), 15u);
    EXPECT_EQ(file.editorList().size(), 15u);
    EXPECT_EQ(file.readName(16), "");
    EXPECT_EQ(file.readName(0), "");
}

TEST(CommandSetReadingTest, ValuesAreTrimmedOfSpacesOnlyAndCutAt499Bytes) {
    ProgramDir dir;
    const std::string longValue(600, 'x');
    writeCommandSetFile(dir, {"名前[1]=" + longValue, "コマンドライン[1]=a\t"});
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.readName(1), std::string(499, 'x'));
    // 499 bytes of code page 932: 249 double-byte characters, never half of one.
    std::string kana;
    for (int i = 0; i < 300; ++i)
        kana += "あ";
    writeCommandSetFile(dir, {"名前[1]=" + kana});
    const std::string cut = file.readName(1);
    EXPECT_EQ(talvo::platform::utf8ToCp932(cut).value().size(), 498u);
}

TEST(CommandSetReadingTest, WrittenSetIsCodePage932OnDisk) {
    ProgramDir dir;
    CommandSetFile file(dir.path());
    ASSERT_TRUE(file.write(1, {std::string(kUntitledName), "a[↓]b"}));
    const std::string bytes = dir.read("talvolst.ini");
    EXPECT_NE(bytes.find("\x5B\x83\x52\x83\x7D\x83\x93\x83\x68\x83\x5A\x83\x62\x83\x67\x5D\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("\x96\xBC\x91\x4F\x5B\x31\x5D\x3D\x81\x69\x96\xB3\x91\xE8\x81\x6A\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("\x83\x52\x83\x7D\x83\x93\x83\x68\x83\x89\x83\x43\x83\x93\x5B\x31\x5D"
                         "\x3D"
                         "a\x5B\x81\xAB\x5D"
                         "b\r\n"),
              std::string::npos);
    EXPECT_EQ(file.read(1), (CommandSet{"（無題）", "a[↓]b"}));
}

TEST(CommandSetReadingTest, StoredLengthIsCountedInCodePage932Bytes) {
    ProgramDir dir;
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.storedLength("あいう"), 6u); // 9 bytes of UTF-8
    std::string fits;
    for (int i = 0; i < 249; ++i)
        fits += "あ";
    EXPECT_TRUE(file.readsBackWhole(fits + "x"));   // 499 bytes
    EXPECT_FALSE(file.readsBackWhole(fits + "xy")); // 500 bytes
    EXPECT_TRUE(file.readsBackWhole(std::string(499, 'x') + "   "));

    // The same once a name has moved the file to UTF-8: a Japanese template of
    // 417 bytes in code page 932 (617 in UTF-8) comes back whole.
    std::string japanese;
    for (int i = 0; i < 200; ++i)
        japanese += "検";
    japanese += "CGREP.EXE $K $F";
    ASSERT_TRUE(file.write(1, {"café", japanese + "xx"}));
    EXPECT_EQ(file.storedLength("あいう"), 6u);
    EXPECT_EQ(file.storedLength(japanese + "xx"), 417u);
    EXPECT_EQ(file.storedLength("é"), 2u);
    EXPECT_EQ(file.read(1), (CommandSet{"café", japanese + "xx"}));
    EXPECT_TRUE(file.readsBackWhole(fits + "x"));
    EXPECT_FALSE(file.readsBackWhole(fits + "xy"));
}

TEST(CommandSetReadingTest, TemplatesInQuotesReadBackAsWritten) {
    ProgramDir dir;
    CommandSetFile file(dir.path());
    const CommandSet quoted{"\"mine\"", "\"./my grep\" -e $K \"$F\""};
    ASSERT_TRUE(file.write(1, quoted));
    EXPECT_EQ(file.read(1), quoted);
    EXPECT_EQ(file.editorList(), std::vector<CommandSet>{quoted});
}
