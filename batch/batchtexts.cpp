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
// A folder name from a file's name: what the name pattern would make of it alone.
QString chapterFolderName(const QString &name)
{
    NamePattern::Fields fields;
    fields.name = name;
    const QString file = NamePattern::fileName(NamePattern::defaultPattern, fields, QStringLiteral("d"));
    return file.left(file.size() - 2);
}

// The extension replaced, the name cut to leave room for it.
QString withExtension(const QString &path, const QString &extension)
{
    const qsizetype start = fileNameStart(path);
    const qsizetype dot = extensionDot(path);
    const QString stem = path.mid(start, (dot < 0 ? path.size() : dot) - start);
    return path.left(start) + NamePattern::fitted(stem, QLatin1Char('.') + extension);
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
                 const SourceAudio *source, const Pieces::Piece *piece)
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
    const bool several = piece && (piece->chapter > 0 || !piece->trackTag.isEmpty());
    // The name of old, byte for byte, unless a pattern of the person's own says otherwise.
    QString pattern = c.namepattern.trimmed();
    const bool ownPattern = !pattern.isEmpty() && pattern != NamePattern::defaultPattern;
    if (!ownPattern && !several) {
        t.outfile = withExtension(t.outfile, chosenExtension);
        return t;
    }
    NamePattern::Fields fields = nameFields(infile, source ? *source : SourceAudio());
    QString folder = t.outfile.left(fileNameStart(t.outfile));
    if (piece && piece->chapter > 0) {
        // The pieces of a video go to a folder of its name.
        folder += chapterFolderName(fields.name) + QDir::separator();
        if (!ownPattern)
            pattern = QStringLiteral("{chapter} - {chaptertitle}");
        else if (!pattern.contains(QLatin1String("{chapter}"), Qt::CaseInsensitive))
            pattern = QStringLiteral("{chapter} - ") + pattern;
        fields.chapter =
            QStringLiteral("%1").arg(piece->chapter, piece->chapters >= 100 ? 3 : 2, 10, QLatin1Char('0'));
        fields.chapterTitle = piece->chapterTitle.trimmed().isEmpty() ? fields.name : piece->chapterTitle;
    } else if (!ownPattern) {
        pattern = QStringLiteral("{name}");
    }
    QString tail;
    if (piece && !piece->trackTag.isEmpty()) {
        // Each stream has a file of its own: the names tell them apart, however long the rest is.
        fields.lang = piece->trackTag;
        if (!pattern.contains(QLatin1String("{lang}"), Qt::CaseInsensitive))
            tail = QStringLiteral(" [%1]").arg(piece->trackTag);
    }
    t.outfile = folder + NamePattern::fileName(pattern, fields, chosenExtension, tail);
    return t;
}

QString lastLines(const QString &text, int count)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    const QStringList lines = text.split(lineBreaks, Qt::SkipEmptyParts);
    return lines.mid(qMax(0, lines.size() - count)).join(QLatin1Char('\n')).trimmed();
}

QString withoutClosingWords(const QString &text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    static const QRegularExpression closing(
        QStringLiteral("^(Conversion failed!|Exiting normally.*|Last message repeated \\d+ times?|"
                       "(size|frame)=.*time=.*|video:\\S+ audio:\\S+ .*)$"));
    QStringList lines = text.split(lineBreaks, Qt::SkipEmptyParts);
    while (!lines.isEmpty() &&
           (lines.last().trimmed().isEmpty() || closing.match(lines.last().trimmed()).hasMatch()))
        lines.removeLast();
    return lines.isEmpty() ? text.trimmed() : lines.join(QLatin1Char('\n')).trimmed();
}

} // namespace BatchTexts

QString freeNumberedName(const QString &path, const std::function<bool(const QString &)> &taken, bool folder)
{
    const qsizetype start = ListTexts::fileNameStart(path);
    qsizetype dot = folder ? -1 : ListTexts::extensionDot(path);
    if (dot < 0)
        dot = path.size();
    // The number is never cut away, nor a track's " [eng]" before it: the rest makes room for them.
    QString stem = path.mid(start, dot - start);
    QString kept;
    if (const qsizetype tag = stem.lastIndexOf(QLatin1String(" [")); tag > 0 && stem.endsWith(u']')) {
        kept = stem.mid(tag);
        stem.truncate(tag);
    }
    for (int n = 1;; ++n) {
        const QString candidate =
            path.left(start) +
            NamePattern::fitted(stem, kept + QStringLiteral(" (%1)").arg(n) + path.mid(dot));
        if (!taken(candidate))
            return candidate;
    }
}
