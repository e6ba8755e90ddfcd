// The install tree: `cmake --install` of this build into a throw-away prefix
// holds every file a user and the Debian package need, with links that resolve.
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using talvo::test::ProgramDir;
using talvo::test::runProgram;

namespace {

const std::array<const char*, 6> kGrepNames = {"cgrep.exe", "dgrep.exe", "izgrep.exe",
                                               "jgrep.exe", "wgrep.com", "ygrep.exe"};
const std::array<int, 6> kIconSizes = {16, 32, 48, 64, 128, 256};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool onPath(const std::string& program) {
    return runProgram("/", {"sh", "-c", "command -v \"$0\" >/dev/null", program}).status == 0;
}

// Installs the build into prefix (under destdir when given); fails the test
// with cmake's own output when the install does not succeed.
void install(const std::string& prefix, const std::string& destdir = {}) {
    const auto result = runProgram("/", {"env", "DESTDIR=" + destdir, TALVO_CMAKE_COMMAND,
                                         "--install", TALVO_BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
}

// Keys of the [Desktop Entry] group; the test fails on a duplicate key.
std::map<std::string, std::string> desktopEntry(const fs::path& path) {
    std::map<std::string, std::string> keys;
    std::istringstream lines(readFile(path));
    std::string line, group;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            group = line;
            continue;
        }
        const auto equals = line.find('=');
        if (group != "[Desktop Entry]" || equals == std::string::npos)
            continue;
        const auto [it, inserted] = keys.emplace(line.substr(0, equals), line.substr(equals + 1));
        EXPECT_TRUE(inserted) << "duplicate key " << it->first;
    }
    return keys;
}

// Width and height from a PNG's IHDR chunk, or {0, 0} when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const fs::path& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto word = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {word(16), word(20)};
}

class InstallTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new ProgramDir();
        prefix_ = root_->path() + "prefix";
        install(prefix_);
    }
    static void TearDownTestSuite() {
        delete root_;
        root_ = nullptr;
    }
    static fs::path at(const std::string& relative) { return fs::path(prefix_) / relative; }

    static inline ProgramDir* root_ = nullptr;
    static inline std::string prefix_;
};

TEST_F(InstallTree, ProgramDirectoryHoldsTheProgramsTheGrepNamesAndTheHelp) {
    for (const char* program : {"talvo", "talvo-cmd", "talvo-grep", "talvo-view"}) {
        const fs::path path = at("lib/talvo/") / program;
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none) << path;
    }
    for (const char* name : kGrepNames) {
        const fs::path link = at("lib/talvo/") / name;
        ASSERT_TRUE(fs::is_symlink(link)) << link;
        // Relative, so the tree can move (DESTDIR, the package) and still work.
        EXPECT_EQ(fs::read_symlink(link), "talvo-grep") << link;
        EXPECT_TRUE(fs::equivalent(link, at("lib/talvo/talvo-grep"))) << link;
    }
    const std::string help = readFile(at("lib/talvo/talvo.html"));
    EXPECT_NE(help.find("id=\"context-7000\""), std::string::npos);
    EXPECT_EQ(help, readFile(fs::path(TALVO_SOURCE_DIR) / "docs/help/talvo.html"));
}

TEST_F(InstallTree, BinTalvoIsARelativeLinkToTheProgramDirectory) {
    const fs::path link = at("bin/talvo");
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "../lib/talvo/talvo");
    EXPECT_TRUE(fs::equivalent(link, at("lib/talvo/talvo")));
}

TEST_F(InstallTree, InstalledGrepNameRunsTheBundledGrep) {
    // The link must start the real program, and the program must find nothing
    // of the build tree it came from.
    ProgramDir work;
    work.write("a.txt", "alpha\nbeta\n");
    const auto result = runProgram(
        work.path(), {at("lib/talvo/cgrep.exe").string(), "-e", "beta", work.file("a.txt")});
    EXPECT_NE(result.status, 127) << result.err;
    EXPECT_NE(result.out.find("beta"), std::string::npos) << result.out << result.err;
    EXPECT_EQ(result.out.find("alpha"), std::string::npos) << result.out;
}

TEST_F(InstallTree, DesktopEntryStartsTalvoFromTheMenu) {
    const fs::path path = at("share/applications/talvo.desktop");
    ASSERT_TRUE(fs::is_regular_file(path));
    auto keys = desktopEntry(path);
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Exec"], "talvo");
    EXPECT_EQ(keys["Icon"], "talvo");
    EXPECT_EQ(keys["Categories"], "Utility;TextTools;");
    for (const char* key : {"Name", "Name[ja]", "Comment", "Comment[ja]"})
        EXPECT_FALSE(keys[key].empty()) << key;
    // The Japanese texts are Japanese, not a copy of the English ones.
    EXPECT_NE(keys["Comment[ja]"], keys["Comment"]);
    EXPECT_TRUE(std::any_of(keys["Comment[ja]"].begin(), keys["Comment[ja]"].end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    // Exec names the command on PATH; the prefix provides it.
    EXPECT_TRUE(fs::exists(at("bin/" + keys["Exec"])));
}

TEST_F(InstallTree, IconAtEveryHicolorSize) {
    for (int size : kIconSizes) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const fs::path png = at("share/icons/hicolor/" + dir + "/apps/talvo.png");
        const auto [width, height] = pngSize(png);
        EXPECT_EQ(width, static_cast<std::uint32_t>(size)) << png;
        EXPECT_EQ(height, static_cast<std::uint32_t>(size)) << png;
    }
    const std::string svg = readFile(at("share/icons/hicolor/scalable/apps/talvo.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
}

TEST_F(InstallTree, ManualPagesFormatWithoutWarnings) {
    for (const char* page : {"talvo.1.gz", "talvo-grep.1.gz"}) {
        const fs::path path = at("share/man/man1/") / page;
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(readFile(path).compare(0, 2, "\x1f\x8b"), 0) << path << " is not gzip";
    }
    if (!onPath("man") || !onPath("groff"))
        GTEST_SKIP() << "man or groff is not installed: the manual pages were not formatted";
    for (const char* page : {"talvo.1.gz", "talvo-grep.1.gz"}) {
        const auto result =
            runProgram("/", {"env", "LC_ALL=C.UTF-8", "MANWIDTH=80", "MAN_KEEP_FORMATTING=", "man",
                             "--warnings", "-l", at("share/man/man1/").string() + page});
        EXPECT_EQ(result.status, 0) << page << ": " << result.err;
        EXPECT_EQ(result.err, "") << page;
        EXPECT_NE(result.out.find("NAME"), std::string::npos) << page;
        EXPECT_NE(result.out.find("SYNOPSIS"), std::string::npos) << page;
    }
}

TEST(InstallAgain, ReplacesTheLinksOfAnEarlierInstall) {
    // An upgrade installs over the old tree: existing links must not stop it.
    ProgramDir root;
    const std::string prefix = root.path() + "prefix";
    install(prefix);
    install(prefix);
    EXPECT_EQ(fs::read_symlink(prefix + "/lib/talvo/wgrep.com"), "talvo-grep");
    EXPECT_EQ(fs::read_symlink(prefix + "/bin/talvo"), "../lib/talvo/talvo");
}

TEST(InstallWithDestdir, PutsTheWholeTreeUnderDestdir) {
    // The package is made this way: DESTDIR holds the tree of prefix /usr.
    ProgramDir root;
    const std::string destdir = root.path() + "stage";
    install("/usr", destdir);
    EXPECT_TRUE(fs::equivalent(destdir + "/usr/bin/talvo", destdir + "/usr/lib/talvo/talvo"));
    EXPECT_TRUE(fs::equivalent(destdir + "/usr/lib/talvo/ygrep.exe",
                               destdir + "/usr/lib/talvo/talvo-grep"));
    EXPECT_TRUE(fs::exists(destdir + "/usr/share/applications/talvo.desktop"));
}

} // namespace
