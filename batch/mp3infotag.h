#pragma once

#include <QByteArray>
#include <QString>

// The Info (Xing) frame that opens an MP3 file: its frame count tells players the length, and its LAME
// part the encoder's delay and padding, which players leave out.
namespace Mp3InfoTag {

// Sets the delay and padding of the Info frame at the start of frame to none, with the tag's checksum
// made anew. False when frame does not start with an Info frame that has a LAME part.
bool clearPadding(QByteArray &frame);

// The same in a file, behind its ID3v2 tag. False when the file has no such frame or cannot be written.
bool clearPaddingInFile(const QString &path);

} // namespace Mp3InfoTag
