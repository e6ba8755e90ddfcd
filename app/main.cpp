// Start of the talvo program: the program directory (or --home DIR), the
// user-interface layer, the main window and its start-up, then the event loop.
#include "app/main_window.h"
#include "platform/progdir.h"

#if __has_include("platform/qt_ui.h")
#include "platform/qt_ui.h"
#define TALVO_HAVE_QT_UI 1
#else
#include "platform/recording_ui.h"
#endif

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::string> arguments(argv, argv + argc);
    const std::string programDir = talvo::platform::programDirectory(arguments);
#ifdef TALVO_HAVE_QT_UI
    talvo::platform::QtUserInterface ui(programDir);
#else
    talvo::platform::RecordingUserInterface ui;
#endif
    talvo::app::MainWindow window(programDir, ui);
    window.load();
    window.show();
    return app.exec();
}
