#pragma once

#include <QString>

struct config;
struct SourceAudio;

// How one source becomes its output: the encoder's options and container, or a copy of the audio as
// it is, decided from the settings and what the source holds.
namespace Encoding {

enum class Picture
{
    None,
    Stream, // an attached picture stream: MP3, M4A, FLAC
    Comment // a picture comment written through a metadata file: Opus
};

struct Plan
{
    QString extension; // of the output
    QString muxer;     // the container the encoder is told to write
    QString options;   // the codec options, or the copy
    bool copied = false;
    Picture picture = Picture::None;
    // Copied MP3 pieces: the encoder's delay and padding in the Info frame are the whole source's.
    bool clearsMp3Padding = false;
    QString note; // why the audio is not copied as it is, where it would be
};

// What the file needs beside its audio.
struct Extras
{
    QString coverFile;           // a picture to attach (Picture::Stream)
    bool coverIsPlain = false;   // JPEG or PNG, which every container takes as it is
    QString metadataFile;        // tags read from a file (Picture::Comment)
    bool streamTags = false;     // the source keeps its tags on the audio stream
    QString title;               // the output's title, when the source has none
    bool withoutPicture = false; // the source has a picture the output must not take on its own
};

// The tag options a source needs: its stream's tags mapped, or its file name as the title.
Extras tagExtras(const SourceAudio &source, const QString &infile);

// The chosen format: the stored one, or the default when it lies outside the list.
int formatOf(const config &c);

// The re-encoding options of the chosen format; for MP3 and WAV the texts they always had.
QString encodeOptions(const config &c);

// The plan for one source; an unknown source is re-encoded, or copied into Matroska for "Original".
Plan planFor(const config &c, const SourceAudio &source);

// The plan for a part of the source (a chapter): a copy only where the part's own header can tell its
// length; a FLAC copy would keep the whole file's length and checksum, so it is encoded losslessly.
Plan planForPart(const config &c, const SourceAudio &source);

// Whether the source's audio is already what the chosen format and its settings ask for.
bool fitsAsItIs(const config &c, const SourceAudio &source);

// One output among several of a source, or of a chosen stream.
struct Output
{
    QString stream;    // the encoder's stream specifier; empty: the plan's own choice
    bool part = false; // a part from start to end, rather than the whole
    qint64 startMs = 0;
    qint64 endMs = -1; // -1 (Pieces::toTheEnd): to the source's end
    QString title;     // tags over the source's
    QString album;
    int track = 0; // of tracks; 0: none
    int tracks = 0;
};

// What follows the input on the encoder's line: inputs for the extras, the options, the mappings, the
// container and the quoted output file.
QString argumentText(const Plan &plan, const Extras &extras, const QString &outfile);
// The same in parts, for a line of several outputs: the extra inputs once, then each output.
QString inputText(const Plan &plan, const Extras &extras);
QString outputText(const Plan &plan, const Extras &extras, const Output &output, const QString &outfile);
// An output ahead of several, which makes the reported progress that of the whole source.
QString progressOutput(const QString &stream);

// The picture as an Opus or Vorbis comment value: a FLAC picture block in base64.
QByteArray pictureComment(const QByteArray &picture);

// A metadata file holding one picture comment, escaped as that format wants.
QByteArray pictureMetadataFile(const QByteArray &picture);

} // namespace Encoding
