#pragma once

#include <QString>
#include <QStringList>

// The fixed lists whose positions the settings store keeps.
namespace Options {

const QStringList &formatNames();      // main window format box
const QStringList &formatExtensions(); // "mp3", "wav"
const QStringList &saveFilters();      // Save As filter per format
const QStringList &sampleRates();      // "48000" ... "8000"
const QStringList &channelModes();     // "Mono", "Stereo"
const QStringList &mp3Bitrates();      // "320" ... "32"

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

} // namespace Options
