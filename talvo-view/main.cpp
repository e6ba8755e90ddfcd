// talvo-view: Talvo's result window. Started like any editor with the result
// file's path ("talvo-view RESULT00.TXT"); the editor command it uses to open
// a line is kept in the talvo.ini beside the result (or --ini PATH).
// Decision: one window per result file. A second start for the same file hands
// the path to the running window, which reads the file again and comes to the
// front, and then ends.
#include "talvo-view/single_window.h"
#include "talvo-view/view_window.h"

#include "platform/files.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talvo-view"));
    QStringList args = QApplication::arguments().mid(1);
    QString iniPath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--ini") && i + 1 < args.size()) {
            iniPath = args[i + 1];
            args.remove(i, 2);
            break;
        }
    }
    QString resultPath;
    if (!args.isEmpty())
        resultPath = QFileInfo(args.front()).absoluteFilePath();
    if (iniPath.isEmpty()) {
        // The program directory: where the result lies, else where talvo-view is.
        std::string dir = resultPath.isEmpty() ? QApplication::applicationDirPath().toStdString()
                                               : QFileInfo(resultPath).absolutePath().toStdString();
        if (dir.empty() || dir.back() != '/')
            dir += '/';
        iniPath = QString::fromStdString(talvo::platform::systemFilePath(dir, "talvo.ini"));
    }

    std::unique_ptr<QLocalServer> server;
    if (!resultPath.isEmpty()) {
        const QString name = talvo::view::windowServerName(resultPath);
        if (talvo::view::handOverToWindow(name, resultPath))
            return 0;
        server = std::make_unique<QLocalServer>();
        server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!server->listen(name)) {
            // A name left behind by a window that ended abruptly.
            QLocalServer::removeServer(name);
            server->listen(name);
        }
    }

    talvo::view::ViewWindow window(resultPath.toStdString(), iniPath.toStdString());
    if (server) {
        QObject::connect(server.get(), &QLocalServer::newConnection, &window, [&] {
            while (QLocalSocket* socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QLocalSocket::disconnected, socket,
                                 &QObject::deleteLater);
                QObject::connect(socket, &QLocalSocket::readyRead, &window, [&window, socket] {
                    if (!socket->canReadLine())
                        return;
                    socket->readAll();
                    window.reload();
                    window.showNormal();
                    window.raise();
                    window.activateWindow();
                    socket->write("ok\n");
                    socket->flush();
                });
            }
        });
    }
    window.show();
    return QApplication::exec();
}
