// Helpers for the interpreter's tests: each test writes a batch file into a
// throw-away directory and runs the built talvo-cmd on it there.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/program_dir.h"

namespace talvo::test {

// Runs talvo-cmd on dir's file name, with dir as the current directory.
RunResult runBatchFile(const ProgramDir& dir, std::string_view name = "WWW.BAT",
                       std::string_view input = {});
// Writes bytes as dir's "WWW.BAT" and runs it.
RunResult runBatch(const ProgramDir& dir, std::string_view bytes, std::string_view input = {});

// Writes an executable /bin/sh script.
void writeScript(const ProgramDir& dir, std::string_view name, std::string_view body);
// A script that prints each of its arguments as "[argument]" on its own line.
void writeArgumentPrinter(const ProgramDir& dir, std::string_view name);

// Starts talvo-cmd on dir's file as the front end does: in a process group of
// its own, with no input and its output thrown away. Returns its process id.
int startBatch(const ProgramDir& dir, std::string_view name = "WWW.BAT");
// Waits (bounded) for a started batch to end: its exit status, 128 + signal
// when it was killed, or -1 when it is still running after many seconds.
int waitForBatch(int pid);
// Processes (not yet ended) in a process group, and the commands they run.
std::vector<std::string> commandsInGroup(int group);
// Polls, within a generous bound, until condition holds; returns whether it did.
bool pollUntil(const std::function<bool()>& condition);

} // namespace talvo::test
