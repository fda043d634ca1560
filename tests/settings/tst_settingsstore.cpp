#include "platform/environment.h"
#include "settings/config.h"
#include "settings/store.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

    void writeFile(const QByteArray &text)
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QString readFile()
    {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private Q_SLOTS:
    void init()
    {
        m_file = m_dir.filePath(QStringLiteral("Morvexa/quorrel.conf"));
        QFile::remove(m_file);
    }

    void firstStartGivesDefaultsAndCreatesTheKey()
    {
        FileSettingsStore store(m_file);
        QVERIFY(!store.keyExists());
        QString error;
        const config c = LoadConfig(store, &error);
        QVERIFY(error.isEmpty());
        QVERIFY(store.keyExists());
        QCOMPARE(c.path, Environment::programFolder());
        QCOMPARE(c.user, QStringLiteral("User"));
        QCOMPARE(c.bitrate, QStringLiteral("1394"));
        QCOMPARE(c.output, GetMusicFolder());
        QCOMPARE(c.recent, c.path);
        QCOMPARE(c.samefolder, false);
        QCOMPARE(c.width, -1);
        QCOMPARE(c.height, -1);
        QCOMPARE(c.openfolder, false);
        QCOMPARE(c.col, (std::array<int, 5>{260, 160, 0, 80, 80}));
        QCOMPARE(c.codec, 0);
        QCOMPARE(c.mp3srate, 1);
        QCOMPARE(c.mp3mode, 1);
        QCOMPARE(c.mp3bitrate, 5);
        QCOMPARE(c.wavsrate, 1);
        QCOMPARE(c.wavmode, 1);
        QCOMPARE(c.recurse, false);
        QCOMPARE(c.askoverwrite, true);
    }

    void saveAndLoadRoundTrip()
    {
        config c;
        c.path = QStringLiteral("/opt/tolvane/");
        c.user = QStringLiteral("Ann, Bee");
        c.bitrate = QStringLiteral("1394");
        c.output = QStringLiteral("/home/ann/Music out");
        c.recent = QStringLiteral("/media/v/");
        c.samefolder = true;
        c.width = 700;
        c.height = 500;
        c.openfolder = true;
        c.col = {100, 90, 0, 70, 60};
        c.codec = 1;
        c.mp3srate = 6;
        c.mp3mode = 0;
        c.mp3bitrate = 13;
        c.wavsrate = 0;
        c.wavmode = 0;
        c.recurse = true;
        c.askoverwrite = false;
        {
            FileSettingsStore store(m_file);
            QVERIFY(store.createKey());
            SaveConfig(store, c);
        }
        FileSettingsStore store(m_file);
        const config r = LoadConfig(store);
        QCOMPARE(r.path, c.path);
        QCOMPARE(r.user, c.user);
        QCOMPARE(r.output, c.output);
        QCOMPARE(r.recent, c.recent);
        QCOMPARE(r.samefolder, true);
        QCOMPARE(r.width, 700);
        QCOMPARE(r.height, 500);
        QCOMPARE(r.openfolder, true);
        QCOMPARE(r.col, c.col);
        QCOMPARE(r.codec, 1);
        QCOMPARE(r.mp3srate, 6);
        QCOMPARE(r.mp3mode, 0);
        QCOMPARE(r.mp3bitrate, 13);
        QCOMPARE(r.wavsrate, 0);
        QCOMPARE(r.wavmode, 0);
        QCOMPARE(r.recurse, true);
        QCOMPARE(r.askoverwrite, false);
        // 24 values, flags as 0 or 1.
        QCOMPARE(readFile().count(QLatin1Char('\n')), 25);
        QVERIFY(readFile().contains(QStringLiteral("samefolder=1")));
    }

    void handEditedFileKeepsWhatCanBeRead()
    {
        writeFile(
            "[Settings]\nWidth=abc\nHEIGHT=480\nrecurse=2\nUser=Someone\nbitrate=999\nPath=/old/place/\n"
            "mp3bitrate=77\n");
        FileSettingsStore store(m_file);
        QString error;
        const config c = LoadConfig(store, &error);
        QCOMPARE(error, QStringLiteral("Invalid data type for 'width'"));
        QCOMPARE(c.width, -1);     // the bad value takes its default
        QCOMPARE(c.height, 480);   // later values are still read, names match in any case
        QCOMPARE(c.recurse, true); // non-zero is true
        QCOMPARE(c.user, QStringLiteral("Someone"));
        QCOMPARE(c.bitrate, QStringLiteral("999"));
        QCOMPARE(c.path, QStringLiteral("/old/place/"));
        QCOMPARE(c.recent, QStringLiteral("/old/place/")); // a stored path is recent's default
        QCOMPARE(c.mp3bitrate, 77);                        // kept as stored, even outside its list

        SaveConfig(store, c);
        const QString text = readFile();
        QVERIFY(text.contains(QStringLiteral("recurse=1")));
        QVERIFY(text.contains(QStringLiteral("user=Someone")));
        QVERIFY(text.contains(QStringLiteral("bitrate=999")));
        // Another spelling is replaced, not doubled.
        QVERIFY(!text.contains(QStringLiteral("Width=")));
        QVERIFY(!text.contains(QStringLiteral("HEIGHT=")));
        QCOMPARE(text.count(QStringLiteral("height=")), 1);
    }

    void valueOutside32BitsIsReported()
    {
        writeFile("[Settings]\ncol1=4294967296\ncol3=99\n");
        FileSettingsStore store(m_file);
        QString error;
        const config c = LoadConfig(store, &error);
        QCOMPARE(error, QStringLiteral("Failed to get data for 'col1'"));
        QCOMPARE(c.col[1], 160);
        QCOMPARE(c.col[3], 99);
    }

    void typedReaders()
    {
        writeFile("[Settings]\na=12\nb=-7\nc= 3 \nd=1.5\ne=\nf=0\ng=text, with comma\n");
        FileSettingsStore store(m_file);
        QCOMPARE(readInteger(store, QStringLiteral("A")), std::optional<qint32>(12));
        QCOMPARE(readInteger(store, QStringLiteral("b")), std::optional<qint32>(-7));
        QCOMPARE(readInteger(store, QStringLiteral("c")), std::optional<qint32>(3));
        QVERIFY_THROWS_EXCEPTION(EStoreError, readInteger(store, QStringLiteral("d")));
        QVERIFY_THROWS_EXCEPTION(EStoreError, readFlag(store, QStringLiteral("e")));
        QCOMPARE(readFlag(store, QStringLiteral("f")), std::optional<bool>(false));
        QCOMPARE(readString(store, QStringLiteral("g")),
                 std::optional<QString>(QStringLiteral("text, with comma")));
        QVERIFY(!readString(store, QStringLiteral("missing")).has_value());
    }

    void removedKeyIsNotWrittenAgain()
    {
        FileSettingsStore store(m_file);
        config c = LoadConfig(store);
        QFile::remove(m_file);
        SaveConfig(store, c);
        QVERIFY(!QFile::exists(m_file));

        // A file whose group was removed by hand counts as a removed key too.
        writeFile("[Other]\nx=1\n");
        FileSettingsStore other(m_file);
        SaveConfig(other, c);
        QVERIFY(!readFile().contains(QStringLiteral("askoverwrite")));
    }

    void failedWriteIsReported()
    {
        if (geteuid() == 0)
            QSKIP("root can write anywhere");
        FileSettingsStore store(m_file);
        const config c = LoadConfig(store);
        QFile::setPermissions(QFileInfo(m_file).absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY_THROWS_EXCEPTION(EStoreError, SaveConfig(store, c));
        QFile::setPermissions(QFileInfo(m_file).absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
