#pragma once

#include "encoding.h"

#include <QTemporaryDir>

struct SourceAudio;

// The picture an output gets, in files of its own that live as long as this object: the encoder
// reads them while it runs.
class CoverArt
{
public:
    // Takes the source's picture, or when there is none and frameInput is given, a frame from the video,
    // and fills in the extras the encoder needs for it. Answers a note when a picture was left out.
    QString prepare(const SourceAudio &source, const QString &frameInput, Encoding::Picture picture,
                    Encoding::Extras *extras);

    // One frame at a tenth of the duration, at most 600 pixels wide, as JPEG; empty when none came.
    static QByteArray frameOf(const QString &input, qint64 durationMs, const QString &folder);

private:
    QTemporaryDir m_dir;
};
