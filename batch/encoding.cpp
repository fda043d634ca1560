#include "encoding.h"

#include "convert/commandline.h"
#include "mediainfo/sourceaudio.h"
#include "settings/config.h"
#include "settings/options.h"

#include <QFileInfo>
#include <QtEndian>

namespace Encoding {

namespace {

using namespace Options;

// libvorbis' nominal bitrate at each quality from -1 to 10, for a stereo stream.
constexpr int vorbisKbits[] = {45, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500};

// A stored position for a list whose first entry is "keep": 0 when it lies outside.
int keepPosition(const QStringList &list, int position)
{
    return positionOrDefault(list, position, keep);
}

// " -ac 2 -ar 44100", leaving out what is kept as the source has it.
QString rateAndChannels(const QStringList &rates, int srate, int mode)
{
    QString text;
    if (const int m = keepPosition(keepChannelModes(), mode); m != keep)
        text += QStringLiteral(" -ac %1").arg(m);
    if (const int r = keepPosition(rates, srate); r != keep)
        text += QStringLiteral(" -ar ") + rates.at(r);
    return text;
}

// The rate and channels asked for; 0 means "keep".
struct Shape
{
    int sampleRate = 0;
    int channels = 0;
};

Shape shapeOf(const QStringList &rates, int srate, int mode)
{
    const int r = keepPosition(rates, srate);
    return {r == keep ? 0 : rates.at(r).toInt(), keepPosition(keepChannelModes(), mode)};
}

// MP3 and WAV always name both.
Shape fixedShape(int srate, int mode)
{
    return {entryOrDefault(sampleRates(), srate, defaultSampleRate).toInt(),
            positionOrDefault(channelModes(), mode, defaultMode) + 1};
}

QString fixedShapeText(const Shape &shape)
{
    return QStringLiteral("-ac %1 -ar %2").arg(shape.channels).arg(shape.sampleRate);
}

bool mp3Vbr(const config &c)
{
    return c.mp3vbr >= 0 && c.mp3vbr <= 9;
}

bool shapeFits(const Shape &wanted, const SourceAudio &s)
{
    return (wanted.sampleRate == 0 || wanted.sampleRate == s.sampleRate) &&
           (wanted.channels == 0 || wanted.channels == s.channels);
}

// A measured average a little above the nominal rate is the same rate.
bool bitRateFits(qint64 sourceBits, int chosenKbits)
{
    return sourceBits > 0 && sourceBits <= qint64(chosenKbits) * 1000 * 102 / 100;
}

struct Container
{
    const char *codec;
    const char *extension;
    const char *muxer;
};
constexpr Container copyContainers[] = {
    {"aac", "m4a", "ipod"},   {"mp3", "mp3", "mp3"},    {"mp2", "mp2", "mp2"},
    {"opus", "opus", "opus"}, {"vorbis", "ogg", "ogg"}, {"flac", "flac", "flac"},
    {"ac3", "ac3", "ac3"},    {"eac3", "eac3", "eac3"}, {"dts", "dts", "dts"}};

// Why WAV cannot hold this PCM as it is: it takes 8-bit samples unsigned, wider ones signed and
// little-endian. Empty when it can. WAV and AVI keep no byte order: theirs is little-endian.
QString whyNotWav(const SourceAudio &s)
{
    // What WAV itself holds, and AVI with it, has WAV's sample forms.
    const bool riff = s.container == QLatin1String("Wave") || s.container == QLatin1String("AVI");
    const bool little = s.littleEndian || riff;
    if (s.floatingPoint)
        return (s.bitDepth == 32 || s.bitDepth == 64) && little
                   ? QString()
                   : QStringLiteral("%1-bit floating-point PCM of this byte order").arg(s.bitDepth);
    if (s.bitDepth == 8)
        return s.unsignedSamples || riff ? QString() : QStringLiteral("signed 8-bit PCM");
    if (s.bitDepth != 16 && s.bitDepth != 24 && s.bitDepth != 32)
        return QStringLiteral("%1-bit PCM").arg(s.bitDepth);
    if (s.unsignedSamples)
        return QStringLiteral("unsigned %1-bit PCM").arg(s.bitDepth);
    return little ? QString() : QStringLiteral("big-endian %1-bit PCM").arg(s.bitDepth);
}

// The lossless PCM of WAV for samples of that kind.
QString wavCodecFor(const SourceAudio &s)
{
    if (s.floatingPoint)
        return s.bitDepth > 32 ? QStringLiteral("pcm_f64le") : QStringLiteral("pcm_f32le");
    if (s.bitDepth > 24)
        return QStringLiteral("pcm_s32le");
    if (s.bitDepth > 16)
        return QStringLiteral("pcm_s24le");
    return s.bitDepth == 8 ? QStringLiteral("pcm_u8") : QStringLiteral("pcm_s16le");
}

Picture pictureFor(const QString &extension)
{
    if (extension == QLatin1String("mp3") || extension == QLatin1String("m4a") ||
        extension == QLatin1String("flac"))
        return Picture::Stream;
    return extension == QLatin1String("opus") ? Picture::Comment : Picture::None;
}

const QString copyOptions = QStringLiteral("-map 0:a:0 -acodec copy");

Plan plainPlan(const QString &extension, const QString &muxer, const QString &options, bool copied)
{
    Plan plan;
    plan.extension = extension;
    plan.muxer = muxer;
    plan.options = options;
    plan.copied = copied;
    return plan;
}

Plan originalPlan(const SourceAudio &s)
{
    for (const Container &c : copyContainers) {
        if (s.probed && s.codec == QLatin1String(c.codec))
            return plainPlan(QLatin1String(c.extension), QLatin1String(c.muxer), copyOptions, true);
    }
    if (s.probed && s.codec == QLatin1String("pcm")) {
        const QString why = whyNotWav(s);
        if (why.isEmpty())
            return plainPlan(QStringLiteral("wav"), QStringLiteral("wav"), copyOptions, true);
        // Big-endian PCM from MOV, DVD PCM from VOB: decoded, never rounded.
        const QString codec = wavCodecFor(s);
        Plan plan = plainPlan(QStringLiteral("wav"), QStringLiteral("wav"),
                              QStringLiteral("-map 0:a:0 -acodec ") + codec, false);
        plan.note =
            QStringLiteral("WAV cannot hold %1 as it is: decoded to %2 without rounding").arg(why, codec);
        return plan;
    }
    // Matroska holds any audio the encoder can read.
    return plainPlan(QStringLiteral("mka"), QStringLiteral("matroska"), copyOptions, true);
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

struct PictureFacts
{
    QByteArray mime;
    quint32 width = 0;
    quint32 height = 0;
};

// The type and size from the picture's own header; readers take zero for a size they are not told.
PictureFacts pictureFacts(const QByteArray &p)
{
    const auto u16 = [&p](qsizetype at) { return quint32(quint8(p[at])) << 8 | quint8(p[at + 1]); };
    if (p.startsWith("\x89PNG\r\n\x1a\n") && p.size() >= 24)
        return {"image/png", qFromBigEndian<quint32>(p.constData() + 16),
                qFromBigEndian<quint32>(p.constData() + 20)};
    if (p.startsWith("GIF8"))
        return {"image/gif", 0, 0};
    if (p.startsWith("BM"))
        return {"image/bmp", 0, 0};
    if (p.startsWith("RIFF") && p.mid(8, 4) == "WEBP")
        return {"image/webp", 0, 0};
    if (!p.startsWith("\xff\xd8"))
        return {"image/", 0, 0};
    PictureFacts facts{"image/jpeg", 0, 0};
    for (qsizetype at = 2; at + 9 < p.size() && quint8(p[at]) == 0xff;) {
        const quint8 marker = quint8(p[at + 1]);
        // Start of frame markers, leaving out DHT, JPG and DAC which share the range.
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
            facts.height = u16(at + 5);
            facts.width = u16(at + 7);
            break;
        }
        at += 2 + u16(at + 2);
    }
    return facts;
}

} // namespace

Extras tagExtras(const SourceAudio &source, const QString &infile)
{
    Extras extras;
    extras.streamTags = source.tagsOnStream();
    if (source.probed && !source.hasTitle)
        extras.title = QFileInfo(infile).completeBaseName();
    return extras;
}

int formatOf(const config &c)
{
    return positionOrDefault(formatNames(), c.codec, defaultCodec);
}

QString encodeOptions(const config &c)
{
    switch (formatOf(c)) {
    case Wav:
        return QStringLiteral("-vn ") + fixedShapeText(fixedShape(c.wavsrate, c.wavmode));
    case Aac:
        return QStringLiteral("-map 0:a:0 -acodec aac -ab %1k")
                   .arg(entryOrDefault(aacBitrates(), c.aacbitrate, defaultAacBitrate)) +
               rateAndChannels(keepSampleRates(), c.aacsrate, c.aacmode);
    case Opus:
        return QStringLiteral("-map 0:a:0 -acodec libopus -ab %1k")
                   .arg(entryOrDefault(opusBitrates(), c.opusbitrate, defaultOpusBitrate)) +
               rateAndChannels(opusSampleRates(), c.opussrate, c.opusmode);
    case Flac:
        return QStringLiteral("-map 0:a:0 -acodec flac -compression_level %1")
                   .arg(entryOrDefault(flacLevels(), c.flaclevel, defaultFlacLevel)) +
               rateAndChannels(keepSampleRates(), c.flacsrate, c.flacmode);
    case Vorbis:
        return QStringLiteral("-map 0:a:0 -acodec libvorbis -q:a %1")
                   .arg(entryOrDefault(vorbisQualities(), c.vorbisquality, defaultVorbisQuality)) +
               rateAndChannels(keepSampleRates(), c.vorbissrate, c.vorbismode);
    case Original:
        return copyOptions;
    default:
        break;
    }
    QString text = QStringLiteral("-acodec libmp3lame -ab ") +
                   entryOrDefault(mp3Bitrates(), c.mp3bitrate, defaultMp3Bitrate) + QStringLiteral("k ") +
                   fixedShapeText(fixedShape(c.mp3srate, c.mp3mode));
    // VBR came later: its option follows the constant-bitrate text, which it overrides.
    if (mp3Vbr(c))
        text += QStringLiteral(" -q:a %1").arg(c.mp3vbr);
    return text;
}

bool fitsAsItIs(const config &c, const SourceAudio &s)
{
    if (!c.smartcopy || !s.probed)
        return false;
    switch (formatOf(c)) {
    case Mp3:
        return s.codec == QLatin1String("mp3") && !mp3Vbr(c) &&
               bitRateFits(s.bitRate,
                           entryOrDefault(mp3Bitrates(), c.mp3bitrate, defaultMp3Bitrate).toInt()) &&
               shapeFits(fixedShape(c.mp3srate, c.mp3mode), s);
    case Wav:
        return s.codec == QLatin1String("pcm") && s.bitDepth == 16 && !s.floatingPoint &&
               whyNotWav(s).isEmpty() && shapeFits(fixedShape(c.wavsrate, c.wavmode), s);
    case Aac:
        return s.codec == QLatin1String("aac") &&
               bitRateFits(s.bitRate,
                           entryOrDefault(aacBitrates(), c.aacbitrate, defaultAacBitrate).toInt()) &&
               shapeFits(shapeOf(keepSampleRates(), c.aacsrate, c.aacmode), s);
    case Opus:
        return s.codec == QLatin1String("opus") &&
               bitRateFits(s.bitRate,
                           entryOrDefault(opusBitrates(), c.opusbitrate, defaultOpusBitrate).toInt()) &&
               shapeFits(shapeOf(opusSampleRates(), c.opussrate, c.opusmode), s);
    case Flac:
        // Lossless either way: the level only changes the size.
        return s.codec == QLatin1String("flac") &&
               shapeFits(shapeOf(keepSampleRates(), c.flacsrate, c.flacmode), s);
    case Vorbis:
        return s.codec == QLatin1String("vorbis") &&
               bitRateFits(s.bitRate, vorbisKbits[positionOrDefault(vorbisQualities(), c.vorbisquality,
                                                                    defaultVorbisQuality)]) &&
               shapeFits(shapeOf(keepSampleRates(), c.vorbissrate, c.vorbismode), s);
    default:
        return false;
    }
}

Plan planFor(const config &c, const SourceAudio &s)
{
    const int format = formatOf(c);
    Plan plan;
    if (format == Original) {
        plan = originalPlan(s);
    } else {
        plan.extension = formatExtensions().at(format);
        static const char *const muxers[] = {"mp3", "wav", "ipod", "opus", "flac", "ogg"};
        plan.muxer = QLatin1String(muxers[format]);
        plan.copied = fitsAsItIs(c, s);
        plan.options = plan.copied ? copyOptions : encodeOptions(c);
    }
    plan.picture = pictureFor(plan.extension);
    return plan;
}

Plan planForPart(const config &c, const SourceAudio &s)
{
    Plan plan = planFor(c, s);
    if (!plan.copied)
        return plan;
    if (plan.extension == QLatin1String("flac")) {
        plan.copied = false;
        plan.options = QStringLiteral("-map 0:a:0 -acodec flac -compression_level %1")
                           .arg(entryOrDefault(flacLevels(), c.flaclevel, defaultFlacLevel));
        plan.note = QStringLiteral("chapters encoded to FLAC without loss: a copied piece would keep the "
                                   "whole file's length and checksum in its header");
    } else if (plan.extension == QLatin1String("mp3")) {
        plan.clearsMp3Padding = true;
    }
    return plan;
}

QString inputText(const Plan &plan, const Extras &extras)
{
    // Further inputs come before the options, which would otherwise be taken as theirs.
    if (plan.picture == Picture::Stream && !extras.coverFile.isEmpty())
        return QStringLiteral("-i ") + quoteArgument(extras.coverFile) + QLatin1Char(' ');
    if (plan.picture == Picture::Comment && !extras.metadataFile.isEmpty())
        return QStringLiteral("-f ffmetadata -i ") + quoteArgument(extras.metadataFile) + QLatin1Char(' ');
    return QString();
}

QString outputText(const Plan &plan, const Extras &extras, const Output &output, const QString &outfile)
{
    const bool cover = plan.picture == Picture::Stream && !extras.coverFile.isEmpty();
    const bool comment = plan.picture == Picture::Comment && !extras.metadataFile.isEmpty();
    const QString firstAudio = QStringLiteral("-map 0:a:0 ");
    QString options = plan.options;
    if (!output.stream.isEmpty()) {
        if (options.startsWith(firstAudio))
            options.remove(0, firstAudio.size());
        options.prepend(QStringLiteral("-map 0:") + output.stream + QLatin1Char(' '));
    }
    QString text = options;
    // Silence where the source has none (a hole, a late start), as a copy keeps the time of each packet:
    // otherwise the sound after it would run early.
    if (!plan.copied)
        text += QStringLiteral(" -af aresample=async=1:first_pts=0");
    // Without a mapping the encoder takes a source's picture stream into an MP3 by itself.
    if (!cover && extras.withoutPicture && !options.startsWith(QLatin1String("-map ")) &&
        !options.startsWith(QLatin1String("-vn ")))
        text += QStringLiteral(" -vn");
    if (cover) {
        if (!options.startsWith(QLatin1String("-map ")))
            text += QStringLiteral(" -map 0:a:0");
        text += QStringLiteral(" -map 1:v:0 -c:v ") +
                (extras.coverIsPlain ? QStringLiteral("copy") : QStringLiteral("png")) +
                QStringLiteral(" -disposition:v:0 attached_pic -metadata:s:v:0 \"comment=Cover (front)\"");
    }
    if (extras.streamTags || comment)
        text += QStringLiteral(" -map_metadata 0");
    if (extras.streamTags)
        text += QStringLiteral(" -map_metadata 0:s:") +
                (output.stream.isEmpty() ? QStringLiteral("a:0") : output.stream);
    if (comment)
        text += QStringLiteral(" -map_metadata 1");
    if (output.part) {
        // Cut after decoding: exact to the sample when re-encoded, to the packet when copied.
        const auto seconds = [](qint64 ms) { return QString::number(ms / 1000.0, 'f', 3); };
        text += QStringLiteral(" -ss ") + seconds(output.startMs);
        if (output.endMs >= 0)
            text += QStringLiteral(" -to ") + seconds(output.endMs);
        text += QStringLiteral(" -map_chapters -1");
    }
    const QString title = output.title.isEmpty() ? extras.title : output.title;
    if (!title.isEmpty())
        text += QStringLiteral(" -metadata ") + quoteArgument(QStringLiteral("title=") + title);
    if (!output.album.isEmpty())
        text += QStringLiteral(" -metadata ") + quoteArgument(QStringLiteral("album=") + output.album);
    if (output.track > 0) {
        // Vorbis comments keep the count apart; ID3 and MP4 take "3/12" whole.
        const bool comments = plan.muxer == QLatin1String("flac") || plan.muxer == QLatin1String("ogg") ||
                              plan.muxer == QLatin1String("opus");
        text += (comments ? QStringLiteral(" -metadata track=%1 -metadata TRACKTOTAL=%2")
                          : QStringLiteral(" -metadata track=%1/%2"))
                    .arg(output.track)
                    .arg(output.tracks);
    }
    return text + QStringLiteral(" -f ") + plan.muxer + QLatin1Char(' ') + quoteArgument(outfile);
}

QString argumentText(const Plan &plan, const Extras &extras, const QString &outfile)
{
    return inputText(plan, extras) + outputText(plan, extras, Output(), outfile);
}

QString progressOutput(const QString &stream)
{
    // A copy to nowhere, so the progress the encoder reports runs through the whole source.
    return QStringLiteral("-map 0:") + (stream.isEmpty() ? QStringLiteral("a:0") : stream) +
           QStringLiteral(" -c copy -f null - ");
}

QByteArray pictureComment(const QByteArray &picture)
{
    const PictureFacts facts = pictureFacts(picture);
    constexpr quint32 frontCover = 3;
    QByteArray block = bigEndian32(frontCover) + bigEndian32(quint32(facts.mime.size())) + facts.mime +
                       bigEndian32(0) + bigEndian32(facts.width) + bigEndian32(facts.height) +
                       bigEndian32(24) + bigEndian32(0) + bigEndian32(quint32(picture.size())) + picture;
    return block.toBase64();
}

QByteArray pictureMetadataFile(const QByteArray &picture)
{
    // "=" ends a key there, and base64 pads with it.
    return ";FFMETADATA1\nMETADATA_BLOCK_PICTURE=" + pictureComment(picture).replace("=", "\\=") + '\n';
}

} // namespace Encoding
