// A pipe's stages get their streams first (pipes, then redirections in the
// order written, the later winning), then all are started, then waited for.
#include "talvo-cmd/executor.h"

#include <memory>

#include "talvo-cmd/builtins.h"
#include "talvo-cmd/lookup.h"
#include "talvo-cmd/system.h"

namespace talvo::cmd {

namespace {

constexpr int kNotFoundStatus = 127;

struct Stage {
    Command* command = nullptr;
    sys::Streams io;
    std::vector<sys::Fd> files; // redirection files opened for this stage
    bool redirectionFailed = false;
    int pid = -1;
    int status = 0;
};

// CALL only prefixes a command here: a .BAT always returns to its caller.
void dropCall(Command& command) {
    if (!command.words.empty() && equalIgnoringCase(command.words.front().text, "call"))
        command.words.erase(command.words.begin());
}

} // namespace

Executor::Executor(std::string batchName, std::string self)
    : batchName_(std::move(batchName)), self_(std::move(self)) {}

void Executor::complain(std::size_t lineNumber, const std::string& message, int fd) const {
    sys::writeAll(fd, batchName_ + ":" + std::to_string(lineNumber) + ": " + message + "\n");
}

int Executor::run(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size() && !exitRequested_; ++i) {
        if (sys::terminationRequested())
            break;
        ParsedLine parsed = parseLine(lines[i]);
        if (parsed.kind == ParsedLine::Kind::Error) {
            complain(i + 1, parsed.error);
            status_ = 1;
        } else if (parsed.kind == ParsedLine::Kind::Pipeline) {
            status_ = runPipeline(parsed.pipeline, i + 1);
        }
    }
    return status_;
}

int Executor::runPipeline(std::vector<Command>& pipeline, std::size_t lineNumber) {
    std::vector<Stage> stages(pipeline.size());
    std::vector<sys::Fd> pipeEnds;
    std::vector<int> allFds; // every descriptor made here, closed in builtin children

    for (std::size_t i = 0; i < stages.size(); ++i) {
        stages[i].command = &pipeline[i];
        dropCall(pipeline[i]);
        if (i + 1 < stages.size()) {
            sys::Fd readEnd, writeEnd;
            std::string error;
            if (!sys::makePipe(readEnd, writeEnd, error)) {
                complain(lineNumber, error);
                return 1;
            }
            stages[i].io.out = writeEnd.get();
            stages[i + 1].io.in = readEnd.get();
            pipeEnds.push_back(std::move(readEnd));
            pipeEnds.push_back(std::move(writeEnd));
        }
    }
    for (Stage& stage : stages) {
        for (const Redirection& r : stage.command->redirections) {
            int* target = r.stream == 0   ? &stage.io.in
                          : r.stream == 2 ? &stage.io.err
                                          : &stage.io.out;
            if (r.duplicate >= 0) {
                *target = r.duplicate == 2 ? stage.io.err : stage.io.out;
                continue;
            }
            std::string error;
            std::string path = r.kind == Redirection::Kind::Input
                                   ? existingPath(r.target).value_or(r.target)
                                   : pathForWriting(r.target);
            sys::Fd fd =
                r.kind == Redirection::Kind::Input
                    ? sys::openForReading(path, error)
                    : sys::openForWriting(path, r.kind == Redirection::Kind::Append, error);
            if (!fd.valid()) {
                // The others are still opened: each output file is made as written.
                complain(lineNumber, r.target + ": " + error, stage.io.err);
                stage.redirectionFailed = true;
                continue;
            }
            *target = fd.get();
            stage.files.push_back(std::move(fd));
        }
    }
    for (const auto& fd : pipeEnds)
        allFds.push_back(fd.get());
    for (const Stage& stage : stages)
        for (const auto& fd : stage.files)
            allFds.push_back(fd.get());

    const bool alone = stages.size() == 1;
    for (Stage& stage : stages) {
        if (sys::terminationRequested())
            break;
        Command& command = *stage.command;
        if (stage.redirectionFailed) {
            stage.status = 1;
            continue;
        }
        if (command.words.empty()) {
            stage.status = 0; // only redirections: the files are made, nothing runs
            continue;
        }
        std::string error;
        if (auto builtin = findBuiltin(command)) {
            // Named, not bound: a lambda below captures the invocation.
            const Builtin* entry = builtin->first;
            Invocation& invocation = builtin->second;
            BuiltinContext context{stage.io, status_, false};
            if (alone) {
                stage.status = entry->run(invocation, context);
                exitRequested_ = context.exitRequested;
            } else {
                BuiltinFunction function = entry->run;
                context.io = sys::Streams{}; // in the child the streams are 0, 1 and 2
                stage.pid = sys::startChild(
                    stage.io, allFds, [&, function] { return function(invocation, context); },
                    error);
            }
        } else if (auto program =
                       findProgram(command.words.front().text, sys::environmentVariable("PATH"))) {
            std::vector<std::string> argv;
            if (program->batch)
                argv.push_back(self_);
            argv.push_back(program->path);
            for (std::size_t w = 1; w < command.words.size(); ++w)
                argv.push_back(command.words[w].text);
            std::string path = argv.front();
            std::string word = command.words.front().text;
            stage.pid = sys::startChild(
                stage.io, allFds,
                [&] {
                    int status = sys::execProgram(path, argv);
                    std::string why = sys::lastError();
                    sys::writeAll(2, word + ": cannot be run: " + why + "\n");
                    return status;
                },
                error);
        } else {
            complain(lineNumber, "Bad command or file name: " + command.words.front().text,
                     stage.io.err);
            stage.status = kNotFoundStatus;
            continue;
        }
        if (!error.empty()) {
            complain(lineNumber, error, stage.io.err);
            stage.status = 1;
        }
    }
    // The interpreter's copies of the pipe ends and files go before the waits,
    // so each reader sees the end of its input when its writer ends.
    pipeEnds.clear();
    for (Stage& stage : stages)
        stage.files.clear();
    for (Stage& stage : stages)
        if (stage.pid > 0)
            stage.status = sys::waitChild(stage.pid);
    return stages.back().status;
}

} // namespace talvo::cmd
