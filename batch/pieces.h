#pragma once

#include "mediainfo/sourceaudio.h"

#include <QString>
#include <QStringList>

#include <vector>

// Which audio of a source goes to which output: one stream or each of them, whole or cut at chapters.
namespace Pieces {

enum class TrackMode
{
    Default = 0,   // the stream the encoder picks by itself
    Preferred = 1, // the first stream in one of the listed languages
    Every = 2      // each stream to its own file
};

// A row's own choice over the setting: every stream.
inline const QString everyTrack = QStringLiteral("all");

// Two language codes of one language: "de", "deu" and "ger" alike; names the system does not know only
// when spelled the same.
bool sameLanguage(const QString &a, const QString &b);

// "de" as "deu": the form files are tagged with; a code the system does not know as it is.
QString threeLetterCode(const QString &code);

// "deu, eng" -> {"deu", "eng"}.
QStringList languageList(const QString &text);

struct TrackChoice
{
    std::vector<int> streams; // positions in the source's streams; {-1}: the encoder's own pick
    bool fellBack = false;    // no stream was in a preferred language: the default one was taken
};

// rowChoice: a stream's specifier or everyTrack, over mode and languages; a specifier the source no
// longer has counts as none.
TrackChoice chooseTracks(const SourceAudio &source, TrackMode mode, const QStringList &languages,
                         const QString &rowChoice = QString());

// An end that is the source's own.
constexpr qint64 toTheEnd = -1;

// The parts a file is cut into, in time order: each from its chapter's start to the next one's start,
// the first from the file's start, the last to its end (toTheEnd). Chapters of no length, and those
// starting after the file's end (when it is known), cut nothing.
std::vector<Chapter> cutList(std::vector<Chapter> chapters, qint64 durationMs = 0);

struct Piece
{
    int stream = -1;  // position in the source's streams; -1: the encoder's own pick
    QString trackTag; // set when each stream has a file: its language, else its number
    int chapter = 0;  // from 1; 0: the whole source
    int chapters = 0;
    qint64 startMs = 0;
    qint64 endMs = 0; // or toTheEnd
    QString chapterTitle;
};

// Every output of a source: each chosen stream, each cut chapter of it when split.
std::vector<Piece> piecesFor(const SourceAudio &source, const TrackChoice &tracks, bool split);

// The chapters of a file by its starts and ends, read by ffprobe; empty when it has none or the read fails.
std::vector<Chapter> readChapters(const QString &probeProgram, const QString &input);
// ffprobe's JSON chapter report.
std::vector<Chapter> parseChapters(const QByteArray &json);
// ffprobe, where the encoder is.
QString probeProgram(const QString &encoderPath);

} // namespace Pieces
