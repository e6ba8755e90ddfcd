// talvo.ini as the settings read and the two saves see it: defaults, cut
// values, the history to save, paths kept with their case, the re-read, the
// code-page-932 names on disk and files that are broken, binary or absurd.
#include "app/settings.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

using namespace talvo::app;
using talvo::test::ProgramDir;

namespace {

using Entries = std::vector<std::pair<int, std::string>>;

Entries numbered(std::vector<std::string> values) {
    Entries e;
    int n = 1;
    for (auto& v : values)
        e.emplace_back(n++, std::move(v));
    return e;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

} // namespace

TEST(HistoryToSave, AFullHistoryAfterTheDefaultIsKeptWhole) {
    std::vector<std::string> list = {"feng*.*"};
    for (int i = 1; i <= 10; ++i)
        list.push_back("h" + std::to_string(i));
    const auto all = numbered({"h1", "h2", "h3", "h4", "h5", "h6", "h7", "h8", "h9", "h10"});
    EXPECT_EQ(historyToSave(list, "feng*.*"), all);
    // Repeats and the default anywhere in the list take no entry; an eleventh
    // distinct entry is not stored.
    list.insert(list.begin() + 3, {"h1", " h2 ", "feng*.*", "  "});
    list.push_back("h11");
    EXPECT_EQ(historyToSave(list, "feng*.*"), all);
}

TEST(HistoryToSave, RepeatsAreSkippedAndNumbersStayConsecutive) {
    EXPECT_EQ(historyToSave({"feng*.*", "a.c", "b.c", "a.c", "c.c"}, "feng*.*"),
              numbered({"a.c", "b.c", "c.c", "", "", "", "", "", "", ""}));
    // Repeats and the default compare trimmed and case-sensitively.
    EXPECT_EQ(historyToSave({" x ", "x", " FENG*.* ", "  feng*.*"}, " feng*.* "),
              numbered({"x", "FENG*.*", "", "", "", "", "", "", "", ""}));
}

TEST(HistoryToSave, EmptyListEmptiesEveryEntry) {
    EXPECT_EQ(historyToSave({}, "feng*.*"), numbered(std::vector<std::string>(10, "")));
    // The last position skipped as a repeat does not leave its text in the file.
    std::vector<std::string> list = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "a"};
    EXPECT_EQ(historyToSave(list, "z").back(), (std::pair<int, std::string>{10, ""}));
}

TEST(SettingsRead, MissingFileGivesEveryDefault) {
    ProgramDir dir;
    const Settings s = Settings::read(settingsPath(dir.path()), "/usr/bin/gedit");
    EXPECT_FALSE(s.left.has_value());
    EXPECT_FALSE(s.top.has_value());
    EXPECT_EQ(s.tinyFlag, 0);
    EXPECT_EQ(s.editorValue, "/usr/bin/gedit");
    EXPECT_EQ(s.editorPath, "/usr/bin/gedit");
    EXPECT_EQ(s.defaultFile, "feng*.*");
    EXPECT_EQ(s.showOptionsAtStart, 0);
    EXPECT_EQ(s.defaultFileAtStart, 0);
    EXPECT_EQ(s.common, talvo::grep::CommonTicks{});
    EXPECT_TRUE(s.history.empty());
    EXPECT_FALSE(dir.exists("talvo.ini")); // reading never creates the file
}

TEST(SettingsRead, LongValuesAreCutTo99Characters) {
    ProgramDir dir;
    const std::string longValue(120, 'e');
    // [エディタ] ファイル名=eee...
    dir.write("talvo.ini", "[\x83\x47\x83\x66\x83\x42\x83\x5e]\r\n"
                           "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc=" +
                               longValue + "\r\n");
    const Settings s = Settings::read(settingsPath(dir.path()), "ed");
    EXPECT_EQ(s.editorValue, std::string(99, 'e'));
}

TEST(SettingsRead, FindsTheFileWhateverTheCaseOfItsName) {
    ProgramDir dir;
    dir.write("TALVO.INI", "[\x88\xca\x92\x75]\r\n\x8d\xb6=300\r\n");
    EXPECT_EQ(settingsPath(dir.path()), dir.file("TALVO.INI"));
    EXPECT_EQ(Settings::read(settingsPath(dir.path()), "").left, 300);
}

TEST(SettingsRead, BrokenBinaryOrAbsurdFilesGiveDefaultsWhereNeeded) {
    ProgramDir dir;
    std::string junk = "\x00\xff\xfe garbage\r\n[\x88\xca\x92\x75\r\n=no key\r\n";
    junk.append(std::string("\0\x01\x02\x83", 4));
    junk += "\r\n[\x83\x5e\x83\x43\x83\x6a\x83\x42\x89\xe6\x96\xca]\r\n"
            "\x83\x74\x83\x89\x83\x4f=77777777777\r\n"; // フラグ, absurd
    junk += "[\x8b\x4e\x93\xae\x8e\x9e\x82\xcc\x47\x52\x45\x50]\r\nGREP\x94\xd4\x8d\x86=-9\r\n";
    junk += std::string(5000, '\x81');
    dir.write("talvo.ini", junk);
    const std::string path = settingsPath(dir.path());
    const Settings s = Settings::read(path, "ed");
    EXPECT_EQ(s.tinyFlag, 0);
    EXPECT_EQ(s.defaultFile, "feng*.*");
    EXPECT_EQ(s.editorValue, "ed");
    EXPECT_EQ(readStoredProgramNumber(path), -9); // detection reads it as 1
}

TEST(SettingsSave, PathsAreStoredTrimmedWithTheirCaseAndReadBack) {
    ProgramDir dir;
    const std::string path = settingsPath(dir.path());
    SettingsSave save;
    save.common[3] = 1;
    save.showOptionsAtStart = 1;
    save.left = 70000; // past the 16-bit range: several screens side by side
    save.top = -200;
    save.editorText = "  /opt/Editors/MyEdit ";
    save.defaultFileText = " Src/*.CPP  ";
    writeSettings(path, save);

    const EditorAndDefaultFile back = rereadEditorAndDefaultFile(path);
    EXPECT_EQ(back.editorValue, "/opt/Editors/MyEdit");
    EXPECT_EQ(back.editorPath, "/opt/Editors/MyEdit");
    EXPECT_EQ(back.defaultFile, "Src/*.CPP");

    const Settings s = Settings::read(path, "unused");
    EXPECT_EQ(s.left, 70000);
    EXPECT_EQ(s.top, -200);
    EXPECT_EQ(s.showOptionsAtStart, 1);
    EXPECT_EQ(s.common[3], 1);
    EXPECT_EQ(s.editorPath, "/opt/Editors/MyEdit");
}

TEST(SettingsSave, RereadDefaultsApplyWhenTheKeysAreMissing) {
    ProgramDir dir;
    const EditorAndDefaultFile back = rereadEditorAndDefaultFile(settingsPath(dir.path()));
    EXPECT_EQ(back.editorValue, "");
    EXPECT_EQ(back.editorPath, "");
    EXPECT_EQ(back.defaultFile, "c:\\*.*");
}

TEST(ShutdownSave, WritesCodePage932NamesAndEmptiesOldHistory) {
    ProgramDir dir;
    const std::string path = settingsPath(dir.path());
    std::string old = "[\x8c\x9f\x8d\xf5\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x71\x83\x58\x83\x67"
                      "\x83\x8a\x81\x5b]\r\n";
    for (int n = 1; n <= 10; ++n)
        old += "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc[" + std::to_string(n) + "]=old" +
               std::to_string(n) + "\r\n";
    dir.write("talvo.ini", old);

    ShutdownSave save;
    save.programNumber = 5;
    save.left = 1200;
    save.top = 900;
    save.tinyMode = false;
    save.fileList = {"feng*.*", "*.c", "*.h"};
    save.defaultFile = "feng*.*";
    writeShutdown(path, save);

    const std::string bytes = dir.read("talvo.ini");
    EXPECT_TRUE(contains(bytes, "[\x88\xca\x92\x75]\r\n"));           // [位置]
    EXPECT_TRUE(contains(bytes, "\x8d\xb6=1200\r\n"));                // 左=
    EXPECT_TRUE(contains(bytes, "\x83\x67\x83\x62\x83\x76=900\r\n")); // トップ=
    EXPECT_TRUE(contains(bytes, "[\x83\x5e\x83\x43\x83\x6a\x83\x42\x89\xe6\x96\xca]\r\n"));
    EXPECT_TRUE(contains(bytes, "\x83\x74\x83\x89\x83\x4f=0\r\n")); // フラグ=0
    EXPECT_TRUE(contains(bytes, "[\x8b\x4e\x93\xae\x8e\x9e\x82\xcc"
                                "GREP]\r\nGREP\x94\xd4\x8d\x86=5"));
    EXPECT_TRUE(contains(bytes, "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc[1]=*.c\r\n"));
    EXPECT_TRUE(contains(bytes, "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc[2]=*.h\r\n"));
    EXPECT_TRUE(contains(bytes, "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc[10]=\r\n"));
    EXPECT_FALSE(contains(bytes, "old")); // nothing pushed out comes back

    const Settings s = Settings::read(path, "");
    EXPECT_EQ(s.history, (std::vector<std::string>{"*.c", "*.h"}));
}

TEST(WindowPlacement, MissingKeysCentreOnThePrimaryScreen) {
    const TwipRect screen{0, 0, 14400, 10800};
    EXPECT_EQ(placeWindow(std::nullopt, std::nullopt, 9600, 6855, screen, {screen}),
              (std::pair<std::int32_t, std::int32_t>{2400, 1973}));
    EXPECT_EQ(placeWindow(500, std::nullopt, 9600, 6855, screen, {screen}).first, 500);
}

TEST(WindowPlacement, StoredPositionsOnAnyScreenAreKept) {
    const TwipRect left{0, 0, 14400, 10800};
    const TwipRect right{14400, 0, 28800, 16200};
    EXPECT_EQ(placeWindow(40000, 3000, 9600, 4150, left, {left, right}),
              (std::pair<std::int32_t, std::int32_t>{40000, 3000}));
    // Partly off the left edge, title bar still reachable.
    EXPECT_EQ(placeWindow(-4000, 100, 9600, 4150, left, {left}).first, -4000);
}

TEST(WindowPlacement, OffEveryScreenIsPlacedBackCentred) {
    const TwipRect screen{0, 0, 14400, 10800};
    const std::pair<std::int32_t, std::int32_t> centre{2400, 3325};
    EXPECT_EQ(placeWindow(60000, 200, 9600, 4150, screen, {screen}), centre);
    EXPECT_EQ(placeWindow(200, -5000, 9600, 4150, screen, {screen}), centre);
    EXPECT_EQ(placeWindow(200, 10790, 9600, 4150, screen, {screen}), centre);
    EXPECT_EQ(placeWindow(-9500, 200, 9600, 4150, screen, {screen}), centre);
}

TEST(ShutdownSave, AFullHistorySurvivesStartAndQuit) {
    ProgramDir dir;
    const std::string path = settingsPath(dir.path());
    std::vector<std::string> history;
    for (int n = 1; n <= 10; ++n)
        history.push_back("dir" + std::to_string(n) + "/*.c");
    ShutdownSave save;
    save.defaultFile = "feng*.*";
    save.fileList = history;
    for (int run = 0; run < 3; ++run) {
        writeShutdown(path, save);
        const Settings s = Settings::read(path, "");
        ASSERT_EQ(s.history, history) << "run " << run;
        // The next start lists the default file first, then the history.
        save.fileList = {s.defaultFile};
        save.fileList.insert(save.fileList.end(), s.history.begin(), s.history.end());
        save.defaultFile = s.defaultFile;
    }
}
