#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "batch/conversionqueue.h"
#include "batch/listtexts.h"
#include "batch/resultline.h"
#include "mediainfo/mywebbrowser.h"
#include "mediainfo/properties.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
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

// A folder with one good clip and the things a list must not take: a FIFO (opening it would block),
// a link to nowhere, a name that is not valid UTF-8, a text file; and ways to name the clip again.
bool makeHostileFolder(const QString &work)
{
    const QByteArray w = QFile::encodeName(work);
    return AppTest::copyFile(clip(QStringLiteral("both.avi")), work + QStringLiteral("/a.avi")) &&
           AppTest::copyFile(clip(QStringLiteral("both.avi")), work + QStringLiteral("/a\\b.avi")) &&
           AppTest::copyFile(clip(QStringLiteral("both.avi")), work + QStringLiteral("/scan/b.avi")) &&
           AppTest::copyFile(clip(QStringLiteral("notes.txt")), work + QStringLiteral("/scan/notes.txt")) &&
           QFile::link(work + QStringLiteral("/a.avi"), work + QStringLiteral("/link.avi")) &&
           QFile::link(work + QStringLiteral("/nowhere.avi"), work + QStringLiteral("/scan/gone.avi")) &&
           ::mkfifo((w + "/scan/x.avi").constData(), 0600) == 0 &&
           ::close(::open((w + "/scan/\xff.avi").constData(), O_CREAT | O_WRONLY, 0600)) == 0;
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

    void acceptedNames()
    {
        QVERIFY(ListTexts::isVideoFileName(QStringLiteral("/a/b.AVI")));
        QVERIFY(ListTexts::isVideoFileName(QStringLiteral("c.DivX")));
        QVERIFY(ListTexts::isVideoFileName(QStringLiteral("x.y.mov")));
        QVERIFY(!ListTexts::isVideoFileName(QStringLiteral("a.avix")));
        QVERIFY(!ListTexts::isVideoFileName(QStringLiteral("a.mp4")));
        QVERIFY(!ListTexts::isVideoFileName(QStringLiteral("avi")));
        QVERIFY(!ListTexts::isVideoFileName(QStringLiteral("dir.avi/file")));
    }

    void rowsShowTheProbedFacts()
    {
        DialogRecorder dialogs;
        auto w = open();
        w->addfile(clip(QStringLiteral("both.avi")));
        w->addfile(clip(QStringLiteral("silent.mkv")));
        w->addfile(clip(QStringLiteral("sound.mkv")));
        w->addfile(clip(QStringLiteral("notes.txt"))); // through the dialog any type goes in
        w->addfile(clip(QStringLiteral("gone.avi")));  // deleted before it was added
        w->processfolder();                            // as every way in ends
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0),
                 (QStringList{"both", "silent", "sound", "notes", "gone"}));
        QCOMPARE(
            AppTest::columnTexts(AppTest::files(*w), 1),
            (QStringList{"MPEG-4 Visual/MPEG-1 Audio layer 3", "MPEG-4 Visual ASP/", "/Vorbis", "/", "/"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 3),
                 (QStringList{"0:03", "0:02", "0:02", "0:00", "0:00"}));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 4), QStringList(5, QStringLiteral("Ready")));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 2).at(0), clip(QStringLiteral("both.avi")));
        // The new row is the focused one, not a selected one.
        QCOMPARE(AppTest::files(*w)->currentItem(), AppTest::files(*w)->topLevelItem(4));
        QVERIFY(AppTest::files(*w)->selectedItems().isEmpty());
    }

    void duplicatesAreDroppedExactly()
    {
        DialogRecorder dialogs;
        auto w = open();
        const QString path = clip(QStringLiteral("both.avi"));
        w->addfile(path);
        w->addfile(path);
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {path}};
        w->AddFiles();
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 1);
        QCOMPARE(AppTest::settings().recent, media->path() + QDir::separator());
        QString upper = path;
        upper.replace(QStringLiteral("both"), QStringLiteral("BOTH"));
        w->addfile(upper);
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 2);
        // A deleted row can come back.
        AppTest::files(*w)->topLevelItem(0)->setSelected(true);
        w->Delete();
        w->addfile(path);
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 2);
        w->Clear();
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 0);
        w->addfile(path);
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 1);
    }

    void folderScanWithAndWithoutSubfolders()
    {
        QTemporaryDir tree;
        QVERIFY(
            AppTest::copyFile(clip(QStringLiteral("both.avi")), tree.filePath(QStringLiteral("top.avi"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral(".hidden.MPG"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("sub/deep/inner.mkv"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("-dash 'q\" é.avi"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("notes.txt")),
                                  tree.filePath(QStringLiteral("sub/readme.txt"))));
        // A link back up the tree must not make the walk endless.
        QVERIFY(QFile::link(tree.path(), tree.filePath(QStringLiteral("sub/loop"))));

        DialogRecorder dialogs;
        auto w = open();
        AppTest::settings().recurse = false;
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {tree.path()}};
        w->AddFolder();
        QVERIFY(w->isBusy());
        QTRY_VERIFY(!w->isBusy());
        QStringList names = AppTest::columnTexts(AppTest::files(*w), 0);
        names.sort();
        QCOMPARE(names, (QStringList{"-dash 'q\" é", ".hidden", "top"}));

        w->Clear();
        AppTest::settings().recurse = true;
        w->queueFolder(tree.path());
        w->processfolder();
        QTRY_VERIFY(!w->isBusy());
        names = AppTest::columnTexts(AppTest::files(*w), 0);
        names.sort();
        QCOMPARE(names, (QStringList{"-dash 'q\" é", ".hidden", "inner", "top"}));
        QVERIFY(!w->queue().hasFoldersToScan());
        QVERIFY(dialogs.requests.size() == 1);
    }

    void stopDuringAScanKeepsTheRowsAdded()
    {
        QTemporaryDir tree;
        for (int i = 0; i < 30; ++i)
            QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                      tree.filePath(QStringLiteral("c%1.avi").arg(i))));
        DialogRecorder dialogs;
        auto w = open();
        // "Stop" arrives while the scan lets the window handle events between two files.
        bool stopped = false;
        QTimer stopper;
        connect(&stopper, &QTimer::timeout, this, [&] {
            if (!stopped && AppTest::files(*w)->topLevelItemCount() >= 3) {
                stopped = true;
                w->Cancel();
            }
        });
        stopper.start(0);
        w->queueFolder(tree.path());
        w->processfolder();
        QTRY_VERIFY(!w->isBusy());
        stopper.stop();
        const int kept = AppTest::files(*w)->topLevelItemCount();
        QVERIFY(kept >= 3 && kept < 30);
        // The next scan starts afresh.
        w->queueFolder(tree.path());
        w->processfolder();
        QTRY_VERIFY(!w->isBusy());
        QCOMPARE(AppTest::files(*w)->topLevelItemCount(), 30);
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

    void draggingRowsReordersThem()
    {
        DialogRecorder dialogs;
        auto w = open();
        for (const QString &n :
             {QStringLiteral("both.avi"), QStringLiteral("silent.mkv"), QStringLiteral("sound.mkv")})
            w->addfile(clip(n));
        const auto pointOf = [&](int row) {
            return AppTest::files(*w)->visualItemRect(AppTest::files(*w)->topLevelItem(row)).center();
        };
        // Third onto first: it goes before it.
        AppTest::files(*w)->topLevelItem(2)->setSelected(true);
        QVERIFY(w->filesDragOver(pointOf(0)));
        w->filesDragDrop(pointOf(0));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"sound", "both", "silent"}));
        QVERIFY(AppTest::files(*w)->selectedItems().isEmpty());
        // First onto third: it goes after it.
        AppTest::files(*w)->topLevelItem(0)->setSelected(true);
        w->filesDragDrop(pointOf(2));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"both", "silent", "sound"}));
        // Onto itself: nothing changes; nowhere: not accepted.
        AppTest::files(*w)->topLevelItem(1)->setSelected(true);
        w->filesDragDrop(pointOf(1));
        QCOMPARE(AppTest::columnTexts(AppTest::files(*w), 0), (QStringList{"both", "silent", "sound"}));
        QVERIFY(!w->filesDragOver(QPoint(5, AppTest::files(*w)->viewport()->height() - 2)));
        // Moved rows keep their texts and stay known as listed.
        QVERIFY(w->isListed(clip(QStringLiteral("sound.mkv"))));
        QCOMPARE(AppTest::files(*w)->topLevelItem(2)->text(2), clip(QStringLiteral("sound.mkv")));
    }

    void filePropertiesShowsTheSelectedRow()
    {
        DialogRecorder dialogs;
        auto w = open();
        w->showFileProperties(); // nothing selected: nothing happens
        QVERIFY(!w->fileProperties() || !w->fileProperties()->isVisible());
        w->addfile(clip(QStringLiteral("both.avi")));
        AppTest::files(*w)->topLevelItem(0)->setSelected(true);
        Q_EMIT AppTest::files(*w)->itemDoubleClicked(AppTest::files(*w)->topLevelItem(0), 0);
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

    // What the unattended program lists and what it reports ignored, each told on standard output.
    void whatEntersAndWhatIsIgnored_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("lines"); // status|input|third, %w is the working folder
        QTest::addColumn<int>("exitCode");

        const QString a = QStringLiteral("Done!|%w/a.avi|%w/out/a.mp3");
        QTest::newRow("one file named many ways")
            << QStringList{"a.avi", "./a.avi", ".//a.avi", "%w/a.avi", "link.avi"} << QStringList{a} << 0;
        QTest::newRow("scanned folder")
            << QStringList{"scan"}
            << QStringList{"Done!|%w/scan/b.avi|%w/out/b.mp3", "Ignored|%w/scan/x.avi|not a regular file",
                           "Ignored|%w/scan/gone.avi|the link leads to no file",
                           // the byte comes back as it was, printed as \xff
                           "Ignored|%w/scan/" + QString(QChar(0xDCFF)) +
                               ".avi|the name is not valid in the current encoding"}
            << 0;
        QTest::newRow("FIFO named on the command line")
            << QStringList{"scan/x.avi"} << QStringList{"Ignored|%w/scan/x.avi|not a regular file"} << 1;
        QTest::newRow("names that are no video")
            << QStringList{"scan/gone.avi", "missing", "scan/notes.txt", QString(300, 'n') + ".avi", "a.avi"}
            << QStringList{"Ignored|%w/scan/gone.avi|the link leads to no file",
                           "Ignored|%w/missing|no such file or folder",
                           "Ignored|%w/scan/notes.txt|not a video file of a known type",
                           "Ignored|%w/" + QString(300, 'n') + ".avi|the path is too long", a}
            << 0;
        QTest::newRow("backslash is part of the name")
            << QStringList{"a\\b.avi"} << QStringList{"Done!|%w/a\\b.avi|%w/out/a\\b.mp3"} << 0;
    }
    void whatEntersAndWhatIsIgnored()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, lines);
        QFETCH(int, exitCode);

        QTemporaryDir work;
        QVERIFY(makeHostileFolder(work.path()));
        QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("config/Morvexa"))));
        QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("out"))));
        QFile settings(work.filePath(QStringLiteral("config/Morvexa/quorrel.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Settings]\noutput=" + QFile::encodeName(work.filePath(QStringLiteral("out"))) +
                       '\n');
        settings.close();

        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(work.filePath(QStringLiteral("config"))));
        p.setWorkingDirectory(work.path());
        arguments.replaceInStrings(QStringLiteral("%w"), work.path());
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), QStringList{QStringLiteral("/AUTOMATE")} + arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            QFAIL("the run hangs");
        }
        QList<QByteArray> printed = p.readAllStandardOutput().split('\n');
        printed.removeAll(QByteArray());
        QList<QByteArray> expected;
        for (const QString &line : std::as_const(lines)) {
            const QStringList f =
                QString(line).replace(QStringLiteral("%w"), work.path()).split(QLatin1Char('|'));
            expected << ResultLine::line(f.at(0), f.at(1), f.at(2)).chopped(1);
        }
        std::sort(printed.begin(), printed.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(printed, expected);
        QCOMPARE(p.exitCode(), exitCode);
    }

    // In the window, every way in makes one row of one file, and what is left out is counted.
    void windowCountsWhatIsIgnored()
    {
        QTemporaryDir work;
        QVERIFY(makeHostileFolder(work.path()));
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

        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.readAllStandardOutput(), QByteArray("Tolvane 1.8.0.0\n"));
    }
};

QTEST_MAIN(TestConversionList)
#include "tst_conversionlist.moc"
