// A second start of the program while a window is open for the same settings hands its files to that
// window and ends; an unattended run always runs on its own. The window's side is the real listener,
// the second start the real program.
#include "apptest.h"

#include "app/instancehandover.h"
#include "settings/config.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSecondStart : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_runtime;
    QTemporaryDir m_work;

    // Runs the real program in the work folder; its exit code, -1 when it did not end.
    int runProgram(const QStringList &arguments, const QProcessEnvironment &env)
    {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(m_work.path());
        program.start(QStringLiteral(TOLVANE_EXECUTABLE), arguments);
        // The listener answers on this event loop.
        if (!QTest::qWaitFor([&program] { return program.state() == QProcess::NotRunning; }, 20000)) {
            program.kill();
            program.waitForFinished();
            return -1;
        }
        return program.exitCode();
    }

    QProcessEnvironment windowEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); }

    void filesGoToTheOpenWindow()
    {
        QList<QStringList> received;
        InstanceHandover window(InstanceHandover::serverName(programSettingsPath()),
                                [&received](const QStringList &files) { received << files; });
        QVERIFY(window.isListening());
        // Named under the runtime folder, after the settings file.
        QVERIFY(InstanceHandover::serverName(programSettingsPath())
                    .startsWith(m_runtime.path() + QLatin1Char('/')));
        QVERIFY(InstanceHandover::serverName(programSettingsPath()) !=
                InstanceHandover::serverName(programSettingsPath() + QStringLiteral(".other")));

        // Relative names are made absolute first: the window has another working folder.
        QCOMPARE(runProgram({QStringLiteral("a.avi"), QStringLiteral("sub/-b\nc.avi")}, windowEnvironment()),
                 0);
        QCOMPARE(received, (QList<QStringList>{{m_work.filePath(QStringLiteral("a.avi")),
                                                m_work.filePath(QStringLiteral("sub/-b\nc.avi"))}}));
        // Without files the window only comes to the front.
        QCOMPARE(runProgram({}, windowEnvironment()), 0);
        QCOMPARE(received.size(), 2);
        QCOMPARE(received.constLast(), QStringList());

        // A wrong option hands nothing over: the second start says so and ends.
        QCOMPARE(runProgram({QStringLiteral("--exsting=skip"), QStringLiteral("a.avi")}, windowEnvironment()),
                 2);
        QCOMPARE(received.size(), 2);

        // An unattended run does its own work: nothing to convert here.
        QCOMPARE(runProgram({QStringLiteral("/AUTOMATE"), QStringLiteral("missing.avi")},
                            AppTest::headlessEnvironment(AppTest::configHome())),
                 1);
        QCOMPARE(received.size(), 2);
    }

    void aDeadWindowsSocketIsTakenOver()
    {
        const QString name = InstanceHandover::serverName(programSettingsPath());
        {
            InstanceHandover first(name, [](const QStringList &) {});
            QVERIFY(first.isListening());
        }
        // A file left where a window that died listened.
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        InstanceHandover second(name, [](const QStringList &) {});
        QVERIFY(second.isListening());
        QVERIFY(!InstanceHandover::handTo(name + QStringLiteral("-none"), {}, 500));
    }
};

QTEST_MAIN(TestSecondStart)
#include "tst_secondstart.moc"
