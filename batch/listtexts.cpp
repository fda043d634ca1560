#include "listtexts.h"

#include <QStringList>

namespace ListTexts {

namespace {

QString asciiLower(QString s)
{
    for (QChar &c : s) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return s;
}
} // namespace

qsizetype fileNameStart(const QString &path)
{
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

qsizetype extensionDot(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= fileNameStart(path) ? dot : -1;
}

bool isVideoFileName(const QString &name)
{
    static const QStringList extensions{
        QStringLiteral(".avi"),  QStringLiteral(".div"), QStringLiteral(".divx"), QStringLiteral(".mpg"),
        QStringLiteral(".mpeg"), QStringLiteral(".m4v"), QStringLiteral(".wmv"),  QStringLiteral(".asf"),
        QStringLiteral(".mkv"),  QStringLiteral(".dat"), QStringLiteral(".mov")};
    const qsizetype dot = extensionDot(name);
    return dot >= 0 && extensions.contains(asciiLower(name.mid(dot)));
}

QString caption(const QString &path)
{
    const qsizetype start = fileNameStart(path);
    const qsizetype dot = extensionDot(path);
    return path.mid(start, dot < 0 ? -1 : dot - start);
}

QString format(const QString &videoCodec, const QString &audioCodec)
{
    return videoCodec + QLatin1Char('/') + audioCodec;
}

QString duration(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QString::asprintf("%d:%.2d", int(seconds / 60), int(seconds % 60));
}

QString addFilesFilter()
{
    return QStringLiteral(
               "Video Files |*.avi;*.div;*.divx;*.mpg;*.mpeg;*.m4v;*.wmv;*.asf;*.mkv;*.dat;*.mov") +
           QLatin1Char('|') +
           QStringLiteral(
               "AVI Files (*.avi)|*.avi|DivX Files (*.div,*.divx)|*.div;*.divx|MPEG Files "
               "(*.mpg,*.mpeg,*.m4v)|*.mpg;*.mpeg;*.m4v|Windows Media Video (*.wmv,*.asf)|*.wmv;*.asf|"
               "Matroska Files (*.mkv)|*.mkv; |VideoCD Files (*.dat)|*.dat|QuickTime Files (*.mov)|*.mov");
}

} // namespace ListTexts
