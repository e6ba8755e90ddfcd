// File services: the case-insensitive lookup of the system's own files, whole
// file reads and writes, PATH lookup, the default editor and the program directory.
#include "platform/editor.h"
#include "platform/files.h"
#include "platform/progdir.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

using namespace talvo::platform;
using talvo::test::ProgramDir;
namespace fs = std::filesystem;

namespace {

// Sets PATH for one test and puts the old one back.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& path) {
        if (const char* old = std::getenv("PATH"))
            old_ = old;
        setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

void makeExecutable(const ProgramDir& dir, const std::string& name) {
    dir.write(name, "#!/bin/sh\n");
    fs::permissions(dir.file(name), fs::perms::owner_all);
}

TEST(CaseInsensitiveLookup, FindsTheSystemsFilesInAnySpelling) {
    ProgramDir dir;
    dir.write("XXX.BAT", "");
    dir.write("talvo.ini", "");
    EXPECT_EQ(findCaseInsensitive(dir.path(), "xxx.bat"), dir.file("XXX.BAT"));
    EXPECT_EQ(findCaseInsensitive(dir.path(), "XXX.BAT"), dir.file("XXX.BAT"));
    EXPECT_EQ(findCaseInsensitive(dir.path(), "TALVO.INI"), dir.file("talvo.ini"));
    std::string noSlash = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(findCaseInsensitive(noSlash, "Xxx.Bat"), dir.file("XXX.BAT"));
    EXPECT_EQ(findCaseInsensitive(dir.path(), "www.bat"), std::nullopt);
    EXPECT_EQ(findCaseInsensitive(dir.path(), "xxx.ba"), std::nullopt);
    EXPECT_EQ(findCaseInsensitive(dir.file("missing"), "x"), std::nullopt);

    EXPECT_EQ(systemFilePath(dir.path(), "xxx.bat"), dir.file("XXX.BAT"));
    EXPECT_EQ(systemFilePath(dir.path(), "WWW.BAT"), dir.file("WWW.BAT"));
}

TEST(CaseInsensitiveLookup, AnExactSpellingWinsAndOnlyAsciiLettersFold) {
    ProgramDir dir;
    dir.write("Result00.txt", "");
    dir.write("RESULT00.TXT", "");
    dir.write("ÉTÉ.txt", "");
    EXPECT_EQ(findCaseInsensitive(dir.path(), "RESULT00.TXT"), dir.file("RESULT00.TXT"));
    EXPECT_EQ(findCaseInsensitive(dir.path(), "Result00.txt"), dir.file("Result00.txt"));
    EXPECT_TRUE(findCaseInsensitive(dir.path(), "result00.txt").has_value());
    EXPECT_EQ(findCaseInsensitive(dir.path(), "été.txt"), std::nullopt);
    EXPECT_EQ(findCaseInsensitive(dir.path(), "ÉTÉ.TXT"), dir.file("ÉTÉ.txt"));
}

TEST(FileServices, WholeFilesEmptyFilesAndDeletion) {
    ProgramDir dir;
    std::string path = dir.file("a b é.txt");
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(fileLength(path), std::nullopt);
    EXPECT_EQ(readWholeFile(path), std::nullopt);
    EXPECT_TRUE(deleteFile(path)); // a missing file is no error

    std::string bytes("x\r\n\0\xFF", 5);
    ASSERT_TRUE(writeWholeFile(path, bytes));
    EXPECT_EQ(readWholeFile(path), bytes);
    EXPECT_EQ(fileLength(path), 5u);
    ASSERT_TRUE(createEmptyFile(path)); // keeps what is there
    EXPECT_EQ(fileLength(path), 5u);
    ASSERT_TRUE(writeWholeFile(path, "y"));
    EXPECT_EQ(readWholeFile(path), "y");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(fileExists(path));

    ASSERT_TRUE(createEmptyFile(path));
    EXPECT_EQ(fileLength(path), 0u);
    EXPECT_FALSE(writeWholeFile(dir.file("no/such/dir"), "x"));
    EXPECT_TRUE(isDirectory(dir.path()));
    EXPECT_FALSE(isDirectory(path));
    EXPECT_EQ(fileLength(dir.path()), std::nullopt);
}

TEST(FileServices, CurrentDirectoryFollowsSetCurrentDirectory) {
    ProgramDir dir;
    std::string before = currentDirectory();
    fs::create_directory(dir.file("with blank"));
    ASSERT_TRUE(setCurrentDirectory(dir.file("with blank")));
    EXPECT_EQ(fs::path(currentDirectory()), fs::canonical(dir.file("with blank")));
    EXPECT_FALSE(setCurrentDirectory(dir.file("missing")));
    ASSERT_TRUE(setCurrentDirectory(before));
}

TEST(FileServices, ANamelessTempFileLeavesNothingBehind) {
    ProgramDir dir;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", dir.path().c_str(), 1);
    std::string why;
    int fd = openNamelessTempFile(why);
    ASSERT_GE(fd, 0) << why;
    EXPECT_EQ(write(fd, "kept", 4), 4);
    char back[4] = {};
    EXPECT_EQ(pread(fd, back, 4, 0), 4);
    EXPECT_EQ(std::string(back, 4), "kept");
    EXPECT_TRUE(fs::is_empty(dir.path()));
    close(fd);
    setenv("TMPDIR", dir.file("missing").c_str(), 1);
    EXPECT_EQ(openNamelessTempFile(why), -1);
    EXPECT_NE(why.find(dir.file("missing")), std::string::npos) << why;
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(FileServices, FindOnPathTakesTheFirstRunnableMatch) {
    ProgramDir first, second;
    first.write("tool", "not runnable");
    makeExecutable(second, "tool");
    makeExecutable(first, "other");
    ScopedPath path(first.path() + ":" + second.path());
    EXPECT_EQ(findOnPath("tool"), second.file("tool"));
    EXPECT_EQ(findOnPath("other"), first.file("other"));
    EXPECT_EQ(findOnPath("missing"), std::nullopt);
    EXPECT_EQ(findOnPath(first.file("other")), first.file("other"));
    EXPECT_EQ(findOnPath(first.file("tool")), std::nullopt);
    EXPECT_EQ(findOnPath(""), std::nullopt);
}

TEST(DefaultEditor, TakesTheFirstEditorOfTheListThenTheOpener) {
    ProgramDir dir;
    {
        ScopedPath path(dir.path());
        EXPECT_EQ(defaultEditor(), "");
        makeExecutable(dir, "xdg-open");
        EXPECT_EQ(defaultEditor(), dir.file("xdg-open"));
        makeExecutable(dir, "leafpad");
        makeExecutable(dir, "mousepad");
        EXPECT_EQ(defaultEditor(), dir.file("mousepad"));
    }
}

TEST(DefaultEditor, OffersTheResultViewAfterTheEditorsAndBeforeTheOpener) {
    ProgramDir path, install;
    ScopedPath scoped(path.path());
    makeExecutable(path, "xdg-open");
    EXPECT_EQ(defaultEditor(install.path()), path.file("xdg-open"));
    makeExecutable(install, "talvo-view");
    EXPECT_EQ(defaultEditor(install.path()), install.file("talvo-view"));
    makeExecutable(path, "geany");
    EXPECT_EQ(defaultEditor(install.path()), path.file("geany"));
}

TEST(ProgramDirectory, HomeArgumentWinsAndIsMadeAbsolute) {
    ProgramDir dir;
    EXPECT_EQ(programDirectory({"talvo", "--home", "/opt/x"}), "/opt/x/");
    EXPECT_EQ(programDirectory({"talvo", "--home=/opt/y/"}), "/opt/y/");
    EXPECT_EQ(programDirectory({"talvo", "--home", "/a dir/ü"}), "/a dir/ü/");
    std::string before = currentDirectory();
    ASSERT_TRUE(setCurrentDirectory(dir.path()));
    std::string cwd = currentDirectory();
    EXPECT_EQ(programDirectory({"talvo", "--home", "sub"}), cwd + "/sub/");
    ASSERT_TRUE(setCurrentDirectory(before));

    std::string exe = executableDirectory();
    EXPECT_EQ(exe.back(), '/');
    EXPECT_EQ(programDirectory({"talvo"}), exe);
    EXPECT_EQ(programDirectory({"talvo", "--home"}), exe);
    // The test binary itself lives there.
    EXPECT_TRUE(fs::exists(exe + fs::path(fs::read_symlink("/proc/self/exe")).filename().string()));
    EXPECT_EQ(withTrailingSlash("/a"), "/a/");
    EXPECT_EQ(withTrailingSlash("/a/"), "/a/");
}

} // namespace
