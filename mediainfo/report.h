#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// The File Properties page: an HTML text composed from the media facts of one file.

struct AudioFacts
{
    QString codec;
    qint32 samplingRate = 0;
    qint32 channels = 0;
    qint32 bitRate = 0; // bits per second
};

// What the page shows of a file, as the probe answers it.
struct ReportFacts
{
    QString videoCodec;
    double videoBitRate = 0; // bits per second
    QString audioCodec;
    qint32 audioSamplingRate = 0;
    qint32 audioChannels = 0;
    qint32 audioBitRate = 0; // bits per second
    QString title;
    QString copyright;
    QString genre;
    QList<AudioFacts> moreAudio; // the audio streams after the first, each a section of its own
};

// Bits per second as whole kbit/s, halves rounded to even.
qint64 kbpsFigure(double bitsPerSecond);

// The page for FileName with the given facts. Inserted texts are escaped for HTML.
QString composeReport(const QString &FileName, const ReportFacts &facts);

// Probes FileName and composes its page; a file that cannot be read gives empty texts and zeros.
QString buildreport(const QString &FileName);
