#include "apptest.h"
#include "dialogrecorder.h"
#include "hostilefolder.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "app/queuemodel.h"
#include "app/statuscell.h"
#include "batch/conversionqueue.h"
#include "batch/resultline.h"
#include "mediainfo/mywebbrowser.h"
#include "mediainfo/properties.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QTemporaryDir *media = nullptr;

QString clip(const QString &name)
{
    return media->filePath(name);
}

} // namespace

class TestConversionList : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private:
    static std::unique_ptr<Tmainform> open(const QStringList &args = {}) { return AppTest::openWindow(args); }

private Q_SLOTS:
    void initTestCase()
    {
        media = new QTemporaryDir;
        QVERIFY(TestMedia::make(clip(QStringLiteral("both.avi")), {3.2, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("silent.mkv")), {2.0, true, false, {"-c:v", "mpeg4"}}));
        QVERIFY(
            TestMedia::make(clip(QStringLiteral("sound.mkv")), {2.0, false, true, {"-c:a", "libvorbis"}}));
        QFile text(clip(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a video");
    }
    void cleanupTestCase() { delete media; }
    void init() { AppTest::settings() = config(); }

    void rowsShowTheProbedFacts()
    {
        DialogRecorder dialogs;
        auto w = open();
        // Through the dialog a file of any type goes in when it has sound (music.data); a file deleted before
        // it was added (gone.avi) gets its row too, and its conversion will say what is wrong.
        QVERIFY(QFile::copy(clip(QStringLiteral("sound.mkv")), clip(QStringLiteral("music.data"))));
        dialogs.answers << Dialogs::Reply{
            Dialogs::Answer::Ok,
            {clip(QStringLiteral("both.avi")), clip(QStringLiteral("silent.mkv")),
             clip(QStringLiteral("music.data")), clip(QStringLiteral("notes.txt")),
             clip(QStringLiteral("gone.avi"))}};
        w->AddFiles();
        QCOMPARE(AppTest::settings().recent, media->path() + QDir::separator());
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0),
                 (QStringList{"both", "silent", "music", "gone"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 1),
                 (QStringList{"MPEG-4 Visual/MPEG-1 Audio layer 3", "MPEG-4 Visual ASP/", "/Vorbis", "/"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 3), (QStringList{"0:03", "0:02", "0:02", "0:00"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 4), QStringList(4, QStringLiteral("Ready")));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 2).at(0), clip(QStringLiteral("both.avi")));
        QCOMPARE(w->queue().ignored(), (QList<std::pair<QString, QString>>{
                                           {clip(QStringLiteral("notes.txt")), "no audio stream"}}));
        // The new row is the focused one, not a selected one.
        QCOMPARE(AppTest::files(*w)->currentIndex().row(), 3);
        QVERIFY(!AppTest::files(*w)->selectionModel()->hasSelection());
    }

    // Add Folder scans in the background, with the window's subfolder setting.
    void stopDuringAScanKeepsTheRowsAdded()
    {
        QTemporaryDir tree;
        // Enough files that probing them on every core still outlasts a few refreshes of the list.
        for (int i = 0; i < 299; ++i)
            QCOMPARE(::link(QFile::encodeName(clip(QStringLiteral("both.avi"))).constData(),
                            QFile::encodeName(tree.filePath(QStringLiteral("c%1.avi").arg(i))).constData()),
                     0);
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("sub/c299.avi"))));
        DialogRecorder dialogs;
        auto w = open();
        AppTest::settings().recurse = true;
        // "Stop" arrives while the scan lets the window handle events between two files.
        bool stopped = false;
        QTimer stopper;
        connect(&stopper, &QTimer::timeout, this, [&] {
            if (!stopped && AppTest::files(*w)->model()->rowCount() >= 3) {
                stopped = true;
                w->Cancel();
            }
        });
        stopper.start(0);
        QSignalSpy messages(w->statusBar(), &QStatusBar::messageChanged);
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {tree.path()}};
        w->AddFolder();
        QVERIFY(w->isBusy());
        // Stop can end the scan, and the status bar counts what it found, then what it ended with.
        QVERIFY(w->actionFor(QStringLiteral("Stop"))->isEnabled());
        QTRY_VERIFY(!w->isBusy());
        QVERIFY(!messages.isEmpty());
        QVERIFY(messages.constFirst().constFirst().toString().startsWith(QStringLiteral("Scanning\u2026 ")));
        QCOMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("%1 files found").arg(AppTest::files(*w)->model()->rowCount()));
        QVERIFY(!w->actionFor(QStringLiteral("Stop"))->isEnabled());
        // A first folder dialog opens where videos usually are.
        QCOMPARE(dialogs.requests.constFirst().directory,
                 QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        stopper.stop();
        const int kept = AppTest::files(*w)->model()->rowCount();
        QVERIFY2(kept >= 3 && kept < 300, qPrintable(QString::number(kept)));
        // The next scan starts afresh.
        w->queueFolder(tree.path());
        w->processfolder();
        QTRY_VERIFY(!w->isBusy());
        QCOMPARE(AppTest::files(*w)->model()->rowCount(), 300);
        QCOMPARE(dialogs.requests.size(), 1); // the folder dialog, nothing else
        // The next one opens in the folder added last.
        w->AddFolder();
        QCOMPARE(dialogs.requests.constLast().directory, tree.path());
    }

    void dropOfFilesAndFolders()
    {
        QTemporaryDir tree;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("in folder.avi"))));
        DialogRecorder dialogs;
        auto w = open();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(clip(QStringLiteral("both.avi"))),
                      QUrl::fromLocalFile(clip(QStringLiteral("notes.txt"))),
                      QUrl::fromLocalFile(tree.path()),
                      QUrl(QStringLiteral("https://example.org/remote.avi"))});
        const QStringList names = droppedLocalNames(&mime);
        QCOMPARE(names.size(), 3); // the remote one is left out
        w->dropNames(names);
        // The video at once, then the folder's content after the scan.
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0).at(0), QStringLiteral("both"));
        QTRY_VERIFY(!w->isBusy());
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"both", "in folder"}));
    }

    // The list's model over a queue changed in every way; the tester checks every signal and answer.
    void modelFollowsTheQueue()
    {
        ConversionQueue queue;
        QueueModel model(queue);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        const QStringList names{QStringLiteral("both.avi"), QStringLiteral("silent.mkv"),
                                QStringLiteral("sound.mkv")};
        for (const QString &n : names)
            queue.addFile(clip(n));
        // Added files come in at once, when the view is next told.
        QCOMPARE(model.rowCount(), 0);
        model.showAdded();
        QCOMPARE(inserted.size(), 1);
        const auto texts = [&model](int column) {
            QStringList t;
            for (int r = 0; r < model.rowCount(); ++r)
                t << model.index(r, column).data().toString();
            return t;
        };
        QCOMPARE(texts(QueueModel::FileColumn), (QStringList{"both", "silent", "sound"}));
        QCOMPARE(texts(QueueModel::DurationColumn), (QStringList{"0:03", "0:02", "0:02"}));
        queue.move(0, 2);
        QCOMPARE(texts(QueueModel::FileColumn), (QStringList{"silent", "sound", "both"}));
        queue.move(2, 0);
        QCOMPARE(texts(QueueModel::FileColumn), (QStringList{"both", "silent", "sound"}));

        const int id = queue.at(1).id;
        const QModelIndex status = model.index(1, QueueModel::StatusColumn);
        queue.setStatus(id, QStringLiteral("Processing..."));
        model.setPercent(id, 42);
        QCOMPARE(status.data(StatusCell::percentRole).toInt(), 42);
        queue.setStatus(id, QStringLiteral("Failed"), QStringLiteral("broken pipe"));
        QVERIFY(!status.data(StatusCell::percentRole).isValid());
        QVERIFY(status.data(Qt::DecorationRole).isValid());
        QCOMPARE(status.data(Qt::ToolTipRole).toString(), QStringLiteral("broken pipe"));

        // A file added and another removed before the view is told: both reach it, in order.
        queue.addFile(clip(QStringLiteral("music.data")));
        queue.remove(queue.at(0).id);
        QCOMPARE(texts(QueueModel::FileColumn), (QStringList{"silent", "sound", "music"}));
        QCOMPARE(model.index(2, QueueModel::PathColumn).data().toString(),
                 clip(QStringLiteral("music.data")));
        queue.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    void draggingRowsReordersThem()
    {
        DialogRecorder dialogs;
        auto w = open();
        for (const QString &n :
             {QStringLiteral("both.avi"), QStringLiteral("silent.mkv"), QStringLiteral("sound.mkv")})
            w->addfile(clip(n));
        const auto pointOf = [&](int row) {
            return AppTest::files(*w)->visualRect(AppTest::cell(AppTest::files(*w), row)).center();
        };
        // Third onto first: it goes before it.
        AppTest::selectRow(AppTest::files(*w), 2);
        QVERIFY(AppTest::files(*w)->canDropOn(pointOf(0)));
        AppTest::files(*w)->moveSelectionTo(pointOf(0));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"sound", "both", "silent"}));
        QVERIFY(!AppTest::files(*w)->selectionModel()->hasSelection());
        // First onto third: it goes after it.
        AppTest::selectRow(AppTest::files(*w), 0);
        AppTest::files(*w)->moveSelectionTo(pointOf(2));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"both", "silent", "sound"}));
        // Onto itself: nothing changes; nowhere: not accepted.
        AppTest::selectRow(AppTest::files(*w), 1);
        AppTest::files(*w)->moveSelectionTo(pointOf(1));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"both", "silent", "sound"}));
        QVERIFY(!AppTest::files(*w)->canDropOn(QPoint(5, AppTest::files(*w)->viewport()->height() - 2)));
        // Moved rows keep their texts and stay known as listed.
        QVERIFY(w->isListed(clip(QStringLiteral("sound.mkv"))));
        QCOMPARE(AppTest::cell(AppTest::files(*w), 2, 2).data().toString(),
                 clip(QStringLiteral("sound.mkv")));
    }

    void filePropertiesShowsTheSelectedRow()
    {
        DialogRecorder dialogs;
        auto w = open();
        w->showFileProperties(); // nothing selected: nothing happens
        QVERIFY(!w->fileProperties() || !w->fileProperties()->isVisible());
        w->addfile(clip(QStringLiteral("both.avi")));
        AppTest::selectRow(AppTest::files(*w), 0);
        Q_EMIT AppTest::files(*w)->doubleClicked(AppTest::cell(AppTest::files(*w), 0));
        QVERIFY(w->fileProperties() && w->fileProperties()->isVisible());
        QVERIFY(w->fileProperties()->WebBrowser->toPlainText().contains(clip(QStringLiteral("both.avi"))));
        QVERIFY(
            w->fileProperties()->WebBrowser->toPlainText().contains(QStringLiteral("MPEG-1 Audio layer 3")));
    }

    void commandLineAddsFilesThenScansFolders()
    {
        QTemporaryDir tree;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("scanned.avi"))));
        DialogRecorder dialogs;
        auto w = open({tree.path(), clip(QStringLiteral("silent.mkv")), QStringLiteral("/AUTOMATE"),
                       clip(QStringLiteral("notes.txt"))});
        QVERIFY(!w->isAutomated()); // the switch counts only first
        QTRY_VERIFY(!w->isBusy());
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"silent", "scanned"}));
    }

    // In the window, every way in makes one row of one file, and what is left out is counted.
    void windowCountsWhatIsIgnored()
    {
        HostileFolder work;
        QVERIFY(work.fill(clip(QStringLiteral("both.avi")), clip(QStringLiteral("notes.txt"))));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        DialogRecorder dialogs;
        auto w = open({QStringLiteral("./a.avi"), QStringLiteral("scan/x.avi")});
        QVERIFY(QDir::setCurrent(before));
        QTRY_VERIFY(!w->isBusy());
        w->dropNames({work.filePath(QStringLiteral("a.avi")), work.filePath(QStringLiteral("link.avi")),
                      work.filePath(QStringLiteral("a\\b.avi")), work.filePath(QStringLiteral("scan/x.avi")),
                      work.filePath(QStringLiteral("scan/notes.txt"))});
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"a", "a\\b"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 2).at(0), work.filePath(QStringLiteral("a.avi")));
        QVERIFY(w->isListed(work.filePath(QStringLiteral("link.avi"))));
        // The FIFO twice, from the command line and dropped; a dropped text file is no news.
        auto *count = w->findChild<QLabel *>(QStringLiteral("ignoredCount"));
        QVERIFY(count && count->isVisible());
        QCOMPARE(count->text(), QStringLiteral("2 ignored"));
        QVERIFY(count->toolTip().contains(QStringLiteral("not a regular file")));
        w->Clear();
        QVERIFY(!count->isVisible());
    }

    void automateWithNothingToConvertExitsWithOne()
    {
        QTemporaryDir home;
        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(home.path()));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/automate")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QFile settings(home.filePath(QStringLiteral("Morvexa/quorrel.conf")));
        if (settings.open(QIODevice::ReadOnly))
            QVERIFY(!settings.readAll().contains("askoverwrite")); // the settings were not written

        // Without the switch and without a display nobody could use the window.
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("/AUTOMATE"));

        // Names that are all left out: each is told on standard output, and nothing is converted.
        HostileFolder work;
        QVERIFY(work.fill(clip(QStringLiteral("both.avi")), clip(QStringLiteral("notes.txt"))));
        const QString fifo = work.filePath(QStringLiteral("scan/x.avi"));
        const QString dangling = work.filePath(QStringLiteral("scan/gone.avi"));
        const QString missing = work.filePath(QStringLiteral("missing"));
        const QString text = work.filePath(QStringLiteral("scan/notes.txt"));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE),
                {QStringLiteral("/AUTOMATE"), fifo, dangling, missing, text});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(),
                 ResultLine::line(QStringLiteral("Ignored"), fifo, QStringLiteral("not a regular file")) +
                     ResultLine::line(QStringLiteral("Ignored"), dangling,
                                      QStringLiteral("the link leads to no file")) +
                     ResultLine::line(QStringLiteral("Ignored"), missing,
                                      QStringLiteral("no such file or folder")) +
                     ResultLine::line(QStringLiteral("Ignored"), text,
                                      QStringLiteral("not a video file of a known type")));

        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.readAllStandardOutput(), QByteArray("Tolvane 1.8.0.0\n"));
    }
};

QTEST_MAIN(TestConversionList)
#include "tst_conversionlist.moc"
