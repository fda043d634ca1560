#pragma once

#include <QString>
#include <functional>

#include "namepattern.h"
#include "pieces.h"

struct config;
struct SourceAudio;

// Output names and encoder options of the batch, from the settings of the moment.
namespace BatchTexts {

struct Target
{
    QString outdir;  // where the Save As dialog starts
    QString outfile; // the output file
};

// Beside the source when samefolder is on, else in the output folder (in the source's subfolder there when
// keepfolders is on); the last extension replaced by the given one, or the format's.
// The name follows the "Output file name" pattern, filled in from the source's tags when given.
// A piece of several: a chapter goes to a folder named after the source, "NN - chapter title" unless
// the pattern says otherwise; a stream of several gets its language (or number) after the name.
Target outputFor(const QString &infile, const config &c, const QString &extension = QString(),
                 const QString &subfolder = QString(), const SourceAudio *source = nullptr,
                 const Pieces::Piece *piece = nullptr);

// What a name pattern can take from the source.
NamePattern::Fields nameFields(const QString &infile, const SourceAudio &source);

// Empty for "Original audio", whose extension depends on each source.
QString extensionOf(const config &c);
// The Save As filter for files of that extension.
QString saveFilterFor(const QString &extension);

// The encoder's last words, which say why it gave up; its banner before them does not.
QString lastLines(const QString &text, int count);

// The encoder's output without what it says after every failure ("Conversion failed!", its closing
// counts and progress, "Last message repeated"), so that its last line is the error itself.
QString withoutClosingWords(const QString &text);

} // namespace BatchTexts

// "name (1).mp3", "name (2).mp3", ...: the first name that is not taken, its stem cut where the whole
// would be too long. A folder's name has no extension: "film.v2 (1)".
QString freeNumberedName(const QString &path, const std::function<bool(const QString &)> &taken,
                         bool folder = false);
