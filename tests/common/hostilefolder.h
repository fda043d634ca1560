#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A folder with one good clip and the things a list must not take: a FIFO (opening it would block),
// a link to nowhere, a name that is not valid UTF-8, a text file; and ways to name the clip again.
class HostileFolder : public QTemporaryDir
{
public:
    HostileFolder() = default;
    HostileFolder(const HostileFolder &) = delete;
    HostileFolder &operator=(const HostileFolder &) = delete;
    // QDir cannot spell the name that is not valid UTF-8, so it is removed here or the folder stays behind.
    ~HostileFolder() { ::unlink((QFile::encodeName(path()) + "/scan/\xff.avi").constData()); }

    // Fills the folder from a video with sound and a text file.
    bool fill(const QString &video, const QString &text) const
    {
        const QString work = path();
        const QByteArray w = QFile::encodeName(work);
        return QDir().mkpath(work + QStringLiteral("/scan")) &&
               QFile::copy(video, work + QStringLiteral("/a.avi")) &&
               QFile::copy(video, work + QStringLiteral("/a\\b.avi")) &&
               QFile::copy(video, work + QStringLiteral("/scan/b.avi")) &&
               QFile::copy(text, work + QStringLiteral("/scan/notes.txt")) &&
               QFile::link(work + QStringLiteral("/a.avi"), work + QStringLiteral("/link.avi")) &&
               QFile::link(work + QStringLiteral("/nowhere.avi"), work + QStringLiteral("/scan/gone.avi")) &&
               ::mkfifo((w + "/scan/x.avi").constData(), 0600) == 0 &&
               ::close(::open((w + "/scan/\xff.avi").constData(), O_CREAT | O_WRONLY, 0600)) == 0;
    }
};
