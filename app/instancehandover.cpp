#include "instancehandover.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
// Tells the later start its files were taken.
constexpr char taken = 'k';
constexpr qint64 maxMessage = 16 << 20;
} // namespace

QString InstanceHandover::serverName(const QString &settingsFile)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(settingsFile).toUtf8(), QCryptographicHash::Sha256).toHex();
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder + QStringLiteral("/com.morvexa.Tolvane-") + QString::fromLatin1(hash.left(16));
}

bool InstanceHandover::handTo(const QString &name, const QStringList &files, int timeoutMsecs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMsecs))
        return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMsecs))
        return false;
    // Only an answer says the window took them; a window that hangs leaves this start to run on its own.
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(timeoutMsecs))
            return false;
    }
    return socket.read(1) == QByteArray(1, taken);
}

InstanceHandover::InstanceHandover(const QString &name, std::function<void(const QStringList &)> receive,
                                   QObject *parent)
    : QObject(parent), m_receive(std::move(receive))
{
    // Only this user may hand files over.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name)) {
        // Left by a window that died: nobody answers there any more.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (!probe.waitForConnected(500)) {
            QLocalServer::removeServer(name);
            m_server.listen(name);
        }
    }
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceHandover::takeConnection);
}

void InstanceHandover::takeConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A list of names is small; anything bigger is not a start of this program.
            if (socket->bytesAvailable() > maxMessage) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.startTransaction();
            QStringList files;
            in >> files;
            if (!in.commitTransaction())
                return; // the rest is on its way
            socket->write(QByteArray(1, taken));
            socket->flush();
            m_receive(files);
        });
    }
}
