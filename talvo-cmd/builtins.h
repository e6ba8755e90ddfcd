// The commands the interpreter runs itself: COPY, DEL/ERASE, ECHO, TYPE,
// CD/CHDIR, REM and EXIT, in any case. They write to the streams they are
// given, so redirections and pipes apply to them as to any program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "talvo-cmd/parser.h"
#include "talvo-cmd/system.h"

namespace talvo::cmd {

struct Invocation {
    std::string name;              // lower case, as in the table
    std::vector<std::string> args; // the words after the command word
    std::string text;              // ECHO: the rest of the command as written
    bool bare = true;              // the command word was the name alone ("ECHO", not "ECHO.")
};

struct BuiltinContext {
    sys::Streams io;
    int lastStatus = 0;         // status of the command before, for EXIT
    bool exitRequested = false; // set by EXIT
};

using BuiltinFunction = int (*)(const Invocation&, BuiltinContext&);

struct Builtin {
    const char* name;
    BuiltinFunction run;
};

// The built-in that command names, with its invocation; nullopt for programs.
// "ECHO.", "ECHO:" and "CD.." name their built-in with the rest as argument.
std::optional<std::pair<const Builtin*, Invocation>> findBuiltin(const Command& command);

} // namespace talvo::cmd
