// A throw-away program directory for one test: a fresh temporary directory,
// optionally holding the bundled programs (talvo-cmd, talvo-grep under its six
// names) and the help file of the build, removed again when the test ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvo::test {

class ProgramDir {
public:
    enum class Contents { Empty, BundledPrograms };
    explicit ProgramDir(Contents contents = Contents::Empty);
    ~ProgramDir();
    ProgramDir(const ProgramDir&) = delete;
    ProgramDir& operator=(const ProgramDir&) = delete;

    // The directory, ending in "/".
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + std::string(name); }

    void write(std::string_view name, std::string_view bytes) const;
    std::string read(std::string_view name) const; // "" when missing
    bool exists(std::string_view name) const;
    void remove(std::string_view name) const;
    // Links name in this directory to the build's program of that name.
    void linkBuildProgram(std::string_view buildName, std::string_view name) const;

private:
    std::string path_;
};

// The build's program directory (ending in "/") and one of its files.
std::string buildProgramDir();
std::string buildProgram(std::string_view name);

// Runs argv (no shell) in workingDirectory; returns exit status, fills output.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};
RunResult runProgram(const std::string& workingDirectory, const std::vector<std::string>& argv,
                     std::string_view input = {});

} // namespace talvo::test
