#pragma once

#include <QString>
#include <QStringList>

// Media files made at test time with ffmpeg's lavfi sources.
namespace TestMedia {

struct Clip
{
    double seconds = 2.0;
    bool video = true;
    bool audio = true;
    QStringList extraOutputArgs; // e.g. -metadata title=x, codec choices
};

QString ffmpeg();

// Writes the clip; the container follows the file's extension. Returns false (and warns) on failure.
bool make(const QString &path, const Clip &clip = {});

} // namespace TestMedia
