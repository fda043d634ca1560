#include "platform/environment.h"
#include "settings/config.h"
#include "settings/store.h"

#include <QDir>
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
        QVERIFY(QDir().mkpath(QFileInfo(m_file).absolutePath()));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray readBytes()
    {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString readFile() { return QString::fromUtf8(readBytes()); }

private Q_SLOTS:
    void init()
    {
        m_file = m_dir.filePath(QStringLiteral("Morvexa/quorrel.conf"));
        QFile::remove(m_file);
        QDir(m_file).removeRecursively();
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
        QCOMPARE(c.stalltimeout, 120);
        // The later values: constant-bitrate MP3, copies where they fit, the file's own picture.
        QCOMPARE(c.mp3vbr, -1);
        QCOMPARE(c.smartcopy, true);
        QCOMPARE(c.cover, 1);
        QCOMPARE(c.aacbitrate, 3);
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
        c.stalltimeout = 0;
        int value = 0;
        for (int config::*later :
             {&config::mp3vbr, &config::aacsrate, &config::aacmode, &config::aacbitrate, &config::opussrate,
              &config::opusmode, &config::opusbitrate, &config::flacsrate, &config::flacmode,
              &config::flaclevel, &config::vorbissrate, &config::vorbismode, &config::vorbisquality,
              &config::cover, &config::track})
            c.*later = ++value;
        c.smartcopy = false;
        c.keepfolders = true;
        c.namepattern = QStringLiteral("{artist} - {title}");
        c.tracklangs = QStringLiteral("deu, eng");
        c.chapters = true;
        c.lastfolder = QStringLiteral("/videos/last");
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
        QCOMPARE(r.stalltimeout, 0);
        QCOMPARE((std::array{r.mp3vbr, r.aacsrate, r.aacmode, r.aacbitrate, r.opussrate, r.opusmode,
                             r.opusbitrate, r.flacsrate, r.flacmode, r.flaclevel, r.vorbissrate, r.vorbismode,
                             r.vorbisquality, r.cover, r.track}),
                 (std::array{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
        QCOMPARE(r.smartcopy, false);
        QCOMPARE(r.keepfolders, true);
        QCOMPARE(r.namepattern, c.namepattern);
        QCOMPARE(r.tracklangs, c.tracklangs);
        QCOMPARE(r.chapters, true);
        QCOMPARE(r.lastfolder, c.lastfolder);
        // 46 values, flags as 0 or 1.
        QCOMPARE(readFile().count(QLatin1Char('\n')), 47);
        QVERIFY(readFile().contains(QStringLiteral("samefolder=1")));
    }

    void handEditedFileKeepsWhatCanBeRead()
    {
        writeFile(
            "[Settings]\nWidth=abc\nHEIGHT=480\nrecurse=2\nUser=Someone\nbitrate=999\nPath=/old/place/\n"
            "mp3bitrate=77\nstalltimeout=soon\n");
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
        QCOMPARE(c.stalltimeout, 120);

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

    void handWrittenFileSurvivesASave_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << QByteArray("[Settings]\nuser=Smith,John\n") << QStringLiteral("user")
                               << QStringLiteral("Smith,John");
        QTest::newRow("semicolon") << QByteArray("[Settings]\noutput=/music;old\n")
                                   << QStringLiteral("output") << QStringLiteral("/music;old");
        QTest::newRow("group in another case") << QByteArray("[settings]\nbitrate=128\n[Other]\nbitrate=1\n")
                                               << QStringLiteral("bitrate") << QStringLiteral("128");
        QTest::newRow("blanks around") << QByteArray("[Settings]\nuser =  Ann Bee \t\n")
                                       << QStringLiteral("user") << QStringLiteral("Ann Bee");
        QTest::newRow("quoted by the old store") << QByteArray("[Settings]\nuser=\"Ann, \\\"B\\\"\"\n")
                                                 << QStringLiteral("user") << QStringLiteral("Ann, \"B\"");
        QTest::newRow("backslashes") << QByteArray("[Settings]\npath=/a\\\\b/c\\d\\\n")
                                     << QStringLiteral("path") << QStringLiteral("/a\\b/c\\d\\");
        QTest::newRow("unknown lines")
            << QByteArray("; note\n#x=1\n[Settings]\nnoise\nzzz=1\nbitrate=128\n\x01\xff\n")
            << QStringLiteral("bitrate") << QStringLiteral("128");
        QTest::newRow("CR LF and byte order mark") << QByteArray("\xEF\xBB\xBF[Settings]\r\nbitrate=128\r\n")
                                                   << QStringLiteral("bitrate") << QStringLiteral("128");
    }

    void handWrittenFileSurvivesASave()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QFETCH(QString, value);
        const QString written = QStringLiteral(" two\nlines\r, \\n \"quoted\"; ");
        writeFile(text);
        {
            FileSettingsStore store(m_file);
            QCOMPARE(readString(store, name), std::optional<QString>(value));
            QString error;
            config c = LoadConfig(store, &error);
            QVERIFY(error.isEmpty());
            c.recent = written;
            SaveConfig(store, c);
        }
        // Every line stays as it was, in its order; the saved values go in between.
        const QByteArray saved = readBytes();
        const QList<QByteArray> savedLines = saved.split('\n');
        qsizetype at = 0;
        for (const QByteArray &line : text.split('\n')) {
            while (at < savedLines.size() && savedLines.at(at) != line)
                ++at;
            QVERIFY2(at < savedLines.size(), line.constData());
            ++at;
        }
        QCOMPARE(saved.toLower().count("[settings]"), 1);
        FileSettingsStore again(m_file);
        QCOMPARE(readString(again, name), std::optional<QString>(value));
        QCOMPARE(readString(again, QStringLiteral("recent")), std::optional<QString>(written));
    }

    void unreadableFileIsReportedAndKept_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder in its place") << true;
        QTest::newRow("no read permission") << false;
    }

    void unreadableFileIsReportedAndKept()
    {
        QFETCH(bool, folder);
        const QByteArray text("[Settings]\nuser=Ann\n");
        if (folder) {
            QVERIFY(QDir().mkpath(m_file));
        } else {
            if (geteuid() == 0)
                QSKIP("root reads any file");
            writeFile(text);
            QFile::setPermissions(m_file, QFileDevice::WriteOwner);
        }
        FileSettingsStore store(m_file);
        QString error;
        const config c = LoadConfig(store, &error);
        QVERIFY2(error.contains(m_file), qPrintable(error));
        QCOMPARE(c.user, QStringLiteral("User"));
        SaveConfig(store, c); // neither written nor an error
        if (folder) {
            QVERIFY(QDir(m_file).isEmpty());
        } else {
            QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QCOMPARE(readBytes(), text);
        }
    }

    void garbageFileIsRewrittenWithoutError()
    {
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 167 + i / 9) % 256);
        garbage += "a line without an equals sign\n=\n[\n";
        writeFile(garbage);
        FileSettingsStore store(m_file);
        QString error;
        config c = LoadConfig(store, &error);
        QVERIFY(error.isEmpty());
        c.user = QStringLiteral("Ann");
        SaveConfig(store, c);
        QVERIFY(readBytes().startsWith(garbage));
        QCOMPARE(readString(FileSettingsStore(m_file), QStringLiteral("user")),
                 std::optional<QString>(QStringLiteral("Ann")));
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
