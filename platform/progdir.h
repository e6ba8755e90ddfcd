// The program directory: where talvo.ini, talvolst.ini, the batch and result
// files, the grep programs and the help live. Always ends in "/".
#pragma once

#include <string>
#include <vector>

namespace talvo::platform {

// The directory of the running executable, or DIR of a "--home DIR" argument.
std::string programDirectory(const std::vector<std::string>& arguments);

// The directory of the running executable (from /proc/self/exe), ending in "/".
std::string executableDirectory();

// Appends "/" unless the text already ends in one.
std::string withTrailingSlash(std::string dir);

// What decides the program directory besides the command line.
struct ProgramDirectoryPlaces {
    std::string executableDir; // where talvo and the installed programs are
    std::string dataHome;      // $XDG_DATA_HOME; used only when absolute
    std::string home;          // $HOME (or the account's home directory)
};
// The places of this process: its executable's directory and its environment.
ProgramDirectoryPlaces currentProgramDirectoryPlaces();

// "<data home>/talvo/": $XDG_DATA_HOME/talvo/, by default ~/.local/share/talvo/.
// Empty when neither a data home nor a home directory is known.
std::string perUserProgramDirectory(const ProgramDirectoryPlaces& places);

// The files a per-user program directory links to in the executable's
// directory: the bundled grep program under its own and its six names, and
// the help.
const std::vector<std::string>& installedProgramFiles();

// The program directory for a start with these arguments: DIR of "--home DIR";
// else the executable's directory when it is writable (a build or a portable
// copy); else the per-user directory, created when missing, with a symbolic
// link to each installed program file it lacks. An entry already there (under
// any case, also a link the user redirected) is never replaced. When the
// per-user directory cannot be made, the executable's directory is used.
std::string resolveProgramDirectory(const std::vector<std::string>& arguments,
                                    const ProgramDirectoryPlaces& places);
std::string resolveProgramDirectory(const std::vector<std::string>& arguments);

} // namespace talvo::platform
