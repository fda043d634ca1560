#include "pieces.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace Pieces {

namespace {
constexpr int chapterReadTimeoutMs = 20000;

QLocale::Language languageOf(const QString &code)
{
    return QLocale::codeToLanguage(code.trimmed(), QLocale::AnyLanguageCode);
}
} // namespace

QString threeLetterCode(const QString &code)
{
    const QLocale::Language language = languageOf(code);
    const QString three = language == QLocale::AnyLanguage || language == QLocale::C
                              ? QString()
                              : QLocale::languageToCode(language, QLocale::ISO639Part2T);
    return three.isEmpty() ? code.trimmed() : three;
}

bool sameLanguage(const QString &a, const QString &b)
{
    const QLocale::Language la = languageOf(a);
    if (la != QLocale::AnyLanguage && la != QLocale::C && la == languageOf(b))
        return true;
    return !a.trimmed().isEmpty() && a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

QStringList languageList(const QString &text)
{
    QStringList codes;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty())
            codes << part.trimmed();
    }
    return codes;
}

TrackChoice chooseTracks(const SourceAudio &source, TrackMode mode, const QStringList &languages,
                         const QString &rowChoice)
{
    const int count = int(source.streams.size());
    if (rowChoice == everyTrack)
        mode = TrackMode::Every;
    else if (!rowChoice.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            if (source.streams[i].specifier == rowChoice)
                return {{i}, false};
        }
    }
    TrackChoice choice;
    if (mode == TrackMode::Every && count > 0) {
        for (int i = 0; i < count; ++i)
            choice.streams.push_back(i);
        return choice;
    }
    if (mode == TrackMode::Preferred) {
        // The earliest listed language wins over the order of the streams.
        for (const QString &code : languages) {
            for (int i = 0; i < count; ++i) {
                if (sameLanguage(code, source.streams[i].language))
                    return {{i}, false};
            }
        }
        choice.fellBack = !languages.isEmpty() && count > 0;
    }
    choice.streams.push_back(-1);
    return choice;
}

std::vector<Chapter> cutList(std::vector<Chapter> chapters, qint64 durationMs)
{
    // One of no length marks a point, not a part: it must not cut the chapter it lies in.
    std::erase_if(chapters, [durationMs](const Chapter &c) {
        return c.endMs <= c.startMs || (durationMs > 0 && c.startMs >= durationMs);
    });
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const Chapter &a, const Chapter &b) { return a.startMs < b.startMs; });
    // As players go from chapter to chapter: a gap belongs to the chapter before it, what comes before
    // the first to the first, so the pieces together hold all of the audio.
    std::vector<Chapter> cut;
    for (size_t i = 0; i < chapters.size(); ++i) {
        Chapter c = chapters[i];
        c.startMs = cut.empty() ? 0 : c.startMs;
        c.endMs = i + 1 < chapters.size() ? chapters[i + 1].startMs : toTheEnd;
        if (c.endMs == toTheEnd || c.endMs > c.startMs)
            cut.push_back(c);
    }
    return cut;
}

std::vector<Piece> piecesFor(const SourceAudio &source, const TrackChoice &tracks, bool split)
{
    const std::vector<Chapter> chapters =
        split ? cutList(source.chapters, source.durationMs) : std::vector<Chapter>();
    const bool tagged = tracks.streams.size() > 1;
    std::vector<Piece> pieces;
    QStringList tags;
    for (const int stream : tracks.streams) {
        Piece whole;
        whole.stream = stream;
        if (tagged && stream >= 0 && stream < int(source.streams.size())) {
            const AudioStream &a = source.streams[stream];
            const QString tag =
                a.language.isEmpty() ? QString::number(a.number) : threeLetterCode(a.language);
            // Two tracks of one language: the second is "eng 2", so each has a name of its own.
            whole.trackTag = tag;
            for (int n = 2; tags.contains(whole.trackTag, Qt::CaseInsensitive); ++n)
                whole.trackTag = QStringLiteral("%1 %2").arg(tag).arg(n);
            tags << whole.trackTag;
        }
        if (chapters.empty()) {
            pieces.push_back(whole);
            continue;
        }
        for (size_t i = 0; i < chapters.size(); ++i) {
            Piece p = whole;
            p.chapter = int(i) + 1;
            p.chapters = int(chapters.size());
            p.startMs = chapters[i].startMs;
            p.endMs = chapters[i].endMs;
            p.chapterTitle = chapters[i].title;
            pieces.push_back(p);
        }
    }
    return pieces;
}

std::vector<Chapter> parseChapters(const QByteArray &json)
{
    std::vector<Chapter> chapters;
    const QJsonArray list = QJsonDocument::fromJson(json).object().value(QLatin1String("chapters")).toArray();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        // Times come as decimal seconds in text.
        const auto ms = [&o](const char *key) {
            return qint64(o.value(QLatin1String(key)).toString().toDouble() * 1000 + 0.5);
        };
        chapters.push_back(
            {ms("start_time"), ms("end_time"),
             o.value(QLatin1String("tags")).toObject().value(QLatin1String("title")).toString()});
    }
    return chapters;
}

QString probeProgram(const QString &encoderPath)
{
    const QFileInfo encoder(encoderPath);
    const QString beside = encoder.path() + QStringLiteral("/ffprobe") +
                           (encoder.suffix() == QLatin1String("exe") ? QStringLiteral(".exe") : QString());
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    return onPath.isEmpty() ? beside : onPath;
}

std::vector<Chapter> readChapters(const QString &probe, const QString &input)
{
    QProcess ffprobe;
    ffprobe.setStandardInputFile(QProcess::nullDevice());
    ffprobe.start(probe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                          QStringLiteral("json"), QStringLiteral("-show_chapters"), input});
    if (!ffprobe.waitForFinished(chapterReadTimeoutMs)) {
        ffprobe.kill();
        ffprobe.waitForFinished();
        return {};
    }
    if (ffprobe.exitStatus() != QProcess::NormalExit || ffprobe.exitCode() != 0)
        return {};
    return parseChapters(ffprobe.readAllStandardOutput());
}

} // namespace Pieces
