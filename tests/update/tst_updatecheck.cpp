#include "update/checkpad.h"

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/versioninfo.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// A loopback HTTP server that answers every request with one prepared response and closes.
class HttpServer : public QObject
{
public:
    HttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            }
        });
    }

    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/quorrel/quorrel.xml").arg(m_server.serverPort());
    }

    QByteArray response;
    bool silent = false;  // accepts and reads, never answers
    bool endless = false; // a chunked answer that never ends, sent as fast as it is taken
    int connections = 0;
    QByteArray lastRequest;

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        lastRequest = request;
        if (silent)
            return;
        if (endless) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n");
            connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
                static const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
                while (socket->state() == QAbstractSocket::ConnectedState &&
                       socket->bytesToWrite() < 4 * chunk.size())
                    socket->write(chunk);
            });
            return;
        }
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QByteArray httpResponse(const QByteArray &body, qint64 announced, const QByteArray &status = "200 OK")
{
    QByteArray r = "HTTP/1.1 " + status + "\r\nContent-Type: text/xml\r\nConnection: close\r\n";
    if (announced >= 0)
        r += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    return r + "\r\n" + body;
}

QByteArray httpResponse(const QByteArray &body)
{
    return httpResponse(body, body.size());
}

QByteArray pad(const QByteArray &version, const QByteArray &url = "https://example.org/tolvane-setup.exe")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n  <Program_Info>\r\n"
           "    <Program_Name>Tolvane</Program_Name>\r\n    <Program_Version>" +
           version +
           "</Program_Version>\r\n  </Program_Info>\r\n  <Web_Info>\r\n    <Download_URLs>\r\n"
           "      <Primary_Download_URL>" +
           url + "</Primary_Download_URL>\r\n    </Download_URLs>\r\n  </Web_Info>\r\n</XML_DIZ_INFO>\r\n";
}

void setInstalledVersion(const QString &version)
{
    TFileVersionInfo::Resource r;
    r.translation = QStringLiteral("040904E4");
    r.strings.insert(QStringLiteral("FileVersion"), version);
    r.strings.insert(QStringLiteral("ProductName"), QStringLiteral("Tolvane"));
    TFileVersionInfo::setResourceForTesting(r);
}

QString unreachableUrl()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    return QStringLiteral("http://127.0.0.1:%1/quorrel/quorrel.xml").arg(port);
}

// Peak resident memory in KiB since the last resetPeakMemory(), or -1 where the system keeps none.
qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

bool resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

const QString latestText = QStringLiteral("You already have the latest version 1.8.0.0 of this program");

QString warningText(const QString &url)
{
    return QStringLiteral("Couldn't download file version information from:\r\n") + url +
           QStringLiteral(" !");
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void comparesPublishedWithInstalled_data();
    void comparesPublishedWithInstalled();
    void promptNamesTheHostYesOpens_data();
    void promptNamesTheHostYesOpens();
    void downloadUrlThatIsNotHttpsIsNotOffered_data();
    void downloadUrlThatIsNotHttpsIsNotOffered();
    void asksWithOwnUserAgent();
    void onGetUrlReceivesPublishedValues();
    void consecutiveChecksEachReport();

    void badAnswers_data();
    void badAnswers();
    void endlessAnswerEndsAtTheLimitWithoutGrowing();
    void failureDialogOffGoesOnWithWhatArrived();
    void noVersionResourceShowsNothing();

    void secondCheckWhileRunningIsIgnored();
    void destroyingDuringDownloadReportsNothing();
    void destroyingFromInsideItsDialogIsSafe();

private:
    bool runCheck(TmGetNewVer &check);
    QStringList dialogTexts() const;

    struct Shown
    {
        Dialogs::Request request;
        bool onUiThread = false;
    };
    QList<Shown> m_dialogs;
    QList<Dialogs::Answer> m_answers;
    std::function<void()> m_onDialog;
    QStringList m_opened;
};

void TestUpdateCheck::init()
{
    m_dialogs.clear();
    m_answers.clear();
    m_opened.clear();
    m_onDialog = nullptr;
    setInstalledVersion(QStringLiteral("1.8.0.0"));
    Dialogs::setHandler([this](const Dialogs::Request &request) {
        m_dialogs.append({request, QThread::currentThread() == qApp->thread()});
        Dialogs::Answer answer = Dialogs::Answer::Ok;
        if (request.buttons == Dialogs::Buttons::YesNo)
            answer = m_answers.isEmpty() ? Dialogs::Answer::No : m_answers.takeFirst();
        if (m_onDialog)
            m_onDialog();
        return Dialogs::Reply{answer, {}};
    });
    Launcher::setHandler([this](const Launcher::Request &request) {
        m_opened << request.target;
        return true;
    });
}

void TestUpdateCheck::cleanup()
{
    Dialogs::setHandler(nullptr);
    Launcher::setHandler(nullptr);
    TFileVersionInfo::resetResource();
}

bool TestUpdateCheck::runCheck(TmGetNewVer &check)
{
    QSignalSpy finished(&check, &TmGetNewVer::checkFinished);
    check.Check();
    return finished.wait(20000);
}

QStringList TestUpdateCheck::dialogTexts() const
{
    QStringList texts;
    for (const Shown &s : m_dialogs)
        texts << s.request.text;
    return texts;
}

void TestUpdateCheck::comparesPublishedWithInstalled_data()
{
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("newer");
    QTest::newRow("same") << QByteArray("1.8.0.0") << "1.8.0.0" << false;
    QTest::newRow("minor up") << QByteArray("1.9.0.0") << "1.8.0.0" << true;
    QTest::newRow("last part up") << QByteArray("1.8.0.1") << "1.8.0.0" << true;
    QTest::newRow("older") << QByteArray("1.7.99.99") << "1.8.0.0" << false;
    QTest::newRow("two-digit minor") << QByteArray("1.10.0.0") << "1.9.0.0" << true;
    QTest::newRow("no dot") << QByteArray("2") << "1.8.0.0" << false;
    QTest::newRow("third part of 100") << QByteArray("1.8.100.0") << "1.9.0.0" << false;
    QTest::newRow("installed third part of 100") << QByteArray("1.9.0.0") << "1.8.100.0" << true;
    QTest::newRow("three parts") << QByteArray("1.2.3") << "1.8.0.0" << false;
    QTest::newRow("two parts, newer") << QByteArray("1.9") << "1.8.0.0" << true;
}

void TestUpdateCheck::comparesPublishedWithInstalled()
{
    QFETCH(QByteArray, published);
    QFETCH(QString, installed);
    QFETCH(bool, newer);
    setInstalledVersion(installed);
    HttpServer server;
    server.response = httpResponse(pad(published));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    QVERIFY(runCheck(check));

    QCOMPARE(m_dialogs.size(), 1);
    const Dialogs::Request &box = m_dialogs.constFirst().request;
    QVERIFY(m_dialogs.constFirst().onUiThread);
    QCOMPARE(box.caption, QStringLiteral("Confirm"));
    QCOMPARE(box.icon, Dialogs::Icon::Question);
    if (newer) {
        QCOMPARE(box.text, QStringLiteral("There's a new version ") + QString::fromLatin1(published) +
                               QStringLiteral(" of this program\r\navaliable at: example.org\r\n"
                                              "Do you wan't to download it now ?"));
        QCOMPARE(box.buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(box.defaultAnswer, Dialogs::Answer::Yes);
    } else {
        QCOMPARE(box.text, QStringLiteral("You already have the latest version ") + installed +
                               QStringLiteral(" of this program"));
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    }
    QVERIFY(m_opened.isEmpty()); // "No" or nothing to download
}

void TestUpdateCheck::promptNamesTheHostYesOpens_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("opened");
    QTest::newRow("query") << QByteArray("https://example.org/files/tolvane-1.9.exe?x=1&amp;y=2")
                           << "example.org"
                           << "https://example.org/files/tolvane-1.9.exe?x=1&y=2";
    QTest::newRow("user info posing as the site")
        << QByteArray("https://www.morvexa.com@files.example/t.exe") << "files.example"
        << "https://www.morvexa.com@files.example/t.exe";
    QTest::newRow("look-alike letter")
        << QByteArray("https://www.morvex\xd0\xb0.com/t.exe") << "www.xn--morvex-8nf.com"
        << "https://www.xn--morvex-8nf.com/t.exe";
}

void TestUpdateCheck::promptNamesTheHostYesOpens()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, host);
    QFETCH(QString, opened);
    HttpServer server;
    server.response = httpResponse(pad("1.9.0.0", url));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    check.SiteName = QStringLiteral("www.morvexa.com");
    m_answers << Dialogs::Answer::Yes;
    QVERIFY(runCheck(check));
    QCOMPARE(dialogTexts(), QStringList{QStringLiteral("There's a new version 1.9.0.0 of this program\r\n"
                                                       "avaliable at: ") +
                                        host + QStringLiteral("\r\nDo you wan't to download it now ?")});
    QCOMPARE(m_opened, QStringList{opened});
}

void TestUpdateCheck::downloadUrlThatIsNotHttpsIsNotOffered_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("plain http") << QByteArray("http://example.org/t.exe");
    QTest::newRow("https without host") << QByteArray("https:///t.exe");
    QTest::newRow("local program") << QByteArray("/usr/bin/xterm");
    QTest::newRow("file url") << QByteArray("file:///bin/sh");
    QTest::newRow("other scheme") << QByteArray("javascript:alert(1)");
}

// As quiet as an unreadable version file: nothing is asked, nothing opens.
void TestUpdateCheck::downloadUrlThatIsNotHttpsIsNotOffered()
{
    QFETCH(QByteArray, url);
    HttpServer server;
    server.response = httpResponse(pad("1.9.0.0", url));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    m_answers << Dialogs::Answer::Yes;
    QVERIFY(runCheck(check));
    QVERIFY(m_dialogs.isEmpty());
    QVERIFY(m_opened.isEmpty());
}

void TestUpdateCheck::asksWithOwnUserAgent()
{
    HttpServer server;
    server.response = httpResponse(pad("1.8.0.0"));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    QVERIFY(runCheck(check));
    QVERIFY(server.lastRequest.startsWith("GET /quorrel/quorrel.xml HTTP/1.1\r\n"));
    QVERIFY(server.lastRequest.contains("\r\nUser-Agent: Check updates\r\n"));
}

void TestUpdateCheck::onGetUrlReceivesPublishedValues()
{
    HttpServer server;
    server.response = httpResponse(pad("1.7.0.0", "https://example.org/old.exe"));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    QStringList seen;
    check.OnGetURL = [&](TmGetNewVer *sender, const QString &version, const QString &url) {
        QCOMPARE(sender, &check);
        seen << version << url << QString::number(m_dialogs.size());
    };
    QVERIFY(runCheck(check));
    QCOMPARE(seen, (QStringList{"1.7.0.0", "https://example.org/old.exe", "0"}));
    QCOMPARE(dialogTexts(), QStringList{latestText});
}

void TestUpdateCheck::consecutiveChecksEachReport()
{
    HttpServer server;
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    server.response = httpResponse(pad("1.9.0.0"));
    QVERIFY(runCheck(check));
    server.response = httpResponse(pad("1.8.0.0"));
    QVERIFY(runCheck(check));
    QCOMPARE(m_dialogs.size(), 2);
    QVERIFY(m_dialogs.at(0).request.text.startsWith(QStringLiteral("There's a new version 1.9.0.0")));
    QCOMPARE(m_dialogs.at(1).request.text, latestText);
}

void TestUpdateCheck::badAnswers_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QStringList>("expected"); // "%warning" stands for the warning with the URL

    const QString unable = QStringLiteral("Unable to download file.");
    const QString warning = QStringLiteral("%warning");
    const QByteArray good = pad("1.8.0.0");
    QByteArray big(10 * 1024 * 1024, 'x');

    QTest::newRow("unreachable") << QByteArray("@unreachable") << QStringList{unable, warning};
    QTest::newRow("never answers") << QByteArray("@silent") << QStringList{unable, warning};
    QTest::newRow("no response at all") << QByteArray("") << QStringList{unable, warning};
    QTest::newRow("no content length") << httpResponse(good, -1) << QStringList{warning};
    QTest::newRow("fewer bytes") << httpResponse(good, good.size() + 10) << QStringList{warning};
    QTest::newRow("nothing after headers") << httpResponse(QByteArray(), 100) << QStringList{warning};
    QTest::newRow("more bytes than announced, cut XML")
        << httpResponse(good, good.size() / 2) << QStringList{};
    QTest::newRow("announced length is no number")
        << httpResponse(good, -1).replace("Connection: close\r\n",
                                          "Connection: close\r\nContent-Length: lots\r\n")
        << QStringList{warning};
    const QByteArray errorPage =
        "<html><head><title>404 Not Found</title></head><body><p>Gone<br></body></html>";
    QTest::newRow("html error page") << httpResponse(errorPage, errorPage.size(), "404 Not Found")
                                     << QStringList{};
    QTest::newRow("server error with valid file")
        << httpResponse(good, good.size(), "500 Internal Server Error") << QStringList{latestText};
    QTest::newRow("malformed xml") << httpResponse("<XML_DIZ_INFO><Program_Info><Program_Version>1.9")
                                   << QStringList{};
    QTest::newRow("element with child elements")
        << httpResponse(pad("<Major>1</Major><Minor>9</Minor>")) << QStringList{};
    QTest::newRow("no Program_Info")
        << httpResponse("<XML_DIZ_INFO><Web_Info><Download_URLs/></Web_Info></XML_DIZ_INFO>")
        << QStringList{};
    QTest::newRow("missing version") << httpResponse(
                                            "<a><Program_Info/><Web_Info><Download_URLs/></Web_Info></a>")
                                     << QStringList{latestText};
    QTest::newRow("version 1.x.0.0") << httpResponse(pad("1.x.0.0")) << QStringList{};
    QTest::newRow("version 1.2.3") << httpResponse(pad("1.2.3")) << QStringList{latestText};
    QTest::newRow("version 2") << httpResponse(pad("2")) << QStringList{latestText};
    QTest::newRow("10 MiB announced") << httpResponse(big) << QStringList{warning};
    QTest::newRow("10 MiB unannounced") << httpResponse(big, -1) << QStringList{warning};
}

void TestUpdateCheck::badAnswers()
{
    QFETCH(QByteArray, response);
    QFETCH(QStringList, expected);

    HttpServer server;
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    if (response == "@unreachable")
        check.URLCurrVerFile = unreachableUrl();
    server.silent = response == "@silent";
    server.response = response;
    check.setTimeLimit(std::chrono::milliseconds(300));
    if (response.size() > 1024 * 1024)
        check.setTimeLimit(std::chrono::seconds(20));
    QVERIFY(runCheck(check));

    expected.replaceInStrings(QStringLiteral("%warning"), warningText(check.URLCurrVerFile));
    QCOMPARE(dialogTexts(), expected);
    for (const Shown &s : m_dialogs) {
        QVERIFY(s.onUiThread);
        QCOMPARE(s.request.buttons, Dialogs::Buttons::Ok);
        if (s.request.text.startsWith(QStringLiteral("Unable"))) {
            QCOMPARE(s.request.caption, QStringLiteral("Tolvane"));
        } else if (s.request.text.startsWith(QStringLiteral("Couldn't"))) {
            QCOMPARE(s.request.caption, QStringLiteral("Warning"));
            QCOMPARE(s.request.icon, Dialogs::Icon::Warning);
        }
    }
    QVERIFY(m_opened.isEmpty());
}

void TestUpdateCheck::endlessAnswerEndsAtTheLimitWithoutGrowing()
{
    HttpServer server;
    server.endless = true;
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    check.setTimeLimit(std::chrono::seconds(20));
    if (!resetPeakMemory() || peakMemory() < 0)
        QSKIP("This system keeps no resettable peak memory");
    const qint64 before = peakMemory();
    QVERIFY(runCheck(check));
    QCOMPARE(dialogTexts(), QStringList{warningText(check.URLCurrVerFile)});
    // A few MiB, some more under sanitizers; an unbounded reply grew by gigabytes here.
    QVERIFY2(peakMemory() - before < 64 * 1024, QByteArray::number(peakMemory() - before) + " KiB");
}

void TestUpdateCheck::failureDialogOffGoesOnWithWhatArrived()
{
    HttpServer server;
    server.response = httpResponse(pad("1.8.0.0"), -1);
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    check.FailureDlg = false;
    QVERIFY(runCheck(check));
    QCOMPARE(dialogTexts(), QStringList{latestText});

    m_dialogs.clear();
    check.URLCurrVerFile = unreachableUrl();
    QVERIFY(runCheck(check));
    QCOMPARE(dialogTexts(), QStringList{QStringLiteral("Unable to download file.")});
}

void TestUpdateCheck::noVersionResourceShowsNothing()
{
    TFileVersionInfo::setResourceForTesting(std::nullopt);
    HttpServer server;
    server.response = httpResponse(pad("1.9.0.0"));
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    bool called = false;
    check.OnGetURL = [&](TmGetNewVer *, const QString &, const QString &) { called = true; };
    QVERIFY(runCheck(check));
    QVERIFY(m_dialogs.isEmpty());
    QVERIFY(!called);
}

void TestUpdateCheck::secondCheckWhileRunningIsIgnored()
{
    HttpServer server;
    server.silent = true;
    TmGetNewVer check;
    check.URLCurrVerFile = server.url();
    check.setTimeLimit(std::chrono::seconds(2));
    QSignalSpy finished(&check, &TmGetNewVer::checkFinished);
    check.Check();
    QTRY_COMPARE(server.connections, 1);
    check.Check();
    check.Check();
    QVERIFY(check.isChecking());
    QVERIFY(finished.wait(20000));
    QCOMPARE(server.connections, 1);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(m_dialogs.size(), 2); // the one check's failure
    QVERIFY(!check.isChecking());
}

void TestUpdateCheck::destroyingDuringDownloadReportsNothing()
{
    HttpServer server;
    server.silent = true;
    auto *check = new TmGetNewVer;
    check->URLCurrVerFile = server.url();
    check->Check();
    QTRY_COMPARE(server.connections, 1);
    delete check; // returns without waiting for the 30 s limit
    QCoreApplication::processEvents();
    QVERIFY(m_dialogs.isEmpty());
}

void TestUpdateCheck::destroyingFromInsideItsDialogIsSafe()
{
    HttpServer server;
    server.response = httpResponse(pad("1.8.0.0"));
    auto *check = new TmGetNewVer;
    check->URLCurrVerFile = server.url();
    QPointer<TmGetNewVer> guard(check);
    m_onDialog = [&] { delete check; };
    check->Check();
    QTRY_VERIFY(!guard);
    QCOMPARE(dialogTexts(), QStringList{latestText});
    // The download thread finishes and is freed on its own.
    QTRY_VERIFY(qApp->findChildren<QThread *>().isEmpty());
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
