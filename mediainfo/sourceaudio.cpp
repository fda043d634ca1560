#include "sourceaudio.h"

#include "mediainfodll.h"
#include "mediainfolib.h"
#include "mediavalue.h"

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
    s.hasTitle = !info.get(General, 0, "Title").isEmpty() || !info.get(General, 0, "Track").isEmpty() ||
                 !info.get(Audio, 0, "Title").isEmpty();
    s.coverMarked = info.get(General, 0, "Cover") == QLatin1String("Yes");
    if (withCover) {
        // Several pictures come as "a / b": the first is the front cover.
        const QString data = info.get(General, 0, "Cover_Data").section(QLatin1String(" / "), 0, 0);
        s.cover = QByteArray::fromBase64(data.toLatin1());
    }
    return s;
}
