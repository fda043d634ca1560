#include "options.h"

#include <QThread>

namespace Options {

const QStringList &formatNames()
{
    static const QStringList list{QStringLiteral("MP3 - Lame MP3 Encoder"),
                                  QStringLiteral("WAV - WAV PCM Encoder")};
    return list;
}

const QStringList &formatExtensions()
{
    static const QStringList list{QStringLiteral("mp3"), QStringLiteral("wav")};
    return list;
}

const QStringList &saveFilters()
{
    static const QStringList list{QStringLiteral("MP3 files (*.mp3)|*.mp3"),
                                  QStringLiteral("WAV files (*.wav)|*.wav")};
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
