// The unattended program driven from outside: arguments, files, signals and result lines.
#include "apptest.h"
#include "testmedia.h"

#include "batch/resultline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

// Temporary files of the encoder that outlived their run.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
}

// Gone or a zombie: a killed orphan may wait for a reaper that this machine's first process is not.
bool processGone(qint64 pid)
{
    return QTest::qWaitFor(
        [pid] {
            const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
            return stat == "<missing>" || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
        },
        5000);
}

} // namespace

class TestDataSafety : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QTemporaryDir m_work;
    QString m_source; // a good clip

    QString work(const QString &name) const { return m_work.filePath(name); }
    QString out(const QString &name) const { return m_work.filePath(QStringLiteral("out/") + name); }

    // The real program, unattended and without a display, converting into out/ with these settings.
    QProcess *start(const QStringList &arguments, const QByteArray &settings = {},
                    const QString &fakeEncoder = {})
    {
        auto *p = new QProcess(this);
        const QString home = work(QStringLiteral("config"));
        QDir().mkpath(home + QStringLiteral("/Morvexa"));
        writeFile(home + QStringLiteral("/Morvexa/quorrel.conf"),
                  "[Settings]\noutput=" + QFile::encodeName(out(QString())) + '\n' + settings);
        QProcessEnvironment env = AppTest::headlessEnvironment(home);
        if (!fakeEncoder.isEmpty()) {
            const QString bin = work(QStringLiteral("bin"));
            QDir().mkpath(bin);
            writeFile(bin + QStringLiteral("/ffmpeg"), "#!/bin/sh\n" + fakeEncoder.toUtf8(), true);
            env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
            env.insert(QStringLiteral("PIDFILE"), work(QStringLiteral("encoder.pid")));
        }
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(m_work.path());
        p->start(QStringLiteral(TOLVANE_EXECUTABLE), QStringList{QStringLiteral("/AUTOMATE")} + arguments);
        return p;
    }

    struct Result
    {
        int exitCode = -1;
        QList<QByteArray> lines;
        QByteArray errors;
    };
    Result run(const QStringList &arguments, const QByteArray &settings = {}, const QString &fakeEncoder = {})
    {
        QProcess *p = start(arguments, settings, fakeEncoder);
        Result r;
        if (!p->waitForFinished(60000)) {
            p->kill();
            p->waitForFinished();
            return r;
        }
        r.exitCode = p->exitCode();
        r.lines = p->readAllStandardOutput().split('\n');
        r.lines.removeAll(QByteArray());
        r.errors = p->readAllStandardError();
        delete p;
        return r;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_source = m_media.filePath(QStringLiteral("clip.avi"));
        QVERIFY(TestMedia::make(m_source, {1.0, true, true, {}}));
    }
    void init()
    {
        QDir(m_work.path()).removeRecursively();
        QDir().mkpath(out(QString()));
    }

    // What is already under the output's name is never lost, and never written through.
    void existingOutputs_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("outputName");

        QTest::newRow("failure keeps the old file") << "broken" << QStringList{"--existing=overwrite"}
                                                    << QByteArray() << QByteArray("Failed") << "a.mp3";
        QTest::newRow("unanswered question is No")
            << "old" << QStringList() << QByteArray("askoverwrite=1\n") << QByteArray("Skipped") << "a.mp3";
        QTest::newRow("stored keep-both still applies")
            << "old" << QStringList() << QByteArray("askoverwrite=1\nexisting=2\n") << QByteArray("Done!")
            << "a (1).mp3";
        QTest::newRow("explicit overwrite replaces")
            << "old" << QStringList{"--existing=overwrite"} << QByteArray() << QByteArray("Done!") << "a.mp3";
        QTest::newRow("prompting off: stored policy")
            << "old" << QStringList() << QByteArray("askoverwrite=0\n") << QByteArray("Done!") << "a.mp3";
        QTest::newRow("link to the source fails") << "link-to-source" << QStringList{"--existing=overwrite"}
                                                  << QByteArray() << QByteArray("Failed") << "a.mp3";
        QTest::newRow("dangling link is skipped") << "dangling" << QStringList{"--existing=skip"}
                                                  << QByteArray() << QByteArray("Skipped") << "a.mp3";
        QTest::newRow("link is replaced, not its target")
            << "link-elsewhere" << QStringList{"--existing=overwrite"} << QByteArray() << QByteArray("Done!")
            << "a.mp3";
        QTest::newRow("crash leftover is removed") << "leftover" << QStringList{"--existing=overwrite"}
                                                   << QByteArray() << QByteArray("Done!") << "a.mp3";
    }
    void existingOutputs()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, status);
        QFETCH(QString, outputName);

        const QString input = work(QStringLiteral("a.avi"));
        if (setup == QLatin1String("broken"))
            writeFile(input, "no video in here");
        else
            QVERIFY(QFile::copy(m_source, input));
        const QByteArray sourceBytes = readAll(input);
        const QString target = work(QStringLiteral("elsewhere.txt"));
        writeFile(target, "unrelated");
        const QString output = out(QStringLiteral("a.mp3"));
        if (setup == QLatin1String("old") || setup == QLatin1String("broken") ||
            setup == QLatin1String("leftover"))
            writeFile(output, "OLD");
        else if (setup == QLatin1String("link-to-source"))
            QVERIFY(QFile::link(input, output));
        else if (setup == QLatin1String("dangling"))
            QVERIFY(QFile::link(work(QStringLiteral("nowhere.mp3")), output));
        else if (setup == QLatin1String("link-elsewhere"))
            QVERIFY(QFile::link(target, output));
        if (setup == QLatin1String("leftover"))
            writeFile(out(QStringLiteral(".a.mp3.tolvane-999999999.part")), "cut");

        const Result r = run(QStringList{input} + options, settings);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.at(0).startsWith(status + '\t'), r.lines.at(0));
        QCOMPARE(r.exitCode, status == "Failed" ? 2 : 0);
        QVERIFY(leftovers(out(QString())).isEmpty());
        // Sources and what links point at are never written.
        QCOMPARE(readAll(input), sourceBytes);
        QCOMPARE(readAll(target), QByteArray("unrelated"));
        QVERIFY(!QFileInfo::exists(work(QStringLiteral("nowhere.mp3"))));
        if (status == "Done!") {
            QVERIFY2(r.lines.at(0).endsWith('\t' + QFile::encodeName(out(outputName))), r.lines.at(0));
            QVERIFY(!QFileInfo(out(outputName)).isSymLink());
            QVERIFY(readAll(out(outputName)).size() > 1000);
        }
        if (setup == QLatin1String("link-to-source"))
            QVERIFY2(r.lines.at(0).contains("is a source file"), r.lines.at(0));
        if (status != "Done!" && (setup == QLatin1String("old") || setup == QLatin1String("broken")))
            QCOMPARE(readAll(output), QByteArray("OLD"));
        if (outputName != QLatin1String("a.mp3"))
            QCOMPARE(readAll(output), QByteArray("OLD"));
    }

    // A mistyped option, or a value an option does not take, ends the program before it does
    // anything, unattended or with a window; a file of such a name goes after "--".
    void wrongOptionsDoNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("wrong");
        QTest::newRow("unknown option")
            << QStringList{"--format=flac", "--exsting=skip", "clip.avi"} << "--exsting=skip";
        QTest::newRow("unknown short option") << QStringList{"clip.avi", "-x"} << "-x";
        QTest::newRow("a number wanted") << QStringList{"--jobs=abc", "clip.avi"} << "--jobs=abc";
        QTest::newRow("no such format") << QStringList{"--format=mp4", "clip.avi"} << "--format=mp4";
        QTest::newRow("a switch given a value")
            << QStringList{"--split-chapters=yes", "clip.avi"} << "--split-chapters=yes";
    }
    void wrongOptionsDoNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, wrong);
        QVERIFY(QFile::copy(m_source, work(QStringLiteral("clip.avi"))));
        writeFile(out(QStringLiteral("clip.flac")), "keep");
        writeFile(out(QStringLiteral("clip.mp3")), "keep");
        const Result r = run(arguments, "askoverwrite=0\nexisting=0\n");
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.lines, QList<QByteArray>());
        QVERIFY2(r.errors.contains(wrong.toUtf8()), r.errors.constData());
        QCOMPARE(QDir(out(QString())).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QCOMPARE(readAll(out(QStringLiteral("clip.flac"))), QByteArray("keep"));
        QCOMPARE(readAll(out(QStringLiteral("clip.mp3"))), QByteArray("keep"));

        // The window says so instead, and neither lists, hands over nor saves anything.
        const QString conf = work(QStringLiteral("config/Morvexa/quorrel.conf"));
        const QByteArray stored = readAll(conf);
        QProcess window;
        QProcessEnvironment env = AppTest::headlessEnvironment(work(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        window.setProcessEnvironment(env);
        window.setWorkingDirectory(m_work.path());
        window.start(QStringLiteral(TOLVANE_EXECUTABLE), arguments);
        QVERIFY(window.waitForFinished(30000));
        QCOMPARE(window.exitCode(), 2);
        const QByteArray said = window.readAllStandardError();
        QVERIFY2(said.contains("Error!: Wrong argument: ") && said.contains(wrong.toUtf8()),
                 said.constData());
        QCOMPARE(readAll(conf), stored);

        // After "--" or as "./", a name that starts with a dash is a file.
        QVERIFY(QFile::copy(m_source, work(QStringLiteral("--x.avi"))));
        QVERIFY(QFile::copy(m_source, work(QStringLiteral("-y.avi"))));
        const Result asFiles =
            run({QStringLiteral("./-y.avi"), QStringLiteral("--"), QStringLiteral("--x.avi")},
                "askoverwrite=0\n");
        QCOMPARE(asFiles.exitCode, 0);
        QCOMPARE(asFiles.lines.size(), 2);
        QVERIFY(QFileInfo::exists(out(QStringLiteral("-y.mp3"))));
        QVERIFY(QFileInfo::exists(out(QStringLiteral("--x.mp3"))));
    }

    // Names that ffmpeg would read as a protocol or an option are converted as the files they are,
    // and a name can never forge a result line.
    void oddNamesAreFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("file protocol") << "file:x.avi";
        QTest::newRow("pipe protocol") << "pipe:0.avi";
        QTest::newRow("option") << "-y.avi";
        QTest::newRow("concat") << "concat:x.avi";
        QTest::newRow("backslash and quote") << "a\\b\".avi";
        QTest::newRow("line break and duration") << "clip\n  Duration: 00:99:xx.avi";
        QTest::newRow("tab") << "t\tab.avi";
        QTest::newRow("longest name") << QString(251, QLatin1Char('n')) + QStringLiteral(".avi");
    }
    void oddNamesAreFiles()
    {
        QFETCH(QString, name);
        QVERIFY(QFile::copy(m_source, work(name)));
        writeFile(work(QStringLiteral("x.mp3")), "unrelated");
        const Result r = run({QStringLiteral("--"), name}, "askoverwrite=0\n");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 1);
        // A name as long as a file system takes is cut to leave room for the temporary name's suffix.
        const QString output = out(name.left(qMin<qsizetype>(name.size() - 4, 226)) + QStringLiteral(".mp3"));
        QCOMPARE(r.lines.at(0), ResultLine::line(QStringLiteral("Done!"), work(name), output).chopped(1));
        QVERIFY(readAll(output).size() > 1000);
        QCOMPARE(readAll(work(QStringLiteral("x.mp3"))), QByteArray("unrelated"));
    }

    // Outputs of sources that share a name: a rerun pairs each source with its own output, and a
    // numbered name of a long one still fits the file system.
    void rerunsPairEachSourceWithItsOwn()
    {
        QDir().mkpath(work(QStringLiteral("a")));
        QDir().mkpath(work(QStringLiteral("b")));
        const QString first = work(QStringLiteral("a/x.avi"));
        const QString second = work(QStringLiteral("b/x.mkv"));
        const QString longName = work(QString(247, QLatin1Char('l')) + QStringLiteral(".avi"));
        for (const QString &source : {first, second, longName})
            QVERIFY(QFile::copy(m_source, source));
        const QString longOutput = out(QString(226, QLatin1Char('l')) + QStringLiteral(".mp3"));
        const Result made = run({first, second, longName}, "askoverwrite=0\n");
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(
            made.lines,
            (QList<QByteArray>{
                ResultLine::line(QStringLiteral("Done!"), first, out(QStringLiteral("x.mp3"))).chopped(1),
                ResultLine::line(QStringLiteral("Done!"), second, out(QStringLiteral("x (1).mp3")))
                    .chopped(1),
                ResultLine::line(QStringLiteral("Done!"), longName, longOutput).chopped(1)}));
        const Result skipped = run({QStringLiteral("--existing=skip"), first, second}, "askoverwrite=0\n");
        QCOMPARE(
            skipped.lines,
            (QList<QByteArray>{
                ResultLine::line(QStringLiteral("Skipped"), first, out(QStringLiteral("x.mp3"))).chopped(1),
                ResultLine::line(QStringLiteral("Skipped"), second, out(QStringLiteral("x (1).mp3")))
                    .chopped(1)}));
        const Result renamed = run({QStringLiteral("--existing=rename"), longName}, "askoverwrite=0\n");
        QCOMPARE(renamed.exitCode, 0);
        QCOMPARE(renamed.lines.size(), 1);
        const QString numbered = out(QString(222, QLatin1Char('l')) + QStringLiteral(" (1).mp3"));
        QCOMPARE(renamed.lines.at(0),
                 ResultLine::line(QStringLiteral("Done!"), longName, numbered).chopped(1));
        QVERIFY(leftovers(out(QString())).isEmpty());
    }

    // An encoder that says it succeeded has not, unless its output holds audio; one that hangs is
    // stopped; nothing it left half-written remains.
    void falseSuccessesFail_data()
    {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("ends well, writes nothing") << "exit 0\n"
                                                   << QByteArray() << QByteArray("the encoder wrote no file");
        QTest::newRow("ends well, writes no audio")
            << "for a; do out=$a; done\nprintf 'not audio' > \"$out\"\nexit 0\n"
            << QByteArray() << QByteArray("the encoder wrote no audio");
        QTest::newRow("buffer too small, writes nothing")
            << "echo 'output buffer too small' >&2\nexit 1\n"
            << QByteArray() << QByteArray("the encoder wrote no file");
        QTest::newRow("stalls") << "exec sleep 300\n"
                                << QByteArray("stalltimeout=1\n")
                                << QByteArray("the encoder stopped responding");
    }
    void falseSuccessesFail()
    {
        QFETCH(QString, encoder);
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, reason);
        QVERIFY(QFile::copy(m_source, work(QStringLiteral("a.avi"))));
        const Result r = run({work(QStringLiteral("a.avi"))}, settings, encoder);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.at(0).startsWith("Failed\t") && r.lines.at(0).endsWith(reason), r.lines.at(0));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("a.mp3"))));
        QVERIFY(leftovers(out(QString())).isEmpty());
    }

    // A full disk is told in the encoder's own words, naming the output; nothing half-written stays.
    void fullDiskIsTheReason()
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=256k"), QStringLiteral("tmpfs"), out(QString())});
        if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount =
            qScopeGuard([this] { QProcess::execute(QStringLiteral("umount"), {out(QString())}); });
        const QString input = work(QStringLiteral("long.mkv"));
        QVERIFY(TestMedia::make(input, {30.0, false, true, {}}));
        const Result r = run({input}, "codec=1\n");
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.at(0).startsWith("Failed\t") && r.lines.at(0).endsWith(": No space left on device"),
                 r.lines.at(0));
        QVERIFY2(!r.lines.at(0).contains(".part"), r.lines.at(0));
        QCOMPARE(QDir(out(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void audioWithoutPacketsFails()
    {
        const QString input = work(QStringLiteral("silent.mkv"));
        QVERIFY(TestMedia::make(input, {1.0, true, true, {"-af", "atrim=end_sample=0"}}));
        const Result r = run({input});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.lines.value(0).endsWith("\tthe encoder wrote no audio"), r.lines.value(0));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("silent.mp3"))));

        // No audio stream at all: said in those words, though an unattended run probes nothing.
        const QString mute = work(QStringLiteral("mute.mkv"));
        QVERIFY(TestMedia::make(mute, {1.0, true, false, {"-c:v", "mpeg4"}}));
        const Result m = run({mute});
        QCOMPARE(m.exitCode, 2);
        QVERIFY2(m.lines.value(0).endsWith("\tno audio stream"), m.lines.value(0));
    }

    // A termination signal stops the batch as Stop does; even SIGKILL leaves no encoder running.
    void signalsStopTheBatch_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGKILL") << int(SIGKILL);
    }
    void signalsStopTheBatch()
    {
        QFETCH(int, signalNumber);
        const QString a = work(QStringLiteral("a.avi"));
        const QString b = work(QStringLiteral("b.avi"));
        QVERIFY(QFile::copy(m_source, a));
        QVERIFY(QFile::copy(m_source, b));
        writeFile(out(QStringLiteral("a.mp3")), "OLD");
        const QString pidFile = work(QStringLiteral("encoder.pid"));
        QProcess *p = start({a, b, QStringLiteral("--existing=overwrite")}, {},
                            "for a; do out=$a; done\nprintf partial > \"$out\"\necho $$ > \"$PIDFILE\"\n"
                            "exec sleep 300\n");
        QTRY_VERIFY_WITH_TIMEOUT(readAll(pidFile).endsWith('\n'), 20000);
        const qint64 encoder = readAll(pidFile).trimmed().toLongLong();
        QVERIFY(encoder > 0);
        ::kill(pid_t(p->processId()), signalNumber);
        QVERIFY(p->waitForFinished(20000));
        QVERIFY(processGone(encoder));
        QCOMPARE(readAll(out(QStringLiteral("a.mp3"))), QByteArray("OLD"));
        if (signalNumber == SIGKILL)
            return; // nothing can clean up after that
        QVERIFY(leftovers(out(QString())).isEmpty());
        QCOMPARE(p->exitCode(), 128 + signalNumber);
        const QList<QByteArray> lines = p->readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith("Stopped\t" + QFile::encodeName(a)), lines.at(0));
        QVERIFY2(lines.at(1).startsWith("Stopped\t" + QFile::encodeName(b)), lines.at(1));
        // The settings were saved as at a normal end.
        QVERIFY(readAll(work(QStringLiteral("config/Morvexa/quorrel.conf"))).contains("askoverwrite"));
    }

    // With a display too, an unattended run never waits for a person: its boxes go to standard error.
    void unattendedWithADisplayNeverWaits()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
        QVERIFY(server.waitForReadyRead(20000));
        const QByteArray display = ':' + server.readAllStandardOutput().trimmed();
        QVERIFY(QFile::copy(m_source, work(QStringLiteral("a.avi"))));

        auto *p = new QProcess(this);
        QDir().mkpath(work(QStringLiteral("config/Morvexa")));
        writeFile(work(QStringLiteral("config/Morvexa/quorrel.conf")),
                  "[Settings]\nwidth=abc\noutput=" + QFile::encodeName(out(QString())) + '\n');
        QProcessEnvironment env = AppTest::headlessEnvironment(work(QStringLiteral("config")));
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(TOLVANE_EXECUTABLE),
                 {QStringLiteral("/AUTOMATE"), work(QStringLiteral("a.avi"))});
        const bool ended = p->waitForFinished(60000);
        if (!ended)
            p->kill();
        server.terminate();
        server.waitForFinished();
        QVERIFY(ended);
        QCOMPARE(p->exitCode(), 0);
        QVERIFY2(p->readAllStandardError().contains("Invalid data type for 'width'"), "box not printed");
    }

    void resultFieldsAreEscaped()
    {
        QCOMPARE(ResultLine::escapeField(QStringLiteral("a\\b\nc\rd\te")), QByteArray("a\\\\b\\nc\\rd\\te"));
        QCOMPARE(
            ResultLine::escapeField(QStringLiteral("x") + QChar(0xDCFF) + QChar(0x01) + QStringLiteral("é")),
            QByteArray("x\\xff\\x01\xc3\xa9"));
    }
};

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
