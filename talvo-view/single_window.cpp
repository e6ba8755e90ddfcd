// One window per result file (see single_window.h).
#include "talvo-view/single_window.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <unistd.h>

namespace talvo::view {

namespace {
constexpr int kHandOverMs = 2000;
} // namespace

QString windowServerName(const QString& resultPath) {
    const QByteArray key = QCryptographicHash::hash(resultPath.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("talvo-view-%1-%2")
        .arg(static_cast<qulonglong>(getuid()))
        .arg(QString::fromLatin1(key.toHex().left(16)));
}

bool handOverToWindow(const QString& name, const QString& resultPath) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kHandOverMs))
        return false;
    socket.write(resultPath.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(kHandOverMs))
        return false;
    // The window answers once it has taken the file.
    return socket.waitForReadyRead(kHandOverMs) && socket.readAll().startsWith("ok");
}

} // namespace talvo::view
