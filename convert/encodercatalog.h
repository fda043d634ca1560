#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Whether the encoder program knows a given encoder ("aac", "libopus", ...), checked before a batch.
// Listing the encoders costs a child process, so the list is kept on disk per program, keyed on its
// canonical path, size and change times: a replaced or updated program is asked again.
namespace EncoderCatalog {

enum class Presence
{
    Present,
    Missing,
    Unknown
};

// Unknown when the program does not list its encoders (missing, not executable, no list in its output,
// a failing exit, still running after timeoutMs): the batch then goes on and the encoder's own failure
// says why. An empty cacheFile, or one that cannot be read or written, only costs the cache.
Presence find(const QString &encoderPath, const QString &encoderName, const QString &cacheFile,
              int timeoutMs = 5000);

// $XDG_CACHE_HOME/quorrel/encoders (~/.cache when unset); empty when there is no cache location.
QString defaultCacheFile();

// The encoder names in the output of `ffmpeg -hide_banner -encoders`; empty when the text is not such
// a list.
QStringList parseEncoders(const QByteArray &output);

} // namespace EncoderCatalog
