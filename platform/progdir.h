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

} // namespace talvo::platform
