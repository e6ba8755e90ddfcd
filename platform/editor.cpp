// The default editor: the first graphical text editor on PATH, in a fixed order
// of preference, then the desktop's opener.
#include "platform/editor.h"

#include "platform/files.h"

namespace talvo::platform {

std::string defaultEditor() {
    for (const char* name : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma",
                             "xed", "featherpad", "geany", "leafpad", "xdg-open"})
        if (auto path = findOnPath(name))
            return *path;
    return {};
}

} // namespace talvo::platform
