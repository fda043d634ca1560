// Every output format with the real encoder: what each output holds, copies that are the source's own
// stream, tags and pictures carried over.
#include "batch/batchengine.h"
#include "batch/conversionqueue.h"
#include "dialogrecorder.h"
#include "mediainfo/mediainfodll.h"
#include "mediainfo/mediainfolib.h"
#include "platform/environment.h"
#include "settings/config.h"
#include "settings/options.h"
#include "testfiles.h"
#include "testmedia.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

QByteArray runFfmpeg(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qWarning() << program << args << p.readAllStandardError();
    return p.readAllStandardOutput();
}

// ffprobe's flat listing: streams.stream.0.codec_name="mp3", format.tags.title="x", ...
QString probe(const QString &file)
{
    return QString::fromUtf8(runFfmpeg(QStandardPaths::findExecutable(QStringLiteral("ffprobe")),
                                       {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-of"),
                                        QStringLiteral("flat"), QStringLiteral("-show_format"),
                                        QStringLiteral("-show_streams"), file}));
}

QString field(const QString &probed, const QString &name)
{
    const QRegularExpression line(QStringLiteral("^streams\\.stream\\.0\\.%1=\"?([^\"\\n]*)").arg(name),
                                  QRegularExpression::MultilineOption);
    return line.match(probed).captured(1);
}

// The tag, wherever the container keeps it: on the file or on a stream; any letter case.
QString tag(const QString &probed, const QString &name)
{
    const QRegularExpression line(
        QStringLiteral("^(?:format|streams\\.stream\\.\\d+)\\.tags\\.%1=\"([^\"]*)\"").arg(name),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    return line.match(probed).captured(1);
}

bool hasPicture(const QString &probed)
{
    return probed.contains(QRegularExpression(QStringLiteral("disposition\\.attached_pic=1")));
}

// The first audio stream's packets, as stored (copy) or as decoded samples.
QByteArray audioMd5(const QString &file, bool decoded = false)
{
    QStringList args{QStringLiteral("-v"),   QStringLiteral("error"), QStringLiteral("-i"), file,
                     QStringLiteral("-map"), QStringLiteral("0:a:0")};
    if (!decoded)
        args << QStringLiteral("-c:a") << QStringLiteral("copy");
    args << QStringLiteral("-f") << QStringLiteral("md5") << QStringLiteral("-");
    return runFfmpeg(TestMedia::ffmpeg(), args).trimmed();
}

// Settings changes as "field=value".
void apply(config &c, const QStringList &changes)
{
    static const std::map<QString, int config::*> fields{
        {QStringLiteral("mp3bitrate"), &config::mp3bitrate},
        {QStringLiteral("mp3srate"), &config::mp3srate},
        {QStringLiteral("mp3mode"), &config::mp3mode},
        {QStringLiteral("mp3vbr"), &config::mp3vbr},
        {QStringLiteral("wavsrate"), &config::wavsrate},
        {QStringLiteral("wavmode"), &config::wavmode},
        {QStringLiteral("aacbitrate"), &config::aacbitrate},
        {QStringLiteral("aacsrate"), &config::aacsrate},
        {QStringLiteral("aacmode"), &config::aacmode},
        {QStringLiteral("opusbitrate"), &config::opusbitrate},
        {QStringLiteral("opussrate"), &config::opussrate},
        {QStringLiteral("opusmode"), &config::opusmode},
        {QStringLiteral("flaclevel"), &config::flaclevel},
        {QStringLiteral("flacsrate"), &config::flacsrate},
        {QStringLiteral("flacmode"), &config::flacmode},
        {QStringLiteral("vorbisquality"), &config::vorbisquality},
        {QStringLiteral("vorbissrate"), &config::vorbissrate},
        {QStringLiteral("vorbismode"), &config::vorbismode},
        {QStringLiteral("cover"), &config::cover}};
    for (const QString &change : changes) {
        const QString name = change.section(QLatin1Char('='), 0, 0);
        const int value = change.section(QLatin1Char('='), 1).toInt();
        if (name == QLatin1String("smartcopy"))
            c.smartcopy = value != 0;
        else
            c.*fields.at(name) = value;
    }
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QTemporaryDir m_out;
    config m_settings;

    QString clip(const QString &name) const { return m_media.filePath(name); }

    // Converts one file; the result as the batch reported it.
    ItemResult convert(const QString &source, int format, const QStringList &changes = {})
    {
        config c = m_settings;
        c.codec = format;
        apply(c, changes);
        ConversionQueue queue;
        BatchEngine engine(queue, c);
        ItemResult result;
        QObject::connect(&engine, &BatchEngine::itemFinished, &engine,
                         [&result](const ItemResult &r) { result = r; });
        queue.addFile(source);
        engine.start();
        if (!QTest::qWaitFor([&engine] { return !engine.isRunning(); }, 60000))
            qWarning("the batch did not end");
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const auto make = [this](const char *name, double seconds, bool video, QStringList args) {
            QVERIFY2(TestMedia::make(clip(QString::fromLatin1(name)), {seconds, video, true, args}), name);
        };
        const QStringList stereo{QStringLiteral("-ac"), QStringLiteral("2")};
        make("aac.mp4", 3, true, QStringList{"-c:v", "mpeg4", "-c:a", "aac", "-b:a", "96k"} + stereo);
        make("mp3-128.mkv", 3, true, QStringList{"-c:a", "libmp3lame", "-b:a", "128k"} + stereo);
        make("mp3-192.mkv", 3, true, QStringList{"-c:a", "libmp3lame", "-b:a", "192k"} + stereo);
        make("mp3-mono.mkv", 3, true, {"-c:a", "libmp3lame", "-b:a", "128k"});
        make("opus.opus", 3, false,
             {"-c:a", "libopus", "-b:a", "64k", "-metadata:s:a:0", "title=Stream Title", "-metadata:s:a:0",
              "artist=Stream Artist"});
        make("vorbis.webm", 3, true, {"-c:v", "libvpx", "-c:a", "libvorbis"});
        make("flac.mkv", 3, false, {"-c:a", "flac"});
        make("pcm-be.mov", 3, true, QStringList{"-c:v", "mpeg4", "-c:a", "pcm_s16be"} + stereo);
        make("pcm16.avi", 3, true, QStringList{"-c:a", "pcm_s16le"} + stereo);
        make("pcm24.mkv", 3, false, {"-c:a", "pcm_s24le"});
        make("pcm-u8.avi", 3, true, {"-c:v", "mpeg4", "-c:a", "pcm_u8"});
        make("pcm-s8.mov", 3, true, {"-c:v", "mpeg4", "-c:a", "pcm_s8"});
        make("latm.ts", 3, false, {"-c:a", "aac", "-b:a", "96k", "-mpegts_flags", "latm"});
        // 8 s of video; sound with a hole from 2 to 5 s, and sound that starts 2 s late.
        runFfmpeg(TestMedia::ffmpeg(), {"-v",
                                        "error",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "testsrc=d=8:s=64x48:r=10",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "sine=d=8",
                                        "-map",
                                        "0",
                                        "-map",
                                        "1",
                                        "-af",
                                        "aselect='not(between(t,2,5))'",
                                        "-c:v",
                                        "mpeg4",
                                        "-c:a",
                                        "libvorbis",
                                        clip(QStringLiteral("hole.mkv"))});
        runFfmpeg(TestMedia::ffmpeg(), {"-v",         "error",     "-f",
                                        "lavfi",      "-i",        "testsrc=d=8:s=64x48:r=10",
                                        "-itsoffset", "2",         "-f",
                                        "lavfi",      "-i",        "sine=d=6",
                                        "-map",       "0",         "-map",
                                        "1",          "-c:v",      "mpeg4",
                                        "-c:a",       "libvorbis", clip(QStringLiteral("late.mkv"))});
        make("ac3.mkv", 3, false, {"-c:a", "ac3"});
        make("alac.mov", 3, false, {"-c:a", "alac"});
        make("untitled.avi", 3, true, {});
        // A film with its tags on the file and a picture attached, as tagging tools leave them.
        const QString cover = clip(QStringLiteral("cover.jpg"));
        runFfmpeg(TestMedia::ffmpeg(),
                  {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=200x150", "-frames:v", "1", cover});
        runFfmpeg(TestMedia::ffmpeg(),
                  {"-v", "error", "-i", clip(QStringLiteral("aac.mp4")), "-i", cover, "-map", "0", "-map",
                   "1", "-c", "copy", "-disposition:v:1", "attached_pic", "-metadata", "title=File Title",
                   "-metadata", "artist=File Artist", clip(QStringLiteral("tagged.mp4"))});
        QVERIFY(hasPicture(probe(clip(QStringLiteral("tagged.mp4")))));
    }

    void init()
    {
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
        m_settings = config();
        m_settings.output = m_out.path();
        m_settings.askoverwrite = false;
        Environment::setEncoderPathForTesting(QString());
    }

    void eachFormatWritesWhatItsSettingsSay_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kbits"); // the average rate, within a third; 0: not checked
        QTest::addColumn<bool>("copied");

        using namespace Options;
        QTest::newRow("mp3 192k mono 22050")
            << "aac.mp4" << int(Mp3) << QStringList{"mp3bitrate=3", "mp3mode=0", "mp3srate=3"} << "mp3"
            << "mp3" << 22050 << 1 << 192 << false;
        QTest::newRow("mp3 V0") << "aac.mp4" << int(Mp3) << QStringList{"mp3vbr=0"} << "mp3"
                                << "mp3" << 44100 << 2 << 0 << false;
        QTest::newRow("wav 8000 mono")
            << "aac.mp4" << int(Wav) << QStringList{"wavsrate=6", "wavmode=0"} << "wav"
            << "pcm_s16le" << 8000 << 1 << 128 << false;
        QTest::newRow("aac 64k keeps rate and channels")
            << "mp3-128.mkv" << int(Aac) << QStringList{"aacbitrate=9"} << "m4a"
            << "aac" << 44100 << 2 << 64 << false;
        QTest::newRow("aac 160k 32000 mono")
            << "mp3-128.mkv" << int(Aac) << QStringList{"aacbitrate=4", "aacsrate=3", "aacmode=1"} << "m4a"
            << "aac" << 32000 << 1 << 0 << false;
        QTest::newRow("opus 96k") << "aac.mp4" << int(Opus) << QStringList{"opusbitrate=6"} << "opus"
                                  << "opus" << 48000 << 2 << 96 << false;
        QTest::newRow("opus mono") << "aac.mp4" << int(Opus) << QStringList{"opusmode=1", "opussrate=2"}
                                   << "opus"
                                   << "opus" << 48000 << 1 << 0 << false;
        QTest::newRow("flac level 8, 16000 mono")
            << "aac.mp4" << int(Flac) << QStringList{"flaclevel=8", "flacsrate=5", "flacmode=1"} << "flac"
            << "flac" << 16000 << 1 << 0 << false;
        QTest::newRow("vorbis quality 2")
            << "aac.mp4" << int(Vorbis) << QStringList{"vorbisquality=3"} << "ogg"
            << "vorbis" << 44100 << 2 << 96 << false;
        QTest::newRow("original aac") << "aac.mp4" << int(Original) << QStringList{} << "m4a"
                                      << "aac" << 44100 << 2 << 0 << true;
        QTest::newRow("original mp3") << "mp3-192.mkv" << int(Original) << QStringList{} << "mp3"
                                      << "mp3" << 44100 << 2 << 0 << true;
        QTest::newRow("original opus") << "opus.opus" << int(Original) << QStringList{} << "opus"
                                       << "opus" << 48000 << 1 << 0 << true;
        QTest::newRow("original vorbis from webm") << "vorbis.webm" << int(Original) << QStringList{} << "ogg"
                                                   << "vorbis" << 44100 << 1 << 0 << true;
        QTest::newRow("original flac") << "flac.mkv" << int(Original) << QStringList{} << "flac"
                                       << "flac" << 44100 << 1 << 0 << true;
        QTest::newRow("original ac3") << "ac3.mkv" << int(Original) << QStringList{} << "ac3"
                                      << "ac3" << 44100 << 1 << 0 << true;
        QTest::newRow("original 24-bit pcm") << "pcm24.mkv" << int(Original) << QStringList{} << "wav"
                                             << "pcm_s24le" << 44100 << 1 << 0 << true;
        QTest::newRow("original 8-bit pcm") << "pcm-u8.avi" << int(Original) << QStringList{} << "wav"
                                            << "pcm_u8" << 44100 << 1 << 0 << true;
        QTest::newRow("original signed 8-bit pcm is decoded")
            << "pcm-s8.mov" << int(Original) << QStringList{} << "wav"
            << "pcm_u8" << 44100 << 1 << 0 << false;
        QTest::newRow("original big-endian pcm is decoded")
            << "pcm-be.mov" << int(Original) << QStringList{} << "wav"
            << "pcm_s16le" << 44100 << 2 << 0 << false;
        QTest::newRow("original alac goes into matroska")
            << "alac.mov" << int(Original) << QStringList{} << "mka"
            << "alac" << 44100 << 1 << 0 << true;
        QTest::newRow("original aac in latm goes into matroska")
            << "latm.ts" << int(Original) << QStringList{} << "mka"
            << "aac_latm" << 44100 << 1 << 0 << true;
        QTest::newRow("no smart copy: aac in latm into aac")
            << "latm.ts" << int(Aac) << QStringList{} << "m4a"
            << "aac" << 44100 << 1 << 0 << false;
        QTest::newRow("smart copy: mp3 128k into mp3 128k")
            << "mp3-128.mkv" << int(Mp3) << QStringList{} << "mp3"
            << "mp3" << 44100 << 2 << 128 << true;
        QTest::newRow("no smart copy: a higher rate than chosen")
            << "mp3-192.mkv" << int(Mp3) << QStringList{} << "mp3"
            << "mp3" << 44100 << 2 << 128 << false;
        QTest::newRow("no smart copy: mono source, stereo chosen")
            << "mp3-mono.mkv" << int(Mp3) << QStringList{} << "mp3"
            << "mp3" << 44100 << 2 << 128 << false;
        QTest::newRow("no smart copy: VBR chosen")
            << "mp3-128.mkv" << int(Mp3) << QStringList{"mp3vbr=4"} << "mp3"
            << "mp3" << 44100 << 2 << 0 << false;
        QTest::newRow("no smart copy: switched off")
            << "mp3-128.mkv" << int(Mp3) << QStringList{"smartcopy=0"} << "mp3"
            << "mp3" << 44100 << 2 << 128 << false;
        QTest::newRow("smart copy: aac 96k into aac 192k") << "aac.mp4" << int(Aac) << QStringList{} << "m4a"
                                                           << "aac" << 44100 << 2 << 96 << true;
        QTest::newRow("no smart copy: aac 96k into aac 64k")
            << "aac.mp4" << int(Aac) << QStringList{"aacbitrate=9"} << "m4a"
            << "aac" << 44100 << 2 << 64 << false;
        QTest::newRow("smart copy: opus 64k into opus 128k")
            << "opus.opus" << int(Opus) << QStringList{} << "opus"
            << "opus" << 48000 << 1 << 64 << true;
        QTest::newRow("smart copy: flac at any level")
            << "flac.mkv" << int(Flac) << QStringList{"flaclevel=0"} << "flac"
            << "flac" << 44100 << 1 << 0 << true;
        QTest::newRow("smart copy: 16-bit pcm into wav") << "pcm16.avi" << int(Wav) << QStringList{} << "wav"
                                                         << "pcm_s16le" << 44100 << 2 << 0 << true;
        QTest::newRow("no smart copy: 24-bit pcm into wav")
            << "pcm24.mkv" << int(Wav) << QStringList{"wavmode=0"} << "wav"
            << "pcm_s16le" << 44100 << 1 << 0 << false;
    }
    void eachFormatWritesWhatItsSettingsSay()
    {
        QFETCH(QString, source);
        QFETCH(int, format);
        QFETCH(QStringList, changes);
        QFETCH(QString, extension);
        QFETCH(QString, codec);
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        QFETCH(int, kbits);
        QFETCH(bool, copied);

        const ItemResult r = convert(clip(source), format, changes);
        QCOMPARE(r.status, QStringLiteral("Done!"));
        QCOMPARE(QFileInfo(r.output).suffix(), extension);
        QCOMPARE(r.copied, copied);
        QCOMPARE(r.reason.contains(QStringLiteral("copied without re-encoding")), copied);
        const QString probed = probe(r.output);
        QCOMPARE(field(probed, QStringLiteral("codec_name")), codec);
        QCOMPARE(field(probed, QStringLiteral("sample_rate")).toInt(), sampleRate);
        QCOMPARE(field(probed, QStringLiteral("channels")).toInt(), channels);
        if (kbits > 0) {
            QString rate = field(probed, QStringLiteral("bit_rate"));
            if (rate.toLongLong() <= 0) // Ogg and Matroska keep no stream rate: the file's is the stream's
                rate =
                    probed.section(QStringLiteral("format.bit_rate=\""), 1).section(QLatin1Char('"'), 0, 0);
            QVERIFY2(qAbs(rate.toLongLong() / 1000 - kbits) <= kbits / 3, qPrintable(rate));
        }
        if (changes.contains(QStringLiteral("mp3vbr=0")))
            QCOMPARE(TMediaInfoDll(r.output).get(MediaInfoLib::Audio, 0, "BitRate_Mode"),
                     QStringLiteral("VBR"));
        if (copied)
            QCOMPARE(audioMd5(r.output), audioMd5(clip(source)));
        else if (codec.startsWith(QLatin1String("pcm")) && format == Options::Original) {
            QCOMPARE(audioMd5(r.output, true), audioMd5(clip(source), true));
            QVERIFY2(r.reason.contains(QLatin1String("WAV cannot hold")), qPrintable(r.reason));
        }
    }

    // A re-encoded file keeps the source's timeline as a copy does: silence in a hole and before a late
    // start, from the start of the file, so the sound after them is where it was.
    void reEncodingKeepsTheTimeline_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("format");
        QTest::addColumn<QList<int>>("silentSeconds");
        using namespace Options;
        QTest::newRow("hole into mp3") << "hole.mkv" << int(Mp3) << QList<int>{2, 3, 4};
        QTest::newRow("hole into aac") << "hole.mkv" << int(Aac) << QList<int>{2, 3, 4};
        QTest::newRow("late start into wav") << "late.mkv" << int(Wav) << QList<int>{0, 1};
        QTest::newRow("late start into opus") << "late.mkv" << int(Opus) << QList<int>{0, 1};
    }
    void reEncodingKeepsTheTimeline()
    {
        QFETCH(QString, source);
        QFETCH(int, format);
        QFETCH(QList<int>, silentSeconds);
        const ItemResult r = convert(clip(source), format);
        QCOMPARE(r.status, QStringLiteral("Done!"));
        QVERIFY(!r.copied);
        // Mono 8 kHz samples: the loudness of each second.
        const QByteArray pcm = runFfmpeg(TestMedia::ffmpeg(), {"-v", "error", "-i", r.output, "-ac", "1",
                                                               "-ar", "8000", "-f", "s16le", "-"});
        const qsizetype samples = pcm.size() / 2;
        QVERIFY2(qAbs(samples - 8 * 8000) <= 8000 / 20, qPrintable(QString::number(samples)));
        const auto *data = reinterpret_cast<const qint16 *>(pcm.constData());
        for (int second = 0; second < 7; ++second) {
            double sum = 0;
            for (int i = second * 8000 + 400; i < (second + 1) * 8000 - 400 && i < samples; ++i)
                sum += double(data[i]) * data[i];
            const bool silent = sum / 7200 < 100.0 * 100.0;
            QVERIFY2(silent == silentSeconds.contains(second),
                     qPrintable(QStringLiteral("second %1").arg(second)));
        }
    }

    void tagsAndPicturesAreCarried_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("picture");
        using namespace Options;
        QTest::newRow("mp3") << int(Mp3) << true;
        QTest::newRow("m4a") << int(Aac) << true;
        QTest::newRow("opus") << int(Opus) << true;
        QTest::newRow("flac") << int(Flac) << true;
        QTest::newRow("vorbis") << int(Vorbis) << false;
        QTest::newRow("wav") << int(Wav) << false;
    }
    void tagsAndPicturesAreCarried()
    {
        QFETCH(int, format);
        QFETCH(bool, picture);
        // Re-encoded, so the tags come through the encoder's mapping, not a copy.
        const QStringList reencode{QStringLiteral("smartcopy=0")};
        const ItemResult film = convert(clip(QStringLiteral("tagged.mp4")), format, reencode);
        QCOMPARE(film.status, QStringLiteral("Done!"));
        const QString fromFile = probe(film.output);
        QCOMPARE(tag(fromFile, QStringLiteral("title")), QStringLiteral("File Title"));
        QCOMPARE(tag(fromFile, QStringLiteral("artist")), QStringLiteral("File Artist"));
        QCOMPARE(hasPicture(fromFile), picture);

        if (format == Options::Opus) {
            // Ogg keeps its picture in a picture block: the picture itself goes on.
            const QString again = probe(convert(film.output, Options::Mp3).output);
            QVERIFY(again.contains(QStringLiteral("streams.stream.1.width=200")));
            QVERIFY(
                again.contains(QStringLiteral("streams.stream.1.codec_name=\"mjpeg\""))); // taken as it is
            QCOMPARE(tag(again, QStringLiteral("comment")), QStringLiteral("Cover (front)"));
        }

        const ItemResult song = convert(clip(QStringLiteral("opus.opus")), format, reencode);
        const QString fromStream = probe(song.output);
        QCOMPARE(tag(fromStream, QStringLiteral("title")), QStringLiteral("Stream Title"));
        QCOMPARE(tag(fromStream, QStringLiteral("artist")), QStringLiteral("Stream Artist"));

        // No title anywhere: the file's name is the title. No picture: a frame, when asked for.
        const ItemResult plain =
            convert(clip(QStringLiteral("untitled.avi")), format, {QStringLiteral("cover=2")});
        const QString untitled = probe(plain.output);
        QCOMPARE(tag(untitled, QStringLiteral("title")), QStringLiteral("untitled"));
        QCOMPARE(hasPicture(untitled), picture);
        if (format == Options::Mp3) {
            QVERIFY(untitled.contains(QStringLiteral("streams.stream.1.width=160")));
            QVERIFY(!hasPicture(probe(
                convert(clip(QStringLiteral("tagged.mp4")), format, {QStringLiteral("cover=0")}).output)));
            QVERIFY(!hasPicture(probe(convert(clip(QStringLiteral("untitled.avi")), format).output)));
        }
    }

    // A name pattern takes the source's tags; a name the pattern leaves empty falls back to the file's.
    void namePatternTakesTheTags()
    {
        m_settings.namepattern = QStringLiteral("{artist} - {title} [{lang}]");
        QCOMPARE(QFileInfo(convert(clip(QStringLiteral("tagged.mp4")), Options::Mp3).output).fileName(),
                 QStringLiteral("File Artist - File Title.mp3"));
        QCOMPARE(QFileInfo(convert(clip(QStringLiteral("untitled.avi")), Options::Mp3).output).fileName(),
                 QStringLiteral("untitled.mp3"));
    }

    void pictureThatCannotBeWrittenIsLeftOut()
    {
        const QByteArray tmp = qgetenv("TMPDIR");
        // A file where the temporary folder should be: nothing can be made in it.
        const QString notAFolder = m_media.filePath(QStringLiteral("not a folder"));
        TestFiles::write(notAFolder, "x");
        qputenv("TMPDIR", notAFolder.toUtf8());
        const ItemResult r = convert(clip(QStringLiteral("tagged.mp4")), Options::Mp3);
        qputenv("TMPDIR", tmp);
        QCOMPARE(r.status, QStringLiteral("Done!"));
        QVERIFY2(r.reason.startsWith(QStringLiteral("cover left out: ")), qPrintable(r.reason));
        const QString probed = probe(r.output);
        QCOMPARE(field(probed, QStringLiteral("codec_name")), QStringLiteral("mp3"));
        QVERIFY(!hasPicture(probed));
    }

    void missingEncoderRefusesTheBatch()
    {
        QTemporaryDir bin;
        const QString fake = bin.filePath(QStringLiteral("ffmpeg"));
        TestFiles::write(
            fake, "#!/bin/sh\nprintf 'Encoders:\\n ------\\n A....D aac  AAC\\n A....D flac FLAC\\n'\n");
        QVERIFY(QFile::setPermissions(fake, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Environment::setEncoderPathForTesting(fake);
        qputenv("XDG_CACHE_HOME", bin.filePath(QStringLiteral("cache")).toUtf8());
        DialogRecorder dialogs;
        config c = m_settings;
        c.codec = Options::Opus;
        ConversionQueue queue;
        BatchEngine engine(queue, c);
        queue.addFile(clip(QStringLiteral("aac.mp4")));
        engine.start();
        QVERIFY(!engine.isRunning());
        QVERIFY(dialogs.requests.constLast().text.contains(QStringLiteral("\"libopus\"")));
        QVERIFY(dialogs.requests.constLast().text.contains(QStringLiteral("libavcodec-extra")));
        QCOMPARE(queue.at(0).status, QStringLiteral("Ready"));
        Environment::setEncoderPathForTesting(QString());
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
