// The conversion list without a window: what gets in, in which order, and what is left out and why.
#include "batch/conversionqueue.h"
#include "hostilefolder.h"
#include "testmedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QTemporaryDir *media = nullptr;

QString clip(const QString &name)
{
    return media->filePath(name);
}

// Copies a file, making the target's folder.
bool copyFile(const QString &from, const QString &to)
{
    return QDir().mkpath(QFileInfo(to).absolutePath()) && QFile::copy(from, to);
}

QStringList sources(const ConversionQueue &queue)
{
    QStringList s;
    for (int i = 0; i < queue.size(); ++i)
        s << queue.at(i).source;
    return s;
}

// The names the list shows, sorted: a folder is read in the file system's order.
QStringList sortedNames(const ConversionQueue &queue)
{
    QStringList n;
    for (int i = 0; i < queue.size(); ++i)
        n << QFileInfo(queue.at(i).source).completeBaseName();
    n.sort();
    return n;
}

// "path|reason", sorted for the same reason.
QStringList sortedIgnored(const ConversionQueue &queue)
{
    QStringList lines;
    for (const auto &[path, reason] : queue.ignored())
        lines << path + QLatin1Char('|') + reason;
    lines.sort();
    return lines;
}

// Relative names are taken against the working folder, as a command line given there.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString &path) : m_before(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(m_before); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
    QString m_before;
};

} // namespace

class TestConversionQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        media = new QTemporaryDir;
        QVERIFY(TestMedia::make(clip(QStringLiteral("both.avi")), {3.2, true, true, {}}));
        QFile text(clip(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a video");
    }
    void cleanupTestCase() { delete media; }

    void duplicatesAreDroppedExactly()
    {
        ConversionQueue queue;
        const QString path = clip(QStringLiteral("both.avi"));
        queue.addFile(path);
        queue.addFile(path);
        queue.addChosen({path});
        QCOMPARE(queue.size(), 1);
        // Another name that leads nowhere is another item.
        QString upper = path;
        upper.replace(QStringLiteral("both"), QStringLiteral("BOTH"));
        queue.addFile(upper);
        QCOMPARE(queue.size(), 2);
        // A removed item can come back, at the end.
        queue.remove(queue.at(0).id);
        QVERIFY(!queue.isListed(path));
        queue.addFile(path);
        QCOMPARE(sources(queue), (QStringList{upper, path}));
        queue.clear();
        QCOMPARE(queue.size(), 0);
        queue.addFile(path);
        QCOMPARE(queue.size(), 1);
        // One drop naming a file twice, under two spellings, while both are still being probed.
        queue.clear();
        queue.addDropped({path, path, QFileInfo(path).path() + QStringLiteral("/./both.avi")});
        QCOMPARE(sources(queue), QStringList{path});
    }

    void folderScanWithAndWithoutSubfolders()
    {
        QTemporaryDir tree;
        QVERIFY(copyFile(clip(QStringLiteral("both.avi")), tree.filePath(QStringLiteral("top.avi"))));
        QVERIFY(copyFile(clip(QStringLiteral("both.avi")), tree.filePath(QStringLiteral(".hidden.MPG"))));
        QVERIFY(
            copyFile(clip(QStringLiteral("both.avi")), tree.filePath(QStringLiteral("sub/deep/inner.mkv"))));
        QVERIFY(
            copyFile(clip(QStringLiteral("both.avi")), tree.filePath(QStringLiteral("-dash 'q\" é.avi"))));
        QVERIFY(copyFile(clip(QStringLiteral("notes.txt")), tree.filePath(QStringLiteral("sub/readme.txt"))));
        // A link back up the tree must not make the walk endless.
        QVERIFY(QFile::link(tree.path(), tree.filePath(QStringLiteral("sub/loop"))));

        ConversionQueue queue;
        queue.addFolder(tree.path());
        QVERIFY(queue.hasFoldersToScan());
        queue.scanFolders(false);
        QCOMPARE(sortedNames(queue), (QStringList{"-dash 'q\" é", ".hidden", "top"}));

        queue.clear();
        queue.addFolder(tree.path());
        queue.scanFolders(true);
        QCOMPARE(sortedNames(queue), (QStringList{"-dash 'q\" é", ".hidden", "inner", "top"}));
        QVERIFY(!queue.hasFoldersToScan());
        QVERIFY(queue.ignored().isEmpty()); // a text file in a folder is no news

        // A folder's files come in the order a file manager shows them.
        QTemporaryDir numbered;
        for (const char *name : {"clip10.avi", "clip2.avi", "Clip1.avi", "clip2b.avi"})
            QVERIFY(copyFile(clip(QStringLiteral("both.avi")), numbered.filePath(QLatin1String(name))));
        queue.clear();
        queue.addFolder(numbered.path());
        queue.scanFolders(false);
        QStringList order;
        for (int i = 0; i < queue.size(); ++i)
            order << QFileInfo(queue.at(i).source).completeBaseName();
        QCOMPARE(order, (QStringList{"Clip1", "clip2", "clip2b", "clip10"}));
    }

    // Names as a command line gives them, then the folders among them scanned.
    void whatEntersAndWhatIsIgnored_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("entered"); // sources in list order, %w is the working folder
        QTest::addColumn<QStringList>("ignored"); // path|reason

        const QString a = QStringLiteral("%w/a.avi");
        QTest::newRow("one file named many ways")
            << QStringList{"a.avi", "./a.avi", ".//a.avi", "%w/a.avi", "link.avi"} << QStringList{a}
            << QStringList{};
        QTest::newRow("scanned folder")
            << QStringList{"scan"} << QStringList{"%w/scan/b.avi"}
            << QStringList{"%w/scan/x.avi|not a regular file", "%w/scan/gone.avi|the link leads to no file",
                           // the byte comes back as it was
                           "%w/scan/" + QString(QChar(0xDCFF)) +
                               ".avi|the name is not valid in the current encoding"};
        QTest::newRow("FIFO named on the command line")
            << QStringList{"scan/x.avi"} << QStringList{} << QStringList{"%w/scan/x.avi|not a regular file"};
        QTest::newRow("names that are no video")
            << QStringList{"scan/gone.avi", "missing", "scan/notes.txt", QString(300, 'n') + ".avi", "a.avi"}
            << QStringList{a}
            << QStringList{"%w/scan/gone.avi|the link leads to no file", "%w/missing|no such file or folder",
                           "%w/scan/notes.txt|not a video file of a known type",
                           "%w/" + QString(300, 'n') + ".avi|the path is too long"};
        QTest::newRow("backslash is part of the name")
            << QStringList{"a\\b.avi"} << QStringList{"%w/a\\b.avi"} << QStringList{};
    }
    void whatEntersAndWhatIsIgnored()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, entered);
        QFETCH(QStringList, ignored);

        HostileFolder work;
        QVERIFY(work.fill(clip(QStringLiteral("both.avi")), clip(QStringLiteral("notes.txt"))));
        arguments.replaceInStrings(QStringLiteral("%w"), work.path());
        entered.replaceInStrings(QStringLiteral("%w"), work.path());
        ignored.replaceInStrings(QStringLiteral("%w"), work.path());
        ignored.sort();

        ConversionQueue queue;
        {
            const WorkingFolder there(work.path());
            for (const QString &argument : std::as_const(arguments))
                queue.addArgument(argument);
            queue.scanFolders(false);
        }
        QCOMPARE(sources(queue), entered);
        QCOMPARE(sortedIgnored(queue), ignored);
    }
};

QTEST_GUILESS_MAIN(TestConversionQueue)
#include "tst_conversionqueue.moc"
