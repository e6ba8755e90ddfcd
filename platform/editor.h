// The default editor: the first graphical text editor found on PATH.
#pragma once

#include <string>

namespace talvo::platform {

// Full path of the first of gnome-text-editor, gedit, kate, kwrite, mousepad,
// pluma, xed, featherpad, geany, leafpad found on PATH, else of xdg-open, else "".
std::string defaultEditor();

} // namespace talvo::platform
