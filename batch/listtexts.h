#pragma once

#include <QString>

// Texts of a conversion-list row, and what the list accepts.
namespace ListTexts {

// Where the file name starts in a path: after the last "/" (a backslash is part of a Linux name).
qsizetype fileNameStart(const QString &path);
// The position of the file name's last ".", or -1 when the name has none.
qsizetype extensionDot(const QString &path);

// A name the list takes by its extension (ASCII case folded): the videos, then audio files people also
// extract from.
bool isAcceptedName(const QString &name);

// "clip2" before "clip10": runs of digits compared as numbers, the rest without regard to letter case.
bool naturalLess(const QString &a, const QString &b);

// File name without folder and without its last extension ("a.b.avi" -> "a.b").
QString caption(const QString &path);

// "video/audio" codec texts.
QString format(const QString &videoCodec, const QString &audioCodec);

// An audio stream for a menu: "2: deu · AAC · 6 channels · Commentary"; what it lacks left out.
QString trackCaption(int number, const QString &language, const QString &codec, int channels,
                     const QString &title);

// "%d:%.2d" from whole seconds of a length in milliseconds; minutes are not capped.
QString duration(qint64 milliseconds);

// The Add Files dialog's filter: every accepted type, one entry per kind, then every file.
QString addFilesFilter();

} // namespace ListTexts
