#include "convert/commandline.h"
#include "convert/pipeconvert.h"
#include "platform/exception.h"
#include "testmedia.h"

#include <QTemporaryDir>
#include <QtTest>

#include <QDir>
#include <QProcess>

#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

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

int pidIn(const QString &pidFile)
{
    QFile f(pidFile);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : 0;
}

bool processExists(const QString &pidFile)
{
    const int pid = pidIn(pidFile);
    return pid > 0 && ::kill(pid, 0) == 0;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Children of this process, ended but not yet reaped ones included.
QList<int> childProcesses()
{
    QList<int> children;
    const QString self = QString::number(::getpid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        // pid (name) state ppid ...: the name may hold blanks and parentheses.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self.toLatin1())
            children.append(entry.toInt());
    }
    return children;
}

// What ffprobe says of the first stream, as key=value lines.
QString streamOf(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_name,sample_rate,channels,bit_rate"), QStringLiteral("-of"),
             QStringLiteral("default=nw=1"), file});
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
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
    void namesWithTheWordDurationConvert_data();
    void namesWithTheWordDurationConvert();
    void awkwardFileNamesReachTheEncoderWhole();
    void streamOfUnknownLengthConvertsWithoutProgress();
    void nextFileCanStartFromTheEndReport();
    void unreadableInputFails();
    void missingEncoderFailsWithoutAnyMessage();

    // The encoder's verdict
    void outputBufferTooSmallStillCountsAsSuccess();
    void nonZeroExitFails();
    void unreadableDurationLeavesTheVerdictToTheEncoder();
    void durationLineCutBetweenReadsStillGivesProgress();

    // Whatever the encoder does, one report and nothing left behind
    void badEncoderEndsWithOneReport_data();
    void badEncoderEndsWithOneReport();

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
    QVERIFY(TestMedia::make(clip, {10.0, true, true, {}}));
    const QString out = m_dir.filePath(QStringLiteral("clip one.mp3"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(clip, TestMedia::ffmpeg(),
            QStringLiteral("-acodec libmp3lame -ab 128k -ac 1 -ar 22050 ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QCOMPARE(e.finished, QList<quint8>{0});
    QVERIFY(!e.positions.isEmpty());
    for (const qint32 p : e.positions)
        QCOMPARE(p % 10, 0);
    QCOMPARE(e.positions.last(), 100);
    QCOMPARE(c.LastPosition(), 100);
    QVERIFY(!e.offMainThread);
    QVERIFY(!e.wrongSender);
    QVERIFY(!c.isConverting());
    QCOMPARE(c.failureText(), QString());
    const QString stream = streamOf(out);
    for (const char *expected : {"codec_name=mp3", "sample_rate=22050", "channels=1", "bit_rate=128000"})
        QVERIFY2(stream.contains(QLatin1String(expected)), qPrintable(stream));
}

void TestPipeConvert::namesWithTheWordDurationConvert_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("in a line") << QStringLiteral("Duration: a day");
    // The encoder prints the names as they are: a line that starts with the mark and holds no time.
    QTest::newRow("after a line break") << QStringLiteral("a\n  Duration: b");
}

void TestPipeConvert::namesWithTheWordDurationConvert()
{
    QFETCH(QString, name);
    const QString clip = m_dir.filePath(name + QStringLiteral(".mkv"));
    QVERIFY(TestMedia::make(clip, {1.0, true, true, {"-metadata", "title=Duration"}}));
    const QString out = m_dir.filePath(name + QStringLiteral(".mp3"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(clip, TestMedia::ffmpeg(),
            QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100 ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QVERIFY2(e.finished == QList<quint8>{0}, qPrintable(c.failureText()));
    QVERIFY(QFileInfo(out).size() > 0);
    // The real duration line was read all the same.
    QCOMPARE(e.positions.value(e.positions.size() - 1), 100);
}

void TestPipeConvert::awkwardFileNamesReachTheEncoderWhole()
{
    // Blanks, quotes that could smuggle in options, letters beyond ASCII.
    const QString name = QStringLiteral("it's \"a\" -f null \"b\" \u00f1\u00fc\u65e5");
    const QString clip = m_dir.filePath(name + QStringLiteral(".mkv"));
    QVERIFY(TestMedia::make(clip, {1.0, true, true, {}}));
    const QString out = m_dir.filePath(name + QStringLiteral(".wav"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(clip, TestMedia::ffmpeg(), QStringLiteral("-vn ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QVERIFY2(e.finished == QList<quint8>{0}, qPrintable(c.failureText()));
    QVERIFY(streamOf(out).contains(QStringLiteral("codec_name=pcm_s16le")));
}

void TestPipeConvert::streamOfUnknownLengthConvertsWithoutProgress()
{
    // Read through a named pipe, the input has no length the encoder can tell: "Duration: N/A".
    const QString clip = m_dir.filePath(QStringLiteral("stream.ts"));
    QVERIFY(TestMedia::make(clip, {2.0, true, true, {}}));
    const QString fifo = m_dir.filePath(QStringLiteral("stream fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess feeder;
    feeder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("cat \"$0\" > \"$1\""), clip, fifo});
    const QString out = m_dir.filePath(QStringLiteral("stream.wav"));

    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(fifo, TestMedia::ffmpeg(), QStringLiteral("-vn ") + quoteArgument(out));
    QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 60000);
    QVERIFY2(e.finished == QList<quint8>{0}, qPrintable(c.failureText()));
    QVERIFY(e.positions.isEmpty());
    QVERIFY(streamOf(out).contains(QStringLiteral("codec_name=pcm_s16le")));
    QTRY_COMPARE_WITH_TIMEOUT(feeder.state(), QProcess::NotRunning, 60000);
    QCOMPARE(feeder.exitCode(), 0);
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

void TestPipeConvert::unreadableDurationLeavesTheVerdictToTheEncoder()
{
    const QString in = input(QStringLiteral("d.avi"));
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(
        in,
        encoderScript(QStringLiteral("echo '  Duration: 02:46.90, start: 0.000000, bitrate: N/A'; sleep 0.2\n"
                                     "printf 'size= 1kB time=00:00:01.00 bitrate=1\\r'; sleep 0.2\n"
                                     "echo '  Duration: 00:00:10.00, start: 0.0'; sleep 0.2\n"
                                     "printf 'size= 1kB time=00:00:05.00 bitrate=1\\r'")),
        QStringLiteral("\"d.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.finished, QList<quint8>{0});
    // No progress until a duration could be read.
    QCOMPARE(e.positions, QList<qint32>{50});
}

void TestPipeConvert::durationLineCutBetweenReadsStillGivesProgress()
{
    TPipeConvert c;
    Events e;
    e.attach(c);
    c.Start(input(QStringLiteral("cut.avi")),
            encoderScript(QStringLiteral("printf 'Input #0\\n  Dura' >&2; sleep 0.2\n"
                                         "printf 'tion: 00:00:10.00, start: 0.0\\n' >&2; sleep 0.2\n"
                                         "printf 'size= 1kB time=00:00:05.00 bitrate=1\\r' >&2")),
            QStringLiteral("\"cut.wav\""));
    QTRY_COMPARE(e.ends(), 1);
    QCOMPARE(e.finished, QList<quint8>{0});
    QCOMPARE(e.positions, QList<qint32>{50});
}

void TestPipeConvert::badEncoderEndsWithOneReport_data()
{
    QTest::addColumn<QString>("body"); // of the encoder script; none: no encoder at all
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("stall");     // seconds; 0: no limit
    QTest::addColumn<QString>("check"); // what the output check says; none: no check
    QTest::addColumn<int>("failed");
    QTest::addColumn<QString>("why");

    QTest::newRow("missing") << QString() << false << 0 << QString() << 1
                             << QStringLiteral("Failed to execute ");
    QTest::newRow("exit 1") << QStringLiteral("echo 'no luck' >&2\nexit 1") << false << 0 << QString() << 1
                            << QStringLiteral("no luck");
    QTest::newRow("crash") << QStringLiteral("kill -SEGV $$") << false << 0 << QString() << 1
                           << QStringLiteral("The encoder ended with exit status 139");
    QTest::newRow("garbage")
        << QStringLiteral(
               "i=0; while [ $i -lt 300 ]; do printf 'Dur\\377ation: time=x \\000\\033[2J ,::\\r'; "
               "i=$((i+1)); done")
        << false << 0 << QString() << 0 << QString();
    QTest::newRow("nothing") << QStringLiteral("exit 0") << false << 0 << QString() << 0 << QString();
    QTest::newRow("nothing, exit 3") << QStringLiteral("exit 3") << false << 0 << QString() << 1
                                     << QStringLiteral("The encoder ended with exit status 3");
    QTest::newRow("hangs") << QStringLiteral("exec sleep 60") << true << 0 << QStringLiteral("x") << 1
                           << QStringLiteral("Stopped");
    QTest::newRow("hangs with its output closed") << QStringLiteral("exec >&- 2>&-; exec sleep 60") << true
                                                  << 0 << QString() << 1 << QStringLiteral("Stopped");
    // Something the encoder started holds the pipe open after the encoder's end.
    QTest::newRow("leaves a descendant") << QStringLiteral("sleep 60 & echo $! > \"$3.extra\"; exit 0")
                                         << false << 0 << QString() << 0 << QString();
    // The encoder's own bytes, those that are not UTF-8 included.
    QTest::newRow("undecodable bytes")
        << QStringLiteral("printf 'caf\\351 failed' >&2; exit 1") << false << 0 << QString() << 1
        << QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(" failed");

    // The output check has the last word on a success, and only there.
    const QString noAudio = QStringLiteral("the encoder wrote no audio");
    QTest::newRow("exit 0, check fails") << QStringLiteral("exit 0") << false << 0 << noAudio << 1 << noAudio;
    QTest::newRow("output buffer too small, check fails")
        << QStringLiteral("echo '[mp3] output buffer too small' >&2; exit 1") << false << 0 << noAudio << 1
        << noAudio;
    QTest::newRow("exit 0, check passes")
        << QStringLiteral("exit 0") << false << 0 << QStringLiteral("") << 0 << QString();
    QTest::newRow("exit 3, not checked") << QStringLiteral("exit 3") << false << 0 << noAudio << 1
                                         << QStringLiteral("The encoder ended with exit status 3");

    // The watchdog: no output, or only a progress line that does not move, for the whole limit.
    const QString stalled = QStringLiteral("the encoder stopped responding");
    QTest::newRow("stalls silent") << QStringLiteral("exec sleep 60") << false << 1 << QString() << 1
                                   << stalled;
    QTest::newRow("stalls with its output closed")
        << QStringLiteral("exec >&- 2>&-; exec sleep 60") << false << 1 << QString() << 1 << stalled;
    QTest::newRow("stalls repeating its progress")
        << QStringLiteral(
               "while :; do printf 'size= 1kB time=00:00:05.00 bitrate=1\\r' >&2; sleep 0.05; done")
        << false << 1 << QString() << 1 << stalled;
    QTest::newRow("slow but advancing")
        << QStringLiteral("for t in 1 2 3 4; do printf 'size= 1kB time=00:00:0%s.00 bitrate=1\\r' $t >&2; "
                          "sleep 0.5; done")
        << false << 1 << QString() << 0 << QString();
}

void TestPipeConvert::badEncoderEndsWithOneReport()
{
    QFETCH(QString, body);
    QFETCH(bool, stop);
    QFETCH(int, stall);
    QFETCH(QString, check);
    QFETCH(int, failed);
    QFETCH(QString, why);

    const QString in = input(QStringLiteral("bad %1.avi").arg(QTest::currentDataTag()));
    const QString encoder = body.isNull() ? m_dir.filePath(QStringLiteral("no/ffmpeg")) : encoderScript(body);
    const int descriptors = openDescriptors();
    QCOMPARE(childProcesses(), QList<int>{});
    {
        TPipeConvert c;
        Events e;
        e.attach(c, false);
        std::atomic<bool> checkedOnMainThread = false;
        if (!check.isNull())
            c.Verify = [&checkedOnMainThread, check] {
                checkedOnMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                return check;
            };
        c.setStallTimeout(stall);
        c.Start(in, encoder, QStringLiteral("\"bad.wav\""));
        if (stop) {
            QTRY_VERIFY(processExists(in + QStringLiteral(".pid")));
            c.Stop();
        }
        QTRY_COMPARE_WITH_TIMEOUT(e.ends(), 1, 20000);
        QVERIFY2(c.failureText().startsWith(why), qPrintable(c.failureText()));
        QCOMPARE(e.finished, QList<quint8>{quint8(failed)});
        QVERIFY(!c.isConverting());
        QVERIFY(!checkedOnMainThread);
        QTest::qWait(100);
        QCOMPARE(e.ends(), 1);
    }
    if (const int extra = pidIn(in + QStringLiteral(".extra")))
        ::kill(extra, SIGKILL);
    QTRY_COMPARE(childProcesses(), QList<int>{});
    QTRY_COMPARE(openDescriptors(), descriptors);
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
