#include "convert/commandline.h"
#include "convert/process.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Tool = QStringLiteral(CHILDTOOL);
const char *const Fallbacks = "TOLVANE_PROCESS_FALLBACKS";

// Runs the test as on a kernel without close_range and pidfd when asked to.
struct OlderKernel
{
    explicit OlderKernel(bool on)
    {
        if (on)
            qputenv(Fallbacks, "1");
    }
    ~OlderKernel() { qunsetenv(Fallbacks); }
};

QString toolLine(const QString &commands)
{
    return quoteArgument(Tool) + QLatin1Char(' ') + commands;
}

// Everything the child writes until it closes the pipe.
QByteArray readAll(TInputPipeStream *stream)
{
    QByteArray all;
    char buffer[64];
    for (qint32 n; (n = stream->Read(buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

bool processExists(quint32 pid)
{
    return ::kill(pid_t(pid), 0) == 0;
}

// Gone, or ended and waiting for a parent that may never reap it.
bool processEnded(quint32 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

void addKernelRows()
{
    QTest::addColumn<bool>("olderKernel");
    QTest::newRow("current kernel") << false;
    QTest::newRow("without close_range and pidfd") << true;
}

} // namespace

// The child process runner with real child programs.
class TestProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What Execute hands to the system
    void optionsDropWhatTheirCompanionOverrules();
    void startupRecordFollowsShowWindowPipesAndFill();
    void windowValuesTurnOnTheirStartupOptions();
    void creationFlagsCombineOptionsAndPriority();
    void environmentBlockEndsWithAnExtraZero();

    // Starting
    void emptyCommandLineIsRefusedBeforeAnyPipe();
    void missingProgramFailsWithItsErrorCode();
    void applicationNameAloneIsAlsoTheCommandLine();
    void applicationNameRunsWithTheGivenCommandLine();
    void quotedProgramPathWithBlanksAndArguments();
    void environmentAndDirectoryReachTheChild();

    // Pipes
    void mergedErrorIsReadFromOutput();
    void separateErrorHasItsOwnStream();
    void inputReachesTheChild();
    void writingToAGoneReaderGivesZero();
    void childGetsOnlyItsStandardStreams_data();
    void childGetsOnlyItsStandardStreams();
    void pipeStreamsRefuseMisuse();
    void seekSkipsForwardByReading();

    // Watching and ending
    void runningStaysFalseOnceTheEndIsSeen();
    void terminateSetsTheExitStatus();
    void terminateOnAnEndedChildDoesNothing();
    void waitForExitGivesUpOnALiveChildAndSeesTheEnd_data();
    void waitForExitGivesUpOnALiveChildAndSeesTheEnd();
    void childDiesWithAKilledParent();
    void waitOnExitOptionWaitsInExecute();
    void suspendedChildRunsOnResume();
    void activeStartsAndKills();
};

void TestProcess::optionsDropWhatTheirCompanionOverrules()
{
    TProcess p;
    p.setOptions(poRunSuspended | poWaitOnExit);
    QCOMPARE(p.Options(), TProcessOptions(poRunSuspended));
    p.setOptions(poNoConsole | poNewConsole | poUsePipes);
    QCOMPARE(p.Options(), poNewConsole | poUsePipes);
}

void TestProcess::startupRecordFollowsShowWindowPipesAndFill()
{
    TProcess p;
    p.setStartupOptions(suoUseShowWindow | suoUseSize);
    QCOMPARE(p.startupRecord().dwFlags, quint32(0x2));
    p.setShowWindow(swoShowMinimized);
    p.setOptions(poUsePipes);
    p.setFillAttribute(0x1F);
    const TStartupRecord r = p.startupRecord();
    QCOMPARE(r.dwFlags, quint32(0x1 | 0x2 | 0x10 | 0x100));
    QCOMPARE(r.wShowWindow, quint16(2));
    QCOMPARE(r.dwFillAttribute, quint32(0x1F));
}

void TestProcess::windowValuesTurnOnTheirStartupOptions()
{
    TProcess p;
    p.setWindowLeft(0);
    QCOMPARE(p.StartupOptions(), TStartupOptions());
    p.setWindowTop(100);
    QCOMPARE(p.StartupOptions(), TStartupOptions(suoUsePosition));
    p.setWindowHeight(300);
    p.setWindowColumns(80);
    QCOMPARE(p.StartupOptions(), suoUsePosition | suoUseSize | suoUseCountChars);
    p.setWindowTop(0);
    QVERIFY(p.StartupOptions() & suoUsePosition);
    QCOMPARE(p.startupRecord().dwYSize, quint32(300));
}

void TestProcess::creationFlagsCombineOptionsAndPriority()
{
    TProcess p;
    QCOMPARE(p.creationFlags(), quint32(0x20));
    p.setOptions(poRunSuspended | poNoConsole | poUsePipes | poStderrToOutPut);
    p.setPriority(ppIdle);
    QCOMPARE(p.creationFlags(), quint32(0x4 | 0x8 | 0x40));
}

void TestProcess::environmentBlockEndsWithAnExtraZero()
{
    TProcess p;
    QCOMPARE(p.environmentBlock(), QByteArray());
    p.setEnvironment({QStringLiteral("A=1"), QStringLiteral("B=2")});
    QCOMPARE(p.environmentBlock(), QByteArray("A=1\0B=2\0\0", 9));
}

void TestProcess::emptyCommandLineIsRefusedBeforeAnyPipe()
{
    TProcess p;
    p.setOptions(poUsePipes);
    try {
        p.Execute();
        QFAIL("no error");
    } catch (const EProcess &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot execute empty command-line"));
    }
    QVERIFY(!p.Output());
    QVERIFY(!p.Running());
}

void TestProcess::missingProgramFailsWithItsErrorCode()
{
    QTemporaryDir dir;
    const QString line = QStringLiteral("\"%1/ffmpeg\" -y").arg(dir.path());
    TProcess p;
    p.setCommandLine(line);
    p.setOptions(poUsePipes | poStderrToOutPut);
    try {
        p.Execute();
        QFAIL("no error");
    } catch (const EProcess &e) {
        QCOMPARE(e.message(), QStringLiteral("Failed to execute ") + line + QStringLiteral(" : 2"));
    }
    QVERIFY(!p.Running());
    // The parent's ends are still wrapped, and give nothing.
    QVERIFY(p.Output());
    char c;
    QCOMPARE(p.Output()->Read(&c, 1), 0);
}

void TestProcess::applicationNameAloneIsAlsoTheCommandLine()
{
    TProcess p;
    p.setApplicationName(Tool);
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    QCOMPARE(readAll(p.Output()), Tool.toLocal8Bit() + '\n');
    QVERIFY(p.WaitOnExit());
    QCOMPARE(p.ExitStatus(), quint32(0));
}

void TestProcess::applicationNameRunsWithTheGivenCommandLine()
{
    TProcess p;
    p.setApplicationName(Tool);
    p.setCommandLine(QStringLiteral("name-of-choice args \"a b\""));
    p.setOptions(poUsePipes);
    p.Execute();
    QCOMPARE(readAll(p.Output()), QByteArray("name-of-choice|args|a b\n"));
}

void TestProcess::quotedProgramPathWithBlanksAndArguments()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("my tools/child tool"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("my tools"))));
    QVERIFY(QFile::copy(Tool, copy));
    TProcess p;
    p.setCommandLine(quoteArgument(copy) + QStringLiteral(" args \"x y\" z"));
    p.setOptions(poUsePipes);
    p.Execute();
    QCOMPARE(readAll(p.Output()), (copy + QStringLiteral("|args|x y|z\n")).toLocal8Bit());
}

void TestProcess::environmentAndDirectoryReachTheChild()
{
    QTemporaryDir dir;
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("env A out , env HOME out , pwd")));
    p.setEnvironment({QStringLiteral("A=1"), QStringLiteral("B=2")});
    p.setCurrentDirectory(dir.path());
    p.setOptions(poUsePipes);
    p.Execute();
    QCOMPARE(readAll(p.Output()), QByteArray("1,<unset>,") + QDir(dir.path()).canonicalPath().toLocal8Bit());
}

void TestProcess::mergedErrorIsReadFromOutput()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("out one err two out three")));
    p.setOptions(poUsePipes | poStderrToOutPut | poNoConsole);
    p.Execute();
    QVERIFY(!p.Stderr());
    QCOMPARE(readAll(p.Output()), QByteArray("onetwothree"));
}

void TestProcess::separateErrorHasItsOwnStream()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("out one err two")));
    p.setOptions(poUsePipes);
    p.Execute();
    QVERIFY(p.Stderr());
    QVERIFY(p.Stderr() != p.Output());
    QCOMPARE(readAll(p.Output()), QByteArray("one"));
    QCOMPARE(readAll(p.Stderr()), QByteArray("two"));
}

void TestProcess::inputReachesTheChild()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("cat")));
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    QCOMPARE(p.Input()->Write("hello", 5), 5);
    p.CloseInput();
    QVERIFY(!p.Input());
    QCOMPARE(readAll(p.Output()), QByteArray("hello"));
    p.CloseInput(); // again: nothing happens
}

void TestProcess::writingToAGoneReaderGivesZero()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("exit 0")));
    p.setOptions(poUsePipes);
    p.Execute();
    QVERIFY(p.WaitOnExit());
    QCOMPARE(p.Input()->Write("x", 1), 0);
}

void TestProcess::childGetsOnlyItsStandardStreams_data()
{
    addKernelRows();
}

void TestProcess::childGetsOnlyItsStandardStreams()
{
    QFETCH(bool, olderKernel);
    const OlderKernel kernel(olderKernel);
    // Inherited on exec unless the child closes it itself.
    const int open = ::open("/dev/null", O_RDONLY);
    QVERIFY(open > 2);
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("fds")));
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    QCOMPARE(readAll(p.Output()), QByteArray("0 1 2"));
    ::close(open);
}

void TestProcess::pipeStreamsRefuseMisuse()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("out abc")));
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    char buffer[4];
    auto message = [](auto &&call) {
        try {
            call();
        } catch (const EPipeSeek &e) {
            return QStringLiteral("seek: ") + e.message();
        } catch (const EStreamError &e) {
            return e.message();
        }
        return QString();
    };
    QCOMPARE(message([&] { p.Output()->Write("x", 1); }), QStringLiteral("Cannot write to InputPipeStream"));
    QCOMPARE(message([&] { p.Input()->Read(buffer, 1); }),
             QStringLiteral("Cannot read from OutputPipeStream"));
    QCOMPARE(message([&] { p.Input()->Seek(0, soCurrent); }), QStringLiteral("seek: Cannot seek on pipes"));
    QCOMPARE(message([&] { p.Output()->Seek(0, soEnd); }), QStringLiteral("seek: Cannot seek on pipes"));
    QCOMPARE(message([&] { p.Output()->Seek(-1, soCurrent); }), QStringLiteral("seek: Cannot seek on pipes"));
    QCOMPARE(p.Output()->Read(buffer, 1), 1);
    QCOMPARE(message([&] { p.Output()->Seek(0, soBeginning); }),
             QStringLiteral("seek: Cannot seek on pipes"));
    QCOMPARE(readAll(p.Output()), QByteArray("bc"));
}

void TestProcess::seekSkipsForwardByReading()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("bytes 250 out 0123456789 bytes 100 out END")));
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    TInputPipeStream *out = p.Output();
    QCOMPARE(out->Seek(250, soCurrent), qint64(250));
    char buffer[4] = {};
    QCOMPARE(out->Read(buffer, 2), 2);
    QCOMPARE(QByteArray(buffer, 2), QByteArray("01"));
    QCOMPARE(out->Seek(260, soBeginning), qint64(260));
    QCOMPARE(out->Seek(0, soCurrent), qint64(260));
    QCOMPARE(out->Seek(100, soCurrent), qint64(360));
    QCOMPARE(readAll(out), QByteArray("END"));
    QCOMPARE(out->Position(), qint64(363));
    // Past the end: stops where the data ends.
    QCOMPARE(out->Seek(1000, soCurrent), qint64(363));
}

void TestProcess::runningStaysFalseOnceTheEndIsSeen()
{
    TProcess p;
    QCOMPARE(p.ExitStatus(), quint32(0));
    p.setCommandLine(toolLine(QStringLiteral("out x exit 3")));
    p.setOptions(poUsePipes | poStderrToOutPut);
    p.Execute();
    QCOMPARE(readAll(p.Output()), QByteArray("x"));
    QTRY_VERIFY(!p.Running());
    QVERIFY(!p.Running());
    QCOMPARE(p.ExitStatus(), quint32(3));
    QVERIFY(p.WaitOnExit());
}

void TestProcess::terminateSetsTheExitStatus()
{
    for (const quint32 code : {0u, 7u}) {
        TProcess p;
        p.setCommandLine(toolLine(QStringLiteral("sleep 60000")));
        p.setOptions(poUsePipes | poStderrToOutPut);
        p.Execute();
        QVERIFY(p.Running());
        QCOMPARE(p.ExitStatus(), ProcessFlags::STILL_ACTIVE);
        QVERIFY(p.Terminate(code));
        QVERIFY(p.WaitOnExit());
        QVERIFY(!p.Running());
        QCOMPARE(p.ExitStatus(), code);
        QVERIFY(!processExists(p.ProcessID()));
    }
}

void TestProcess::terminateOnAnEndedChildDoesNothing()
{
    TProcess p;
    QVERIFY(!p.Terminate(0));
    p.setCommandLine(toolLine(QStringLiteral("exit 4")));
    p.Execute();
    QVERIFY(p.WaitOnExit());
    QVERIFY(!p.Terminate(0));
    QCOMPARE(p.ExitStatus(), quint32(4));
}

void TestProcess::waitForExitGivesUpOnALiveChildAndSeesTheEnd_data()
{
    addKernelRows();
}

void TestProcess::waitForExitGivesUpOnALiveChildAndSeesTheEnd()
{
    QFETCH(bool, olderKernel);
    const OlderKernel kernel(olderKernel);
    TProcess p;
    QVERIFY(p.waitForExit(10));
    // Long enough to outlast the waits that give up, short enough that a wait without limit fails.
    p.setCommandLine(toolLine(QStringLiteral("sleep 5000")));
    p.Execute();
    QVERIFY(!p.waitForExit(0));
    QVERIFY(!p.waitForExit(20));
    QVERIFY(p.Running());
    QVERIFY(p.Terminate(5));
    QVERIFY(p.waitForExit(60000));
    QCOMPARE(p.ExitStatus(), quint32(5));

    p.setCommandLine(toolLine(QStringLiteral("exit 6")));
    p.Execute();
    QVERIFY(p.waitForExit(60000));
    QCOMPARE(p.ExitStatus(), quint32(6));
}

void TestProcess::childDiesWithAKilledParent()
{
    QProcess parent;
    parent.start(QStringLiteral(DIESUDDENLY), {toolLine(QStringLiteral("sleep 60000"))});
    QVERIFY(parent.waitForFinished(60000));
    QCOMPARE(parent.exitStatus(), QProcess::CrashExit);
    const quint32 child = parent.readAllStandardOutput().trimmed().toUInt();
    QVERIFY(child > 0);
    QTRY_VERIFY(processEnded(child));
}

void TestProcess::waitOnExitOptionWaitsInExecute()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("sleep 50 exit 5")));
    p.setOptions(poWaitOnExit);
    p.Execute();
    QVERIFY(!p.Running());
    QCOMPARE(p.ExitStatus(), quint32(5));
}

void TestProcess::suspendedChildRunsOnResume()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("out started")));
    p.setOptions(poUsePipes | poRunSuspended);
    p.Execute();
    QVERIFY(p.Running());
    QVERIFY(!p.Output()->waitForReadyRead(0));
    QCOMPARE(p.Suspend(), 1);
    QCOMPARE(p.Resume(), 2);
    QCOMPARE(p.Resume(), 1);
    QCOMPARE(readAll(p.Output()), QByteArray("started"));
    QVERIFY(p.WaitOnExit());
    QCOMPARE(p.ExitStatus(), quint32(0));
    QCOMPARE(p.Resume(), -1);
}

void TestProcess::activeStartsAndKills()
{
    TProcess p;
    p.setCommandLine(toolLine(QStringLiteral("sleep 60000")));
    QVERIFY(!p.Active());
    p.setActive(true);
    QVERIFY(p.Active());
    p.setActive(true); // already running: no second child
    p.setActive(false);
    QVERIFY(p.WaitOnExit());
    QVERIFY(!p.Active());
    QCOMPARE(p.ExitStatus(), quint32(0));
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
