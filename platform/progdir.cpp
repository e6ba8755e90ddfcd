// The program directory: "--home DIR" first, then the running executable's
// directory when it may be written, then a per-user directory beside the
// user's other application data. A relative DIR is made absolute at once,
// since the program changes its current directory later.
#include "platform/progdir.h"

#include "platform/files.h"

#include <climits>
#include <cstdlib>
#include <optional>
#include <system_error>

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace talvo::platform {

namespace {

std::optional<std::string> homeArgument(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string dir;
        if (arguments[i] == "--home" && i + 1 < arguments.size())
            dir = arguments[i + 1];
        else if (arguments[i].starts_with("--home="))
            dir = arguments[i].substr(7);
        else
            continue;
        if (dir.empty())
            continue;
        if (dir.front() != '/')
            dir = withTrailingSlash(currentDirectory()) + dir;
        return withTrailingSlash(dir);
    }
    return std::nullopt;
}

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string accountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return "";
}

// Makes dir and its missing parents; true when it is then a writable directory.
bool makeWritableDirectory(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return isWritableDirectory(dir);
}

// Links each installed program file that dir has no entry for. An entry of
// that name in any case stays as it is, even a link whose target is gone.
void linkInstalledFiles(const std::string& dir, const std::string& executableDir) {
    for (const std::string& name : installedProgramFiles()) {
        if (findCaseInsensitive(dir, name))
            continue;
        auto installed = findCaseInsensitive(executableDir, name);
        if (!installed || !fileExists(*installed))
            continue;
        // A failed link leaves that program missing, which the window reports
        // as for any program that is not there.
        [[maybe_unused]] int ignored = symlink(installed->c_str(), (dir + name).c_str());
    }
}

} // namespace

std::string withTrailingSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string executableDirectory() {
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return withTrailingSlash(currentDirectory());
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.substr(0, buffer.rfind('/') + 1);
}

std::string programDirectory(const std::vector<std::string>& arguments) {
    return homeArgument(arguments).value_or(executableDirectory());
}

ProgramDirectoryPlaces currentProgramDirectoryPlaces() {
    ProgramDirectoryPlaces places;
    places.executableDir = executableDirectory();
    places.dataHome = environmentText("XDG_DATA_HOME");
    places.home = environmentText("HOME");
    if (places.home.empty())
        places.home = accountHome();
    return places;
}

std::string perUserProgramDirectory(const ProgramDirectoryPlaces& places) {
    // A relative $XDG_DATA_HOME is invalid and ignored, as the base-directory
    // convention asks.
    if (!places.dataHome.empty() && places.dataHome.front() == '/')
        return withTrailingSlash(places.dataHome) + "talvo/";
    if (!places.home.empty())
        return withTrailingSlash(places.home) + ".local/share/talvo/";
    return "";
}

const std::vector<std::string>& installedProgramFiles() {
    static const std::vector<std::string> files{"talvo-grep", "cgrep.exe", "dgrep.exe",
                                                "izgrep.exe", "jgrep.exe", "wgrep.com",
                                                "ygrep.exe",  "talvo.html"};
    return files;
}

std::string resolveProgramDirectory(const std::vector<std::string>& arguments,
                                    const ProgramDirectoryPlaces& places) {
    if (auto home = homeArgument(arguments))
        return *home;
    const std::string executableDir = withTrailingSlash(places.executableDir);
    if (isWritableDirectory(executableDir))
        return executableDir;
    const std::string perUser = perUserProgramDirectory(places);
    if (perUser.empty() || !makeWritableDirectory(perUser))
        return executableDir;
    linkInstalledFiles(perUser, executableDir);
    return perUser;
}

std::string resolveProgramDirectory(const std::vector<std::string>& arguments) {
    return resolveProgramDirectory(arguments, currentProgramDirectoryPlaces());
}

} // namespace talvo::platform
