// Start of the talvo program: the program directory (--home DIR, the
// executable's directory when writable, else the per-user one), the
// user-interface layer, the main window and its start-up, then the event loop.
#include "app/main_window.h"
#include "app/search_wiring.h"
#include "platform/progdir.h"

// qt_ui.h needs the complete help window type for its inline accessor.
#include "platform/help_window.h"
#include "platform/qt_ui.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::string> arguments(argv, argv + argc);
    const std::string programDir = talvo::platform::resolveProgramDirectory(arguments);
    talvo::platform::QtUserInterface ui(programDir);
    talvo::app::MainWindow window(programDir, ui);
    talvo::app::SearchWiring wiring(window);
    window.load();
    window.show();
    return app.exec();
}
