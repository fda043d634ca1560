// Output names and encoder options, from the settings of the moment, and the names the list takes as
// videos; no window, no encoder.
#include "batch/batchtexts.h"
#include "batch/encoding.h"
#include "batch/listtexts.h"
#include "batch/pieces.h"
#include "mediainfo/sourceaudio.h"
#include "settings/config.h"
#include "settings/options.h"

#include <QSet>
#include <QTest>

namespace {
// The line for a source nothing is known of.
QString plainLine(const config &c, const QString &outfile)
{
    return Encoding::argumentText(Encoding::planFor(c, SourceAudio()), {}, outfile);
}
} // namespace

class TestBatchTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void optionTexts()
    {
        config c;
        c.mp3bitrate = 0;
        c.mp3mode = 0;
        c.mp3srate = 6;
        QCOMPARE(plainLine(c, QStringLiteral("/o/a b.mp3")),
                 QStringLiteral("-acodec libmp3lame -ab 320k -ac 1 -ar 8000 -af "
                                "aresample=async=1:first_pts=0 -f mp3 \"/o/a b.mp3\""));
        c.codec = 1;
        c.wavmode = 1;
        c.wavsrate = 0;
        QCOMPARE(plainLine(c, QStringLiteral("/o/a.wav")),
                 QStringLiteral("-vn -ac 2 -ar 48000 -af aresample=async=1:first_pts=0 -f wav \"/o/a.wav\""));
        // Stored positions outside their lists take the default entry.
        config d;
        d.codec = 7;
        d.mp3bitrate = 99;
        d.mp3mode = -3;
        d.mp3srate = 12;
        QCOMPARE(Encoding::encodeOptions(d), QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100"));
        QCOMPARE(BatchTexts::extensionOf(d), QStringLiteral("mp3"));
    }

    void outputNames()
    {
        config c;
        c.output = QStringLiteral("/e/out");
        QCOMPARE(BatchTexts::outputFor(QStringLiteral("/d/v/clip.final.avi"), c).outfile,
                 QStringLiteral("/e/out/clip.final.mp3"));
        QCOMPARE(BatchTexts::outputFor(QStringLiteral("/d/v.x/noext"), c).outfile,
                 QStringLiteral("/e/out/noext.mp3"));
        // A backslash is part of the name, not a folder.
        QCOMPARE(BatchTexts::outputFor(QStringLiteral("/d/a\\b.avi"), c).outfile,
                 QStringLiteral("/e/out/a\\b.mp3"));
        c.output = QStringLiteral("/e/out/");
        QCOMPARE(BatchTexts::outputFor(QStringLiteral("/d/a.avi"), c).outfile,
                 QStringLiteral("/e/out//a.mp3"));
        c.samefolder = true;
        c.codec = 1;
        const BatchTexts::Target t = BatchTexts::outputFor(QStringLiteral("/d/v/a.avi"), c);
        QCOMPARE(t.outfile, QStringLiteral("/d/v/a.wav"));
        QCOMPARE(t.outdir, QStringLiteral("/d/v/"));
    }

    // However long the source's name, what tells outputs apart is kept and the whole fits the file
    // system with the temporary name's suffix.
    void longNamesKeepWhatTellsThemApart_data()
    {
        QTest::addColumn<int>("chapter");
        QTest::addColumn<QString>("track");
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<QString>("ending");
        QTest::newRow("numbered") << 0 << QString() << true << " (1).mp3";
        QTest::newRow("track") << 0 << "eng 2" << false << " [eng 2].mp3";
        QTest::newRow("numbered track") << 0 << "eng" << true << " [eng] (1).mp3";
        QTest::newRow("chapter in a numbered folder") << 3 << QString() << true << " (1)/03 - Three.mp3";
    }
    void longNamesKeepWhatTellsThemApart()
    {
        QFETCH(int, chapter);
        QFETCH(QString, track);
        QFETCH(bool, numbered);
        QFETCH(QString, ending);
        config c;
        c.output = QStringLiteral("/o");
        Pieces::Piece piece;
        piece.trackTag = track;
        piece.chapter = chapter;
        piece.chapters = 3;
        piece.chapterTitle = QStringLiteral("Three");
        // Two-byte letters, so a cut falls between the bytes of one unless it minds them.
        const QString infile = QStringLiteral("/v/") + QString(127, u'\u00e9') + QStringLiteral(".mkv");
        QString name =
            BatchTexts::outputFor(infile, c, QStringLiteral("mp3"), QString(), nullptr, &piece).outfile;
        const auto any = [](const QString &) { return false; };
        if (numbered && chapter > 0) {
            const QString folder = name.left(name.lastIndexOf(u'/'));
            name = freeNumberedName(folder, any, true) + name.mid(folder.size());
        } else if (numbered) {
            name = freeNumberedName(name, any);
        }
        QVERIFY2(name.endsWith(ending), qPrintable(name));
        for (const QString &part : name.split(u'/'))
            QVERIFY2(part.toUtf8().size() <= NamePattern::maxNameBytes, qPrintable(part));
        QVERIFY(name.startsWith(QStringLiteral("/o/") + QString(100, u'\u00e9')));
    }

    void acceptedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("video");
        QTest::newRow("upper-case extension, with folders") << QStringLiteral("/a/b.AVI") << true;
        QTest::newRow("mixed case") << QStringLiteral("c.DivX") << true;
        QTest::newRow("only the last dot counts") << QStringLiteral("x.y.mov") << true;
        QTest::newRow("longer extension") << QStringLiteral("a.avix") << false;
        QTest::newRow("not a type the list takes") << QStringLiteral("a.txt") << false;
        for (const char *extension : {"mp4", "webm", "ts",  "m2ts", "mts", "flv", "f4v", "3gp", "3g2",  "vob",
                                      "ogv", "ogm",  "rm",  "rmvb", "mxf", "nut", "m4a", "mka", "opus", "oga",
                                      "ogg", "flac", "wav", "mp3",  "mp2", "aac", "ac3", "wma"})
            QTest::newRow(extension) << QStringLiteral("/in/clip.") + QString::fromLatin1(extension).toUpper()
                                     << true;
        QTest::newRow("extension alone, no dot") << QStringLiteral("avi") << false;
        QTest::newRow("dot in a folder name") << QStringLiteral("dir.avi/file") << false;
    }
    void acceptedNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, video);
        QCOMPARE(ListTexts::isAcceptedName(name), video);
    }

    void seedLinesStayForStoredFilesOfToday()
    {
        // What a settings file of before the later formats loads as: their values at their defaults.
        config c;
        c.mp3bitrate = 0;
        c.mp3mode = 0;
        c.mp3srate = 6;
        SourceAudio film;
        film.probed = film.hasAudio = film.hasVideo = film.hasTitle = true;
        film.container = QStringLiteral("AVI");
        film.codec = QStringLiteral("mp3");
        film.bitRate = 128000;
        film.sampleRate = 44100;
        film.channels = 2;
        const auto line = [&film](const config &settings) {
            return Encoding::argumentText(Encoding::planFor(settings, film),
                                          Encoding::tagExtras(film, QStringLiteral("/v/film.avi")),
                                          QStringLiteral("/o/a b.mp3"));
        };
        QCOMPARE(line(c), QStringLiteral("-acodec libmp3lame -ab 320k -ac 1 -ar 8000 -af "
                                         "aresample=async=1:first_pts=0 -f mp3 \"/o/a b.mp3\""));
        c.codec = 1;
        QCOMPARE(line(c), QStringLiteral(
                              "-vn -ac 2 -ar 44100 -af aresample=async=1:first_pts=0 -f wav \"/o/a b.mp3\""));
        // The later options follow the texts of old.
        c.codec = 0;
        c.mp3vbr = 2;
        film.hasTitle = false;
        QCOMPARE(line(c), QStringLiteral("-acodec libmp3lame -ab 320k -ac 1 -ar 8000 -q:a 2 -af "
                                         "aresample=async=1:first_pts=0 -metadata \"title=film\" "
                                         "-f mp3 \"/o/a b.mp3\""));
    }

    void smartCopyRule_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("bitRate");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("copied");
        using namespace Options;
        // The default settings: MP3 128k 44100 stereo, the others keep rate and channels.
        QTest::newRow("mp3 at the chosen rate") << int(Mp3) << "mp3" << 128000 << 44100 << 2 << true;
        QTest::newRow("mp3 measured a little above") << int(Mp3) << "mp3" << 130000 << 44100 << 2 << true;
        QTest::newRow("mp3 above the chosen rate") << int(Mp3) << "mp3" << 132000 << 44100 << 2 << false;
        QTest::newRow("mp3 of unknown rate") << int(Mp3) << "mp3" << 0 << 44100 << 2 << false;
        QTest::newRow("mp3 at another sample rate") << int(Mp3) << "mp3" << 96000 << 48000 << 2 << false;
        QTest::newRow("aac into mp3") << int(Mp3) << "aac" << 96000 << 44100 << 2 << false;
        QTest::newRow("aac, any rate kept") << int(Aac) << "aac" << 192000 << 22050 << 6 << true;
        QTest::newRow("aac above 192k") << int(Aac) << "aac" << 256000 << 44100 << 2 << false;
        QTest::newRow("vorbis under quality 5") << int(Vorbis) << "vorbis" << 150000 << 44100 << 2 << true;
        QTest::newRow("vorbis over quality 5") << int(Vorbis) << "vorbis" << 200000 << 44100 << 2 << false;
        QTest::newRow("flac, whatever its rate") << int(Flac) << "flac" << 900000 << 96000 << 2 << true;
        QTest::newRow("wav, 16-bit at 44100 stereo") << int(Wav) << "pcm" << 1411200 << 44100 << 2 << true;
        QTest::newRow("wav, 16-bit at 48000") << int(Wav) << "pcm" << 1536000 << 48000 << 2 << false;
    }
    void smartCopyRule()
    {
        QFETCH(int, format);
        QFETCH(QString, codec);
        QFETCH(int, bitRate);
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        QFETCH(bool, copied);
        config c;
        c.codec = format;
        SourceAudio s;
        s.probed = s.hasAudio = s.littleEndian = true;
        s.codec = codec;
        s.bitDepth = 16;
        s.bitRate = bitRate;
        s.sampleRate = sampleRate;
        s.channels = channels;
        QCOMPARE(Encoding::planFor(c, s).copied, copied);
        c.smartcopy = false;
        QVERIFY(!Encoding::planFor(c, s).copied);
    }

    void languagesMatchInEveryCodeForm_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("tagged");
        QTest::addColumn<bool>("same");
        QTest::newRow("two and three letters") << "de"
                                               << "deu" << true;
        QTest::newRow("bibliographic form") << "ger"
                                            << "de" << true;
        QTest::newRow("French both ways") << " fre"
                                          << "fra" << true;
        QTest::newRow("letter case") << "ENG"
                                     << "en" << true;
        QTest::newRow("another language") << "deu"
                                          << "eng" << false;
        QTest::newRow("unknown code, same spelling") << "qaa"
                                                     << "QAA" << true;
        QTest::newRow("untagged stream") << "und"
                                         << "" << false;
    }

    void languagesMatchInEveryCodeForm()
    {
        QFETCH(QString, code);
        QFETCH(QString, tagged);
        QFETCH(bool, same);
        QCOMPARE(Pieces::sameLanguage(code, tagged), same);
    }

    // Together the pieces hold all of the audio: out of order, overlapping, of no length, with gaps.
    void chaptersAreCutAsPlayersGoThroughThem_data()
    {
        QTest::addColumn<std::vector<Chapter>>("chapters");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("out of order, overlapping, a point")
            << std::vector<Chapter>{{5000, 9000, "c"},
                                    {0, 3000, "a"},
                                    {2000, 6000, "b"},
                                    {6000, 6000, "point"}}
            << QStringList{"a 0-2000", "b 2000-5000", "c 5000-end"};
        QTest::newRow("gaps go with the chapter before")
            << std::vector<Chapter>{{0, 1000, "a"}, {2000, 3000, "b"}}
            << QStringList{"a 0-2000", "b 2000-end"};
        QTest::newRow("audio before the first chapter")
            << std::vector<Chapter>{{1500, 2000, "a"}, {3000, 3500, "b"}}
            << QStringList{"a 0-3000", "b 3000-end"};
        QTest::newRow("after the end of the file")
            << std::vector<Chapter>{{0, 4000, "a"}, {9000, 9500, "b"}} << QStringList{"a 0-end"};
    }
    void chaptersAreCutAsPlayersGoThroughThem()
    {
        QFETCH(std::vector<Chapter>, chapters);
        QFETCH(QStringList, pieces);
        QStringList got;
        for (const Chapter &c : Pieces::cutList(chapters, 8000)) {
            got << QStringLiteral("%1 %2-%3")
                       .arg(c.title)
                       .arg(c.startMs)
                       .arg(c.endMs == Pieces::toTheEnd ? QStringLiteral("end") : QString::number(c.endMs));
        }
        QCOMPARE(got, pieces);
    }

    void freeNumberedNames()
    {
        QSet<QString> taken{QStringLiteral("/o/a.mp3"), QStringLiteral("/o/a (1).mp3")};
        const auto isTaken = [&](const QString &p) { return taken.contains(p); };
        QCOMPARE(freeNumberedName(QStringLiteral("/o/a.mp3"), isTaken), QStringLiteral("/o/a (2).mp3"));
        QCOMPARE(freeNumberedName(QStringLiteral("/o.d/noext"), isTaken), QStringLiteral("/o.d/noext (1)"));
    }
};

QTEST_GUILESS_MAIN(TestBatchTexts)
#include "tst_batchtexts.moc"
