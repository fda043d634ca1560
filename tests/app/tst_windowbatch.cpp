// What of the batch belongs to the window and the program: the bar, the status line, the folder
// opened at the end, the settings page of the batch, and unattended runs of the real program.
#include "app/logwindow.h"
#include "apptest.h"
#include "convert/commandline.h"
#include "dialogrecorder.h"
#include "testfiles.h"
#include "testmedia.h"

#include "app/commandline.h"
#include "app/filelist.h"
#include "app/mainform.h"
#include "app/settingsform.h"
#include "app/statuscell.h"
#include "platform/environment.h"
#include "settings/config.h"
#include "settings/options.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {} // namespace

class TestWindowBatch : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private:
    QTemporaryDir m_media;
    QTemporaryDir m_out;

    QString clip(const QString &name) const { return m_media.filePath(name); }
    QString settingsFile() const
    {
        return QDir(AppTest::configHome()).filePath(QStringLiteral("Morvexa/quorrel.conf"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestMedia::make(clip(QStringLiteral("one.avi")), {3.0, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("two.avi")), {2.0, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("three.avi")), {1.5, true, true, {}}));
        TestFiles::write(clip(QStringLiteral("broken.avi")), "this is no video at all");
    }
    void init()
    {
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
        QFile::remove(settingsFile());
        Environment::setEncoderPathForTesting(QString());
    }

    // The bar and the status line show the batch, and the output folder opens at the end when asked to;
    // the running file's row holds its percent, one file at a time or several.
    void theWindowShowsTheBatch_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QString>("running"); // the row's text halfway
        QTest::newRow("one at a time") << 1 << "Processing...";
        QTest::newRow("parallel") << 2 << "Processing... 50%";
    }
    void theWindowShowsTheBatch()
    {
        QFETCH(int, jobs);
        QFETCH(QString, running);
        // Halfway reported for a while, whatever the machine's speed; then the real encoder.
        QTemporaryDir bin;
        const QString fake = bin.filePath(QStringLiteral("fake-encoder"));
        TestFiles::write(fake,
                         "#!/bin/sh\n"
                         "echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s' >&2\n"
                         "sleep 0.3; echo 'size= 1kB time=00:00:05.00 bitrate=1kbits/s' >&2; sleep 0.3\n"
                         "exec ffmpeg \"$@\"\n");
        QVERIFY(QFile::setPermissions(fake, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Environment::setEncoderPathForTesting(fake);

        DialogRecorder dialogs;
        RunOverrides overrides;
        overrides.jobs = jobs;
        auto w = AppTest::openForBatch({clip(QStringLiteral("one.avi"))}, m_out.path(), overrides);
        AppTest::settings().openfolder = true;
        // Every state the status cell passes through: its text and its percent.
        QList<std::pair<QString, QVariant>> cells;
        const QModelIndex cell = AppTest::files(*w)->model()->index(0, TFileList::statusColumn);
        connect(AppTest::files(*w)->model(), &QAbstractItemModel::dataChanged, this, [&] {
            const std::pair<QString, QVariant> now{cell.data().toString(),
                                                   cell.data(StatusCell::percentRole)};
            if (cells.isEmpty() || cells.constLast() != now)
                cells << now;
        });
        QList<int> values;
        connect(AppTest::progressBar(*w), &QProgressBar::valueChanged, this,
                [&values](int v) { values << v; });
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY2(std::any_of(values.cbegin(), values.cend(), [](int v) { return v > 0 && v < 100; }),
                 qPrintable(QString::number(values.size())));
        QCOMPARE(AppTest::progressBar(*w)->value(), 0);
        QVERIFY(w->statusBar()->currentMessage().startsWith(QStringLiteral("1 converted, 0 failed in ")));
        QCOMPARE(dialogs.launches.size(), 1);
        QCOMPARE(dialogs.launches.at(0).target, m_out.path());
        QVERIFY2(cells.contains({running, QVariant(50)}), qPrintable(cells.constLast().first));
        QCOMPARE(cells.constLast(), (std::pair<QString, QVariant>{QStringLiteral("Done!"), QVariant()}));
        QVERIFY(!cell.data(Qt::DecorationRole).value<QIcon>().isNull());
    }

    // A failed row tells why in a short tooltip; its log has the whole story, ready to copy.
    void aFailedRowTellsWhyAndShowsItsLog()
    {
        QTemporaryDir bin;
        const QString fake = bin.filePath(QStringLiteral("fake-encoder"));
        TestFiles::write(fake, "#!/bin/sh\n"
                               "for n in 1 2 3 4 5 6; do echo \"  libavcodec 59.$n\" >&2; done\n"
                               "for n in 1 2 3 4 5 6 7 8 9 10 11; do echo \"error line $n\" >&2; done\n"
                               "printf 'error line 12 %0600d\\n' 0 >&2\n"
                               "exit 1\n");
        QVERIFY(QFile::setPermissions(fake, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Environment::setEncoderPathForTesting(fake);
        DialogRecorder dialogs;
        auto w = AppTest::openForBatch({clip(QStringLiteral("one.avi"))}, m_out.path());
        QVERIFY(AppTest::runBatch(w.get()));
        const QModelIndex row = AppTest::cell(AppTest::files(*w), 0, TFileList::statusColumn);
        QCOMPARE(row.data().toString(), QStringLiteral("Failed"));
        const QString tip = row.data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QLatin1String("error line 5<br>")) &&
                     !tip.contains(QLatin1String("error line 4<")) &&
                     !tip.contains(QLatin1String("libavcodec")),
                 qPrintable(tip.left(300)));
        QVERIFY(tip.startsWith(QLatin1String("<table width=\"600\">")));

        AppTest::selectRow(AppTest::files(*w), 0);
        w->showLog();
        QVERIFY(w->logWindow() && w->logWindow()->isVisible());
        const QString log = w->logWindow()->text();
        QVERIFY2(log.startsWith(quoteArgument(fake) + QStringLiteral(" -y -i ")), qPrintable(log.left(200)));
        QVERIFY(log.contains(QLatin1String("libavcodec 59.1\n")) &&
                log.contains(QLatin1String("error line 12")));
        w->logWindow()->findChild<QPushButton *>(QStringLiteral("copyButton"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), log);
    }

    void settingsRoundTrip()
    {
        DialogRecorder dialogs;
        {
            auto w = AppTest::openWindow();
            Tsettingsform *s = AppTest::settingsForm(*w);
            QCOMPARE(AppTest::control<QComboBox>(s, "jobs")->count(), Options::maximumJobs());
            QVERIFY(AppTest::control<QComboBox>(s, "jobs")->count() >= 4);
            QCOMPARE(AppTest::control<QComboBox>(s, "jobs")->currentText(), QStringLiteral("1"));
            QCOMPARE(AppTest::control<QComboBox>(s, "existing")->currentIndex(), 0);
            QCOMPARE(AppTest::control<QComboBox>(s, "existing")->itemText(2),
                     QStringLiteral("Keep both (add a number)"));
            AppTest::control<QComboBox>(s, "jobs")->setCurrentIndex(2);
            Q_EMIT AppTest::control<QComboBox>(s, "jobs")->activated(2);
            AppTest::control<QComboBox>(s, "existing")->setCurrentIndex(1);
            Q_EMIT AppTest::control<QComboBox>(s, "existing")->activated(1);
            QVERIFY(w->close());
        }
        {
            auto w = AppTest::openWindow();
            QCOMPARE(AppTest::settings().jobs, 3);
            QCOMPARE(AppTest::settings().existing, 1);
            QCOMPARE(AppTest::control<QComboBox>(AppTest::settingsForm(*w), "jobs")->currentText(),
                     QStringLiteral("3"));
            QCOMPARE(w->effectiveJobs(), 3);
            QCOMPARE(w->effectiveExisting(), ExistingPolicy::Skip);
            QVERIFY(w->close());
        }
        // A stored count outside the list means 1.
        TestFiles::write(settingsFile(), "[Settings]\njobs=999\nexisting=7\n");
        auto w = AppTest::openWindow();
        QCOMPARE(w->effectiveJobs(), 1);
        QCOMPARE(AppTest::control<QComboBox>(AppTest::settingsForm(*w), "jobs")->currentText(),
                 QStringLiteral("1"));
        QCOMPARE(w->effectiveExisting(), ExistingPolicy::Overwrite);
    }

    void unattendedRunOfTheProgram()
    {
        QTemporaryDir home;
        QTemporaryDir dir;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("one.avi")), dir.filePath(QStringLiteral("a.avi"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("two.avi")), dir.filePath(QStringLiteral("b.avi"))));
        QDir().mkpath(home.filePath(QStringLiteral("Morvexa")));
        const QString settings = home.filePath(QStringLiteral("Morvexa/quorrel.conf"));
        TestFiles::write(settings, "[Settings]\nsamefolder=1\nwidth=700\ncol0=123\n");

        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(home.path()));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/AUTOMATE"), dir.path()});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a.mp3"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("b.mp3"))));
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Done!\t"));
        // Written at the end as the window writes them, with the window's size and columns as they were.
        const QByteArray written = TestFiles::read(settings);
        QVERIFY(written.contains("askoverwrite"));
        QVERIFY(written.contains("width=700\n") && written.contains("col0=123\n"));

        QVERIFY(AppTest::copyFile(clip(QStringLiteral("broken.avi")), dir.filePath(QStringLiteral("c.avi"))));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/automate"), dir.path()});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 2);
        const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(output.contains(QStringLiteral("Failed\t") + dir.filePath(QStringLiteral("c.avi")) +
                                QLatin1Char('\t')));
        QCOMPARE(output.count(QStringLiteral("Skipped\t")), 2); // nobody said yes to overwriting

        // A batch that cannot start ends the run as failed rather than waiting for nobody.
        TestFiles::write(settings, "[Settings]\nsamefolder=0\noutput=/nonexistent/folder\n");
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/AUTOMATE"), dir.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains(
            "Output folder does not exists! Please select another folder."));
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
        QCOMPARE(parseCommandLine({QStringLiteral("--format=flac")}).format, std::optional<int>(4));
        QCOMPARE(parseCommandLine({QStringLiteral("--format=original")}).format, std::optional<int>(6));
        QVERIFY(!parseCommandLine({QStringLiteral("--format=mp4")}).error.isEmpty());

        // The real program: an unattended run with the overrides; the stored settings stay.
        QTemporaryDir home;
        QTemporaryDir dir;
        const QStringList clips{QStringLiteral("one.avi"), QStringLiteral("two.avi"),
                                QStringLiteral("three.avi")};
        for (int i = 0; i < 3; ++i)
            QVERIFY(QFile::copy(clip(clips.at(i)), dir.filePath(QStringLiteral("v%1.avi").arg(i))));
        TestFiles::write(dir.filePath(QStringLiteral("v0.mp3")), "keep");
        QDir().mkpath(home.filePath(QStringLiteral("Morvexa")));
        TestFiles::write(home.filePath(QStringLiteral("Morvexa/quorrel.conf")),
                         "[Settings]\nsamefolder=1\njobs=1\nexisting=0\n");
        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(home.path()));
        // Named one by one: a folder scan would take the existing MP3 as an input of its own.
        p.start(QStringLiteral(TOLVANE_EXECUTABLE),
                {QStringLiteral("/AUTOMATE"), QStringLiteral("--jobs=2"),
                 dir.filePath(QStringLiteral("v0.avi")), dir.filePath(QStringLiteral("v1.avi")),
                 dir.filePath(QStringLiteral("v2.avi")), QStringLiteral("--existing=skip")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(output.contains(QStringLiteral("Skipped\t") + dir.filePath(QStringLiteral("v0.avi"))));
        QCOMPARE(output.count(QStringLiteral("Done!\t")), 2);
        QCOMPARE(TestFiles::read(dir.filePath(QStringLiteral("v0.mp3"))), QByteArray("keep"));
        const QByteArray stored = TestFiles::read(home.filePath(QStringLiteral("Morvexa/quorrel.conf")));
        QVERIFY(stored.contains("jobs=1"));
        QVERIFY(stored.contains("existing=0"));

        // Every output there already: the batch ends at once, and the run still ends by itself.
        p.start(QStringLiteral(TOLVANE_EXECUTABLE),
                {QStringLiteral("/AUTOMATE"), QStringLiteral("--existing=skip"),
                 dir.filePath(QStringLiteral("v0.avi")), dir.filePath(QStringLiteral("v1.avi")),
                 dir.filePath(QStringLiteral("v2.avi"))});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).count(QStringLiteral("Skipped\t")), 3);

        // The audio as it is, for this run only: told on standard error, the result line as ever.
        p.start(QStringLiteral(TOLVANE_EXECUTABLE),
                {QStringLiteral("/AUTOMATE"), QStringLiteral("--format=original"),
                 QStringLiteral("--existing=rename"), dir.filePath(QStringLiteral("v1.avi"))});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QStringLiteral("Done!\t%1\t%2\n")
                .arg(dir.filePath(QStringLiteral("v1.avi")), dir.filePath(QStringLiteral("v1 (1).mp3"))));
        QVERIFY(p.readAllStandardError().contains("copied\t" +
                                                  QFile::encodeName(dir.filePath(QStringLiteral("v1.avi")))));
        QVERIFY(!TestFiles::read(home.filePath(QStringLiteral("Morvexa/quorrel.conf"))).contains("codec=6"));

        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("--jobs=many")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
    }

    // With TOLVANE_SCREENSHOT set to a folder, saves a picture of the window during a parallel batch.
    void screenshotDuringAParallelBatch()
    {
        const QString dir = qEnvironmentVariable("TOLVANE_SCREENSHOT");
        if (dir.isEmpty())
            QSKIP("TOLVANE_SCREENSHOT not set");
        const QStringList longs{clip(QStringLiteral("long.mkv")), clip(QStringLiteral("long 2.mkv"))};
        for (const QString &name : longs)
            QVERIFY(TestMedia::make(name,
                                    {300.0, false, true, {"-c:a", "pcm_s16le", "-ar", "8000", "-ac", "1"}}));
        DialogRecorder dialogs;
        RunOverrides twoJobs;
        twoJobs.jobs = 2;
        auto w = AppTest::openForBatch({clip(QStringLiteral("three.avi")), longs.at(0), longs.at(1),
                                        clip(QStringLiteral("two.avi")), clip(QStringLiteral("one.avi"))},
                                       m_out.path(), twoJobs);
        bool saved = false;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] {
            if (!saved && w->statusBar()->currentMessage().contains(QStringLiteral("left")) &&
                AppTest::statuses(AppTest::files(*w)).filter(QStringLiteral("%")).size() == 2) {
                saved = w->grab().save(dir + QStringLiteral("/parallel.png"));
                w->Cancel();
            }
        });
        t.start(50);
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(saved);
    }
};

QTEST_MAIN(TestWindowBatch)
#include "tst_windowbatch.moc"
