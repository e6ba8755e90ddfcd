// Starting programs: the hidden child's process group, its standard streams and
// working directory, ending the whole group, and command-line splitting.
#include "platform/process.h"
#include "tests/support/program_dir.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace talvo::platform;
using talvo::test::ProgramDir;

namespace {

// Live (not zombie) processes whose process group is group.
std::vector<int> liveMembersOf(qint64 group) {
    std::vector<int> members;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // A process that ends while it is read fails the read with an exception.
        std::string stat;
        try {
            std::ifstream in(entry.path() / "stat");
            stat.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } catch (const std::exception&) {
            continue;
        }
        // pid (comm) state ppid pgrp ...; comm may hold blanks, so start after ")".
        std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        long ppid = 0, pgrp = 0;
        fields >> state >> ppid >> pgrp;
        if (pgrp == group && state != 'Z' && state != 'X')
            members.push_back(std::stoi(name));
    }
    return members;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

TEST(HiddenProcess, RunsInItsOwnGroupWithoutInputAndReportsItsExit) {
    ProgramDir dir;
    HiddenProcess process;
    QSignalSpy finished(&process, &HiddenProcess::finished);
    // Exit 5 only when: its own group leader, stdin at end of file, stdout and
    // stderr on /dev/null; and it leaves its working directory in a file.
    ASSERT_TRUE(process.start(
        "/bin/sh",
        {"-c", "pwd > where.txt; [ \"$(cut -d' ' -f5 /proc/$$/stat)\" = $$ ] || exit 1; "
               "read x && exit 2; [ \"$(readlink /proc/$$/fd/1)\" = /dev/null ] || exit 3; "
               "[ \"$(readlink /proc/$$/fd/2)\" = /dev/null ] || exit 4; exit 5"},
        q(dir.path())));
    EXPECT_GT(process.processId(), 0);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 5);
    EXPECT_FALSE(process.isRunning());
    EXPECT_EQ(QDir(q(dir.read("where.txt")).trimmed()).canonicalPath(),
              QDir(q(dir.path())).canonicalPath());
}

TEST(HiddenProcess, AProgramThatCannotStartIsReported) {
    ProgramDir dir;
    HiddenProcess process;
    QSignalSpy finished(&process, &HiddenProcess::finished);
    EXPECT_FALSE(process.start(q(dir.file("missing")), {}, q(dir.path())));
    dir.write("plain.txt", "not a program");
    EXPECT_FALSE(process.start(q(dir.file("plain.txt")), {}, q(dir.path())));
    EXPECT_FALSE(process.isRunning());
    EXPECT_EQ(finished.count(), 0);
}

TEST(HiddenProcess, TerminatingTheGroupEndsTheChildAndEverythingItStarted) {
    ProgramDir dir;
    HiddenProcess process;
    QSignalSpy finished(&process, &HiddenProcess::finished);
    ASSERT_TRUE(process.start("/bin/sh", {"-c", "sleep 100 & sleep 100"}, q(dir.path())));
    qint64 group = process.processId();
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).size() >= 3, 10000);
    process.terminateGroup();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(process.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).empty(), 10000);
}

TEST(HiddenProcess, AGroupThatIgnoresTerminationIsKilledAfterTheGrace) {
    ProgramDir dir;
    HiddenProcess process;
    QSignalSpy finished(&process, &HiddenProcess::finished);
    ASSERT_TRUE(process.start("/bin/sh", {"-c", "trap '' TERM; sleep 100 & sleep 100; sleep 100"},
                              q(dir.path())));
    qint64 group = process.processId();
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).size() >= 3, 10000);
    process.terminateGroup();
    ASSERT_TRUE(finished.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).empty(), 10000);
}

TEST(HiddenProcess, DestroyingItLeavesNoProcessBehind) {
    ProgramDir dir;
    qint64 group = 0;
    {
        HiddenProcess process;
        ASSERT_TRUE(process.start("/bin/sh", {"-c", "sleep 100 & sleep 100"}, q(dir.path())));
        group = process.processId();
        QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).size() >= 3, 10000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).empty(), 10000);
}

TEST(HiddenProcess, LeftoversOfAFinishedChildAreEndedToo) {
    ProgramDir dir;
    HiddenProcess process;
    QSignalSpy finished(&process, &HiddenProcess::finished);
    // The child exits at once; its background sleep stays in the group.
    ASSERT_TRUE(process.start("/bin/sh", {"-c", "sleep 100 & exit 0"}, q(dir.path())));
    qint64 group = process.processId();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).size() == 1, 10000);
    process.terminateGroup();
    QTRY_VERIFY_WITH_TIMEOUT(liveMembersOf(group).empty(), 10000);
}

TEST(StartDetached, StartsWithArgumentsInTheWorkingDirectory) {
    ProgramDir dir;
    EXPECT_TRUE(startDetached("/bin/sh",
                              {"-c", "printf '%s' \"$1\" > \"out file.txt\"", "sh", "a b \"c\""},
                              q(dir.path())));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(dir.read("out file.txt")),
                              QString("a b \"c\""), 10000);
    EXPECT_FALSE(startDetached(q(dir.file("missing")), {}, q(dir.path())));
    EXPECT_FALSE(startDetached("", {}));
}

TEST(SplitCommandLine, BlanksSeparateQuotesGroup) {
    struct Case {
        QString line;
        QStringList parts;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"   \t ", {}},
        {"prog", {"prog"}},
        {"  prog  a\tb  ", {"prog", "a", "b"}},
        {"\"/my dir/edit\" \"RESULT00.TXT\"", {"/my dir/edit", "RESULT00.TXT"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"x \"\" y", {"x", "", "y"}},
        {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
        {"c:\\dir\\file \\\"", {"c:\\dir\\file", "\""}},
        {"\"/my dir\\\\\" x\\\\y", {"/my dir\\", "x\\\\y"}},
        {"\"unterminated arg", {"unterminated arg"}},
        {"grep -% \"位置 表\"", {"grep", "-%", "位置 表"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.parts) << c.line.toStdString();
}

} // namespace
