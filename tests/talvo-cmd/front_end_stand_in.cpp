// Stands in for the front end: starts a program as the front end starts its
// interpreter, prints the child's process id and waits until it is killed.
// Usage: front_end_stand_in DIR PROGRAM [ARGUMENT...]
#include "platform/process.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    talvo::platform::HiddenProcess process;
    if (!process.start(QString::fromLocal8Bit(argv[2]), arguments, QString::fromLocal8Bit(argv[1])))
        return 1;
    std::printf("%lld\n", static_cast<long long>(process.processId()));
    std::fflush(stdout);
    return app.exec();
}
