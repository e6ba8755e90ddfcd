// The fixed command line run by the real talvo-cmd: whatever the pattern, the
// grep program receives it as one argument exactly as typed, and its output
// still goes into this search's result file. Stand-ins for the grep programs
// write the arguments they receive into that file.
#include "run/batch_file.h"
#include "run/command_line.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace talvo::run;
using talvo::test::buildProgram;
using talvo::test::ProgramDir;
using talvo::test::runProgram;

namespace {

// Each argument followed by a NUL byte.
void writeStandIn(const ProgramDir& dir, const std::string& name) {
    dir.write(name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done\n");
    std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_all);
}

std::string joined(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& a : args)
        out += a + '\0';
    return out;
}

struct Program {
    int number;
    const char* baseName;
    const char* file;
};
constexpr Program kPrograms[] = {{1, "CGREP", "cgrep.exe"},
                                 {3, "IZGREP", "izgrep.exe"},
                                 {4, "JGREP", "jgrep.exe"},
                                 {5, "WGREP", "wgrep.com"},
                                 {6, "YGREP", "ygrep.exe"}};

// What the program should receive for a pattern and target files.
std::vector<std::string> expectedArguments(int program, const std::string& pattern,
                                           const std::string& files, bool withOption) {
    if (program == kProgramJgrep) {
        std::vector<std::string> args{pattern, files};
        if (withOption)
            args.push_back("-i");
        return args;
    }
    std::vector<std::string> args;
    if (withOption)
        args.push_back("-i");
    args.insert(args.end(), {"-e", pattern, files});
    return args;
}

class PatternDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        for (const Program& p : kPrograms)
            writeStandIn(dir, p.file);
    }

    // Runs the lines of many searches as one batch file. Each search narrows a
    // result of its own, so each writes its own result file; every result file
    // is there beforehand, so a lost redirection shows as stale content.
    void check(const Program& program, const std::vector<std::string>& patterns, bool withOption) {
        std::string batch;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            FixedLineInputs in;
            in.programNumber = program.number;
            in.baseName = program.baseName;
            in.optionString = withOption ? " -i" : "";
            in.pattern = patterns[i];
            in.narrowing = true;
            in.currentResultName = resultFileName(static_cast<int>(i));
            auto line = buildFixedCommandLine(in);
            ASSERT_TRUE(line);
            batch += line->commandLine + "\r\n";
            dir.write(resultFileName(static_cast<int>(i) + 1), "stale");
        }
        dir.write("WWW.BAT", encodeBatchFile(batch)); // code page 932, as a search writes it
        auto r = runProgram(dir.path(), {buildProgram("talvo-cmd"), "WWW.BAT"});
        EXPECT_EQ(r.err, "");
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            const std::string got = dir.read(resultFileName(static_cast<int>(i) + 1));
            const std::string want = joined(expectedArguments(
                program.number, patterns[i], resultFileName(static_cast<int>(i)), withOption));
            EXPECT_EQ(got, want) << program.baseName << " pattern [" << patterns[i] << "]";
        }
    }

    ProgramDir dir;
};

TEST_F(PatternDelivery, PatternsThatBrokeTheLineArriveWhole) {
    const std::vector<std::string> patterns = {
        "\\\"hi",        "temp\\ here\\", "a\\",    "\\",     "\\\\",  "\"",  "\"\"",
        "a\\\"b\\\\\"c", " lead",         "trail ", "a|b",    "x > y", "<",   ">>",
        "2>x",           "検索 表\\",     "表",     "\\\\\"", "-e",    "a\tb"};
    for (const Program& p : kPrograms)
        check(p, patterns, p.number == kProgramWgrep);
}

TEST_F(PatternDelivery, RandomPatternsArriveWhole) {
    const std::vector<std::string> alphabet = {"a", "Z", "0", " ",  "\"", "\\", "<", ">", "|",
                                               "-", "e", "s", "検", "表", "ｱ",  "&", "%", "\t"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 4; ++round) {
        for (const Program& p : kPrograms) {
            std::vector<std::string> patterns;
            while (patterns.size() < 60) {
                std::string pattern;
                const int length = static_cast<int>(random() % 12) + 1;
                for (int k = 0; k < length; ++k)
                    pattern += alphabet[random() % alphabet.size()];
                // The user's own command-line forms are checked below.
                if (pattern.find(" -e ") != std::string::npos ||
                    pattern.find(" -s ") != std::string::npos)
                    continue;
                patterns.push_back(pattern);
            }
            check(p, patterns, round % 2 == 1);
        }
    }
}

TEST_F(PatternDelivery, TheUsersOwnOptionsKeepTheirWordsAndTheRedirection) {
    FixedLineInputs in;
    in.baseName = "CGREP";
    in.pattern = "abc -e \"x y\" -e d>e -e \"open";
    in.fileBoxText = "\"my dir/*.c\" a>b";
    auto line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    dir.write("WWW.BAT", encodeBatchFile(line->commandLine + "\r\n"));
    dir.write("RESULT00.TXT", "stale");
    auto r = runProgram(dir.path(), {buildProgram("talvo-cmd"), "WWW.BAT"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("RESULT00.TXT"),
              joined({"-e", "abc", "-e", "x y", "-e", "d>e", "-e", "open", "my dir/*.c", "a>b"}));
    EXPECT_FALSE(dir.exists("e"));
    EXPECT_FALSE(dir.exists("b"));

    in.programNumber = 3;
    in.baseName = "IZGREP";
    in.pattern = "foo -s \"bar";
    in.fileBoxText = "*.c";
    line = buildFixedCommandLine(in);
    ASSERT_TRUE(line);
    dir.write("WWW.BAT", encodeBatchFile(line->commandLine + "\r\n"));
    dir.write("RESULT00.TXT", "stale");
    runProgram(dir.path(), {buildProgram("talvo-cmd"), "WWW.BAT"});
    EXPECT_EQ(dir.read("RESULT00.TXT"), joined({"-e", "foo", "-s", "bar", "*.c"}));
}

} // namespace
