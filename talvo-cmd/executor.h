// Runs parsed lines: opens each command's redirections before it starts (so a
// result file exists even when its command is missing), connects the commands
// of a pipe and starts them all at once, and waits for them.
#pragma once

#include <string>
#include <vector>

#include "talvo-cmd/parser.h"

namespace talvo::cmd {

class Executor {
public:
    // batchName names the file in messages; self is the interpreter's own path,
    // used to run the .BAT files that a line names.
    Executor(std::string batchName, std::string self);

    // Runs the lines in order; returns the status of the last command run
    // (0 when there was none). Stops early on EXIT or a termination signal.
    int run(const std::vector<std::string>& lines);

private:
    int runPipeline(std::vector<Command>& pipeline, std::size_t lineNumber);
    void complain(std::size_t lineNumber, const std::string& message, int fd = 2) const;

    std::string batchName_;
    std::string self_;
    int status_ = 0;
    bool exitRequested_ = false;
};

} // namespace talvo::cmd
