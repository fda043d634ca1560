#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

#include <functional>

// One window per settings file: a later start hands its files to the window that runs and ends, so two
// windows never write the same settings. Local sockets: a named pipe elsewhere, a socket file under the
// runtime folder here.
class InstanceHandover : public QObject
{
    Q_OBJECT
public:
    // Named after the settings file, so separate configurations never meet.
    static QString serverName(const QString &settingsFile);

    // True when a running window took the files (none: it only comes to the front).
    static bool handTo(const QString &name, const QStringList &files, int timeoutMsecs = 3000);

    // Listens for later starts and passes on what each hands over.
    InstanceHandover(const QString &name, std::function<void(const QStringList &)> receive,
                     QObject *parent = nullptr);
    bool isListening() const { return m_server.isListening(); }

private:
    void takeConnection();

    QLocalServer m_server;
    std::function<void(const QStringList &)> m_receive;
};
