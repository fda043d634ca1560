#include "convert/commandline.h"
#include "convert/pipeconvert.h"
#include "platform/exception.h"
#include "testmedia.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// Everything the converter raised, as the main window would see it.
struct Events
{
    QList<qint32> positions;
    QList<quint8> finished;
    int errors = 0;
    bool offMainThread = false;
    bool wrongSender = false;

    int ends() const { return int(finished.size()) + errors; }

    void attach(TPipeConvert &c, bool withError = true)
    {
        const auto check = [this, &c](TPipeConvert *sender) {
            offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            wrongSender |= sender != &c;
        };
        c.OnStatus = [this, check](TPipeConvert *s, quint8 kind, qint32 min, qint32 max, qint32 position) {
            check(s);
            QCOMPARE(kind, quint8(6));
            QCOMPARE(min, 0);
            QCOMPARE(max, 100);
            positions.append(position);
        };
        c.OnFinished = [this, check](TPipeConvert *s, quint8 failed) {
            check(s);
            finished.append(failed);
        };
        c.OnError = nullptr;
        if (withError)
            c.OnError = [this, check](TPipeConvert *s) {
                check(s);
                ++errors;
            };
    }
};

bool processExists(const QString &pidFile)
{
    QFile f(pidFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const int pid = f.readAll().trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) == 0;
}

} // namespace

// The converter and its worker thread, with the real encoder and, for what it cannot be made to do on
// demand, small stand-in scripts.
class TestPipeConvert : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    // With the real encoder
    void convertsAClipAndReportsProgressInTens();
    void namesWithTheWordDurationConvert();
    void nextFileCanStartFromTheEndReport();
    void unreadableInputFails();
    void missingEncoderFailsWithoutAnyMessage();

    // The encoder's verdict
    void outputBufferTooSmallStillCountsAsSuccess();
    void nonZeroExitFails();
    void unreadableDurationFailsAndEndsTheEncoder();

    // Stopping
    void stopEndsTheEncoderAndReportsTheFileAsFailed();
    void stopReachesASilentEncoder();
    void stopWithNothingRunningDoesNothing();
    void startWhileConvertingIsRefused();
    void destroyingTheConverterEndsItsWorkerQuietly();

private:
    QString encoderScript(const QString &body);
    QString input(const QString &name);

    QTemporaryDir m_dir;
    int m_scripts = 0;
};

void TestPipeConvert::initTestCase()
{
    QVERIFY(!TestMedia::ffmpeg().isEmpty());
    QVERIFY(m_dir.isValid());
}

void TestPipeConvert::cleanup()
{
    // Lets the last worker release its encoder and free itself.
    QTest::qWait(200);
}

QString TestPipeConvert::encoderScript(const QString &body)
{
    const QString path = m_dir.filePath(QStringLiteral("encoder%1").arg(++m_scripts));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    // $3 is the input file: the one after -y -i.
    f.write(("#!/bin/sh\necho $$ > \"$3.pid\"\n" + body + "\n").toLocal8Bit());
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QString TestPipeConvert::input(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) ? path : QString();
}

void TestPipeConvert::convertsAClipAndReportsProgressInTens()
{
    const QString clip = m_dir.filePath(QStringLiteral("clip one.mkv"));
    QVERIFY(TestMedia::make(clip, {3.0, true, true, {}}));
    const QString out = m_dir.filePath(QStringLiteral("clip one.wav"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(clip, TestMedia::ffmpeg(), QStringLiteral("-vn -ac 2 -ar 44100 ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QCOMPARE(e.finished, QList<quint8>{0});
    QVERIFY(QFileInfo(out).size() > 44);
    QVERIFY(!e.positions.isEmpty());
    for (const qint32 p : e.positions)
        QCOMPARE(p % 10, 0);
    QCOMPARE(e.positions.last(), 100);
    QCOMPARE(c.LastPosition(), 100);
    QVERIFY(!e.offMainThread);
    QVERIFY(!e.wrongSender);
    QVERIFY(!c.isConverting());
    QCOMPARE(c.failureText(), QString());
}

void TestPipeConvert::namesWithTheWordDurationConvert()
{
    const QString clip = m_dir.filePath(QStringLiteral("Duration: a day.mkv"));
    QVERIFY(TestMedia::make(clip, {1.0, true, true, {"-metadata", "title=Duration"}}));
    const QString out = m_dir.filePath(QStringLiteral("Duration: a day.mp3"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(clip, TestMedia::ffmpeg(),
            QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100 ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QCOMPARE(e.finished, QList<quint8>{0});
    QVERIFY(QFileInfo(out).size() > 0);
}

void TestPipeConvert::nextFileCanStartFromTheEndReport()
{
    QStringList clips;
    for (const char *name : {"first.mkv", "second.mkv"}) {
        clips << m_dir.filePath(QLatin1String(name));
        QVERIFY(TestMedia::make(clips.last(), {1.0, true, true, {}}));
    }
    TPipeConvert c;
    Events e;
    e.attach(c);
    QList<qint32> indexes;
    const auto startRow = [&](qint32 row) {
        c.ListIndex = row;
        c.Start(clips[row], TestMedia::ffmpeg(),
                QStringLiteral("-vn -ac 1 -ar 8000 ") + quoteArgument(clips[row] + QStringLiteral(".wav")));
    };
    c.OnFinished = [&](TPipeConvert *, quint8 failed) {
        e.finished.append(failed);
        indexes.append(c.ListIndex);
        if (c.ListIndex + 1 < clips.size())
            startRow(c.ListIndex + 1);
    };
    startRow(0);
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 2, 60000);
    QCOMPARE(e.finished, (QList<quint8>{0, 0}));
    QCOMPARE(indexes, (QList<qint32>{0, 1}));
    QVERIFY(QFile::exists(clips[1] + QStringLiteral(".wav")));
}

void TestPipeConvert::unreadableInputFails()
{
    const QString bogus = input(QStringLiteral("not a video.avi"));
    for (const bool withError : {true, false}) {
        TPipeConvert c;
        Events e;
        e.attach(c, withError);
        c.Start(bogus, TestMedia::ffmpeg(), quoteArgument(m_dir.filePath(QStringLiteral("x.wav"))));
        QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
        QCOMPARE(e.errors, withError ? 1 : 0);
        QCOMPARE(e.finished, withError ? QList<quint8>{} : QList<quint8>{1});
        // The encoder's last line tells why.
        QVERIFY2(c.failureText().endsWith(QStringLiteral("Invalid data found when processing input")),
                 qPrintable(c.failureText()));
    }
}

void TestPipeConvert::missingEncoderFailsWithoutAnyMessage()
{
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(input(QStringLiteral("a.avi")), m_dir.filePath(QStringLiteral("no/ffmpeg")),
            QStringLiteral("\"a.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.errors, 1);
    QVERIFY(e.positions.isEmpty());
    QVERIFY(c.failureText().startsWith(QStringLiteral("Failed to execute ")));
    QVERIFY(c.failureText().endsWith(QStringLiteral(" : 2")));
}

void TestPipeConvert::outputBufferTooSmallStillCountsAsSuccess()
{
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(input(QStringLiteral("b.avi")),
            encoderScript(QStringLiteral("echo 'Duration: 00:00:04.00, start: 0.0' >&2\n"
                                         "echo '[mp3] output buffer too small' >&2\nexit 1")),
            QStringLiteral("\"b.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.finished, QList<quint8>{0});
}

void TestPipeConvert::nonZeroExitFails()
{
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(input(QStringLiteral("c.avi")), encoderScript(QStringLiteral("echo 'some trouble' >&2\nexit 1")),
            QStringLiteral("\"c.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.errors, 1);
    QCOMPARE(c.failureText(), QStringLiteral("some trouble"));
}

void TestPipeConvert::unreadableDurationFailsAndEndsTheEncoder()
{
    const QString in = input(QStringLiteral("d.avi"));
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(
        in,
        encoderScript(QStringLiteral("echo '  Duration: N/A, start: 0.000000, bitrate: N/A'\nexec sleep 60")),
        QStringLiteral("\"d.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.errors, 1);
    QVERIFY(c.failureText().contains(QStringLiteral("Duration: N/A")));
    // The worker does not leave the encoder running behind the next file.
    QVERIFY(!processExists(in + QStringLiteral(".pid")));
}

void TestPipeConvert::stopEndsTheEncoderAndReportsTheFileAsFailed()
{
    const QString in = input(QStringLiteral("e.avi"));
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(in,
            encoderScript(QStringLiteral("echo 'Duration: 00:01:40.00, start: 0.0' >&2; sleep 0.3\n"
                                         "while :; do printf 'size= 1kB time=00:00:50.00 bitrate=1\\r' >&2; "
                                         "sleep 0.05; done")),
            QStringLiteral("\"e.wav\""));
    QTRY_VERIFY_WITH_TIMEOUT(!e.positions.isEmpty(), 20000);
    QCOMPARE(e.positions.first(), 50);
    c.Stop();
    QTRY_COMPARE(e.ends(), 1);
    // The output is cut short: not a success.
    QCOMPARE(e.errors, 1);
    QVERIFY(e.finished.isEmpty());
    QCOMPARE(c.failureText(), QStringLiteral("Stopped"));
    QVERIFY(!processExists(in + QStringLiteral(".pid")));
}

void TestPipeConvert::stopReachesASilentEncoder()
{
    const QString in = input(QStringLiteral("f.avi"));
    TPipeConvert c;
    Events e;
    e.attach(c, false);
    c.Start(in, encoderScript(QStringLiteral("exec sleep 60")), QStringLiteral("\"f.wav\""));
    QTRY_VERIFY(processExists(in + QStringLiteral(".pid")));
    c.Stop();
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 20000);
    QCOMPARE(e.finished, QList<quint8>{1});
    QVERIFY(!processExists(in + QStringLiteral(".pid")));
}

void TestPipeConvert::stopWithNothingRunningDoesNothing()
{
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Stop();
    c.Start(input(QStringLiteral("g.avi")), encoderScript(QStringLiteral("exit 0")),
            QStringLiteral("\"g.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    c.Stop();
    QTest::qWait(100);
    QCOMPARE(e.finished, QList<quint8>{0});
    QCOMPARE(e.ends(), 1);
}

void TestPipeConvert::startWhileConvertingIsRefused()
{
    const QString in = input(QStringLiteral("h.avi"));
    TPipeConvert c;
    Events e;
    e.attach(c);
    const QString encoder = encoderScript(QStringLiteral("exec sleep 60"));
    c.Start(in, encoder, QStringLiteral("\"h.wav\""));
    QVERIFY(c.isConverting());
    QVERIFY_THROWS_EXCEPTION(Exception, c.Start(in, encoder, QStringLiteral("\"h.wav\"")));
    c.Stop();
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 20000);
}

void TestPipeConvert::destroyingTheConverterEndsItsWorkerQuietly()
{
    const QString in = input(QStringLiteral("i.avi"));
    Events e;
    {
        TPipeConvert c;
        e.attach(c);
        c.Start(in, encoderScript(QStringLiteral("exec sleep 60")), QStringLiteral("\"i.wav\""));
        QTRY_VERIFY(processExists(in + QStringLiteral(".pid")));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!processExists(in + QStringLiteral(".pid")), 20000);
    QTest::qWait(200);
    QCOMPARE(e.ends(), 0);
}

QTEST_GUILESS_MAIN(TestPipeConvert)
#include "tst_pipeconvert.moc"
