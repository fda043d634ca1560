#include "mediainfo/mediainfodll.h"
#include "mediainfo/mediavalue.h"
#include "mediainfo/report.h"
#include "testmedia.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstring>

namespace {

const QString style = QStringLiteral(
    "<html><style>body  { FONT: 76% tahoma,verdana,sans-serif;}#logo {MARGIN: 0px 0px 0px 0px; PADDING: "
    "10px; "
    "BORDER: #dde 4px solid; BACKGROUND: #eee; COLOR: #555; TEXT-ALIGN: center}legend {COLOR: #0099CC; "
    "TEXT-ALIGN: center; FONT: 76% tahoma,verdana,sans-serif; FONT-WEIGHT: bold;}fieldset{MARGIN: 0px 0px "
    "0px 0px; PADDING: 0px 0px 0px 0px; BORDER: #dde 4px solid;}</style><body><p id=logo>");

struct Expected
{
    QString path, videoFormat, videoKbps, audioFormat, sampleRate, channels, audioKbps, title, copyright,
        genre;
};

// The page piece by piece, in the order the report puts them together.
QString assemblePage(const Expected &e)
{
    const QString cr = QStringLiteral("\r");
    const QStringList pieces{
        style,                            // 1
        e.path,                           // 2
        "</p>",                           // 3
        "<fieldset align=\"center\">",    // 4
        "<legend>Video Stream:</legend>", // 5
        "<pre>",                          // 6
        "  Format:           ",           // 7
        e.videoFormat,                    // 8
        cr,                               // 9
        "  Bitrate:          ",           // 10
        e.videoKbps,                      // 11
        " kbps",                          // 12
        "</pre>",                         // 13
        "</fieldset>",                    // 14
        "<fieldset align=\"center\">",    // 15
        "<legend>Audio Stream:</legend>", // 16
        "<pre>",                          // 17
        "  Format:           ",           // 18
        e.audioFormat,                    // 19
        cr,                               // 20
        "  Sample Rate:      ",           // 21
        e.sampleRate,                     // 22
        cr,                               // 23
        "  Channels:         ",           // 24
        e.channels,                       // 25
        cr,                               // 26
        "  Bitrate:          ",           // 27
        e.audioKbps,                      // 28
        " kbps",                          // 29
        "</pre>",                         // 30
        "</fieldset>",                    // 31
        "<fieldset align=\"center\">",    // 32
        "<legend>Metadata</legend>",      // 33
        "<pre>",                          // 34
        "  Title:    ",                   // 35
        e.title,                          // 36
        cr,                               // 37
        "  Copyright:",                   // 38
        e.copyright,                      // 39
        cr,                               // 40
        "  Genre:    ",                   // 41
        e.genre,                          // 42
        "</pre>",                         // 43
        "</fieldset>",                    // 44
        "</body>",                        // 45
        "</html>",                        // 46
    };
    Q_ASSERT(pieces.size() == 46);
    return pieces.join(QString());
}

// A locale whose decimal separator is a comma, for LC_NUMERIC; generated when not installed.
bool selectCommaNumericLocale(QTemporaryDir &scratch)
{
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name))
            return true;
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty())
        return false;
    const QString target = scratch.filePath(QStringLiteral("de_DE.UTF-8"));
    QProcess p;
    p.start(localedef, {"-i", "de_DE", "-f", "UTF-8", target});
    if (!p.waitForFinished(60000) || !QFile::exists(target))
        return false;
    qputenv("LOCPATH", QFile::encodeName(scratch.path()));
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

} // namespace

class TestMediaInfo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_av, m_audioOnly, m_videoOnly, m_streamTitle, m_mkvTags, m_mp4Tags;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase();

    void copyBefore_data();
    void copyBefore();
    void valueToInt_data();
    void valueToInt();
    void valueToFloat_data();
    void valueToFloat();
    void conversionsIgnoreLocale();

    void probeVideoAndAudio();
    void probeWithoutVideo();
    void probeWithoutAudio();
    void titleFallsBackToVideoStream();
    void tagsOfMatroska();
    void tagsOfMp4();
    void nonAsciiPath();
    void badInputGivesEmptyAndZero_data();
    void badInputGivesEmptyAndZero();

    void kbpsRoundsHalvesToEven_data();
    void kbpsRoundsHalvesToEven();
    void styleTextIs388Characters();
    void reportOfFileWithAllFacts();
    void reportOfMissingFile();
    void reportEscapesInsertedTexts();
    void reportOfFileWithoutTags();
    void reportOfFileWithTwoAudioStreams();
};

void TestMediaInfo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(!TestMedia::ffmpeg().isEmpty(), "ffmpeg is needed to make the clips");
    const QStringList mpeg4mp3{"-c:v", "mpeg4", "-c:a", "libmp3lame", "-b:a", "96k", "-ac", "2"};

    m_av = path(QStringLiteral("av.avi"));
    QVERIFY(TestMedia::make(m_av, {2.0, true, true, mpeg4mp3}));

    m_audioOnly = path(QStringLiteral("audio.mp3"));
    QVERIFY(TestMedia::make(m_audioOnly, {2.0, false, true, {"-b:a", "128k"}}));

    m_videoOnly = path(QStringLiteral("video.avi"));
    QVERIFY(TestMedia::make(m_videoOnly, {2.0, true, false, {"-c:v", "mpeg4"}}));

    m_streamTitle = path(QStringLiteral("streamtitle.mkv"));
    QVERIFY(TestMedia::make(m_streamTitle,
                            {2.0, true, true, {"-c:v", "mpeg4", "-metadata:s:v:0", "title=Stream Title"}}));

    const QStringList tags{"-metadata", "title=Night Train", "-metadata", "copyright=(c) 2024 Ana Brel",
                           "-metadata", "genre=Jazz"};
    m_mkvTags = path(QStringLiteral("tags.mkv"));
    QVERIFY(TestMedia::make(m_mkvTags, {2.0, true, true, mpeg4mp3 + tags}));
    m_mp4Tags = path(QStringLiteral("tags.mp4"));
    QVERIFY(TestMedia::make(m_mp4Tags, {2.0, true, true, mpeg4mp3 + tags}));
}

void TestMediaInfo::copyBefore_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first of several") << "/"
                                      << "a/b/c"
                                      << "a";
    QTest::newRow("absent") << "/"
                            << "abc"
                            << "";
    QTest::newRow("at the start") << "/"
                                  << "/x"
                                  << "";
    QTest::newRow("longer separator") << " / "
                                      << "6 / 2"
                                      << "6";
    QTest::newRow("empty text") << "."
                                << ""
                                << "";
}

void TestMediaInfo::copyBefore()
{
    QFETCH(QString, separator);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CopyBefore(separator, text), expected);
}

void TestMediaInfo::valueToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("plain") << "44100" << qint64(44100);
    QTest::newRow("two values") << "2 / 1" << qint64(2);
    QTest::newRow("channels of two streams") << "6 / 2" << qint64(6);
    QTest::newRow("rates of two streams") << "48000 / 44100" << qint64(48000);
    QTest::newRow("fraction") << "44100.5" << qint64(44100);
    QTest::newRow("fraction before slash") << "1.9 / 3" << qint64(1);
    QTest::newRow("blanks and controls") << " \t123\r\n" << qint64(123);
    QTest::newRow("negative") << "-5" << qint64(-5);
    QTest::newRow("beyond 32 bits") << "9999999999" << qint64(9999999999);
    QTest::newRow("empty") << "" << qint64(-7);
    QTest::newRow("blank") << "  " << qint64(-7);
    QTest::newRow("not a number") << "abc" << qint64(-7);
    QTest::newRow("nothing before slash") << "/5" << qint64(-7);
    QTest::newRow("comma") << "1,5" << qint64(-7);
    QTest::newRow("trailing text") << "12 kb" << qint64(-7);
}

void TestMediaInfo::valueToInt()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(MediaValueToInt(text, -7), expected);
}

void TestMediaInfo::valueToFloat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("plain") << "98865" << 98865.0;
    QTest::newRow("fraction") << "98865.5" << 98865.5;
    QTest::newRow("two values") << "1.5 / 2" << 1.5;
    QTest::newRow("blanks") << " 3.25 \t" << 3.25;
    QTest::newRow("empty") << "" << -1.0;
    QTest::newRow("not a number") << "x" << -1.0;
    QTest::newRow("comma separator") << "1,5" << -1.0;
    QTest::newRow("infinity") << "inf" << -1.0;
    QTest::newRow("nan") << "nan" << -1.0;
}

void TestMediaInfo::valueToFloat()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(MediaValueToFloat(text, -1), expected);
}

void TestMediaInfo::conversionsIgnoreLocale()
{
    const double bitRateInC = TMediaInfoDll(m_av).GetVideoBitRate();
    QVERIFY(bitRateInC > 0);

    QTemporaryDir scratch;
    const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    const bool commaLocale = selectCommaNumericLocale(scratch);
    QLocale::setDefault(QLocale(QLocale::German));
    const auto restore = qScopeGuard([&] {
        std::setlocale(LC_NUMERIC, oldNumeric.c_str());
        QLocale::setDefault(QLocale::c());
    });
    if (commaLocale)
        QCOMPARE(std::strcmp(std::localeconv()->decimal_point, ","), 0);
    else
        qInfo("No comma locale for LC_NUMERIC here; checking the Qt default locale only");

    QCOMPARE(MediaValueToFloat(QStringLiteral("98865.5"), 0), 98865.5);
    QCOMPARE(MediaValueToFloat(QStringLiteral("1,5"), -1), -1.0);
    QCOMPARE(MediaValueToInt(QStringLiteral("44100.5"), 0), qint64(44100));
    QCOMPARE(TMediaInfoDll(m_av).GetVideoBitRate(), bitRateInC);
}

void TestMediaInfo::probeVideoAndAudio()
{
    const TMediaInfoDll probe(m_av);
    QVERIFY2(probe.GetDuration() >= 1900 && probe.GetDuration() <= 2200,
             qPrintable(QString::number(probe.GetDuration())));
    QCOMPARE(probe.GetVideoCodec(), QStringLiteral("MPEG-4 Visual"));
    QVERIFY(probe.GetVideoBitRate() > 1000);
    QCOMPARE(probe.GetAudioCodec(0), QStringLiteral("MPEG-1 Audio layer 3"));
    QCOMPARE(probe.GetAudioBitRate(0), 96000);
    QCOMPARE(probe.GetAudioSamplingRate(0), 44100);
    QCOMPARE(probe.GetAudioChannels(0), 2);
    QCOMPARE(probe.GetTitle(), QString());
    QCOMPARE(probe.GetCopyright(), QString());
    QCOMPARE(probe.GetGenre(), QString());
    // Only one audio stream: the second answers like a missing one.
    QCOMPARE(probe.GetAudioCodec(1), QString());
    QCOMPARE(probe.GetAudioSamplingRate(1), 0);
}

void TestMediaInfo::probeWithoutVideo()
{
    const TMediaInfoDll probe(m_audioOnly);
    QVERIFY(probe.GetDuration() >= 1900 && probe.GetDuration() <= 2200);
    QCOMPARE(probe.GetVideoCodec(), QString());
    QCOMPARE(probe.GetVideoBitRate(), 0.0);
    QCOMPARE(probe.GetAudioCodec(0), QStringLiteral("MPEG-1 Audio layer 3"));
    QCOMPARE(probe.GetAudioBitRate(0), 128000);
    QCOMPARE(probe.GetAudioChannels(0), 1);
}

void TestMediaInfo::probeWithoutAudio()
{
    const TMediaInfoDll probe(m_videoOnly);
    QCOMPARE(probe.GetVideoCodec(), QStringLiteral("MPEG-4 Visual"));
    QVERIFY(probe.GetVideoBitRate() > 0);
    QCOMPARE(probe.GetAudioCodec(0), QString());
    QCOMPARE(probe.GetAudioBitRate(0), 0);
    QCOMPARE(probe.GetAudioSamplingRate(0), 0);
    QCOMPARE(probe.GetAudioChannels(0), 0);
}

void TestMediaInfo::titleFallsBackToVideoStream()
{
    QCOMPARE(TMediaInfoDll(m_streamTitle).GetTitle(), QStringLiteral("Stream Title"));
    // A general title wins over nothing; no title anywhere gives nothing.
    QCOMPARE(TMediaInfoDll(m_mkvTags).GetTitle(), QStringLiteral("Night Train"));
    QCOMPARE(TMediaInfoDll(m_av).GetTitle(), QString());
}

void TestMediaInfo::tagsOfMatroska()
{
    const TMediaInfoDll probe(m_mkvTags);
    QCOMPARE(probe.GetTitle(), QStringLiteral("Night Train"));
    QCOMPARE(probe.GetCopyright(), QStringLiteral("(c) 2024 Ana Brel"));
    // The library files Matroska's GENRE tag under its raw name, not under "Genre".
    QCOMPARE(probe.GetGenre(), QString());
    QCOMPARE(probe.GetAudioChannels(0), 2);
}

void TestMediaInfo::tagsOfMp4()
{
    const TMediaInfoDll probe(m_mp4Tags);
    QCOMPARE(probe.GetTitle(), QStringLiteral("Night Train"));
    QCOMPARE(probe.GetCopyright(), QStringLiteral("(c) 2024 Ana Brel"));
    QCOMPARE(probe.GetGenre(), QStringLiteral("Jazz"));
}

void TestMediaInfo::nonAsciiPath()
{
    const QString name = path(QStringLiteral("Bühne – été.mp3"));
    QVERIFY(TestMedia::make(name, {1.0, false, true, {"-metadata", "title=Café Süd"}}));
    // Also when the program runs in a plain "C" locale.
    const std::string oldCtype = std::setlocale(LC_CTYPE, nullptr);
    const auto restore = qScopeGuard([&] { std::setlocale(LC_CTYPE, oldCtype.c_str()); });
    for (const char *locale : {"C.UTF-8", "C"}) {
        QVERIFY(std::setlocale(LC_CTYPE, locale));
        const TMediaInfoDll probe(name);
        QCOMPARE(probe.GetAudioCodec(0), QStringLiteral("MPEG-1 Audio layer 3"));
        QCOMPARE(probe.GetTitle(), QStringLiteral("Café Süd"));
    }
}

void TestMediaInfo::badInputGivesEmptyAndZero_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content"); // empty: the file is not made

    QTest::newRow("not media") << path("text.avi") << QByteArray("just some words, no media here\n");
    QTest::newRow("empty") << path("empty.mkv") << QByteArray("");
    QTest::newRow("garbage") << path("noise.mp4") << QByteArray(4096, '\xA5');
    QTest::newRow("deleted") << path("gone.avi") << QByteArray();
    QTest::newRow("folder") << m_dir.path() << QByteArray();
    QTest::newRow("empty name") << QString() << QByteArray();
}

void TestMediaInfo::badInputGivesEmptyAndZero()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    if (!content.isNull() && !file.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const TMediaInfoDll probe(file);
    QCOMPARE(probe.GetDuration(), 0);
    QCOMPARE(probe.GetVideoCodec(), QString());
    QCOMPARE(probe.GetVideoBitRate(), 0.0);
    QCOMPARE(probe.GetAudioCodec(0), QString());
    QCOMPARE(probe.GetAudioBitRate(0), 0);
    QCOMPARE(probe.GetAudioSamplingRate(0), 0);
    QCOMPARE(probe.GetAudioChannels(0), 0);
    QCOMPARE(probe.GetTitle(), QString());
    QCOMPARE(probe.GetCopyright(), QString());
    QCOMPARE(probe.GetGenre(), QString());
}

void TestMediaInfo::kbpsRoundsHalvesToEven_data()
{
    QTest::addColumn<double>("bitsPerSecond");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("zero") << 0.0 << qint64(0);
    QTest::newRow("exact") << 128000.0 << qint64(128);
    QTest::newRow("half down to even") << 64500.0 << qint64(64);
    QTest::newRow("half up to even") << 65500.0 << qint64(66);
    QTest::newRow("below half") << 64499.9 << qint64(64);
    QTest::newRow("above half") << 98865.5 << qint64(99);
    QTest::newRow("small half") << 500.0 << qint64(0);
    QTest::newRow("nonsense") << 1e300 << qint64(0);
}

void TestMediaInfo::kbpsRoundsHalvesToEven()
{
    QFETCH(double, bitsPerSecond);
    QFETCH(qint64, expected);
    QCOMPARE(kbpsFigure(bitsPerSecond), expected);
}

void TestMediaInfo::styleTextIs388Characters()
{
    QCOMPARE(style.size(), 388);
    QVERIFY(composeReport(QString(), {}).startsWith(style));
}

void TestMediaInfo::reportOfFileWithAllFacts()
{
    const double videoBitRate = TMediaInfoDll(m_mp4Tags).GetVideoBitRate();
    QVERIFY(videoBitRate > 1000);
    Expected e;
    e.path = m_mp4Tags;
    e.videoFormat = QStringLiteral("MPEG-4 Visual");
    e.videoKbps = QString::number(qRound64(videoBitRate / 1000)); // halves cannot occur with whole bits
    e.audioFormat = QStringLiteral("MPEG-1 Audio layer 3");
    e.sampleRate = QStringLiteral("44100");
    e.channels = QStringLiteral("2");
    e.audioKbps = QStringLiteral("96");
    e.title = QStringLiteral("Night Train");
    e.copyright = QStringLiteral("(c) 2024 Ana Brel");
    e.genre = QStringLiteral("Jazz");
    QCOMPARE(buildreport(m_mp4Tags), assemblePage(e));
}

void TestMediaInfo::reportOfMissingFile()
{
    Expected e;
    e.path = path(QStringLiteral("deleted since listed.avi"));
    e.videoKbps = e.sampleRate = e.channels = e.audioKbps = QStringLiteral("0");
    QCOMPARE(buildreport(e.path), assemblePage(e));
}

void TestMediaInfo::reportEscapesInsertedTexts()
{
    const QString name = path(QStringLiteral("a<b>&c.avi"));
    QVERIFY(TestMedia::make(name,
                            {1.0, false, true, {"-c:a", "libmp3lame", "-metadata", "title=Rock & <Roll>"}}));
    const QString page = buildreport(name);
    QVERIFY(page.contains(m_dir.path().toHtmlEscaped() + QStringLiteral("/a&lt;b&gt;&amp;c.avi</p>")));
    QVERIFY(page.contains(QStringLiteral("  Title:    Rock &amp; &lt;Roll&gt;\r")));
    QVERIFY(!page.contains(QStringLiteral("a<b>")));
}

void TestMediaInfo::reportOfFileWithoutTags()
{
    const QString page = buildreport(m_av);
    QVERIFY(page.endsWith(
        QStringLiteral("<pre>  Title:    \r  Copyright:\r  Genre:    </pre></fieldset></body></html>")));
    QVERIFY(page.contains(QStringLiteral("  Bitrate:          96 kbps</pre>")));
}

void TestMediaInfo::reportOfFileWithTwoAudioStreams()
{
    const QString both = path(QStringLiteral("two languages.mkv"));
    QProcess p;
    p.start(TestMedia::ffmpeg(),
            {"-v", "error", "-i", m_av, "-i", m_audioOnly, "-map", "0", "-map", "1:a", "-c", "copy", both});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QString page = buildreport(both);
    // The first stream's section as ever; the second follows in the same form.
    const QString second = QStringLiteral(
        "<fieldset align=\"center\"><legend>Audio Stream:</legend><pre>  Format:           "
        "MPEG-1 Audio layer 3\r  Sample Rate:      44100\r  Channels:         1\r  "
        "Bitrate:          128 kbps</pre></fieldset><fieldset align=\"center\"><legend>Metadata");
    QVERIFY2(page.contains(QStringLiteral("Bitrate:          96 kbps</pre></fieldset>") + second),
             qPrintable(page));
    QCOMPARE(page.count(QStringLiteral("<legend>Audio Stream:</legend>")), 2);
}

QTEST_GUILESS_MAIN(TestMediaInfo)
#include "tst_mediainfo.moc"
