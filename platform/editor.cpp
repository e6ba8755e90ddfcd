// The default editor: the first graphical text editor on PATH, in a fixed order
// of preference, then Talvo's result view, then the desktop's opener.
#include "platform/editor.h"

#include "platform/files.h"
#include "platform/progdir.h"

#include <unistd.h>

namespace talvo::platform {

std::string defaultEditor(const std::string& installDir) {
    for (const char* name : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma",
                             "xed", "featherpad", "geany", "leafpad"})
        if (auto path = findOnPath(name))
            return *path;
    if (!installDir.empty()) {
        const std::string view = withTrailingSlash(installDir) + "talvo-view";
        if (access(view.c_str(), X_OK) == 0 && !isDirectory(view))
            return view;
    }
    if (auto path = findOnPath("xdg-open"))
        return *path;
    return {};
}

std::string defaultEditor() {
    return defaultEditor(executableDirectory());
}

} // namespace talvo::platform
