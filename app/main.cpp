// Start of the talvo program: the program directory, then the main window.
#include "platform/progdir.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("GREP Sondel");
    window.show();
    return app.exec();
}
