// Output names and encoder options, from the settings of the moment, and the names the list takes as
// videos; no window, no encoder.
#include "batch/batchtexts.h"
#include "batch/listtexts.h"
#include "settings/config.h"

#include <QSet>
#include <QTest>

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
        QCOMPARE(BatchTexts::argumentText(c, QStringLiteral("/o/a b.mp3")),
                 QStringLiteral("-acodec libmp3lame -ab 320k -ac 1 -ar 8000 -f mp3 \"/o/a b.mp3\""));
        c.codec = 1;
        c.wavmode = 1;
        c.wavsrate = 0;
        QCOMPARE(BatchTexts::argumentText(c, QStringLiteral("/o/a.wav")),
                 QStringLiteral("-vn -ac 2 -ar 48000 -f wav \"/o/a.wav\""));
        // Stored positions outside their lists take the default entry.
        config d;
        d.codec = 7;
        d.mp3bitrate = 99;
        d.mp3mode = -3;
        d.mp3srate = 12;
        QCOMPARE(BatchTexts::optionsText(d), QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100"));
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
