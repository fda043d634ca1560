#pragma once

#include <QString>
#include <QStringList>

// How an output reaches its final name: the encoder writes a hidden temporary file beside it, and
// only a verified result is renamed over. A stop, a failure or a crash never costs the user the file
// that was there before, and nothing half-written ever carries the final name.
namespace OutputFile {

// ".name.mp3.tolvane-1234.part" in the output's folder: hidden, on the same file system (so the
// rename is atomic), and with a suffix no folder scan takes for a video.
QString temporaryNameFor(const QString &finalName, qint64 processId);

// Removes temporary files for this output left behind by runs that are no longer alive; the
// temporary files of a run still at work are left alone.
void removeStaleTemporaries(const QString &finalName);

// Whether a directory entry of that name exists: a link counts as itself, dangling or not.
bool entryExists(const QString &path);

// Why an output the encoder reports as written is no good, or empty when it holds audio with a
// length: an encoder can end well without writing anything.
QString problemWith(const QString &path);

enum class Commit
{
    Done,
    Taken, // another entry appeared under the final name meanwhile
    Failed
};

// Moves the temporary file to its final name. Replaces what is there only when replace is set; the
// entry itself is replaced, so a link is never followed, and the file replaced is then found under the
// temporary name until that is removed. error says why on failure.
Commit commit(const QString &temporary, const QString &finalName, bool replace, QString *error);

// Takes a commit back: the output returns to its temporary name, and a file it replaced to its place.
void undoCommit(const QString &temporary, const QString &finalName);

} // namespace OutputFile
