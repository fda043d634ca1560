#include "testmedia.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtDebug>

namespace TestMedia {

QString ffmpeg()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

bool make(const QString &path, const Clip &clip)
{
    const QString seconds = QString::number(clip.seconds);
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    if (clip.video)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=160x120:rate=10:duration=") + seconds;
    if (clip.audio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + seconds;
    args << clip.extraOutputArgs << path;
    QProcess p;
    p.start(ffmpeg(), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "ffmpeg failed for" << path << p.readAllStandardError();
        return false;
    }
    return true;
}

} // namespace TestMedia
