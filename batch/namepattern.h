#pragma once

#include <QString>
#include <QStringList>

// Output file names from the "Output file name" setting: a pattern such as "{artist} - {title}" filled
// in from what the source tells about itself. No file system here; the caller adds the folder.
namespace NamePattern {

// What the source offers; a field is empty when the source lacks it.
struct Fields
{
    QString name; // the source's file name without its last extension
    QString title, artist, album, date, track, lang;
    QString chapter; // "01", "02", ... (only when splitting at chapters)
    QString chapterTitle;
};

inline const QString defaultPattern = QStringLiteral("{name}");

// The longest output name, in bytes: the file system's 255 less what the temporary name it is written
// under adds (".", ".tolvane-", a process id and ".part").
inline constexpr qsizetype maxNameBytes = 255 - 25;

// The file name (without folder) for the pattern and the fields, with "." + extension appended.
//
// Fields: {name} {title} {artist} {album} {date} {track} {lang} {chapter} {chaptertitle}, in any case;
// an unknown {field} stays as written. Tidying: an empty field takes the brackets right around it and
// the separator text after it (text of only blanks and - _ . , –) away with it, and the separators on
// both sides when nothing else follows or precedes it; other text stays. Runs of blanks become one
// and blanks at the ends go.
// Then "/" and control characters become "_", a name of only dots becomes "_", an empty result falls
// back to {name} (then "_"), and the name is cut to maxNameBytes of UTF-8 between characters, keeping
// the tail (" [eng]", set apart from the pattern) and the extension whole.
QString fileName(const QString &pattern, const Fields &fields, const QString &extension,
                 const QString &tail = QString());

// stem + tail, the stem cut between characters so that the whole fits in limit bytes of UTF-8.
QString fitted(const QString &stem, const QString &tail, qsizetype limit = maxNameBytes);

// The "{foo}" the pattern names that this program does not know, each once, in the pattern's order.
QStringList unknownFields(const QString &pattern);

} // namespace NamePattern
