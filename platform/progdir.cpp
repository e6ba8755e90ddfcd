// The program directory: the running executable's directory, unless the
// command line names another with "--home DIR". A relative DIR is made
// absolute at once, since the program changes its current directory later.
#include "platform/progdir.h"

#include "platform/files.h"

#include <climits>
#include <unistd.h>

namespace talvo::platform {

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
    return executableDirectory();
}

} // namespace talvo::platform
