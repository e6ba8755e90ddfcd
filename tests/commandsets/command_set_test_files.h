// Helpers for the command-set tests: a talvolst.ini laid out as text, stored
// in code page 932 the way the program keeps it.
#pragma once

#include "commandsets/command_set_file.h"
#include "platform/codepage.h"
#include "tests/support/program_dir.h"

#include <string>
#include <vector>

namespace talvo::commandsets::test {

// "[コマンドセット]" followed by one "key=value" line per entry, CR LF lines.
inline std::string commandSetFileText(const std::vector<std::string>& lines) {
    std::string text = "[コマンドセット]\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

inline void writeCommandSetFile(const talvo::test::ProgramDir& dir,
                                const std::vector<std::string>& lines,
                                const std::string& fileName = "talvolst.ini") {
    dir.write(fileName, platform::utf8ToCp932(commandSetFileText(lines)).value());
}

// Sets 1 … count named "set<n>" with the command line "cmd<n>".
inline void writeNumberedSets(const talvo::test::ProgramDir& dir, int count) {
    std::vector<std::string> lines;
    for (int n = 1; n <= count; ++n) {
        lines.push_back("名前[" + std::to_string(n) + "]=set" + std::to_string(n));
        lines.push_back("コマンドライン[" + std::to_string(n) + "]=cmd" + std::to_string(n));
    }
    writeCommandSetFile(dir, lines);
}

// The file as text (it is code page 932 on disk).
inline std::string fileText(const talvo::test::ProgramDir& dir,
                            const std::string& fileName = "talvolst.ini") {
    return platform::cp932ToUtf8(dir.read(fileName));
}

} // namespace talvo::commandsets::test
