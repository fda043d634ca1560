#include "coverart.h"

#include "mediainfo/sourceaudio.h"
#include "platform/environment.h"

#include <QFile>
#include <QProcess>

namespace {
constexpr int frameTimeoutMs = 20000;

bool isPlainPicture(const QByteArray &p)
{
    return p.startsWith("\xff\xd8") || p.startsWith("\x89PNG\r\n\x1a\n");
}

QString leftOut(const QString &why)
{
    return QStringLiteral("cover left out: ") + why;
}
} // namespace

QByteArray CoverArt::frameOf(const QString &input, qint64 durationMs, const QString &folder)
{
    const QString file = folder + QStringLiteral("/frame.jpg");
    QProcess ffmpeg;
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(Environment::encoderPath(),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                  QStringLiteral("-y"), QStringLiteral("-ss"),
                  QString::number(qMax<qint64>(0, durationMs) / 10000.0, 'f', 3), QStringLiteral("-i"), input,
                  QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-frames:v"),
                  QStringLiteral("1"), QStringLiteral("-vf"), QStringLiteral("scale='min(600,iw)':-2"),
                  QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-f"),
                  QStringLiteral("image2"), file});
    if (!ffmpeg.waitForFinished(frameTimeoutMs)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished();
        return QByteArray();
    }
    QFile frame(file);
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0 ||
        !frame.open(QIODevice::ReadOnly))
        return QByteArray();
    return frame.readAll();
}

QString CoverArt::prepare(const SourceAudio &source, const QString &frameInput, Encoding::Picture picture,
                          Encoding::Extras *extras)
{
    if (picture == Encoding::Picture::None)
        return QString();
    if (!m_dir.isValid())
        return leftOut(m_dir.errorString());
    QByteArray bytes = source.cover;
    const bool unreadable = bytes.isEmpty() && source.coverMarked;
    if (bytes.isEmpty() && !frameInput.isEmpty() && source.hasVideo) {
        bytes = frameOf(frameInput, source.durationMs, m_dir.path());
        if (bytes.isEmpty())
            return leftOut(QStringLiteral("no frame could be taken from the video"));
    }
    if (bytes.isEmpty())
        return unreadable ? leftOut(QStringLiteral("the picture in the file could not be read")) : QString();

    const bool comment = picture == Encoding::Picture::Comment;
    QFile file(m_dir.filePath(comment ? QStringLiteral("cover.txt") : QStringLiteral("cover")));
    const QByteArray content = comment ? Encoding::pictureMetadataFile(bytes) : bytes;
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush())
        return leftOut(QStringLiteral("could not write %1: %2").arg(file.fileName(), file.errorString()));
    if (comment) {
        extras->metadataFile = file.fileName();
    } else {
        extras->coverFile = file.fileName();
        extras->coverIsPlain = isPlainPicture(bytes);
    }
    return QString();
}
