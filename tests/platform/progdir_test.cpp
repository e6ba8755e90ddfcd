// Which program directory a start uses: --home, a writable executable
// directory, or the per-user directory with links to the installed programs.
#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "platform/files.h"
#include "platform/progdir.h"
#include "tests/support/program_dir.h"

namespace talvo::platform {
namespace {

namespace fs = std::filesystem;
using test::ProgramDir;

// An installed program directory nobody may write (no write bit, which also
// holds back the superuser), and a data home that does not exist yet.
struct Installed {
    ProgramDir install{ProgramDir::Contents::BundledPrograms};
    ProgramDir user;
    ProgramDirectoryPlaces places;

    Installed() {
        ::chmod(install.path().c_str(), 0555);
        places.executableDir = install.path();
        places.dataHome = user.file("data");
        places.home = user.file("home");
    }
    std::string perUser() const { return user.file("data/talvo/"); }
};

std::string linkTarget(const std::string& path) {
    std::error_code ec;
    return fs::read_symlink(path, ec).string();
}

TEST(ProgramDirectoryChoice, UnwritableExecutableDirectoryLeadsToPerUserDirectory) {
    Installed t;
    ASSERT_FALSE(isWritableDirectory(t.install.path()));
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.perUser());
    ASSERT_TRUE(isWritableDirectory(t.perUser()));
    for (const std::string& name : installedProgramFiles()) {
        if (!t.install.exists(name))
            continue; // the help is only there when it was built
        EXPECT_EQ(linkTarget(t.perUser() + name), t.install.file(name)) << name;
    }
    EXPECT_TRUE(fs::exists(t.perUser() + "cgrep.exe"));
    // The interpreter is found beside the executable, so it is not linked.
    EXPECT_FALSE(fs::exists(t.perUser() + "talvo-cmd"));

    // A grep program started through its per-user link keeps the dialect of
    // the name it was started under.
    t.user.write("data/talvo/a.c", "int abc;\nint xyz;\n");
    auto r = test::runProgram(t.perUser(), {t.perUser() + "cgrep.exe", "-e", "abc", "a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("int abc;"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("xyz"), std::string::npos) << r.out;
}

TEST(ProgramDirectoryChoice, LinksAreMadeOnceAndTheUsersReplacementsStay) {
    Installed t;
    ASSERT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.perUser());
    // The user puts their own programs in place: a file, a link elsewhere
    // (here one whose target is gone) and an upper-case spelling.
    fs::remove(t.perUser() + "cgrep.exe");
    t.user.write("data/talvo/cgrep.exe", "#!/bin/sh\necho mine\n");
    fs::remove(t.perUser() + "dgrep.exe");
    fs::create_symlink("/nonexistent/dgrep", t.perUser() + "dgrep.exe");
    fs::remove(t.perUser() + "ygrep.exe");
    t.user.write("data/talvo/YGREP.EXE", "own ygrep");
    t.user.write("data/talvo/talvo.ini", "[x]\r\na=1\r\n");

    EXPECT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.perUser());
    EXPECT_EQ(t.user.read("data/talvo/cgrep.exe"), "#!/bin/sh\necho mine\n");
    EXPECT_EQ(linkTarget(t.perUser() + "dgrep.exe"), "/nonexistent/dgrep");
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.perUser() + "ygrep.exe")));
    EXPECT_EQ(t.user.read("data/talvo/YGREP.EXE"), "own ygrep");
    EXPECT_EQ(t.user.read("data/talvo/talvo.ini"), "[x]\r\na=1\r\n");
    EXPECT_EQ(linkTarget(t.perUser() + "jgrep.exe"), t.install.file("jgrep.exe"));
}

TEST(ProgramDirectoryChoice, WritableExecutableDirectoryIsUsedAsBefore) {
    Installed t;
    ::chmod(t.install.path().c_str(), 0755);
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.install.path());
    t.places.executableDir.pop_back(); // also without its trailing "/"
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.install.path());
    EXPECT_FALSE(fs::exists(t.user.file("data")));
}

TEST(ProgramDirectoryChoice, HomeArgumentWinsOverBoth) {
    Installed t;
    EXPECT_EQ(resolveProgramDirectory({"talvo", "--home", "/opt/t"}, t.places), "/opt/t/");
    EXPECT_EQ(resolveProgramDirectory({"talvo", "--home=" + t.user.path()}, t.places),
              t.user.path());
    ::chmod(t.install.path().c_str(), 0755);
    EXPECT_EQ(resolveProgramDirectory({"talvo", "--home", "/opt/t"}, t.places), "/opt/t/");
    EXPECT_FALSE(fs::exists(t.user.file("data")));
}

TEST(ProgramDirectoryChoice, DataHomeDefaultsAndFallbacks) {
    Installed t;
    ProgramDirectoryPlaces places = t.places;
    EXPECT_EQ(perUserProgramDirectory(places), t.user.file("data/talvo/"));
    places.dataHome = "";
    EXPECT_EQ(perUserProgramDirectory(places), t.user.file("home/.local/share/talvo/"));
    places.dataHome = "relative/data"; // not a valid data home: ignored
    EXPECT_EQ(perUserProgramDirectory(places), t.user.file("home/.local/share/talvo/"));
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, places), t.user.file("home/.local/share/talvo/"));
    EXPECT_TRUE(fs::is_symlink(t.user.file("home/.local/share/talvo/cgrep.exe")));
    places.home = "";
    EXPECT_EQ(perUserProgramDirectory(places), "");
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, places), t.install.path());
}

TEST(ProgramDirectoryChoice, PerUserDirectoryThatCannotBeMadeFallsBackToTheExecutables) {
    Installed t;
    t.user.write("data", "a file where the data home should be");
    EXPECT_EQ(resolveProgramDirectory({"talvo"}, t.places), t.install.path());
    EXPECT_EQ(t.user.read("data"), "a file where the data home should be");
}

} // namespace
} // namespace talvo::platform
