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

namespace {
// The first eleven are the list's own since its first version and keep their order.
const char *const videoExtensions[] = {"avi", "div", "divx", "mpg",  "mpeg", "m4v",  "wmv",  "asf", "mkv",
                                       "dat", "mov", "mp4",  "webm", "ts",   "m2ts", "mts",  "flv", "f4v",
                                       "3gp", "3g2", "vob",  "ogv",  "ogm",  "rm",   "rmvb", "mxf", "nut"};
const char *const audioExtensions[] = {"m4a", "mka", "opus", "oga", "ogg", "flac",
                                       "wav", "mp3", "mp2",  "aac", "ac3", "wma"};
} // namespace

bool isAcceptedName(const QString &name)
{
    static const QStringList extensions = [] {
        QStringList all;
        for (const char *e : videoExtensions)
            all << QLatin1Char('.') + QLatin1String(e);
        for (const char *e : audioExtensions)
            all << QLatin1Char('.') + QLatin1String(e);
        return all;
    }();
    const qsizetype dot = extensionDot(name);
    return dot >= 0 && extensions.contains(asciiLower(name.mid(dot)));
}

QString caption(const QString &path)
{
    const qsizetype start = fileNameStart(path);
    const qsizetype dot = extensionDot(path);
    return path.mid(start, dot < 0 ? -1 : dot - start);
}

bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros aside, a longer run is a bigger number.
            QStringView x = QStringView(a).mid(i, ei - i);
            QStringView y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b;
}

QString trackCaption(int number, const QString &language, const QString &codec, int channels,
                     const QString &title)
{
    QStringList parts{language, codec};
    if (channels > 0)
        parts << (channels == 1 ? QStringLiteral("1 channel") : QStringLiteral("%1 channels").arg(channels));
    parts << title.simplified();
    parts.removeAll(QString());
    return QStringLiteral("%1: ").arg(number) + parts.join(QStringLiteral(" \u00b7 "));
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
    QStringList all;
    for (const char *e : videoExtensions)
        all << QStringLiteral("*.") + QLatin1String(e);
    for (const char *e : audioExtensions)
        all << QStringLiteral("*.") + QLatin1String(e);
    return QStringLiteral("Video Files |") + all.join(QLatin1Char(';')) + QLatin1Char('|') +
           QStringLiteral(
               "AVI Files (*.avi)|*.avi|DivX Files (*.div,*.divx)|*.div;*.divx|MPEG Files "
               "(*.mpg,*.mpeg,*.m4v)|*.mpg;*.mpeg;*.m4v|Windows Media Video (*.wmv,*.asf)|*.wmv;*.asf|"
               "Matroska Files (*.mkv)|*.mkv; |VideoCD Files (*.dat)|*.dat|QuickTime Files (*.mov)|*.mov|"
               "MPEG-4 Files (*.mp4,*.3gp,*.3g2)|*.mp4;*.3gp;*.3g2|WebM Files (*.webm)|*.webm|"
               "MPEG Transport Streams (*.ts,*.m2ts,*.mts)|*.ts;*.m2ts;*.mts|Flash Video "
               "(*.flv,*.f4v)|*.flv;*.f4v|"
               "DVD Video (*.vob)|*.vob|Ogg Video (*.ogv,*.ogm)|*.ogv;*.ogm|RealMedia Files "
               "(*.rm,*.rmvb)|*.rm;*.rmvb|"
               "MXF and NUT Files (*.mxf,*.nut)|*.mxf;*.nut|Audio Files "
               "(*.m4a,*.mka,*.opus,*.oga,*.ogg,*.flac,"
               "*.wav,*.mp3,*.mp2,*.aac,*.ac3,*.wma)|*.m4a;*.mka;*.opus;*.oga;*.ogg;*.flac;*.wav;*.mp3;*.mp2;"
               "*.aac;"
               "*.ac3;*.wma|All files (*)|*");
}

} // namespace ListTexts
