#pragma once

#include <QFile>

// Peak and current resident size of this process, in KiB, as the kernel counts them ("VmHWM:", "VmRSS:").
inline qint64 statusKib(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
