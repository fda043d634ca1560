#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What a conversion needs to know of its source's first audio stream: whether it can be copied as it
// is, into which container, and whether the output needs a title or a picture from elsewhere.
struct SourceAudio
{
    bool probed = false; // the library read the file; when not, nothing below is known
    bool hasAudio = false;
    bool hasVideo = false;
    QString container;         // the library's name: "MPEG-4", "Ogg", "Matroska", ...
    QString codec;             // "aac", "mp3", "mp2", "opus", "vorbis", "flac", "ac3", "eac3", "dts", "pcm";
                               // else the library's own name
    bool littleEndian = false; // PCM only
    bool floatingPoint = false;
    int bitDepth = 0;
    qint64 bitRate = 0; // bits per second; 0 when unknown
    int sampleRate = 0;
    int channels = 0;
    qint64 durationMs = 0;
    bool hasTitle = false;
    QString title, artist, album, date, track, language; // the tags an output's name may use
    bool coverMarked = false;                            // the file says it has a picture
    QByteArray cover; // the picture's bytes; empty when there is none or it could not be read

    // Tags kept on the stream rather than the file, as Ogg and Matroska do.
    bool tagsOnStream() const;
};

// Reads the file. withCover: the attached picture too, which costs the picture's size in memory.
SourceAudio probeSourceAudio(const QString &fileName, bool withCover);

// The codec name from the library's format and profile texts.
QString sourceCodecName(const QString &format, const QString &profile);
