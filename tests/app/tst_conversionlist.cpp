#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "mediainfo/mywebbrowser.h"
#include "mediainfo/properties.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

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
    void init() { cfg = config(); }

    void acceptedNames()
    {
        QVERIFY(Tmainform::ismyfile(QStringLiteral("/a/b.AVI")));
        QVERIFY(Tmainform::ismyfile(QStringLiteral("c.DivX")));
        QVERIFY(Tmainform::ismyfile(QStringLiteral("x.y.mov")));
        QVERIFY(!Tmainform::ismyfile(QStringLiteral("a.avix")));
        QVERIFY(!Tmainform::ismyfile(QStringLiteral("a.mp4")));
        QVERIFY(!Tmainform::ismyfile(QStringLiteral("avi")));
        QVERIFY(!Tmainform::ismyfile(QStringLiteral("dir.avi/file")));
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
        QCOMPARE(AppTest::columnTexts(w->files, 0),
                 (QStringList{"both", "silent", "sound", "notes", "gone"}));
        QCOMPARE(AppTest::columnTexts(w->files, 1), (QStringList{"MPEG-4 Visual/MPEG-1 Audio layer 3",
                                                                 "MPEG-4 Visual ASP/", "/Vorbis", "/", "/"}));
        QCOMPARE(AppTest::columnTexts(w->files, 3), (QStringList{"0:03", "0:02", "0:02", "0:00", "0:00"}));
        QCOMPARE(AppTest::columnTexts(w->files, 4), QStringList(5, QStringLiteral("Ready")));
        QCOMPARE(AppTest::columnTexts(w->files, 2).at(0), clip(QStringLiteral("both.avi")));
        // The new row is the focused one, not a selected one.
        QCOMPARE(w->files->currentItem(), w->files->topLevelItem(4));
        QVERIFY(w->files->selectedItems().isEmpty());
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
        QCOMPARE(w->files->topLevelItemCount(), 1);
        QCOMPARE(cfg.recent, media->path() + QDir::separator());
        QString upper = path;
        upper.replace(QStringLiteral("both"), QStringLiteral("BOTH"));
        w->addfile(upper);
        QCOMPARE(w->files->topLevelItemCount(), 2);
        // A deleted row can come back.
        w->files->topLevelItem(0)->setSelected(true);
        w->Delete();
        w->addfile(path);
        QCOMPARE(w->files->topLevelItemCount(), 2);
        w->Clear();
        QCOMPARE(w->files->topLevelItemCount(), 0);
        w->addfile(path);
        QCOMPARE(w->files->topLevelItemCount(), 1);
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
        cfg.recurse = false;
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {tree.path()}};
        w->AddFolder1Click();
        QVERIFY(busy);
        QTRY_VERIFY(!busy);
        QStringList names = AppTest::columnTexts(w->files, 0);
        names.sort();
        QCOMPARE(names, (QStringList{"-dash 'q\" é", ".hidden", "top"}));

        w->Clear();
        cfg.recurse = true;
        w->folderlist << tree.path();
        w->processfolder();
        QTRY_VERIFY(!busy);
        names = AppTest::columnTexts(w->files, 0);
        names.sort();
        QCOMPARE(names, (QStringList{"-dash 'q\" é", ".hidden", "inner", "top"}));
        QVERIFY(w->folderlist.isEmpty());
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
            if (!stopped && w->files->topLevelItemCount() >= 3) {
                stopped = true;
                w->Cancel();
            }
        });
        stopper.start(0);
        w->folderlist << tree.path();
        w->processfolder();
        QTRY_VERIFY(!busy);
        stopper.stop();
        const int kept = w->files->topLevelItemCount();
        QVERIFY(kept >= 3 && kept < 30);
        // The next scan starts afresh.
        w->folderlist << tree.path();
        w->processfolder();
        QTRY_VERIFY(!busy);
        QCOMPARE(w->files->topLevelItemCount(), 30);
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
        QCOMPARE(AppTest::columnTexts(w->files, 0).at(0), QStringLiteral("both"));
        QTRY_VERIFY(!busy);
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"both", "in folder"}));
    }

    void draggingRowsReordersThem()
    {
        DialogRecorder dialogs;
        auto w = open();
        for (const QString &n :
             {QStringLiteral("both.avi"), QStringLiteral("silent.mkv"), QStringLiteral("sound.mkv")})
            w->addfile(clip(n));
        const auto pointOf = [&](int row) {
            return w->files->visualItemRect(w->files->topLevelItem(row)).center();
        };
        // Third onto first: it goes before it.
        w->files->topLevelItem(2)->setSelected(true);
        QVERIFY(w->filesDragOver(pointOf(0)));
        w->filesDragDrop(pointOf(0));
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"sound", "both", "silent"}));
        QVERIFY(w->files->selectedItems().isEmpty());
        // First onto third: it goes after it.
        w->files->topLevelItem(0)->setSelected(true);
        w->filesDragDrop(pointOf(2));
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"both", "silent", "sound"}));
        // Onto itself: nothing changes; nowhere: not accepted.
        w->files->topLevelItem(1)->setSelected(true);
        w->filesDragDrop(pointOf(1));
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"both", "silent", "sound"}));
        QVERIFY(!w->filesDragOver(QPoint(5, w->files->viewport()->height() - 2)));
        // Moved rows keep their texts and stay known as listed.
        QVERIFY(w->isListed(clip(QStringLiteral("sound.mkv"))));
        QCOMPARE(w->files->topLevelItem(2)->text(2), clip(QStringLiteral("sound.mkv")));
    }

    void filePropertiesShowsTheSelectedRow()
    {
        DialogRecorder dialogs;
        auto w = open();
        w->FileProperties1Click(); // nothing selected: nothing happens
        QVERIFY(!FileInfo || !FileInfo->isVisible());
        w->addfile(clip(QStringLiteral("both.avi")));
        w->files->topLevelItem(0)->setSelected(true);
        Q_EMIT w->files->itemDoubleClicked(w->files->topLevelItem(0), 0);
        QVERIFY(FileInfo && FileInfo->isVisible());
        QVERIFY(FileInfo->WebBrowser->toPlainText().contains(clip(QStringLiteral("both.avi"))));
        QVERIFY(FileInfo->WebBrowser->toPlainText().contains(QStringLiteral("MPEG-1 Audio layer 3")));
    }

    void commandLineAddsFilesThenScansFolders()
    {
        QTemporaryDir tree;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("both.avi")),
                                  tree.filePath(QStringLiteral("scanned.avi"))));
        DialogRecorder dialogs;
        auto w = open({tree.path(), clip(QStringLiteral("silent.mkv")), QStringLiteral("/AUTOMATE"),
                       clip(QStringLiteral("notes.txt"))});
        QVERIFY(!w->automate); // the switch counts only first
        QTRY_VERIFY(!busy);
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"silent", "scanned"}));
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
