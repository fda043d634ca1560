#include "sourceaudio.h"

#include "mediainfodll.h"
#include "mediainfolib.h"
#include "mediavalue.h"

#include <algorithm>

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

// The encoder's order of a stream: its place in the file, the part after the program in "0-2".
int fileOrderOf(const QString &streamOrder)
{
    bool ok = false;
    const int order = streamOrder.section(QLatin1Char('-'), -1).toInt(&ok);
    return ok ? order : -1;
}

} // namespace

QString SourceAudio::streamSpecifier() const
{
    return stream >= 0 && stream < int(streams.size()) ? streams[stream].specifier : QString();
}

SourceAudio SourceAudio::withStream(int index) const
{
    SourceAudio s = *this;
    if (index < 0 || index >= int(streams.size()))
        return s;
    const AudioStream &a = streams[index];
    s.stream = index;
    s.codec = a.codec;
    s.littleEndian = a.littleEndian;
    s.unsignedSamples = a.unsignedSamples;
    s.floatingPoint = a.floatingPoint;
    s.bitDepth = a.bitDepth;
    s.bitRate = a.bitRate;
    s.sampleRate = a.sampleRate;
    s.channels = a.channels;
    s.language = a.language;
    return s;
}

std::vector<AudioStream> audioStreamsOf(const TMediaInfoDll &info)
{
    using namespace MediaInfoLib;
    std::vector<std::pair<int, AudioStream>> found;
    for (unsigned n = 0; !info.get(Audio, n, "Format").isEmpty(); ++n) {
        AudioStream a;
        a.libraryNumber = n;
        const QString order = info.get(Audio, n, "StreamOrder");
        const QString id = info.get(Audio, n, "ID").section(QLatin1Char(' '), 0, 0);
        bool plainOrder = false;
        const int place = order.toInt(&plainOrder);
        bool numericId = false;
        id.toLongLong(&numericId);
        // "program-stream" orders come with ids the encoder knows streams by (PIDs); elsewhere an id
        // may be the library's own (an Ogg serial number).
        if (plainOrder)
            a.specifier = QString::number(place);
        else if (numericId && order.contains(QLatin1Char('-')))
            a.specifier = QStringLiteral("i:") + id;
        a.language = info.get(Audio, n, "Language");
        a.title = info.get(Audio, n, "Title");
        a.formatName = info.get(Audio, n, "Codec/String");
        a.isDefault = info.get(Audio, n, "Default") == QLatin1String("Yes");
        a.codec = sourceCodecName(info.get(Audio, n, "Format"), info.get(Audio, n, "Format_Profile"));
        // AAC in LATM, as broadcasts carry it, is another codec to the encoder: no MP4 file takes it.
        if (a.codec == QLatin1String("aac") && info.get(Audio, n, "MuxingMode") == QLatin1String("LATM"))
            a.codec = QStringLiteral("aac_latm");
        a.littleEndian = info.get(Audio, n, "Format_Settings_Endianness") == QLatin1String("Little");
        a.unsignedSamples = info.get(Audio, n, "Format_Settings_Sign") == QLatin1String("Unsigned");
        a.floatingPoint = info.get(Audio, n, "Format_Settings_Sign") == QLatin1String("Float") ||
                          info.get(Audio, n, "Format_Profile") == QLatin1String("Float");
        a.bitDepth = int(MediaValueToInt(info.get(Audio, n, "BitDepth"), 0));
        a.bitRate = MediaValueToInt(info.get(Audio, n, "BitRate"), 0);
        if (a.bitRate <= 0)
            a.bitRate = MediaValueToInt(info.get(Audio, n, "BitRate_Nominal"), 0);
        a.sampleRate = int(MediaValueToInt(info.get(Audio, n, "SamplingRate"), 0));
        a.channels = int(MediaValueToInt(info.get(Audio, n, "Channels"), 0));
        found.emplace_back(fileOrderOf(order), a);
    }
    // Streams without a readable order keep the library's place, after the others.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto &a, const auto &b) { return unsigned(a.first) < unsigned(b.first); });
    std::vector<AudioStream> streams;
    for (auto &[order, a] : found) {
        a.number = int(streams.size()) + 1;
        // Unplaceable: the n-th audio stream, which holds when the file has one, or no other kind.
        if (a.specifier.isEmpty())
            a.specifier = QStringLiteral("a:%1").arg(streams.size());
        streams.push_back(a);
    }
    return streams;
}

int defaultStreamOf(const std::vector<AudioStream> &streams)
{
    int best = -1;
    qint64 bestScore = -1;
    for (int i = 0; i < int(streams.size()); ++i) {
        const qint64 score = streams[i].channels + (streams[i].isDefault ? 5000000 : 0);
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

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
    s.hasVideo = !info.get(Video, 0, "Format").isEmpty();
    s.streams = audioStreamsOf(info);
    s.hasAudio = !s.streams.empty();
    s = s.withStream(defaultStreamOf(s.streams));
    // An audio-only file's own rate is its stream's, where the container does not say it (Ogg Opus).
    if (s.bitRate <= 0 && !s.hasVideo && s.streams.size() == 1)
        s.bitRate = number(General, "OverallBitRate");
    s.durationMs = number(General, "Duration");
    for (const char *field : {"Title", "Track"}) {
        if (s.title.isEmpty())
            s.title = info.get(General, 0, field);
    }
    if (s.title.isEmpty() && s.stream >= 0)
        s.title = s.streams[s.stream].title;
    s.hasTitle = !s.title.isEmpty();
    s.artist = info.get(General, 0, "Performer");
    s.album = info.get(General, 0, "Album");
    s.date = info.get(General, 0, "Recorded_Date");
    s.track = info.get(General, 0, "Track/Position");
    s.hasChapters = MediaValueToInt(info.get(General, 0, "MenuCount"), 0) > 0;
    s.coverMarked = info.get(General, 0, "Cover") == QLatin1String("Yes");
    if (withCover) {
        // Several pictures come as "a / b": the first is the front cover.
        const QString data = info.get(General, 0, "Cover_Data").section(QLatin1String(" / "), 0, 0);
        s.cover = pictureOf(QByteArray::fromBase64(data.toLatin1()));
    }
    return s;
}
