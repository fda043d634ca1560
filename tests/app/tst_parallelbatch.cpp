#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include "app/commandline.h"
#include "app/filelist.h"
#include "app/mainform.h"
#include "app/settingsform.h"
#include "batch/batchtexts.h"
#include "settings/config.h"
#include "settings/options.h"
#include "settings/store.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
QTemporaryDir *media = nullptr;

QString clip(const QString &name)
{
    return media->filePath(name);
}

QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files);
    names.sort();
    return names;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestParallelBatch : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private:
    QTemporaryDir m_out;
    QStringList m_six;

    std::unique_ptr<Tmainform> open(const QStringList &paths, const RunOverrides &overrides = {})
    {
        return AppTest::openForBatch(paths, m_out.path(), overrides);
    }

    QString out(const QString &name) const { return m_out.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        media = new QTemporaryDir;
        for (int i = 0; i < 6; ++i) {
            const QString name = clip(QStringLiteral("c%1.avi").arg(i));
            QVERIFY(TestMedia::make(name, {1.0 + i * 0.5, true, true, {}}));
            m_six << name;
        }
        QVERIFY(TestMedia::make(clip(QStringLiteral("long.mkv")),
                                {300.0, false, true, {"-c:a", "pcm_s16le", "-ar", "8000", "-ac", "1"}}));
        writeFile(clip(QStringLiteral("broken.avi")), "no video here");
        QDir().mkpath(clip(QStringLiteral("a")));
        QDir().mkpath(clip(QStringLiteral("b")));
        QVERIFY(QFile::copy(m_six.at(0), clip(QStringLiteral("a/clip.avi"))));
        QVERIFY(TestMedia::make(clip(QStringLiteral("b/clip.mkv")), {2.0, true, true, {}}));
    }
    void cleanupTestCase() { delete media; }
    void init()
    {
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
    }

    void sameResultsWithOneTwoAndThreeJobs()
    {
        QStringList outputsOfOne;
        for (int jobs : {1, 2, 3}) {
            init();
            DialogRecorder dialogs;
            auto w = open(m_six, {jobs, {}});
            QCOMPARE(w->effectiveJobs(), jobs);
            int mostRunning = 0;
            QTimer watch;
            connect(&watch, &QTimer::timeout, this, [&] {
                mostRunning =
                    qMax(mostRunning,
                         int(AppTest::statuses(w->files).filter(QStringLiteral("Processing")).size()));
            });
            watch.start(0);
            QVERIFY(AppTest::runBatch(w.get()));
            watch.stop();
            QCOMPARE(AppTest::statuses(w->files), QStringList(6, QStringLiteral("Done!")));
            QVERIFY(mostRunning <= jobs);
            const QStringList outputs = filesIn(m_out.path());
            if (jobs == 1)
                outputsOfOne = outputs;
            QCOMPARE(outputs, outputsOfOne);
            QCOMPARE(outputs.size(), 6);
            QVERIFY(w->statusBar()->currentMessage().startsWith(QStringLiteral("6 converted, 0 failed in ")));
        }
    }

    void brokenFileInTheMiddleOfAParallelBatch()
    {
        DialogRecorder dialogs;
        auto w =
            open({m_six.at(0), m_six.at(1), clip(QStringLiteral("broken.avi")), m_six.at(2), m_six.at(3)},
                 {2, {}});
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Done!", "Failed", "Done!", "Done!"}));
        QVERIFY(!QFile::exists(out(QStringLiteral("broken.mp3"))));
        QVERIFY(w->statusBar()->currentMessage().startsWith(QStringLiteral("4 converted, 1 failed")));
    }

    void stopEndsEveryRunningFile()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("long.mkv")), m_six.at(5), m_six.at(1), m_six.at(2)}, {2, {}});
        bool stopped = false;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] {
            // Stop once the long file runs beside another one.
            if (!stopped && w->files->topLevelItem(0)->text(4).startsWith(QStringLiteral("Processing")) &&
                AppTest::statuses(w->files).filter(QStringLiteral("Processing")).size() == 2) {
                stopped = true;
                w->Cancel();
            }
        });
        t.start(0);
        QVERIFY(AppTest::runBatch(w.get()));
        t.stop();
        const QStringList s = AppTest::statuses(w->files);
        QCOMPARE(s.at(0), QStringLiteral("Stopped"));
        QVERIFY(s.at(1) == QLatin1String("Stopped") || s.at(1) == QLatin1String("Done!"));
        QVERIFY(!s.contains(QStringLiteral("Processing...")));
        QVERIFY(s.count(QStringLiteral("Ready")) >= 1);
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3"))));
        QCOMPARE(w->ProgressBar->value(), 0);
    }

    void existingOutputPolicies()
    {
        DialogRecorder dialogs;
        auto w = open({m_six.at(0)});
        const QString target = out(QStringLiteral("c0.mp3"));

        // Skip: untouched, row says so.
        writeFile(target, "mine");
        cfg.existing = int(ExistingPolicy::Skip);
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Skipped"});
        QCOMPARE(readFile(target), QByteArray("mine"));

        // Keep both: the first free numbered name.
        writeFile(out(QStringLiteral("c0 (1).mp3")), "also mine");
        cfg.existing = int(ExistingPolicy::Rename);
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Done!"});
        QCOMPARE(readFile(target), QByteArray("mine"));
        QCOMPARE(readFile(out(QStringLiteral("c0 (1).mp3"))), QByteArray("also mine"));
        QVERIFY(QFileInfo(out(QStringLiteral("c0 (2).mp3"))).size() > 1000);

        // Overwrite.
        cfg.existing = int(ExistingPolicy::Overwrite);
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(QFileInfo(target).size() > 1000);

        // With the prompt on, the question comes instead of the policy.
        writeFile(target, "mine");
        cfg.askoverwrite = true;
        cfg.existing = int(ExistingPolicy::Skip);
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Yes, {}};
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(dialogs.requests.constLast().text, QStringLiteral("This file already exists. Overwrite?"));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Done!"});
        QVERIFY(QFileInfo(target).size() > 1000);
        QVERIFY(dialogs.requests.size() == 1);
    }

    void sameNameFromTwoFoldersKeepsBoth()
    {
        DialogRecorder dialogs;
        for (int jobs : {1, 2}) {
            init();
            auto w =
                open({clip(QStringLiteral("a/clip.avi")), clip(QStringLiteral("b/clip.mkv"))}, {jobs, {}});
            cfg.existing = int(ExistingPolicy::Overwrite); // whatever the policy
            QVERIFY(AppTest::runBatch(w.get()));
            QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Done!"}));
            QCOMPARE(filesIn(m_out.path()), (QStringList{"clip (1).mp3", "clip.mp3"}));
        }
    }

    void commandLineOverrides()
    {
        CommandLine cl = parseCommandLine({QStringLiteral("/AUTOMATE"), QStringLiteral("--jobs=3"),
                                           QStringLiteral("x.avi"), QStringLiteral("--existing=rename")});
        QVERIFY(cl.automate);
        QCOMPARE(cl.jobs, 3);
        QCOMPARE(cl.existing, std::optional<ExistingPolicy>(ExistingPolicy::Rename));
        QCOMPARE(cl.arguments, (QStringList{"/AUTOMATE", "x.avi"}));
        QVERIFY(cl.error.isEmpty());
        QVERIFY(!parseCommandLine({QStringLiteral("--jobs=0")}).error.isEmpty());
        QVERIFY(!parseCommandLine({QStringLiteral("--jobs=two")}).error.isEmpty());
        QVERIFY(!parseCommandLine({QStringLiteral("--existing=ask")}).error.isEmpty());
        QCOMPARE(parseCommandLine({QStringLiteral("--existing=skip")}).existing,
                 std::optional<ExistingPolicy>(ExistingPolicy::Skip));

        // The real program: an unattended run with the overrides; the stored settings stay.
        QTemporaryDir home;
        QTemporaryDir dir;
        for (int i = 0; i < 3; ++i)
            QVERIFY(QFile::copy(m_six.at(i), dir.filePath(QStringLiteral("v%1.avi").arg(i))));
        writeFile(dir.filePath(QStringLiteral("v0.mp3")), "keep");
        QDir().mkpath(home.filePath(QStringLiteral("Morvexa")));
        writeFile(home.filePath(QStringLiteral("Morvexa/quorrel.conf")),
                  "[Settings]\nsamefolder=1\njobs=1\nexisting=0\n");
        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(home.path()));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/AUTOMATE"), QStringLiteral("--jobs=2"),
                                                     dir.path(), QStringLiteral("--existing=skip")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(output.contains(QStringLiteral("Skipped\t") + dir.filePath(QStringLiteral("v0.avi"))));
        QCOMPARE(output.count(QStringLiteral("Done!\t")), 2);
        QCOMPARE(readFile(dir.filePath(QStringLiteral("v0.mp3"))), QByteArray("keep"));
        const QByteArray stored = readFile(home.filePath(QStringLiteral("Morvexa/quorrel.conf")));
        QVERIFY(stored.contains("jobs=1"));
        QVERIFY(stored.contains("existing=0"));

        // Every output there already: the batch ends while the window is still being made, and the
        // run still ends by itself.
        p.start(QStringLiteral(TOLVANE_EXECUTABLE),
                {QStringLiteral("/AUTOMATE"), QStringLiteral("--existing=skip"), dir.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).count(QStringLiteral("Skipped\t")), 3);

        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("--jobs=many")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
    }

    void settingsRoundTrip()
    {
        DialogRecorder dialogs;
        QFile::remove(QDir(AppTest::configHome()).filePath(QStringLiteral("Morvexa/quorrel.conf")));
        {
            auto w = std::make_unique<Tmainform>(QStringList());
            Tsettingsform *s = w->settingsform;
            QCOMPARE(s->jobs->count(), Options::maximumJobs());
            QVERIFY(s->jobs->count() >= 4);
            QCOMPARE(s->jobs->currentText(), QStringLiteral("1"));
            QCOMPARE(s->existing->currentIndex(), 0);
            QCOMPARE(s->existing->itemText(2), QStringLiteral("Keep both (add a number)"));
            s->jobs->setCurrentIndex(2);
            Q_EMIT s->jobs->activated(2);
            s->existing->setCurrentIndex(1);
            Q_EMIT s->existing->activated(1);
            QVERIFY(w->close());
        }
        {
            auto w = std::make_unique<Tmainform>(QStringList());
            QCOMPARE(cfg.jobs, 3);
            QCOMPARE(cfg.existing, 1);
            QCOMPARE(w->settingsform->jobs->currentText(), QStringLiteral("3"));
            QCOMPARE(w->effectiveJobs(), 3);
            QCOMPARE(w->effectiveExisting(), ExistingPolicy::Skip);
            QVERIFY(w->close());
        }
        // A stored count outside the list means 1.
        writeFile(QDir(AppTest::configHome()).filePath(QStringLiteral("Morvexa/quorrel.conf")),
                  "[Settings]\njobs=999\nexisting=7\n");
        auto w = std::make_unique<Tmainform>(QStringList());
        QCOMPARE(w->effectiveJobs(), 1);
        QCOMPARE(w->settingsform->jobs->currentText(), QStringLiteral("1"));
        QCOMPARE(w->effectiveExisting(), ExistingPolicy::Overwrite);
    }

    // With TOLVANE_SCREENSHOT set to a folder, saves a picture of the window during a parallel batch.
    void screenshotDuringAParallelBatch()
    {
        const QString dir = qEnvironmentVariable("TOLVANE_SCREENSHOT");
        if (dir.isEmpty())
            QSKIP("TOLVANE_SCREENSHOT not set");
        DialogRecorder dialogs;
        QVERIFY(QFile::copy(clip(QStringLiteral("long.mkv")), clip(QStringLiteral("long 2.mkv"))));
        auto w = open({m_six.at(5), clip(QStringLiteral("long.mkv")), clip(QStringLiteral("long 2.mkv")),
                       m_six.at(4), m_six.at(3)},
                      {2, {}});
        bool saved = false;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] {
            if (!saved && w->statusBar()->currentMessage().contains(QStringLiteral("left")) &&
                AppTest::statuses(w->files).filter(QStringLiteral("%")).size() == 2) {
                saved = w->grab().save(dir + QStringLiteral("/parallel.png"));
                w->Cancel();
            }
        });
        t.start(50);
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(saved);
    }
};

QTEST_MAIN(TestParallelBatch)
#include "tst_parallelbatch.moc"
