#include "launch/help.h"

#include <QtTest>

// Where the help command finds the manual: beside the program as a build leaves it, or where an
// installation puts it. Run again from an installed lib/tolvane/ by install.sh.
class TestHelpLookup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layouts_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("manuals");
        QTest::addColumn<QString>("expected");

        const QString shared = QStringLiteral("share/doc/tolvane/quorrel.html");
        QTest::newRow("build: beside the program wins")
            << "app/" << QStringList{QStringLiteral("app/quorrel.html"), shared} << "app/quorrel.html";
        QTest::newRow("installed program in bin/") << "bin/" << QStringList{shared} << shared;
        QTest::newRow("installed program in lib/tolvane/") << "lib/tolvane/" << QStringList{shared} << shared;
        QTest::newRow("a folder of that name is no manual")
            << "bin/" << QStringList{shared + QLatin1Char('/')} << "bin/quorrel.html";
        QTest::newRow("nowhere: the place a build puts it")
            << "lib/tolvane/" << QStringList{} << "lib/tolvane/quorrel.html";
    }

    void layouts()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, manuals);
        QFETCH(QString, expected);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir().mkpath(root.filePath(program)));
        for (const QString &manual : manuals) {
            if (manual.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(root.filePath(manual)));
                continue;
            }
            QVERIFY(QDir().mkpath(QFileInfo(root.filePath(manual)).absolutePath()));
            QFile f(root.filePath(manual));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(helpFilePathIn(root.path() + QLatin1Char('/') + program), root.filePath(expected));
    }

    // The real lookup, from where this test was copied in an installed tree.
    void installedManual()
    {
        const QString prefix = qEnvironmentVariable("TOLVANE_INSTALLED_PREFIX");
        if (prefix.isEmpty())
            QSKIP("Run by install.sh from an installed lib/tolvane/");
        QCOMPARE(QFileInfo(helpFilePath()).canonicalFilePath(),
                 QFileInfo(prefix + QStringLiteral("/share/doc/tolvane/quorrel.html")).canonicalFilePath());
        QVERIFY(QFileInfo(helpFilePath()).isFile());
    }
};

QTEST_GUILESS_MAIN(TestHelpLookup)
#include "tst_helplookup.moc"
