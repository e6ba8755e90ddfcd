// talvo-cmd FILE: runs the lines of a batch file and exits with the status of
// the last command.
#include <cstdio>
#include <string>

#include "talvo-cmd/batch_text.h"
#include "talvo-cmd/executor.h"
#include "talvo-cmd/lookup.h"
#include "talvo-cmd/system.h"

int main(int argc, char** argv) {
    using namespace talvo::cmd;
    sys::ensureStandardStreams();
    if (argc < 2) {
        std::fputs("usage: talvo-cmd FILE\n", stderr);
        return 2;
    }
    sys::installTerminationHandlers();

    std::string name = argv[1];
    std::string error = "The system cannot find the file specified.";
    auto path = existingPath(name);
    auto bytes = path ? sys::readWholeFile(*path, error) : std::nullopt;
    if (!bytes) {
        std::fprintf(stderr, "talvo-cmd: %s: %s\n", name.c_str(), error.c_str());
        return 1;
    }
    Executor executor(name, sys::selfExecutable());
    int status = executor.run(batchLines(*bytes));
    if (sys::terminationRequested())
        sys::finishTermination();
    return status;
}
