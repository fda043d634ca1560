#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

class TMediaInfoDll;

// One audio stream of a file, as the encoder is told to take it.
struct AudioStream
{
    QString specifier;          // the encoder's stream specifier without the input: "2", or "i:288" by id
    int number = 0;             // its place among the file's audio streams in the encoder's order, from 1
    unsigned libraryNumber = 0; // the library's number of the stream, for its other fields
    QString language;           // as the file tags it: "en", "deu", ...; empty when untagged
    QString title;              // the stream's own name, when it has one
    QString formatName;         // the library's codec text, for people
    bool isDefault = false;
    QString codec; // the facts below as in SourceAudio
    bool littleEndian = false;
    bool unsignedSamples = false;
    bool floatingPoint = false;
    int bitDepth = 0;
    qint64 bitRate = 0;
    int sampleRate = 0;
    int channels = 0;
};

// A part of the file between two times, as the file names it.
struct Chapter
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString title;
};

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
    bool littleEndian = false; // PCM only; not told for 8-bit samples, nor in WAV and AVI
    bool unsignedSamples = false;
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

    std::vector<AudioStream> streams; // in the encoder's order
    int stream = -1;          // which of them the facts above describe: the one the encoder picks by itself
    bool hasChapters = false; // the library found a chapter list
    std::vector<Chapter> chapters; // read only when asked for

    // Tags kept on the stream rather than the file, as Ogg and Matroska do.
    bool tagsOnStream() const;
    // The encoder's specifier of the described stream; empty when the file was not read.
    QString streamSpecifier() const;
    // The same source, its facts taken from another of its streams.
    SourceAudio withStream(int index) const;
};

// Reads the file. withCover: the attached picture too, which costs the picture's size in memory.
SourceAudio probeSourceAudio(const QString &fileName, bool withCover);

// The audio streams of a read file in the encoder's order. Streams are matched to the encoder's by their
// order in the file, or by their id where the library gives the order as "program-stream" (MPEG-TS),
// never by the library's own listing, which may differ.
std::vector<AudioStream> audioStreamsOf(const TMediaInfoDll &info);
// The stream the encoder picks without being told: flagged default, then most channels, then first.
int defaultStreamOf(const std::vector<AudioStream> &streams);

// The codec name from the library's format and profile texts.
QString sourceCodecName(const QString &format, const QString &profile);
