#include "sourceaudio.h"

#include "mediainfodll.h"
#include "mediainfolib.h"
#include "mediavalue.h"

namespace {

// Ogg and FLAC files keep their picture in a FLAC picture block, which the library hands over whole: the
// picture is the part after the block's header.
QByteArray pictureOf(const QByteArray &data)
{
    const auto u32 = [&data](qsizetype at) -> qint64 {
        if (at < 0 || at + 4 > data.size())
            return -1;
        return qint64(quint8(data[at])) << 24 | quint8(data[at + 1]) << 16 | quint8(data[at + 2]) << 8 |
               quint8(data[at + 3]);
    };
    constexpr qint64 lastPictureType = 20;
    const qint64 type = u32(0);
    const qint64 mimeLength = u32(4);
    if (type < 0 || type > lastPictureType || mimeLength < 0 || mimeLength > 256)
        return data;
    const qint64 descriptionLength = u32(8 + mimeLength);
    if (descriptionLength < 0 || descriptionLength > data.size())
        return data;
    const qsizetype lengthAt = 8 + mimeLength + 4 + descriptionLength + 16;
    const qint64 length = u32(lengthAt);
    if (length <= 0 || lengthAt + 4 + length != data.size())
        return data;
    return data.mid(lengthAt + 4);
}

} // namespace

bool SourceAudio::tagsOnStream() const
{
    return container == QLatin1String("Ogg") || container == QLatin1String("Matroska") ||
           container == QLatin1String("WebM");
}

QString sourceCodecName(const QString &format, const QString &profile)
{
    static const struct
    {
        const char *format;
        const char *codec;
    } names[] = {{"AAC", "aac"},  {"Opus", "opus"},   {"Vorbis", "vorbis"}, {"FLAC", "flac"},
                 {"AC-3", "ac3"}, {"E-AC-3", "eac3"}, {"DTS", "dts"},       {"PCM", "pcm"}};
    for (const auto &n : names) {
        if (format == QLatin1String(n.format))
            return QLatin1String(n.codec);
    }
    if (format == QLatin1String("MPEG Audio")) {
        if (profile.contains(QLatin1String("Layer 3")))
            return QStringLiteral("mp3");
        if (profile.contains(QLatin1String("Layer 2")))
            return QStringLiteral("mp2");
    }
    return format;
}

SourceAudio probeSourceAudio(const QString &fileName, bool withCover)
{
    using namespace MediaInfoLib;
    SourceAudio s;
    const TMediaInfoDll info(fileName, TMediaInfoDll::Detect::ByName, withCover);
    s.container = info.get(General, 0, "Format");
    s.probed = !s.container.isEmpty();
    if (!s.probed)
        return s;
    const auto number = [&info](int kind, const char *field) {
        return MediaValueToInt(info.get(kind, 0, field), 0);
    };
    s.hasAudio = !info.get(Audio, 0, "Format").isEmpty();
    s.hasVideo = !info.get(Video, 0, "Format").isEmpty();
    s.codec = sourceCodecName(info.get(Audio, 0, "Format"), info.get(Audio, 0, "Format_Profile"));
    s.littleEndian = info.get(Audio, 0, "Format_Settings_Endianness") == QLatin1String("Little");
    s.floatingPoint = info.get(Audio, 0, "Format_Settings_Sign") == QLatin1String("Float") ||
                      info.get(Audio, 0, "Format_Profile") == QLatin1String("Float");
    s.bitDepth = int(number(Audio, "BitDepth"));
    s.bitRate = number(Audio, "BitRate");
    if (s.bitRate <= 0)
        s.bitRate = number(Audio, "BitRate_Nominal");
    // An audio-only file's own rate is its stream's, where the container does not say it (Ogg Opus).
    if (s.bitRate <= 0 && !s.hasVideo && info.get(Audio, 1, "Format").isEmpty())
        s.bitRate = number(General, "OverallBitRate");
    s.sampleRate = int(number(Audio, "SamplingRate"));
    s.channels = int(number(Audio, "Channels"));
    s.durationMs = number(General, "Duration");
    for (const char *field : {"Title", "Track"}) {
        if (s.title.isEmpty())
            s.title = info.get(General, 0, field);
    }
    if (s.title.isEmpty())
        s.title = info.get(Audio, 0, "Title");
    s.hasTitle = !s.title.isEmpty();
    s.artist = info.get(General, 0, "Performer");
    s.album = info.get(General, 0, "Album");
    s.date = info.get(General, 0, "Recorded_Date");
    s.track = info.get(General, 0, "Track/Position");
    s.language = info.get(Audio, 0, "Language");
    s.coverMarked = info.get(General, 0, "Cover") == QLatin1String("Yes");
    if (withCover) {
        // Several pictures come as "a / b": the first is the front cover.
        const QString data = info.get(General, 0, "Cover_Data").section(QLatin1String(" / "), 0, 0);
        s.cover = pictureOf(QByteArray::fromBase64(data.toLatin1()));
    }
    return s;
}
