// Turns one line of a batch file into what is to be run: nothing (an empty,
// label or REM line), or a pipeline of commands, each with its words and its
// redirections in the order written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::cmd {

struct Word {
    std::string text;
    std::size_t begin = 0; // span of the word as written, in Command::source
    std::size_t end = 0;
};

struct Redirection {
    enum class Kind { Input, Output, Append };
    Kind kind = Kind::Output;
    int stream = 1;     // 0, 1 or 2
    int duplicate = -1; // `2>&1`: the stream to share, and no file
    std::string target; // the file name
};

struct Command {
    std::vector<Word> words;
    std::vector<Redirection> redirections;
    // The command as written with its redirections cut out: ECHO prints from it.
    std::string source;
};

struct ParsedLine {
    enum class Kind { Nothing, Pipeline, Error };
    Kind kind = Kind::Nothing;
    std::vector<Command> pipeline;
    std::string error;
};

ParsedLine parseLine(std::string_view line);

} // namespace talvo::cmd
