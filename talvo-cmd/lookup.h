// Finding files and programs the way a batch-file user expects on a file
// system that ignores case: "CGREP.EXE" names cgrep.exe, an exact spelling
// wins, and only the last part of a path is matched without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvo::cmd {

bool equalIgnoringCase(std::string_view a, std::string_view b);
// "*" and "?" wildcards, ignoring case; "*.*" also matches names without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Splits a path into its directory ("." when none, ending without "/") and name.
std::pair<std::string, std::string> splitPath(std::string_view path);
std::string joinPath(const std::string& dir, std::string_view name);

// The spelling of an existing file or directory that path names regardless of
// the case of its last part; the device name NUL gives /dev/null. nullopt when
// nothing matches.
std::optional<std::string> existingPath(std::string_view path);
// existingPath, or path itself for a file still to be created.
std::string pathForWriting(std::string_view path);

struct Program {
    std::string path;
    bool batch = false; // a .BAT file, run by the interpreter itself
};

// A command word: a word holding "/" is a path; otherwise the current
// directory is searched first, then each directory of pathVariable. A word
// without an extension also tries ".EXE", ".COM" and ".BAT".
std::optional<Program> findProgram(std::string_view word, std::string_view pathVariable);

} // namespace talvo::cmd
