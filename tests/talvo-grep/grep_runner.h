// Runs the built grep program under one of its names in a throw-away program
// directory, and the per-dialect spelling of the common options, so that one
// test body can run over every dialect.
#pragma once

#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <initializer_list>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace talvo::test {

struct DialectCase {
    const char* program;                     // file name in the program directory
    bool flagsAfterFiles;                    // the JGREP layout: pattern, files, flags
    std::map<std::string, std::string> flag; // common option -> this dialect's flag
};

// The common options 0 ... 9 under each dialect's spelling ("" = unsupported).
inline const std::vector<DialectCase>& dialectCases() {
    static const std::vector<DialectCase> cases = {
        {"cgrep.exe",
         false,
         {{"and", "-a"},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", ""},
          {"tag", "-t"},
          {"recurse", ""},
          {"invert", "-v"},
          {"word", "-w"}}},
        {"dgrep.exe",
         false,
         {{"and", ""},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", ""},
          {"tag", ""},
          {"recurse", "-s"},
          {"invert", "-v"},
          {"word", "-w"}}},
        {"izgrep.exe",
         false,
         {{"and", "-a"},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", ""},
          {"tag", "-t"},
          {"recurse", ""},
          {"invert", "-v"},
          {"word", "-w"}}},
        {"jgrep.exe",
         true,
         {{"and", ""},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", "-q"},
          {"tag", "-n-fn"},
          {"recurse", "-a"},
          {"invert", "-v"},
          {"word", "-b"}}},
        {"wgrep.com",
         false,
         {{"and", "-a"},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", "-r"},
          {"tag", "-t"},
          {"recurse", "-u"},
          {"invert", "-v"},
          {"word", "-w"}}},
        {"ygrep.exe",
         false,
         {{"and", "-a"},
          {"count", "-c"},
          {"icase", "-i"},
          {"files", "-l"},
          {"number", "-n"},
          {"literal", "-%"},
          {"tag", "-t"},
          {"recurse", "-r"},
          {"invert", "-v"},
          {"word", "-w"}}},
    };
    return cases;
}

class GrepDir {
public:
    GrepDir() : dir_(ProgramDir::Contents::BundledPrograms) {}
    const ProgramDir& dir() const { return dir_; }
    void write(const std::string& name, const std::string& bytes) const { dir_.write(name, bytes); }

    // program flags... -e pattern files... (or the JGREP layout).
    RunResult grep(const DialectCase& d, const std::vector<std::string>& flags,
                   const std::string& pattern, const std::vector<std::string>& files) const {
        std::vector<std::string> argv{dir_.file(d.program)};
        if (d.flagsAfterFiles) {
            argv.push_back(pattern);
            argv.insert(argv.end(), files.begin(), files.end());
            argv.insert(argv.end(), flags.begin(), flags.end());
        } else {
            argv.insert(argv.end(), flags.begin(), flags.end());
            argv.push_back("-e");
            argv.push_back(pattern);
            argv.insert(argv.end(), files.begin(), files.end());
        }
        return runProgram(dir_.path(), argv);
    }
    // Any argv after the program name.
    RunResult run(const std::string& program, const std::vector<std::string>& args,
                  std::string_view input = {}) const {
        std::vector<std::string> argv{dir_.file(program)};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(dir_.path(), argv, input);
    }

private:
    ProgramDir dir_;
};

// Flags of d for the named common options; empty when one is unsupported.
inline std::optional<std::vector<std::string>> flagsFor(const DialectCase& d,
                                                        std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    for (const char* n : names) {
        const std::string& f = d.flag.at(n);
        if (f.empty())
            return std::nullopt;
        out.push_back(f);
    }
    return out;
}

inline std::string joinLines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\n";
    return s;
}

// Test text in another encoding (an iconv name such as "CP932"), or nothing
// when that encoding cannot hold it.
inline std::optional<std::string> tryConvert(const std::string& utf8, const char* to) {
    iconv_t h = iconv_open(to, "UTF-8");
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t il = utf8.size();
    char* op = out.data();
    size_t ol = out.size();
    size_t rc = iconv(h, &in, &il, &op, &ol);
    iconv_close(h);
    if (rc == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - ol);
    return out;
}

// The same for text the encoding must hold.
inline std::string convert(const std::string& utf8, const char* to) {
    std::optional<std::string> out = tryConvert(utf8, to);
    EXPECT_TRUE(out.has_value()) << "test text not convertible to " << to;
    return out.value_or(std::string());
}

} // namespace talvo::test
