#pragma once

#include <QString>
#include <QStringList>

// The fixed lists whose positions the settings store keeps.
namespace Options {

// The output formats, in the order of the stored "codec" value.
enum Format
{
    Mp3 = 0,
    Wav = 1,
    Aac = 2,
    Opus = 3,
    Flac = 4,
    Vorbis = 5,
    Original = 6
};

const QStringList &formatNames();      // main window format box
const QStringList &formatExtensions(); // "mp3", "wav", ...; empty for Original: decided per file
const QStringList &formatKeys();       // "mp3", "wav", "aac", ...: the names --format takes
const QStringList &saveFilters();      // Save As filter per format
const QStringList &sampleRates();      // "48000" ... "8000"
const QStringList &channelModes();     // "Mono", "Stereo"
const QStringList &mp3Bitrates();      // "320" ... "32"

// The choices of the encoders that came later. Their first entry, "keep", takes the source's value.
const QStringList &keepSampleRates();  // "keep", then sampleRates()
const QStringList &opusSampleRates();  // "keep", and the rates libopus accepts
const QStringList &keepChannelModes(); // "keep", "Mono", "Stereo"
const QStringList &mp3VbrQualities();  // "Off (constant bitrate)", "V0 (best)" ... "V9 (smallest)"
const QStringList &aacBitrates();      // "320" ... "64"
const QStringList &opusBitrates();     // "256" ... "32"
const QStringList &flacLevels();       // "0" ... "8"
const QStringList &vorbisQualities();  // "-1" ... "10"
const QStringList &coverChoices();     // "None", "Picture in the video file", "..., else a frame"
const QStringList &trackChoices(); // "Default track", "Preferred languages", "Every track to its own file"

// "Overwrite", "Skip the file", "Keep both (add a number)"
const QStringList &existingPolicies();

// How many files may be converted at once: 1 up to the processor cores, at least 1 to 4.
int maximumJobs();
// A stored count outside 1..maximumJobs() means 1.
int jobsOrDefault(int stored);

// The list entry at a stored position; the default position's entry when the position lies outside.
QString entryOrDefault(const QStringList &list, int position, int defaultPosition);
int positionOrDefault(const QStringList &list, int position, int defaultPosition);

inline constexpr int defaultCodec = 0;
inline constexpr int defaultSampleRate = 1;
inline constexpr int defaultMode = 1;
inline constexpr int defaultMp3Bitrate = 5;
inline constexpr int defaultAacBitrate = 3;    // 192
inline constexpr int defaultOpusBitrate = 4;   // 128
inline constexpr int defaultFlacLevel = 5;     // 5
inline constexpr int defaultVorbisQuality = 6; // 5
inline constexpr int keep = 0;                 // "keep" in the lists that have it

enum class Cover
{
    None = 0,
    Attached = 1,
    AttachedOrFrame = 2
};

} // namespace Options
