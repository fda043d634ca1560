// Which audio of a video goes where, with the real encoder: a stream chosen by language or by hand,
// every stream to its own file, a file per chapter.
#include "batch/batchengine.h"
#include "batch/conversionqueue.h"
#include "batch/pieces.h"
#include "mediainfo/mediainfodll.h"
#include "mediainfo/mediainfolib.h"
#include "platform/environment.h"
#include "settings/config.h"
#include "settings/options.h"
#include "testmedia.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool run(const QStringList &args)
{
    QProcess p;
    p.start(TestMedia::ffmpeg(),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
    const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
    if (!ok)
        qWarning() << args << p.readAllStandardError();
    return ok;
}

qint64 lengthMs(const QString &file)
{
    return TMediaInfoDll(file).GetDuration();
}

// The length of what the file decodes to, as players play it.
qint64 decodedMs(const QString &file)
{
    QProcess p;
    p.start(TestMedia::ffmpeg(), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                                  QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-ac"),
                                  QStringLiteral("1"), QStringLiteral("-ar"), QStringLiteral("48000"),
                                  QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    if (!p.waitForFinished(60000))
        return -1;
    return p.readAllStandardOutput().size() / 2 / 48;
}

QString generalField(const QString &file, const char *name)
{
    return TMediaInfoDll(file).get(MediaInfoLib::General, 0, name);
}

struct Run
{
    QList<ItemResult> results;
    QString format; // the Format column of the one listed file
    QStringList outputs() const
    {
        QStringList names;
        for (const ItemResult &r : results)
            names << (r.outputs.isEmpty() ? QStringList{r.output} : r.outputs);
        return names;
    }
};

} // namespace

class TestTracks : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QTemporaryDir m_out;
    config m_settings;

    QString clip(const QString &name) const { return m_media.filePath(name); }
    QString out(const QString &name) const { return m_out.filePath(name); }

    // rowChoice: the language of the stream the row's menu would choose, or "all".
    Run convert(const QString &source, const config &c, const QString &rowChoice = QString())
    {
        ConversionQueue queue;
        BatchEngine engine(queue, c);
        Run result;
        QObject::connect(&engine, &BatchEngine::itemFinished, &engine,
                         [&result](const ItemResult &r) { result.results << r; });
        queue.addFile(source);
        result.format = queue.at(0).format;
        for (const AudioStream &s : queue.at(0).streams) {
            if (rowChoice == Pieces::everyTrack || s.language == rowChoice)
                queue.setTrack(queue.at(0).id, rowChoice == Pieces::everyTrack ? rowChoice : s.specifier);
        }
        engine.start();
        if (!QTest::qWaitFor([&engine] { return !engine.isRunning(); }, 60000))
            qWarning("the batch did not end");
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Three languages told apart by length and codec; German flagged default.
        QVERIFY(run({"-f",
                     "lavfi",
                     "-i",
                     "testsrc=size=64x48:rate=5:duration=3",
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=f=440:d=3",
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=f=550:d=4",
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=f=660:d=5",
                     "-map",
                     "0",
                     "-map",
                     "1",
                     "-map",
                     "2",
                     "-map",
                     "3",
                     "-c:v",
                     "mpeg4",
                     "-c:a:0",
                     "mp2",
                     "-c:a:1",
                     "ac3",
                     "-c:a:2",
                     "aac",
                     "-metadata:s:a:0",
                     "language=eng",
                     "-metadata:s:a:1",
                     "language=deu",
                     "-metadata:s:a:2",
                     "language=fra",
                     "-disposition:a:0",
                     "0",
                     "-disposition:a:1",
                     "default",
                     clip(QStringLiteral("three.mkv"))}));
        // MPEG-TS has no default flag, and the library lists its streams by id, not in the file's order.
        QVERIFY(
            run({"-i", clip(QStringLiteral("three.mkv")), "-map", "0", "-c", "copy", "-streamid", "1:0x150",
                 "-streamid", "2:0x120", "-streamid", "3:0x130", clip(QStringLiteral("three.ts"))}));
        const QString chapterList = clip(QStringLiteral("chapters.txt"));
        QFile list(chapterList);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(";FFMETADATA1\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=First\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2500\ntitle=Second: a/b\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2500\nEND=3000\n");
        list.close();
        QVERIFY(run({"-i", clip(QStringLiteral("three.mkv")), "-i", chapterList, "-map", "0", "-map_chapters",
                     "1", "-c", "copy", clip(QStringLiteral("film.mkv"))}));
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

    void eachTrackChoice_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("languages");
        QTest::addColumn<QString>("rowChoice");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("seconds");
        QTest::addColumn<bool>("fellBack");

        for (const char *container : {"mkv", "ts"}) {
            const QString source = QStringLiteral("three.%1").arg(QLatin1String(container));
            const bool ts = QLatin1String(container) == QLatin1String("ts");
            // The encoder's own pick: the flagged stream, else the first in the file.
            const int picked = ts ? 3 : 4;
            const auto row = [container](const char *name) -> QTestData & {
                return QTest::addRow("%s %s", container, name);
            };
            row("default") << source << 0 << QString() << QString() << QStringList{"three.mp3"}
                           << QList{picked} << false;
            row("earliest listed language wins")
                << source << 1 << "ger, fr" << QString() << QStringList{"three.mp3"} << QList{4} << false;
            row("three-letter code") << source << 1 << "fre" << QString() << QStringList{"three.mp3"}
                                     << QList{5} << false;
            row("no such language") << source << 1 << "xx" << QString() << QStringList{"three.mp3"}
                                    << QList{picked} << true;
            row("every track") << source << 2 << QString() << QString()
                               << QStringList{"three [eng].mp3", "three [deu].mp3", "three [fra].mp3"}
                               << QList{3, 4, 5} << false;
            row("the row's own choice")
                << source << 0 << QString() << "fr" << QStringList{"three.mp3"} << QList{5} << false;
        }
    }

    void eachTrackChoice()
    {
        QFETCH(QString, source);
        QFETCH(int, mode);
        QFETCH(QString, languages);
        QFETCH(QString, rowChoice);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, seconds);
        QFETCH(bool, fellBack);

        config c = m_settings;
        c.track = mode;
        c.tracklangs = languages;
        const Run r = convert(clip(source), c, rowChoice);
        QCOMPARE(r.results.size(), 1);
        QCOMPARE(r.results.front().status, QStringLiteral("Done!"));
        QStringList expected;
        for (const QString &name : names)
            expected << out(name);
        QCOMPARE(r.outputs(), expected);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const qint64 length = lengthMs(expected.at(i));
            QVERIFY2(qAbs(length - seconds.at(i) * 1000) < 200, qPrintable(QString::number(length)));
        }
        QCOMPARE(r.results.front().reason.contains(QLatin1String("the default track was taken")), fellBack);
        // The Format column names the stream taken by default.
        if (mode == 0 && rowChoice.isEmpty())
            QVERIFY2(r.format.endsWith(QLatin1String("AC3")) == (seconds.front() == 4), qPrintable(r.format));
    }

    // Two tracks of one language get names of their own. A source's files are kept all or none: when
    // one cannot be put in place, those before it go back, and the files they replaced come back.
    void everyTrackGetsANameOfItsOwn()
    {
        const QString multi = clip(QStringLiteral("multi.mkv"));
        QVERIFY(run({"-i", clip(QStringLiteral("three.mkv")), "-map", "0", "-c", "copy", "-metadata:s:a:2",
                     "language=eng", multi}));
        config c = m_settings;
        c.codec = Options::Flac;
        c.track = int(Pieces::TrackMode::Every);
        const QStringList names{out(QStringLiteral("multi [eng].flac")),
                                out(QStringLiteral("multi [deu].flac")),
                                out(QStringLiteral("multi [eng 2].flac"))};
        const Run r = convert(multi, c);
        QCOMPARE(r.results.size(), 1);
        QCOMPARE(r.results.front().status, QStringLiteral("Done!"));
        QCOMPARE(r.outputs(), names);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(qAbs(lengthMs(names.at(i)) - 1000 * (3 + i)) <= 50, qPrintable(names.at(i)));

        QFile kept(names.at(0));
        QVERIFY(kept.open(QIODevice::WriteOnly | QIODevice::Truncate));
        kept.write("keep");
        kept.close();
        const qint64 deuSize = QFileInfo(names.at(1)).size();
        QVERIFY(QFile::remove(names.at(2)));
        QVERIFY(QDir().mkpath(names.at(2)));
        c.existing = int(ExistingPolicy::Overwrite);
        const Run blocked = convert(multi, c);
        QCOMPARE(blocked.results.front().status, QStringLiteral("Failed"));
        QVERIFY2(blocked.results.front().reason.contains(names.at(2)),
                 qPrintable(blocked.results.front().reason));
        QFile back(names.at(0));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("keep"));
        QCOMPARE(QFileInfo(names.at(1)).size(), deuSize);
        QCOMPARE(QDir(m_out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                 3);
    }

    void chaptersSplit_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("lastLengths"); // the last chapter runs to the end of its track
        QTest::newRow("one track") << 0
                                   << QStringList{"01 - First.flac", "02 - Second: a_b.flac",
                                                  "03 - film.flac"}
                                   << QList<int>{1500};
        QTest::newRow("every track")
            << 2
            << QStringList{"01 - First [eng].flac", "02 - Second: a_b [eng].flac", "03 - film [eng].flac",
                           "01 - First [deu].flac", "02 - Second: a_b [deu].flac", "03 - film [deu].flac",
                           "01 - First [fra].flac", "02 - Second: a_b [fra].flac", "03 - film [fra].flac"}
            << QList<int>{500, 1500, 2500};
    }

    void chaptersSplit()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, lastLengths);
        config c = m_settings;
        c.codec = Options::Flac;
        c.chapters = true;
        c.track = mode;
        const Run r = convert(clip(QStringLiteral("film.mkv")), c);
        QCOMPARE(r.results.size(), 1);
        QCOMPARE(r.results.front().status, QStringLiteral("Done!"));
        QStringList expected;
        for (const QString &name : names)
            expected << out(QStringLiteral("film/") + name);
        QCOMPARE(r.outputs(), expected);
        QCOMPARE(QDir(out(QStringLiteral("film"))).entryList(QDir::Files | QDir::Hidden).size(),
                 names.size());

        const QStringList titles{QStringLiteral("First"), QStringLiteral("Second: a/b"),
                                 QStringLiteral("film")};
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QString &piece = expected.at(i);
            const QList<int> lengths{1000, 1500, lastLengths.at(i / 3)};
            QVERIFY2(qAbs(lengthMs(piece) - lengths.at(i % 3)) <= 50, qPrintable(piece));
            QCOMPARE(generalField(piece, "Title"), titles.at(i % 3));
            QCOMPARE(generalField(piece, "Album"), QStringLiteral("film"));
            QCOMPARE(generalField(piece, "Track/Position"), QString::number(i % 3 + 1));
            QCOMPARE(generalField(piece, "Track/Position_Total"), QStringLiteral("3"));
            QCOMPARE(generalField(piece, "MenuCount"), QString());
        }

        // The folder of pieces is one output: skipped as a whole, or kept beside under another name.
        c.existing = int(ExistingPolicy::Skip);
        const Run again = convert(clip(QStringLiteral("film.mkv")), c);
        QCOMPARE(again.results.front().status, QStringLiteral("Skipped"));
        c.existing = int(ExistingPolicy::Rename);
        const Run beside = convert(clip(QStringLiteral("film.mkv")), c);
        QCOMPARE(beside.results.front().status, QStringLiteral("Done!"));
        QCOMPARE(beside.outputs().front(), out(QStringLiteral("film (1)/") + names.front()));
    }

    // Pieces copied as they are: each header tells the length the piece decodes to, within one frame,
    // and together they hold all of the audio, gaps between chapters too.
    void copiedPiecesTellTheirLength_data()
    {
        QTest::addColumn<QStringList>("codec");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("frameMs");
        QTest::addColumn<bool>("copied");
        QTest::newRow("flac, encoded instead") << QStringList{"-c:a", "flac"} << "flac" << 93 << false;
        QTest::newRow("mp3 vbr") << QStringList{"-c:a", "libmp3lame", "-q:a", "0"} << "mp3" << 27 << true;
        QTest::newRow("aac") << QStringList{"-c:a", "aac"} << "m4a" << 24 << true;
        QTest::newRow("opus") << QStringList{"-c:a", "libopus"} << "opus" << 21 << true;
        QTest::newRow("vorbis") << QStringList{"-c:a", "libvorbis"} << "ogg" << 47 << true;
        QTest::newRow("ac3") << QStringList{"-c:a", "ac3"} << "ac3" << 35 << true;
        QTest::newRow("pcm") << QStringList{"-c:a", "pcm_s16le"} << "wav" << 1 << true;
        QTest::newRow("alac in matroska") << QStringList{"-c:a", "alac"} << "mka" << 93 << true;
    }
    void copiedPiecesTellTheirLength()
    {
        QFETCH(QStringList, codec);
        QFETCH(QString, extension);
        QFETCH(int, frameMs);
        QFETCH(bool, copied);
        // Chapters 0-1 s and 2-3 s of 4 s: the gap goes with the first piece, the rest with the last.
        const QString chapterList = clip(QStringLiteral("gaps.txt"));
        QFile list(chapterList);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=A\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=3000\ntitle=B\n");
        list.close();
        // Noise, so the MP3 encoder leans on its bit reservoir across the cut.
        const QString source = clip(QStringLiteral("gaps-") + extension + QStringLiteral(".mkv"));
        QVERIFY(run(QStringList{"-f", "lavfi", "-i", "anoisesrc=d=4:a=0.2:r=44100", "-i", chapterList, "-map",
                                "0", "-map_chapters", "1"} +
                    codec + QStringList{source}));
        config c = m_settings;
        c.codec = Options::Original;
        c.chapters = true;
        const Run r = convert(source, c);
        QCOMPARE(r.results.size(), 1);
        QCOMPARE(r.results.front().status, QStringLiteral("Done!"));
        QCOMPARE(r.results.front().copied, copied);
        const QStringList pieces = r.outputs();
        QCOMPARE(pieces, (QStringList{out(QStringLiteral("gaps-%1/01 - A.%2").arg(extension, extension)),
                                      out(QStringLiteral("gaps-%1/02 - B.%2").arg(extension, extension))}));
        const QList<qint64> expected{2000, 2000};
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const qint64 decoded = decodedMs(pieces.at(i));
            QVERIFY2(qAbs(lengthMs(pieces.at(i)) - decoded) <= frameMs,
                     qPrintable(QStringLiteral("%1: header %2 ms, decodes to %3 ms")
                                    .arg(pieces.at(i))
                                    .arg(lengthMs(pieces.at(i)))
                                    .arg(decoded)));
            QVERIFY2(qAbs(decoded - expected.at(i)) <= frameMs + 30, qPrintable(QString::number(decoded)));
        }
        if (extension == QLatin1String("flac")) {
            QVERIFY(r.results.front().reason.contains(QLatin1String("encoded to FLAC without loss")));
            for (const QString &piece : pieces) {
                QProcess flac;
                flac.start(QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), piece});
                QVERIFY(flac.waitForFinished(30000));
                QVERIFY2(flac.exitCode() == 0, flac.readAllStandardError().constData());
            }
        }
    }

    void chaptersOfAFailedRunLeaveNothing()
    {
        // An encoder that fails after writing part of its pieces.
        const QString fake = clip(QStringLiteral("failing-ffmpeg"));
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            "#!/bin/sh\nfor last; do :; done\nprintf partial > \"$last\"\necho 'broken pipe' >&2\nexit 1\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        Environment::setEncoderPathForTesting(fake);
        config c = m_settings;
        c.chapters = true;
        const Run r = convert(clip(QStringLiteral("film.mkv")), c);
        QCOMPARE(r.results.front().status, QStringLiteral("Failed"));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("film"))));
        QCOMPARE(QDir(m_out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTracks)
#include "tst_tracks.moc"
