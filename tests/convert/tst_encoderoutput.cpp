#include "convert/commandline.h"
#include "convert/encoderoutput.h"

#include <QtTest>

// The encoder's output parser and the command-line texts, fed with recorded text.
class TestEncoderOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractBetweenTakesTheTrimmedTextAfterTheFirstStartMark();
    void splitTextKeepsEmptyFields();
    void durationLineSetsTheDurationInWholeSeconds_data();
    void durationLineSetsTheDurationInWholeSeconds();
    void unreadableDurationChangesNothing_data();
    void unreadableDurationChangesNothing();
    void theWordDurationInNamesAndTagsIsNoDurationLine();
    void timeGivesPositionInStepsOfTen_data();
    void timeGivesPositionInStepsOfTen();
    void blockWithDurationAndTimeOnlySetsTheDuration();
    void laterDurationReplacesTheEarlierOne();
    void timeWithoutUsableDurationGivesNoReport();
    void sameTimeTwiceGivesTheSameReport();
    void unknownDurationConvertsWithoutProgress();
    void durationLineCutBetweenReadsIsJoined_data();
    void durationLineCutBetweenReadsIsJoined();
    void onlyAnUnfinishedDurationLineIsHeldBack();
    void outputTextKeepsEveryByte_data();
    void outputTextKeepsEveryByte();
    void onlyNewOutputOrAdvancingProgressIsLife();
    void quotedTextsSplitBackIntoThemselves_data();
    void quotedTextsSplitBackIntoThemselves();
    void encoderCommandLineQuotesPathsAndAppendsArguments();
};

void TestEncoderOutput::extractBetweenTakesTheTrimmedTextAfterTheFirstStartMark()
{
    QCOMPARE(ExtractBetween("a [ x\t] [y]", "[", "]"), QByteArray("x"));
    QCOMPARE(ExtractBetween("no mark", "[", "]"), QByteArray());
    QCOMPARE(ExtractBetween("] before [ after", "[", "]"), QByteArray());
    QCOMPARE(ExtractBetween("time=1.5\r", "time=", " "), QByteArray());
}

void TestEncoderOutput::splitTextKeepsEmptyFields()
{
    QCOMPARE(SplitText("", ":"), QList<QByteArray>{""});
    QCOMPARE(SplitText("00:02:46", ":"), (QList<QByteArray>{"00", "02", "46"}));
    QCOMPARE(SplitText(":a:", ":"), (QList<QByteArray>{"", "a", ""}));
}

void TestEncoderOutput::durationLineSetsTheDurationInWholeSeconds_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<double>("seconds");
    QTest::newRow("minutes") << QByteArray("Duration: 00:02:46.90, start: 0.000000, bitrate: 1205 kb/s")
                             << 166.0;
    QTest::newRow("hours") << QByteArray("Duration: 01:30:00.00, start: 0.0") << 5400.0;
    QTest::newRow("indented, amid other lines")
        << QByteArray(
               "Input #0, avi, from 'a.avi':\n  Duration: 00:00:03.00, start: 0.000000\n  Stream #0:0\n")
        << 3.0;
    QTest::newRow("field not a number counts 0") << QByteArray("Duration: xx:01:05.00, s") << 65.0;
}

void TestEncoderOutput::durationLineSetsTheDurationInWholeSeconds()
{
    QFETCH(QByteArray, block);
    QFETCH(double, seconds);
    double duration = 0;
    QCOMPARE(ParseOutput(block, duration), std::nullopt);
    QCOMPARE(duration, seconds);
}

void TestEncoderOutput::unreadableDurationChangesNothing_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<double>("seconds");
    QTest::newRow("no comma") << QByteArray("  Duration: 00:02:46.90") << 7.0;
    QTest::newRow("two fields") << QByteArray("Duration: 02:46.90, start") << 7.0;
    // How the encoder prints names holding a line break.
    QTest::newRow("input name before the real line")
        << QByteArray("Input #0, matroska,webm, from 'a\n  Duration: b.mkv':\n"
                      "  Duration: 00:00:04.00, start: 0.000000\n")
        << 4.0;
    QTest::newRow("output name after it") << QByteArray("  Duration: 00:00:04.00, start: 0.000000\n"
                                                        "Output #0, wav, to 'a\n  Duration: b.wav':\n")
                                          << 4.0;
}

void TestEncoderOutput::unreadableDurationChangesNothing()
{
    QFETCH(QByteArray, block);
    QFETCH(double, seconds);
    double duration = 7;
    QCOMPARE(ParseOutput(block, duration), std::nullopt);
    QCOMPARE(duration, seconds);
}

void TestEncoderOutput::theWordDurationInNamesAndTagsIsNoDurationLine()
{
    double duration = 10;
    // File names and tags are copied into the encoder's output; they must not fail the file.
    QCOMPARE(
        ParseOutput("Output #0, mp3, to '/m/Duration: the movie.mp3':\n    title : Duration\n", duration),
        std::nullopt);
    QCOMPARE(
        ParseOutput("    DURATION        : 00:00:03.003000000\nsize= 1kB time=5.00 bitrate=1\r", duration),
        std::optional<qint32>(50));
    QCOMPARE(duration, 10.0);
}

void TestEncoderOutput::timeGivesPositionInStepsOfTen_data()
{
    QTest::addColumn<double>("duration");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("position");
    QTest::newRow("half") << 166.0 << QByteArray("size= 1320kB time=83.45 bitrate= 129.6kbits/s") << 50;
    QTest::newRow("2.5 rounds to 2") << 4.0 << QByteArray("time=1.00 ") << 20;
    QTest::newRow("7.5 rounds to 8") << 4.0 << QByteArray("time=3.00 ") << 80;
    QTest::newRow("past the end is passed on") << 4.0 << QByteArray("time=6.00 ") << 150;
    QTest::newRow("hours form of newer encoders") << 166.0 << QByteArray("time=00:01:23.45 bitrate=") << 50;
    QTest::newRow("first figure counts") << 10.0 << QByteArray("time=1.00 x\rtime=9.00 x\r") << 10;
}

void TestEncoderOutput::timeGivesPositionInStepsOfTen()
{
    QFETCH(double, duration);
    QFETCH(QByteArray, block);
    QFETCH(int, position);
    QCOMPARE(ParseOutput(block, duration), std::optional<qint32>(position));
}

void TestEncoderOutput::blockWithDurationAndTimeOnlySetsTheDuration()
{
    double duration = 0;
    QCOMPARE(ParseOutput("Duration: 00:00:10.00, start: 0\nsize= 1kB time=5.00 bitrate=\r", duration),
             std::nullopt);
    QCOMPARE(duration, 10.0);
}

void TestEncoderOutput::laterDurationReplacesTheEarlierOne()
{
    double duration = 0;
    ParseOutput("Duration: 00:00:10.00, start: 0\n", duration);
    ParseOutput("Duration: 00:00:20.00, start: 0\n", duration);
    QCOMPARE(duration, 20.0);
    QCOMPARE(ParseOutput("time=10.00 ", duration), std::optional<qint32>(50));
}

void TestEncoderOutput::timeWithoutUsableDurationGivesNoReport()
{
    double duration = 0;
    QCOMPARE(ParseOutput("time=3.00 ", duration), std::nullopt);
    duration = 10;
    QCOMPARE(ParseOutput("time=0.00 ", duration), std::nullopt);
    QCOMPARE(ParseOutput("time=-00:00:00.05 ", duration), std::nullopt);
    QCOMPARE(ParseOutput("time=N/A ", duration), std::nullopt);
    QCOMPARE(ParseOutput("time=inf ", duration), std::nullopt);
    QCOMPARE(ParseOutput("time=1.5", duration), std::nullopt); // no blank closes the figure
    QCOMPARE(ParseOutput("time=99999999999 ", duration), std::nullopt);
    QCOMPARE(ParseOutput("nothing here", duration), std::nullopt);
}

void TestEncoderOutput::sameTimeTwiceGivesTheSameReport()
{
    double duration = 10;
    QCOMPARE(ParseOutput("time=5.00 ", duration), std::optional<qint32>(50));
    QCOMPARE(ParseOutput("time=5.00 ", duration), std::optional<qint32>(50));
}

void TestEncoderOutput::unknownDurationConvertsWithoutProgress()
{
    double duration = 10;
    QCOMPARE(ParseOutput("  Duration: N/A, start: 0.000000, bitrate: 384 kb/s\n", duration), std::nullopt);
    QCOMPARE(duration, 0.0);
    QCOMPARE(ParseOutput("size= 173kB time=00:00:02.01 bitrate= 705.9kbits/s\r", duration), std::nullopt);
}

void TestEncoderOutput::durationLineCutBetweenReadsIsJoined_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("plain") << QByteArray("Input #0, avi, from 'a.avi':\n"
                                         "  Duration: 00:00:04.00, start: 0.000000, bitrate: 1 kb/s\n"
                                         "  Stream #0:0: Audio\n");
    QTest::newRow("the mark in the file name too")
        << QByteArray("Input #0, matroska, from '/m/Duration: x, y.mkv':\n"
                      "  Duration: 00:00:04.00, start: 0.000000, bitrate: 1 kb/s\n");
}

void TestEncoderOutput::durationLineCutBetweenReadsIsJoined()
{
    QFETCH(QByteArray, output);
    // Every place a read can end, also inside the mark itself.
    for (qsizetype cut = 1; cut < output.size(); ++cut) {
        OutputBlocks blocks;
        double duration = 0;
        QByteArray examined;
        for (const QByteArray &read : {output.left(cut), output.mid(cut)}) {
            const QByteArray block = blocks.add(read);
            examined += block;
            if (!block.isEmpty())
                ParseOutput(block, duration, blocks.startsLine());
        }
        QVERIFY2(duration == 4.0, qPrintable(QStringLiteral("cut at %1").arg(cut)));
        QCOMPARE(examined, output);
        QCOMPARE(ParseOutput(blocks.add("size= 1kB time=00:00:02.00 bitrate=1\r"), duration),
                 std::optional<qint32>(50));
    }
}

void TestEncoderOutput::onlyAnUnfinishedDurationLineIsHeldBack()
{
    OutputBlocks blocks;
    // Other lines are passed on as read, cut or not.
    QCOMPARE(blocks.add("size= 1kB time=1."), QByteArray("size= 1kB time=1."));
    QCOMPARE(blocks.add("00 bitrate=1\r  Stream #0"), QByteArray("00 bitrate=1\r  Stream #0"));
    QCOMPARE(blocks.add(":0\n  Dur"), QByteArray(":0\n"));
    QCOMPARE(blocks.add("ation: 00:00:0"), QByteArray());
    QCOMPARE(blocks.add("4.00, start: 0\n"), QByteArray("  Duration: 00:00:04.00, start: 0\n"));
    QVERIFY(blocks.startsLine());
    // The mark in the middle of a line is no duration line.
    QCOMPARE(blocks.add("from '/m/Duration: x"), QByteArray("from '/m/Duration: x"));
    // Nor is a text too long for one.
    const QByteArray longLine = "\nDuration: " + QByteArray(OutputBlocks::HeldSize, '0');
    QCOMPARE(blocks.add(longLine), longLine);
}

void TestEncoderOutput::outputTextKeepsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const auto escaped = [](std::initializer_list<int> bytes) {
        QString t;
        for (const int b : bytes)
            t += QChar(0xDC00 + b);
        return t;
    };
    QTest::newRow("valid UTF-8") << QByteArray("a\xc3\xb1\xe6\x97\xa5\xf0\x9f\x98\x80\n")
                                 << QStringLiteral("a\u00f1\u65e5\U0001F600\n");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.avi")
                                  << QStringLiteral("caf") + escaped({0xE9}) + ".avi";
    QTest::newRow("cut sequence") << QByteArray("\xe6\x97x") << escaped({0xE6, 0x97}) + "x";
    QTest::newRow("cut at the end") << QByteArray("x\xf0\x9f\x98") << "x" + escaped({0xF0, 0x9F, 0x98});
    QTest::newRow("overlong") << QByteArray("\xc0\xaf\xe0\x80\xaf")
                              << escaped({0xC0, 0xAF, 0xE0, 0x80, 0xAF});
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << escaped({0xED, 0xA0, 0x80});
    QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << escaped({0xF4, 0x90, 0x80, 0x80});
}

void TestEncoderOutput::outputTextKeepsEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeOutputText(bytes), text);
}

void TestEncoderOutput::onlyNewOutputOrAdvancingProgressIsLife()
{
    const QList<std::pair<QByteArray, bool>> reads{
        {"Input #0, avi, from 'a.avi':\n", true},
        {"size= 1kB time=00:00:01.00 bitrate=1\r", true},
        {"size= 1kB time=00:00:01.00 bitrate=1\r", false},
        {"size= 1kB time=N/A bitrate=1\r \r\n", false},
        // A line cut between reads is judged whole.
        {"size= 1kB time=00:00:01.00 bitrate=1\rsize= 1kB ti", false},
        {"me=00:00:01.00 bitrate=1\r", false},
        {"size= 1kB time=2.00 bitrate=1\r", true},
        {"[mp3 @ 0x1] Queue input is backward in time\n", true},
    };
    StallWatch watch;
    for (const auto &[bytes, alive] : reads)
        QVERIFY2(watch.add(bytes) == alive, bytes.constData());
}

void TestEncoderOutput::quotedTextsSplitBackIntoThemselves_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain path") << QStringLiteral("C:\\Tools\\ffmpeg.exe")
                                << QStringLiteral("\"C:\\Tools\\ffmpeg.exe\"");
    QTest::newRow("blanks") << QStringLiteral("/v/a b.avi") << QStringLiteral("\"/v/a b.avi\"");
    QTest::newRow("empty") << QString() << QStringLiteral("\"\"");
    QTest::newRow("double quote") << QStringLiteral("/v/a\" -f x \"b.avi")
                                  << QStringLiteral("\"/v/a\\\" -f x \\\"b.avi\"");
    QTest::newRow("backslashes before a quote")
        << QStringLiteral("a\\\\\"b") << QStringLiteral("\"a\\\\\\\\\\\"b\"");
    QTest::newRow("trailing backslash") << QStringLiteral("D:\\dir\\") << QStringLiteral("\"D:\\dir\\\\\"");
}

void TestEncoderOutput::quotedTextsSplitBackIntoThemselves()
{
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QCOMPARE(quoteArgument(text), quoted);
    QCOMPARE(splitCommandLine(QStringLiteral("x ") + quoteArgument(text) + QStringLiteral(" y")),
             (QStringList{QStringLiteral("x"), text, QStringLiteral("y")}));
}

void TestEncoderOutput::encoderCommandLineQuotesPathsAndAppendsArguments()
{
    const QString line =
        encoderCommandLine(QStringLiteral("C:\\Tools\\ffmpeg.exe"), QStringLiteral("D:\\a b.avi"),
                           QStringLiteral("-vn -ac 2 -ar 44100 \"E:\\a b.wav\""));
    QCOMPARE(line,
             QStringLiteral(
                 "\"C:\\Tools\\ffmpeg.exe\" -y -i \"D:\\a b.avi\" -vn -ac 2 -ar 44100 \"E:\\a b.wav\""));
    QCOMPARE(splitCommandLine(line), (QStringList{"C:\\Tools\\ffmpeg.exe", "-y", "-i", "D:\\a b.avi", "-vn",
                                                  "-ac", "2", "-ar", "44100", "E:\\a b.wav"}));
}

QTEST_APPLESS_MAIN(TestEncoderOutput)
#include "tst_encoderoutput.moc"
