// The default editor: the first graphical text editor found on PATH.
#pragma once

#include <string>

namespace talvo::platform {

// Full path of the first of gnome-text-editor, gedit, kate, kwrite, mousepad,
// pluma, xed, featherpad, geany, leafpad found on PATH, else of Talvo's own
// result view talvo-view in installDir, else of xdg-open, else "".
std::string defaultEditor(const std::string& installDir);
// The same with the directory of the running program as installDir.
std::string defaultEditor();

} // namespace talvo::platform
