#include "update/pad.h"
#include "update/version.h"

#include "platform/versioninfo.h"

#include <QtTest>

class TestUpdateVersion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TFileVersionInfo::resetResource(); }

    void comparesPartByPart_data();
    void comparesPartByPart();
    void shortAndLongVersions();
    void partThatIsNoNumberIsAnError_data();
    void partThatIsNoNumberIsAnError();

    void readsVersionAndUrl();
    void takesEncodingFromDocument();
    void missingOrEmptyLeafReadsEmpty();
    void takesFirstElementOfAName();
    void unreadableDocuments_data();
    void unreadableDocuments();
    void deepNestingIsReadInOnePass();

    void installedVersionIsFileVersion();
    void laterStringsStandInForMissingFileVersion();
    void noResourceFails();
};

void TestUpdateVersion::comparesPartByPart_data()
{
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("newer");
    QTest::newRow("equal") << "1.8.0.0"
                           << "1.8.0.0" << false;
    QTest::newRow("minor up") << "1.9.0.0"
                              << "1.8.0.0" << true;
    QTest::newRow("last part up") << "1.8.0.1"
                                  << "1.8.0.0" << true;
    QTest::newRow("older") << "1.7.99.99"
                           << "1.8.0.0" << false;
    QTest::newRow("two-digit minor") << "1.10.0.0"
                                     << "1.9.0.0" << true;
    QTest::newRow("hundred is not a carry") << "1.8.100.0"
                                            << "1.9.0.0" << false;
    QTest::newRow("hundred below next minor") << "1.9.0.0"
                                              << "1.8.100.0" << true;
    QTest::newRow("major wins") << "2.0.0.0"
                                << "1.99.99.99" << true;
    QTest::newRow("no dot published") << "2"
                                      << "1.8.0.0" << false;
    QTest::newRow("no dot installed") << "1.9.0.0"
                                      << "1" << false;
    QTest::newRow("empty published") << ""
                                     << "1.8.0.0" << false;
    QTest::newRow("leading zeros") << "1.08.0.1"
                                   << "1.8.0.0" << true;
}

void TestUpdateVersion::comparesPartByPart()
{
    QFETCH(QString, published);
    QFETCH(QString, installed);
    QFETCH(bool, newer);
    QCOMPARE(IsNewerVersion(published, installed), newer);
}

void TestUpdateVersion::shortAndLongVersions()
{
    QCOMPARE(versionParts(QStringLiteral("1.9")), (std::array<quint32, 4>{1, 9, 0, 0}));
    QCOMPARE(versionParts(QStringLiteral("1.2.3")), (std::array<quint32, 4>{1, 2, 3, 0}));
    QCOMPARE(versionParts(QStringLiteral("1.2.3.4.x")), (std::array<quint32, 4>{1, 2, 3, 4}));
    QVERIFY(!IsNewerVersion(QStringLiteral("1.2.3"), QStringLiteral("1.8.0.0")));
    QVERIFY(IsNewerVersion(QStringLiteral("1.9"), QStringLiteral("1.8.0.0")));
    QVERIFY(!IsNewerVersion(QStringLiteral("1.8"), QStringLiteral("1.8.0.0")));
    QVERIFY(!IsNewerVersion(QStringLiteral("1.8.0.0.9"), QStringLiteral("1.8.0.0")));
}

void TestUpdateVersion::partThatIsNoNumberIsAnError_data()
{
    QTest::addColumn<QString>("published");
    QTest::newRow("letter") << "1.x.0.0";
    QTest::newRow("empty part") << "1..0.0";
    QTest::newRow("sign") << "1.-2.0.0";
    QTest::newRow("beyond 32 bits") << "1.99999999999.0.0";
    QTest::newRow("trailing dot") << "1.";
}

void TestUpdateVersion::partThatIsNoNumberIsAnError()
{
    QFETCH(QString, published);
    QVERIFY_THROWS_EXCEPTION(EVersionError, IsNewerVersion(published, QStringLiteral("1.8.0.0")));
    QVERIFY_THROWS_EXCEPTION(EVersionError, IsNewerVersion(QStringLiteral("1.8.0.0"), published));
}

void TestUpdateVersion::readsVersionAndUrl()
{
    const PadInfo pad = readPad("<?xml version=\"1.0\"?>\n<XML_DIZ_INFO>\n"
                                " <Program_Info>\n  <Program_Name>Tolvane</Program_Name>\n"
                                "  <Program_Version>1.9.0.0</Program_Version>\n </Program_Info>\n"
                                " <Web_Info><Download_URLs>\n"
                                "  <Primary_Download_URL>https://example.org/t.exe</Primary_Download_URL>\n"
                                " </Download_URLs></Web_Info>\n</XML_DIZ_INFO>\n");
    QCOMPARE(pad.version, QStringLiteral("1.9.0.0"));
    QCOMPARE(pad.downloadUrl, QStringLiteral("https://example.org/t.exe"));
}

void TestUpdateVersion::takesEncodingFromDocument()
{
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><Program_Info>"
                              "<Program_Version>1.9</Program_Version></Program_Info><Web_Info><Download_URLs>"
                              "<Primary_Download_URL>http://h/caf\xe9</Primary_Download_URL>"
                              "</Download_URLs></Web_Info></r>";
    QCOMPARE(readPad(latin1).downloadUrl, QStringLiteral("http://h/caf\u00e9"));
}

void TestUpdateVersion::missingOrEmptyLeafReadsEmpty()
{
    const PadInfo missing = readPad("<r><Program_Info/><Web_Info><Download_URLs/></Web_Info></r>");
    QCOMPARE(missing.version, QString());
    QCOMPARE(missing.downloadUrl, QString());
    const PadInfo empty =
        readPad("<r><Program_Info><Program_Version></Program_Version></Program_Info>"
                "<Web_Info><Download_URLs><Primary_Download_URL/></Download_URLs></Web_Info></r>");
    QCOMPARE(empty.version, QString());
    QCOMPARE(empty.downloadUrl, QString());
}

void TestUpdateVersion::takesFirstElementOfAName()
{
    const PadInfo pad = readPad("<r><Program_Info><Program_Version>1.9</Program_Version>"
                                "<Program_Version>5.0</Program_Version></Program_Info>"
                                "<Program_Info><Program_Version>7.0</Program_Version></Program_Info>"
                                "<Web_Info><Download_URLs><Primary_Download_URL>u</Primary_Download_URL>"
                                "</Download_URLs></Web_Info></r>");
    QCOMPARE(pad.version, QStringLiteral("1.9"));
}

void TestUpdateVersion::unreadableDocuments_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray web = "<Web_Info><Download_URLs><Primary_Download_URL>u</Primary_Download_URL>"
                           "</Download_URLs></Web_Info>";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("html error page") << QByteArray(
        "<html><head><title>404 Not Found</title></head><body><h1>Not Found<br></h1></body></html>");
    QTest::newRow("not closed") << QByteArray("<r><Program_Info><Program_Version>1.9");
    QTest::newRow("no Program_Info") << QByteArray("<r>" + web + "</r>");
    QTest::newRow("no Web_Info") << QByteArray(
        "<r><Program_Info><Program_Version>1</Program_Version></Program_Info></r>");
    QTest::newRow("no Download_URLs") << QByteArray("<r><Program_Info/><Web_Info/></r>");
    QTest::newRow("prefixed name") << QByteArray("<r><a:Program_Info/>" + web + "</r>");
    QTest::newRow("version holds elements") << QByteArray(
        "<r><Program_Info><Program_Version><b>1.9</b></Program_Version></Program_Info>" + web + "</r>");
    QTest::newRow("version holds text and a comment") << QByteArray(
        "<r><Program_Info><Program_Version>1.9<!-- x --></Program_Version></Program_Info>" + web + "</r>");
    QTest::newRow("url holds elements") << QByteArray(
        "<r><Program_Info/><Web_Info><Download_URLs><Primary_Download_URL><a/></Primary_Download_URL>"
        "</Download_URLs></Web_Info></r>");
}

void TestUpdateVersion::unreadableDocuments()
{
    QFETCH(QByteArray, data);
    QVERIFY_THROWS_EXCEPTION(EPadError, readPad(data));
}

void TestUpdateVersion::deepNestingIsReadInOnePass()
{
    // Beside the read paths, and unclosed: a document tree takes minutes for either.
    const qsizetype depth = 100000;
    const QByteArray nested = QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
    const QByteArray data = "<r><Program_Info><Program_Version>1.9</Program_Version></Program_Info>" +
                            nested +
                            "<Web_Info><Download_URLs><Primary_Download_URL>u</Primary_Download_URL>"
                            "</Download_URLs></Web_Info></r>";
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(readPad(data).version, QStringLiteral("1.9"));
    QVERIFY_THROWS_EXCEPTION(EPadError, readPad(QByteArray("<a>").repeated(depth)));
    QVERIFY2(timer.elapsed() < 10000, QByteArray::number(timer.elapsed()) + " ms");
}

void TestUpdateVersion::installedVersionIsFileVersion()
{
    QStringList list{QStringLiteral("stale")};
    QVERIFY(ReadVersionInfo(list));
    QCOMPARE(list.size(), 4);
    QCOMPARE(list.constFirst(), QStringLiteral("1.8.0.0"));
    QCOMPARE(list.at(2), QStringLiteral("Tolvane"));
}

void TestUpdateVersion::laterStringsStandInForMissingFileVersion()
{
    TFileVersionInfo::Resource r;
    r.translation = QStringLiteral("040904E4");
    r.strings.insert(QStringLiteral("ProductName"), QStringLiteral("Tolvane"));
    r.strings.insert(QStringLiteral("ProductVersion"), QStringLiteral("1.8"));
    TFileVersionInfo::setResourceForTesting(r);
    QStringList list;
    QVERIFY(ReadVersionInfo(list));
    QCOMPARE(list, (QStringList{QStringLiteral("Tolvane"), QStringLiteral("1.8")}));

    r.strings.clear();
    TFileVersionInfo::setResourceForTesting(r);
    QVERIFY(ReadVersionInfo(list));
    QVERIFY(list.isEmpty());
}

void TestUpdateVersion::noResourceFails()
{
    TFileVersionInfo::setResourceForTesting(std::nullopt);
    QStringList list{QStringLiteral("stale")};
    QVERIFY(!ReadVersionInfo(list));
    QVERIFY(list.isEmpty());
}

QTEST_GUILESS_MAIN(TestUpdateVersion)
#include "tst_updateversion.moc"
