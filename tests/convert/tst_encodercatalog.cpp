#include "convert/encodercatalog.h"
#include "testmedia.h"

#include <QElapsedTimer>
#include <QtTest>

using EncoderCatalog::Presence;

namespace {

const QByteArray fakeList = "Encoders:\n"
                            " V..... = Video\n"
                            " A..... = Audio\n"
                            " ------\n"
                            " A....D aac                  AAC (Advanced Audio Coding)\n"
                            " A..X.D libfake-1            A fake one\n";

} // namespace

// The encoder check, against the real ffmpeg and against scripts that count their runs.
class TestEncoderCatalog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void parseTakesTheNamesAfterTheDashes_data();
    void parseTakesTheNamesAfterTheDashes();
    void realFfmpegKnowsItsEncoders_data();
    void realFfmpegKnowsItsEncoders();
    void listIsAskedOncePerProgramVersion();
    void programWithoutAListIsUnknownAndNotCached_data();
    void programWithoutAListIsUnknownAndNotCached();
    void damagedCacheIsAskedAgainAndRewritten_data();
    void damagedCacheIsAskedAgainAndRewritten();
    void unwritableCacheCostsOnlyTheCache();
    void defaultCacheFileIsUnderTheCacheHome();

private:
    // A /bin/sh program that notes each run in the file runs() reads, then does body.
    QString script(const QString &name, const QByteArray &body);
    int runs() const;
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void TestEncoderCatalog::initTestCase()
{
    QVERIFY(!TestMedia::ffmpeg().isEmpty());
    QVERIFY(m_dir.isValid());
}

QString TestEncoderCatalog::script(const QString &name, const QByteArray &body)
{
    const QString path = file(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write("#!/bin/sh\necho run >> '" + QFile::encodeName(file(QStringLiteral("runs"))) + "'\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner);
    return path;
}

int TestEncoderCatalog::runs() const
{
    QFile f(file(QStringLiteral("runs")));
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

void TestEncoderCatalog::parseTakesTheNamesAfterTheDashes_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("names");

    const QStringList fake{QStringLiteral("aac"), QStringLiteral("libfake-1")};
    QTest::newRow("list") << fakeList << fake;
    QByteArray crlf = fakeList;
    QTest::newRow("CRLF lines, blank tail") << crlf.replace("\n", "\r\n").append("\r\n\r\n") << fake;
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("other text") << QByteArray("usage: tool [options]\n ------\n A. x y\n") << QStringList();
    QTest::newRow("no dashes") << QByteArray(fakeList).replace("------", "") << QStringList();
    QTest::newRow("no flags column") << QByteArray(fakeList).append("aac AAC\n") << QStringList();
    QTest::newRow("name missing") << QByteArray(fakeList).append(" A....D\n") << QStringList();
}

void TestEncoderCatalog::parseTakesTheNamesAfterTheDashes()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, names);
    QCOMPARE(EncoderCatalog::parseEncoders(output), names);
}

void TestEncoderCatalog::realFfmpegKnowsItsEncoders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Presence>("presence");
    QTest::newRow("aac") << QStringLiteral("aac") << Presence::Present;
    QTest::newRow("pcm_s16le") << QStringLiteral("pcm_s16le") << Presence::Present;
    QTest::newRow("no_such_encoder") << QStringLiteral("no_such_encoder") << Presence::Missing;
    QTest::newRow("names are exact") << QStringLiteral("AAC") << Presence::Missing;
}

void TestEncoderCatalog::realFfmpegKnowsItsEncoders()
{
    QFETCH(QString, name);
    QFETCH(Presence, presence);
    const QString cache = file(QStringLiteral("real-%1").arg(QTest::currentDataTag()));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(EncoderCatalog::find(TestMedia::ffmpeg(), name, cache), presence);
    const qint64 asked = timer.nsecsElapsed();
    timer.restart();
    QCOMPARE(EncoderCatalog::find(TestMedia::ffmpeg(), name, cache), presence);
    const qint64 cached = timer.nsecsElapsed();
    qDebug("asked %.2f ms, cached %.3f ms", asked / 1e6, cached / 1e6);
    QVERIFY(QFileInfo(cache).size() > 0);
}

void TestEncoderCatalog::listIsAskedOncePerProgramVersion()
{
    const QString cache = file(QStringLiteral("counted"));
    const QString a = script(QStringLiteral("a"), "printf '" + fakeList + "'\n");
    const QString b = script(QStringLiteral("b"), "printf '" + fakeList + "'\n");
    const auto find = [&](const QString &program, const char *name) {
        return EncoderCatalog::find(program, QString::fromLatin1(name), cache);
    };

    QCOMPARE(find(a, "aac"), Presence::Present);
    QCOMPARE(runs(), 1);
    QCOMPARE(find(a, "libfake-1"), Presence::Present);
    QCOMPARE(runs(), 1);
    // A no is asked again: the encoder may have come with a library package since.
    QCOMPARE(find(a, "flac"), Presence::Missing);
    QCOMPARE(runs(), 2);

    // Another program keeps its own entry beside the first.
    QCOMPARE(find(b, "aac"), Presence::Present);
    QCOMPARE(find(a, "aac"), Presence::Present);
    QCOMPARE(runs(), 3);

    // An updated program: a new size, then only a new modification time.
    QCOMPARE(script(QStringLiteral("a"), "printf '" + fakeList + " A..... flac  FLAC\\n'\n"), a);
    QCOMPARE(find(a, "flac"), Presence::Present);
    QCOMPARE(runs(), 4);
    QFile program(a);
    const QDateTime mtime = QFileInfo(a).lastModified();
    QVERIFY(program.open(QIODevice::ReadWrite));
    QVERIFY(program.setFileTime(mtime.addSecs(-3600), QFileDevice::FileModificationTime));
    program.close();
    QCOMPARE(find(a, "flac"), Presence::Present);
    QCOMPARE(runs(), 5);
    QCOMPARE(find(a, "flac"), Presence::Present);
    QCOMPARE(find(b, "aac"), Presence::Present);
    QCOMPARE(runs(), 5);
}

void TestEncoderCatalog::programWithoutAListIsUnknownAndNotCached_data()
{
    QTest::addColumn<QByteArray>("body"); // null: no program at all
    QTest::addColumn<bool>("executable");
    QTest::addColumn<int>("runs");

    QTest::newRow("missing") << QByteArray() << true << 0;
    QTest::newRow("not executable") << QByteArray("printf '" + fakeList + "'\n") << false << 0;
    QTest::newRow("prints something else") << QByteArray("echo 'ffmpeg: unrecognised option'\n") << true << 2;
    QTest::newRow("fails after the list") << QByteArray("printf '" + fakeList + "'\nexit 1\n") << true << 2;
    QTest::newRow("hangs") << QByteArray("printf '" + fakeList + "'\nexec sleep 30\n") << true << 2;
}

void TestEncoderCatalog::programWithoutAListIsUnknownAndNotCached()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, executable);
    QFETCH(int, runs);

    QFile::remove(file(QStringLiteral("runs")));
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QString program = file(QStringLiteral("no/ffmpeg"));
    if (!body.isNull())
        program = script(tag, body);
    if (!executable)
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner));
    const QString cache = file(QStringLiteral("unknown-") + tag);

    for (int i = 0; i < 2; ++i)
        QCOMPARE(EncoderCatalog::find(program, QStringLiteral("aac"), cache, 300), Presence::Unknown);
    QCOMPARE(this->runs(), runs);
    QVERIFY(!QFile::exists(cache));
}

void TestEncoderCatalog::damagedCacheIsAskedAgainAndRewritten_data()
{
    // %1: the program's key as the cache wrote it. Each holds a list without libfake-1 that a
    // lenient reader would believe.
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a cache %1 aac\n");
    QTest::newRow("other version") << QByteArray("tolvane-encoders 2\n%1 aac\n");
    QTest::newRow("cut off") << QByteArray("tolvane-encoders 1\n%1 aac libf");
    QTest::newRow("empty names") << QByteArray("tolvane-encoders 1\n%1 aac  \n");
    QTest::newRow("key cut off") << QByteArray("tolvane-encoders 1\n%1\n");
}

void TestEncoderCatalog::damagedCacheIsAskedAgainAndRewritten()
{
    QFETCH(QByteArray, contents);

    QFile::remove(file(QStringLiteral("runs")));
    const QString program = script(QStringLiteral("lists"), "printf '" + fakeList + "'\n");
    const QString cache = file(QStringLiteral("damaged-%1").arg(QTest::currentDataTag()));
    QCOMPARE(EncoderCatalog::find(program, QStringLiteral("aac"), cache), Presence::Present);
    QFile f(cache);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = f.readAll().split('\n').value(1).split(' ');
    f.close();
    QCOMPARE(fields.size(), 6);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents.replace("%1", fields.mid(0, 4).join(' ')));
    f.close();

    for (int i = 0; i < 2; ++i)
        QCOMPARE(EncoderCatalog::find(program, QStringLiteral("libfake-1"), cache), Presence::Present);
    QCOMPARE(runs(), 2);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray rewritten = f.readAll();
    QVERIFY(rewritten.startsWith("tolvane-encoders 1\n"));
    QVERIFY(rewritten.endsWith(" aac libfake-1\n"));
}

void TestEncoderCatalog::unwritableCacheCostsOnlyTheCache()
{
    QFile::remove(file(QStringLiteral("runs")));
    const QString program = script(QStringLiteral("lists"), "printf '" + fakeList + "'\n");
    // A plain file where the cache folder should be.
    QFile blocker(file(QStringLiteral("notafolder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (int i = 0; i < 2; ++i)
        QCOMPARE(
            EncoderCatalog::find(program, QStringLiteral("aac"), blocker.fileName() + QStringLiteral("/enc")),
            Presence::Present);
    QCOMPARE(runs(), 2);
}

void TestEncoderCatalog::defaultCacheFileIsUnderTheCacheHome()
{
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(file(QStringLiteral("cachehome"))));
    const QString path = EncoderCatalog::defaultCacheFile();
    if (saved.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", saved);
    QCOMPARE(path, file(QStringLiteral("cachehome/quorrel/encoders")));
}

QTEST_GUILESS_MAIN(TestEncoderCatalog)
#include "tst_encodercatalog.moc"
