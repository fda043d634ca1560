#include "batchtexts.h"

#include "convert/commandline.h"
#include "settings/config.h"
#include "settings/options.h"

#include <QDir>

namespace BatchTexts {

namespace {
qsizetype fileNameStart(const QString &path)
{
    return qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
}

QString withExtension(const QString &path, const QString &extension)
{
    const qsizetype nameStart = fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? path.left(dot) : path;
    return stem + QLatin1Char('.') + extension;
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

QString argumentText(const config &c, const QString &outfile)
{
    return optionsText(c) + QLatin1Char(' ') + quoteArgument(outfile);
}

} // namespace BatchTexts
