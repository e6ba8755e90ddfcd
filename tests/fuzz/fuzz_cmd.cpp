// talvo-cmd's tokenizer, parser and executor on arbitrary batch files, over
// the recording fake of the system layer. Input: one byte choosing after how
// many system calls a termination request arrives (0: none), then the bytes
// of the batch file. Besides crashes, hangs and leaks, a finding is a run
// that leaves a descriptor open or a started command not waited for.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "talvo-cmd/batch_text.h"
#include "talvo-cmd/executor.h"
#include "talvo-cmd/tokenizer.h"
#include "tests/fuzz/cmd_fake_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvo::cmd;
    if (size == 0)
        return 0;
    fake::reset(data[0]);
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> lines = batchLines(bytes);
    for (const auto& line : lines) {
        tokenize(line);
        splitWords(line);
    }
    Executor executor("WWW.BAT", "/bin/talvo-cmd");
    executor.run(lines);
    bool leakedFd = !fake::openDescriptors().empty();
    bool unwaited = !fake::terminated() && fake::childrenNotWaitedFor() != 0;
    if (leakedFd || unwaited) {
        for (const auto& c : fake::calls())
            std::fprintf(stderr, "  %s\n", c.c_str());
        std::fprintf(stderr, leakedFd ? "a descriptor was left open\n"
                                      : "a started command was not waited for\n");
        __builtin_trap();
    }
    return 0;
}
