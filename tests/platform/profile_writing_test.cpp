// Writing settings: where a value lands, that every other byte stays, which
// writes are refused, and that a failed or interrupted write keeps the old file.
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace talvo::platform;
using talvo::test::ProgramDir;
namespace fs = std::filesystem;

namespace {

struct WriteCase {
    const char* name;
    const char* before; // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class ProfileWriting : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriting, ChangesOnlyWhatTheWriteNames) {
    const WriteCase& c = GetParam();
    ProgramDir dir;
    if (c.before)
        dir.write("t.ini", c.before);
    EXPECT_TRUE(writeProfileString(dir.file("t.ini"), c.section, c.key, c.value));
    EXPECT_EQ(dir.read("t.ini"), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Placement, ProfileWriting,
    ::testing::Values(
        WriteCase{"NewFile", nullptr, "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"EmptyFile", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"ReplaceInPlace", "; c\r\n[s]\r\na=1\r\nk=old\r\nb=2\r\n", "s", "k", "new",
                  "; c\r\n[s]\r\na=1\r\nk=new\r\nb=2\r\n"},
        WriteCase{"KeepsLayoutAroundEquals", "[s]\r\n  k = \"old\"  \r\n", "s", "k", "x",
                  "[s]\r\n  k = x\r\n"},
        WriteCase{"ValueIsTrimmed", "[s]\r\nk=1\r\n", "s", "k", "  a b \t", "[s]\r\nk=a b\r\n"},
        WriteCase{"EmptyValue", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
        WriteCase{"NewKeyAfterLastKeyBeforeBlankLines",
                  "[s]\r\na=1\r\n; note\r\nb=2\r\n\r\n\r\n[t]\r\nc=3\r\n", "s", "k", "v",
                  "[s]\r\na=1\r\n; note\r\nb=2\r\nk=v\r\n\r\n\r\n[t]\r\nc=3\r\n"},
        WriteCase{"NewKeyInEmptySection", "[s]\r\n\r\n[t]\r\n", "s", "k", "v",
                  "[s]\r\nk=v\r\n\r\n[t]\r\n"},
        WriteCase{"NewKeyInLastSectionWithoutFinalLineEnd", "[s]\r\na=1", "s", "k", "v",
                  "[s]\r\na=1\r\nk=v\r\n"},
        WriteCase{"NewKeyUnderHeaderWithoutFinalLineEnd", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"NewKeyAfterLastLineEndingInCarriageReturn", "[s]\r\na=1\r", "s", "k", "v",
                  "[s]\r\na=1\r\nk=v\r\n"},
        WriteCase{"NewKeyUnderHeaderEndingInCarriageReturn", "[s]\r", "s", "k", "v",
                  "[s]\r\nk=v\r\n"},
        WriteCase{"NewSectionAtEndWithoutBlankLine", "[s]\r\na=1\r\n", "t", "k", "v",
                  "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
        WriteCase{"NewSectionAfterMissingFinalLineEnd", "[s]\r\na=1", "t", "k", "v",
                  "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
        WriteCase{"NewSectionKeepsTrailingBlankLines", "[s]\r\na=1\r\n\r\n", "t", "k", "v",
                  "[s]\r\na=1\r\n\r\n[t]\r\nk=v\r\n"},
        WriteCase{"FirstOfRepeatedSectionAndKey", "[s]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\n", "s", "k",
                  "9", "[s]\r\nk=9\r\nk=2\r\n[s]\r\nk=3\r\n"},
        WriteCase{"NewKeyGoesToFirstOfRepeatedSection", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", "s", "k",
                  "v", "[s]\r\na=1\r\nk=v\r\n[s]\r\nb=2\r\n"},
        WriteCase{"LfOnlyLinesStayAsTheyAre", "[s]\nk=1\nz=2\n", "s", "k", "5", "[s]\nk=5\nz=2\n"},
        WriteCase{"InvalidBytesElsewhereKept", "[x]\r\nj=\x82\xFF\x80\r\n[s]\r\nk=1\r\n", "s", "k",
                  "2", "[x]\r\nj=\x82\xFF\x80\r\n[s]\r\nk=2\r\n"},
        WriteCase{"StrayKeysBeforeFirstSectionUntouched", "k=0\r\n[s]\r\n", "s", "k", "1",
                  "k=0\r\n[s]\r\nk=1\r\n"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ProfileWritingRefused, LineBreaksAndUnreadableKeysAreNeverWritten) {
    ProgramDir dir;
    const std::string before = "[s]\r\nk=1\r\n";
    dir.write("t.ini", before);
    std::string path = dir.file("t.ini");
    EXPECT_FALSE(writeProfileString(path, "s", "k", "a\r\n[evil]\r\nx=1"));
    EXPECT_FALSE(writeProfileString(path, "s", "k", "a\nb"));
    EXPECT_FALSE(writeProfileString(path, "s", "k", "a\rb"));
    EXPECT_FALSE(writeProfileString(path, "s\r\n[t]", "k", "v"));
    EXPECT_FALSE(writeProfileString(path, "s", "k\nz", "v"));
    EXPECT_FALSE(writeProfileString(path, "s", "a=b", "v"));
    EXPECT_FALSE(writeProfileString(path, "s", "[t]", "v"));
    EXPECT_FALSE(writeProfileString(path, "s", "", "v"));
    EXPECT_EQ(dir.read("t.ini"), before);
    EXPECT_FALSE(writeProfileString(dir.file("new.ini"), "s", "k", "x\r\ny"));
    EXPECT_FALSE(dir.exists("new.ini"));
}

TEST(ProfileWritingRefused, AReadOnlyFileOrDirectoryKeepsTheOldFile) {
    ProgramDir dir;
    fs::create_directory(dir.file("ro"));
    const std::string before = "[s]\r\nk=1\r\n";
    dir.write("ro/t.ini", before);
    dir.write("ro.ini", before);
    fs::permissions(dir.file("ro.ini"), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(writeProfileString(dir.file("ro.ini"), "s", "k", "2"));
    EXPECT_EQ(dir.read("ro.ini"), before);

    fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(writeProfileString(dir.file("ro/t.ini"), "s", "k", "2"));
    EXPECT_FALSE(writeProfileString(dir.file("ro/new.ini"), "s", "k", "2"));
    fs::permissions(dir.file("ro"), fs::perms::owner_all);
    EXPECT_EQ(dir.read("ro/t.ini"), before);
    EXPECT_FALSE(dir.exists("ro/new.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("ro")), fs::directory_iterator()), 1);
}

TEST(ProfileWritingAtomic, AWriteInterruptedBeforeTheRenameKeepsTheOldFile) {
    ProgramDir dir;
    const std::string before = "[s]\r\nk=1\r\n";
    dir.write("t.ini", before);
    std::string seenTemporary;
    setBeforeReplaceHook([&](const std::string& temporary) {
        seenTemporary = temporary;
        // The new contents are complete on disk before the rename.
        EXPECT_EQ(readWholeFile(temporary).value_or(""), "[s]\r\nk=2\r\n");
        return false;
    });
    EXPECT_FALSE(writeProfileString(dir.file("t.ini"), "s", "k", "2"));
    setBeforeReplaceHook({});
    EXPECT_FALSE(seenTemporary.empty());
    EXPECT_EQ(dir.read("t.ini"), before);
    EXPECT_FALSE(fileExists(seenTemporary));
}

TEST(ProfileWritingAtomic, AStrayTemporaryFileFromACrashDisturbsNothing) {
    ProgramDir dir;
    dir.write("t.ini", "[s]\r\nk=1\r\n");
    dir.write(".t.ini.tmp-1-0", "[s]\r\nk=half");
    EXPECT_EQ(getProfileInt(dir.file("t.ini"), "s", "k", 0), 1);
    EXPECT_TRUE(writeProfileString(dir.file("t.ini"), "s", "k", "2"));
    EXPECT_EQ(dir.read("t.ini"), "[s]\r\nk=2\r\n");
}

TEST(ProfileWritingAtomic, PermissionsAndSymbolicLinksAreKept) {
    ProgramDir dir;
    dir.write("t.ini", "[s]\r\nk=1\r\n");
    fs::permissions(dir.file("t.ini"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_directory(dir.file("real"));
    dir.write("real/l.ini", "[s]\r\n");
    fs::create_symlink(dir.file("real/l.ini"), dir.file("link.ini"));

    EXPECT_TRUE(writeProfileString(dir.file("t.ini"), "s", "k", "2"));
    EXPECT_EQ(fs::status(dir.file("t.ini")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(writeProfileString(dir.file("link.ini"), "s", "k", "3"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(dir.read("real/l.ini"), "[s]\r\nk=3\r\n");
}

TEST(ProfileWritingEncoding, ACharacterOutsideCodePage932SwitchesTheFileToUtf8) {
    ProgramDir dir;
    // 位置 / 左 in code page 932, a comment, and a value holding 表.
    dir.write("t.ini", "; keep\r\n[\x88\xCA\x92\x75]\r\n\x8D\xB6=10\r\np=\x95\x5C\r\n");
    std::string path = dir.file("t.ini");
    ASSERT_TRUE(writeProfileString(path, "エディタ", "ファイル名", "/home/josé/edit"));
    EXPECT_EQ(dir.read("t.ini"), "; keep\r\n[位置]\r\n左=10\r\np=表\r\n"
                                 "[エディタ]\r\nファイル名=/home/josé/edit\r\n");
    EXPECT_EQ(getProfileString(path, "エディタ", "ファイル名", "", 100), "/home/josé/edit");
    EXPECT_EQ(getProfileInt(path, "位置", "左", 0), 10);
    EXPECT_EQ(getProfileString(path, "位置", "p", "", 100), "表");

    // Later writes keep the file in UTF-8, Japanese names included.
    ASSERT_TRUE(writeProfileString(path, "位置", "左", "20"));
    EXPECT_EQ(getProfileInt(path, "位置", "左", 0), 20);
    EXPECT_NE(dir.read("t.ini").find("[位置]\r\n左=20\r\n"), std::string::npos);
}

TEST(ProfileWritingEncoding, InvalidBytesSurviveTheSwitchBehindAByteOrderMark) {
    ProgramDir dir;
    dir.write("t.ini", "[s]\r\nj=\xFF\xFE\r\n");
    std::string path = dir.file("t.ini");
    ASSERT_TRUE(writeProfileString(path, "s", "k", "é"));
    EXPECT_EQ(dir.read("t.ini"), "\xEF\xBB\xBF[s]\r\nj=\xFF\xFE\r\nk=é\r\n");
    EXPECT_EQ(getProfileString(path, "s", "k", "", 100), "é");
    // What was no text reads as replacement characters, as before the switch.
    EXPECT_EQ(getProfileString(path, "s", "j", "", 100), "\uFFFD\uFFFD");
}

TEST(ProfileWritingEncoding, AUtf8FileWithAByteOrderMarkReadsAsUtf8) {
    ProgramDir dir;
    dir.write("t.ini", "\xEF\xBB\xBF[s]\r\nk=ü\r\n");
    std::string path = dir.file("t.ini");
    EXPECT_EQ(getProfileString(path, "s", "k", "", 100), "ü");
    ASSERT_TRUE(writeProfileString(path, "s", "n", "1"));
    EXPECT_EQ(dir.read("t.ini"), "\xEF\xBB\xBF[s]\r\nk=ü\r\nn=1\r\n");
    // A cut in a UTF-8 file never splits a character: ü is two bytes.
    EXPECT_EQ(getProfileString(path, "s", "k", "", 2), "");
}

} // namespace
