#include "batchtexts.h"

#include "listtexts.h"

#include "convert/commandline.h"
#include "settings/config.h"
#include "settings/options.h"

#include <QDir>
#include <QRegularExpression>

namespace BatchTexts {

using ListTexts::extensionDot;
using ListTexts::fileNameStart;

namespace {
QString withExtension(const QString &path, const QString &extension)
{
    const qsizetype dot = extensionDot(path);
    return (dot < 0 ? path : path.left(dot)) + QLatin1Char('.') + extension;
}
} // namespace

int codecOf(const config &c)
{
    return Options::positionOrDefault(Options::formatExtensions(), c.codec, Options::defaultCodec);
}

QString extensionOf(const config &c)
{
    return Options::formatExtensions().at(codecOf(c));
}

QString saveFilterOf(const config &c)
{
    return Options::saveFilters().at(codecOf(c));
}

Target outputFor(const QString &infile, const config &c)
{
    Target t;
    if (c.samefolder) {
        t.outdir = infile.left(fileNameStart(infile));
        t.outfile = infile;
    } else {
        t.outdir = c.output;
        t.outfile = c.output + QDir::separator() + infile.mid(fileNameStart(infile));
    }
    t.outfile = withExtension(t.outfile, extensionOf(c));
    return t;
}

QString optionsText(const config &c)
{
    using namespace Options;
    if (codecOf(c) == 0) {
        return QStringLiteral("-acodec libmp3lame -ab ") +
               entryOrDefault(mp3Bitrates(), c.mp3bitrate, defaultMp3Bitrate) + QStringLiteral("k -ac ") +
               QString::number(positionOrDefault(channelModes(), c.mp3mode, defaultMode) + 1) +
               QStringLiteral(" -ar ") + entryOrDefault(sampleRates(), c.mp3srate, defaultSampleRate);
    }
    return QStringLiteral("-vn -ac ") +
           QString::number(positionOrDefault(channelModes(), c.wavmode, defaultMode) + 1) +
           QStringLiteral(" -ar ") + entryOrDefault(sampleRates(), c.wavsrate, defaultSampleRate);
}

QString muxerOf(const config &c)
{
    // The output's extension no longer names its container: the encoder writes a temporary name.
    return codecOf(c) == 0 ? QStringLiteral("mp3") : QStringLiteral("wav");
}

QString argumentText(const config &c, const QString &outfile)
{
    return optionsText(c) + QStringLiteral(" -f ") + muxerOf(c) + QLatin1Char(' ') + quoteArgument(outfile);
}

QString lastLines(const QString &text, int count)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    const QStringList lines = text.split(lineBreaks, Qt::SkipEmptyParts);
    return lines.mid(qMax(0, lines.size() - count)).join(QLatin1Char('\n')).trimmed();
}

} // namespace BatchTexts

QString freeNumberedName(const QString &path, const std::function<bool(const QString &)> &taken)
{
    qsizetype dot = ListTexts::extensionDot(path);
    if (dot < 0)
        dot = path.size();
    for (int n = 1;; ++n) {
        const QString candidate = path.left(dot) + QStringLiteral(" (%1)").arg(n) + path.mid(dot);
        if (!taken(candidate))
            return candidate;
    }
}
