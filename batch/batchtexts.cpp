#include "batchtexts.h"

#include "encoding.h"
#include "listtexts.h"
#include "namepattern.h"

#include "mediainfo/sourceaudio.h"
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

QString extensionOf(const config &c)
{
    return Options::formatExtensions().at(Encoding::formatOf(c));
}

QString saveFilterFor(const QString &extension)
{
    const qsizetype format = Options::formatExtensions().indexOf(extension);
    if (format >= 0)
        return Options::saveFilters().at(format);
    return extension.toUpper() + QStringLiteral(" files (*.%1)|*.%1").arg(extension);
}

NamePattern::Fields nameFields(const QString &infile, const SourceAudio &source)
{
    const QString file = infile.mid(fileNameStart(infile));
    const qsizetype dot = extensionDot(file);
    return {dot < 0 ? file : file.left(dot),
            source.title,
            source.artist,
            source.album,
            source.date,
            source.track,
            source.language,
            QString(),
            QString()};
}

Target outputFor(const QString &infile, const config &c, const QString &extension, const QString &subfolder,
                 const SourceAudio *source)
{
    Target t;
    if (c.samefolder) {
        t.outdir = infile.left(fileNameStart(infile));
        t.outfile = infile;
    } else {
        t.outdir = c.output;
        if (c.keepfolders && !subfolder.isEmpty())
            t.outdir += QDir::separator() + subfolder;
        t.outfile = t.outdir + QDir::separator() + infile.mid(fileNameStart(infile));
    }
    const QString chosenExtension = extension.isEmpty() ? extensionOf(c) : extension;
    // The name of old, byte for byte, unless a pattern of the person's own says otherwise.
    const QString pattern = c.namepattern.trimmed();
    if (pattern.isEmpty() || pattern == NamePattern::defaultPattern) {
        t.outfile = withExtension(t.outfile, chosenExtension);
    } else {
        t.outfile = t.outfile.left(fileNameStart(t.outfile)) +
                    NamePattern::fileName(pattern, nameFields(infile, source ? *source : SourceAudio()),
                                          chosenExtension);
    }
    return t;
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
