// Editor command templates: place-holders stay inside their argument, the
// ready templates are offered when installed, the choice is kept in talvo.ini.
#include "talvo-view/editor_command.h"

#include "platform/profile.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using namespace talvo::view;
using talvo::test::ProgramDir;

TEST(EditorCommand, PlaceHoldersAreFilledInsideTheirArgument) {
    EXPECT_EQ(expandCommand("code -g \"{path}:{line}:{column}\"", "/a b/c.txt", 12, 3),
              (QStringList{"code", "-g", "/a b/c.txt:12:3"}));
    EXPECT_EQ(expandCommand("ed +{line} {path} {path}", "/x {line}.c", 0, 0),
              (QStringList{"ed", "+1", "/x {line}.c", "/x {line}.c"}));
    EXPECT_EQ(expandCommand("x-terminal-emulator -e vim \"+call cursor({line},{column})\" {path}",
                            "/f", 4, 7),
              (QStringList{"x-terminal-emulator", "-e", "vim", "+call cursor(4,7)", "/f"}));
    EXPECT_TRUE(expandCommand("", "/f", 1, 1).isEmpty());
    EXPECT_TRUE(expandCommand("\"\" {path}", "/f", 1, 1).isEmpty());
}

TEST(EditorCommand, EveryReadyTemplateNamesItsProgramAndAPath) {
    for (const auto& t : readyTemplates()) {
        QStringList parts = expandCommand(t.command, "/p q.txt", 2, 5);
        ASSERT_FALSE(parts.isEmpty()) << t.name.toStdString();
        EXPECT_TRUE(parts.join(' ').contains(t.program)) << t.name.toStdString();
        EXPECT_TRUE(parts.contains("/p q.txt") || parts.join(' ').contains("/p q.txt:2:5"))
            << t.name.toStdString();
    }
}

TEST(EditorCommand, OnlyInstalledEditorsAreOffered) {
    ProgramDir bin;
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", bin.path().c_str(), 1);
    EXPECT_TRUE(installedTemplates().empty());
    EXPECT_EQ(defaultCommand(), "xdg-open \"{path}\"");
    for (const char* name : {"kate", "vim"}) {
        bin.write(name, "#!/bin/sh\n");
        chmod(bin.file(name).c_str(), 0755);
    }
    auto found = installedTemplates();
    ASSERT_EQ(found.size(), 1u); // vim needs a terminal
    EXPECT_EQ(found[0].program, "kate");
    EXPECT_EQ(defaultCommand(), found[0].command);
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(EditorCommand, KeptInItsOwnSectionOfTalvoIni) {
    ProgramDir dir;
    const std::string ini = dir.file("talvo.ini");
    dir.write("talvo.ini", "[Other]\r\nkey=/usr/bin/gedit\r\n");
    EXPECT_EQ(loadCommand(ini), "");
    ASSERT_TRUE(saveCommand(ini, " \"/opt/my ed\" +{line} \"{path}\" "));
    EXPECT_EQ(loadCommand(ini), "\"/opt/my ed\" +{line} \"{path}\"");
    EXPECT_EQ(talvo::platform::getProfileString(ini, "Other", "key", "", 100), "/usr/bin/gedit");
    ASSERT_TRUE(saveCommand(ini, "kate --line {line} {path}"));
    EXPECT_EQ(loadCommand(ini), "kate --line {line} {path}");
    // The file stays code page 932: the section name is Shift-JIS on disk.
    EXPECT_NE(dir.read("talvo.ini").find("\x8c\x8b\x89\xca"), std::string::npos);
}
