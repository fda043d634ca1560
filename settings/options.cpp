#include "options.h"

#include <QThread>

namespace Options {

const QStringList &formatNames()
{
    static const QStringList list{QStringLiteral("MP3 - Lame MP3 Encoder"),
                                  QStringLiteral("WAV - WAV PCM Encoder"),
                                  QStringLiteral("AAC - Advanced Audio Coding (.m4a)"),
                                  QStringLiteral("Opus (.opus)"),
                                  QStringLiteral("FLAC - Free Lossless Audio Codec (.flac)"),
                                  QStringLiteral("Ogg Vorbis (.ogg)"),
                                  QStringLiteral("Original audio - no re-encoding")};
    return list;
}

const QStringList &formatExtensions()
{
    static const QStringList list{QStringLiteral("mp3"),
                                  QStringLiteral("wav"),
                                  QStringLiteral("m4a"),
                                  QStringLiteral("opus"),
                                  QStringLiteral("flac"),
                                  QStringLiteral("ogg"),
                                  QString()};
    return list;
}

const QStringList &formatKeys()
{
    static const QStringList list{QStringLiteral("mp3"),     QStringLiteral("wav"),  QStringLiteral("aac"),
                                  QStringLiteral("opus"),    QStringLiteral("flac"), QStringLiteral("ogg"),
                                  QStringLiteral("original")};
    return list;
}

const QStringList &saveFilters()
{
    static const QStringList list{QStringLiteral("MP3 files (*.mp3)|*.mp3"),
                                  QStringLiteral("WAV files (*.wav)|*.wav"),
                                  QStringLiteral("M4A files (*.m4a)|*.m4a"),
                                  QStringLiteral("Opus files (*.opus)|*.opus"),
                                  QStringLiteral("FLAC files (*.flac)|*.flac"),
                                  QStringLiteral("Ogg Vorbis files (*.ogg)|*.ogg"),
                                  QStringLiteral("All files (*)|*")};
    return list;
}

const QStringList &sampleRates()
{
    static const QStringList list{QStringLiteral("48000"), QStringLiteral("44100"), QStringLiteral("32000"),
                                  QStringLiteral("22050"), QStringLiteral("16000"), QStringLiteral("11025"),
                                  QStringLiteral("8000")};
    return list;
}

const QStringList &channelModes()
{
    static const QStringList list{QStringLiteral("Mono"), QStringLiteral("Stereo")};
    return list;
}

const QStringList &mp3Bitrates()
{
    static const QStringList list{QStringLiteral("320"), QStringLiteral("256"), QStringLiteral("224"),
                                  QStringLiteral("192"), QStringLiteral("160"), QStringLiteral("128"),
                                  QStringLiteral("112"), QStringLiteral("96"),  QStringLiteral("80"),
                                  QStringLiteral("64"),  QStringLiteral("56"),  QStringLiteral("48"),
                                  QStringLiteral("40"),  QStringLiteral("32")};
    return list;
}

namespace {
QStringList numbers(int from, int to, int step)
{
    QStringList list;
    for (int n = from; step > 0 ? n <= to : n >= to; n += step)
        list << QString::number(n);
    return list;
}
const QString keepText = QStringLiteral("keep");
} // namespace

const QStringList &keepSampleRates()
{
    static const QStringList list = QStringList{keepText} + sampleRates();
    return list;
}

const QStringList &opusSampleRates()
{
    static const QStringList list{keepText,
                                  QStringLiteral("48000"),
                                  QStringLiteral("24000"),
                                  QStringLiteral("16000"),
                                  QStringLiteral("12000"),
                                  QStringLiteral("8000")};
    return list;
}

const QStringList &keepChannelModes()
{
    static const QStringList list = QStringList{keepText} + channelModes();
    return list;
}

const QStringList &mp3VbrQualities()
{
    static const QStringList list = [] {
        QStringList l{QStringLiteral("Off (constant bitrate)")};
        for (int v = 0; v <= 9; ++v)
            l << QStringLiteral("V%1").arg(v) + (v == 0   ? QStringLiteral(" (best)")
                                                 : v == 9 ? QStringLiteral(" (smallest)")
                                                          : QString());
        return l;
    }();
    return list;
}

const QStringList &aacBitrates()
{
    static const QStringList list{QStringLiteral("320"), QStringLiteral("256"), QStringLiteral("224"),
                                  QStringLiteral("192"), QStringLiteral("160"), QStringLiteral("128"),
                                  QStringLiteral("112"), QStringLiteral("96"),  QStringLiteral("80"),
                                  QStringLiteral("64")};
    return list;
}

const QStringList &opusBitrates()
{
    static const QStringList list{QStringLiteral("256"), QStringLiteral("224"), QStringLiteral("192"),
                                  QStringLiteral("160"), QStringLiteral("128"), QStringLiteral("112"),
                                  QStringLiteral("96"),  QStringLiteral("80"),  QStringLiteral("64"),
                                  QStringLiteral("48"),  QStringLiteral("40"),  QStringLiteral("32")};
    return list;
}

const QStringList &flacLevels()
{
    static const QStringList list = numbers(0, 8, 1);
    return list;
}

const QStringList &vorbisQualities()
{
    static const QStringList list = numbers(-1, 10, 1);
    return list;
}

const QStringList &coverChoices()
{
    static const QStringList list{QStringLiteral("None"), QStringLiteral("Picture in the video file"),
                                  QStringLiteral("Picture in the video file, else a frame from the video")};
    return list;
}

const QStringList &trackChoices()
{
    static const QStringList list{QStringLiteral("Default track"), QStringLiteral("Preferred languages"),
                                  QStringLiteral("Every track to its own file")};
    return list;
}

const QStringList &existingPolicies()
{
    static const QStringList list{QStringLiteral("Overwrite"), QStringLiteral("Skip the file"),
                                  QStringLiteral("Keep both (add a number)")};
    return list;
}

int maximumJobs()
{
    return qMax(4, QThread::idealThreadCount());
}

int jobsOrDefault(int stored)
{
    return stored >= 1 && stored <= maximumJobs() ? stored : 1;
}

int positionOrDefault(const QStringList &list, int position, int defaultPosition)
{
    return position >= 0 && position < list.size() ? position : defaultPosition;
}

QString entryOrDefault(const QStringList &list, int position, int defaultPosition)
{
    return list.at(positionOrDefault(list, position, defaultPosition));
}

} // namespace Options
