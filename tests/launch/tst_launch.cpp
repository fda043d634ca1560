#include "launch/help.h"
#include "launch/links.h"
#include "launch/tools.h"

#include "buildinfo.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/launcher.h"
#include "settings/store.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

QTemporaryDir *configHome = nullptr;

// Writes a tool's settings as the tool itself would.
void writeToolSettings(const QString &organisation, const QString &id, const QString &pathValue,
                       const QString &valueName = QStringLiteral("path"))
{
    FileSettingsStore store(FileSettingsStore::filePathFor(organisation, id));
    QVERIFY(store.createKey());
    store.write(valueName, pathValue);
    QVERIFY(store.flush());
}

const CompanionTool &firstTool()
{
    return companionTools().constFirst();
}

QString firstToolId()
{
    return firstTool().key.split(QLatin1Char('\\')).at(2);
}

const QString notInstalled =
    QStringLiteral("Component not installed.\r\nPlease download and install it from our site.");

} // namespace

class TestLaunch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void settingsStayInTemporaryFolder();
    void linksShareOneHost();
    void homePageOpensInBrowser();

    void sevenToolsOfTheMaker();
    void installedToolStartsDetached();
    void toolNotInstalledOffersItsPage_data();
    void toolNotInstalledOffersItsPage();
    void folderWithoutTrailingSeparatorRunsIntoProgramName();
    void keyIsMatchedRegardlessOfCase();
    void parametersGoAsOneArgument();

    void helpFileBesideProgram();
    void helpFileOpensAsItIs();
    void missingHelpFileIsAnError();
    void failedOpenerIsAnError();
    void manualIsInstalledBesideProgram();

private:
    QStringList m_log; // dialogs and launches in the order they happened
    QList<Dialogs::Request> m_dialogs;
    QList<Launcher::Request> m_launches;
    bool m_launchSucceeds = true;
};

void TestLaunch::init()
{
    m_log.clear();
    m_dialogs.clear();
    m_launches.clear();
    m_launchSucceeds = true;
    QDir(configHome->path()).removeRecursively();
    QDir().mkpath(configHome->path());
    Dialogs::setHandler([this](const Dialogs::Request &request) {
        m_dialogs << request;
        m_log << QStringLiteral("dialog");
        return Dialogs::Reply{Dialogs::Answer::Ok, {}};
    });
    Launcher::setHandler([this](const Launcher::Request &request) {
        m_launches << request;
        m_log << (request.kind == Launcher::Kind::Open ? QStringLiteral("open") : QStringLiteral("start"));
        return m_launchSucceeds;
    });
}

void TestLaunch::cleanup()
{
    Dialogs::setHandler(nullptr);
    Launcher::setHandler(nullptr);
}

void TestLaunch::settingsStayInTemporaryFolder()
{
    QVERIFY(FileSettingsStore::filePathFor(QStringLiteral("Morvexa"), QStringLiteral("sarnic"))
                .startsWith(configHome->path() + QLatin1Char('/')));
}

void TestLaunch::linksShareOneHost()
{
    const QString host = QLatin1String(BuildInfo::siteHost);
    QCOMPARE(Links::siteHost(), host);
    QCOMPARE(Links::homePageUrl(), QStringLiteral("https://") + host + QStringLiteral("/?ref=quorrel"));
    QCOMPARE(Links::updateFileUrl(),
             QStringLiteral("https://") + host + QStringLiteral("/quorrel/quorrel.xml"));
    QCOMPARE(Links::productPageUrl(QStringLiteral("sarnic")),
             QStringLiteral("https://") + host + QStringLiteral("/sarnic/index.shtml?ref=quorrel"));
    QCOMPARE(Links::supportMailUrl(), QStringLiteral("mailto:") + QLatin1String(BuildInfo::supportEmail));
    QVERIFY(QUrl(Links::homePageUrl(), QUrl::StrictMode).isValid());
}

void TestLaunch::homePageOpensInBrowser()
{
    openHomePage();
    QCOMPARE(m_launches.size(), 1);
    QCOMPARE(m_launches.constFirst().kind, Launcher::Kind::Open);
    QCOMPARE(m_launches.constFirst().target, Links::homePageUrl());
    QVERIFY(m_dialogs.isEmpty());
}

void TestLaunch::sevenToolsOfTheMaker()
{
    const QList<CompanionTool> &tools = companionTools();
    QCOMPARE(tools.size(), 7);
    static const QRegularExpression keyForm(QStringLiteral("^software\\\\morvexa\\\\([a-z]+)\\\\settings$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QSet<QString> captions, ids;
    for (const CompanionTool &tool : tools) {
        const QRegularExpressionMatch m = keyForm.match(tool.key);
        QVERIFY2(m.hasMatch(), qPrintable(tool.key));
        const QString id = m.captured(1);
        QVERIFY(tool.key.contains(QStringLiteral("\\Morvexa\\") + id + QStringLiteral("\\Settings")));
        QCOMPARE(tool.exeName, id + Environment::executableSuffix());
        QVERIFY(tool.params.isEmpty());
        QCOMPARE(tool.page, Links::productPageUrl(id));
        QVERIFY(!tool.caption.isEmpty());
        QVERIFY(id != QLatin1String("quorrel"));
        captions << tool.caption;
        ids << id;
    }
    QCOMPARE(captions.size(), 7);
    QCOMPARE(ids.size(), 7);
}

void TestLaunch::installedToolStartsDetached()
{
    writeToolSettings(QStringLiteral("Morvexa"), firstToolId(), QStringLiteral("/opt/morvexa tools/x/"));
    runCompanionTool(firstTool());
    QVERIFY(m_dialogs.isEmpty());
    QCOMPARE(m_launches.size(), 1);
    QCOMPARE(m_launches.constFirst().kind, Launcher::Kind::Start);
    QCOMPARE(m_launches.constFirst().target, QStringLiteral("/opt/morvexa tools/x/") + firstTool().exeName);
    QCOMPARE(m_launches.constFirst().arguments, QStringList{QString()}); // the two double quotes
}

void TestLaunch::toolNotInstalledOffersItsPage_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("no settings") << "none";
    QTest::newRow("no path value") << "other";
    QTest::newRow("empty path") << "empty";
    QTest::newRow("settings of another tool") << "another";
}

void TestLaunch::toolNotInstalledOffersItsPage()
{
    QFETCH(QString, setup);
    if (setup == QLatin1String("other"))
        writeToolSettings(QStringLiteral("Morvexa"), firstToolId(), QStringLiteral("x"),
                          QStringLiteral("user"));
    else if (setup == QLatin1String("empty"))
        writeToolSettings(QStringLiteral("Morvexa"), firstToolId(), QString());
    else if (setup == QLatin1String("another"))
        writeToolSettings(QStringLiteral("Morvexa"), QStringLiteral("quorrel"), QStringLiteral("/opt/q/"));

    runCompanionTool(firstTool());
    QCOMPARE(m_log, (QStringList{"dialog", "open"}));
    const Dialogs::Request &box = m_dialogs.constFirst();
    QCOMPARE(box.text, notInstalled);
    QCOMPARE(box.caption, QStringLiteral("Tolvane"));
    QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(box.owner, nullptr);
    QCOMPARE(m_launches.constFirst().kind, Launcher::Kind::Open);
    QCOMPARE(m_launches.constFirst().target, firstTool().page);
}

void TestLaunch::folderWithoutTrailingSeparatorRunsIntoProgramName()
{
    writeToolSettings(QStringLiteral("Morvexa"), firstToolId(), QStringLiteral("/opt/x"));
    runCompanionTool(firstTool());
    QVERIFY(m_dialogs.isEmpty());
    QCOMPARE(m_launches.size(), 1);
    QCOMPARE(m_launches.constFirst().target, QStringLiteral("/opt/x") + firstTool().exeName);
}

void TestLaunch::keyIsMatchedRegardlessOfCase()
{
    writeToolSettings(QStringLiteral("Morvexa"), QStringLiteral("wavelor"), QStringLiteral("/opt/w/"),
                      QStringLiteral("Path"));
    RunCompanionTool(QStringLiteral("SOFTWARE\\morvexa\\WaveLor\\settings"), QStringLiteral("wavelor"),
                     QString(), QStringLiteral("https://example.org/"));
    QCOMPARE(m_log, QStringList{"start"});
    QCOMPARE(m_launches.constFirst().target, QStringLiteral("/opt/w/wavelor"));
    QCOMPARE(companionToolFolder(QStringLiteral("Software\\Morvexa\\wavelor\\Settings")),
             QStringLiteral("/opt/w/"));
    // Not a key of that form at all.
    QCOMPARE(companionToolFolder(QStringLiteral("Software\\Morvexa\\..\\Settings")), QString());
    QCOMPARE(companionToolFolder(QStringLiteral("wavelor")), QString());
}

void TestLaunch::parametersGoAsOneArgument()
{
    writeToolSettings(QStringLiteral("Morvexa"), firstToolId(), QStringLiteral("/opt/x/"));
    RunCompanionTool(firstTool().key, firstTool().exeName, QStringLiteral("a b"), firstTool().page);
    QCOMPARE(m_launches.constFirst().arguments, QStringList{QStringLiteral("a b")});
}

void TestLaunch::helpFileBesideProgram()
{
    QCOMPARE(helpFilePath(), Environment::programFolder() + QStringLiteral("quorrel.html"));
    QVERIFY(helpFilePath().startsWith(QCoreApplication::applicationDirPath()));
}

void TestLaunch::helpFileOpensAsItIs()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Program Files/Tolvane"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/quorrel.html");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
    file.close();

    OpenHelpFile(path);
    QCOMPARE(m_launches.size(), 1);
    QCOMPARE(m_launches.constFirst().kind, Launcher::Kind::Open);
    QCOMPARE(m_launches.constFirst().target, path);
    QVERIFY(m_dialogs.isEmpty());
}

void TestLaunch::missingHelpFileIsAnError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorrel.html"));
    try {
        OpenHelpFile(path);
        QFAIL("no error raised");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to open help file ") + path);
        QCOMPARE(errorReportText(e.message()), QStringLiteral("Unable to open help file ") + path + '.');
    }
    QVERIFY(m_launches.isEmpty());

    // A folder of that name is no help file either.
    QVERIFY(QDir().mkpath(path));
    QVERIFY_THROWS_EXCEPTION(Exception, OpenHelpFile(path));
    QVERIFY(m_launches.isEmpty());
}

void TestLaunch::failedOpenerIsAnError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorrel.html"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_launchSucceeds = false;
    try {
        OpenHelpFile(path);
        QFAIL("no error raised");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to open help file ") + path);
    }
    QCOMPARE(m_launches.size(), 1);
}

void TestLaunch::manualIsInstalledBesideProgram()
{
    QFile source(QStringLiteral(TOLVANE_MANUAL_SOURCE));
    QFile copy(QStringLiteral(TOLVANE_MANUAL_COPY));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    const QByteArray text = copy.readAll();
    QCOMPARE(text, source.readAll());
    for (const char *topic :
         {"/AUTOMATE", "Add Files", "Add Folder", "Drag and drop", "--jobs=N", "--existing=overwrite",
          "--existing=skip", "--existing=rename", "--help", "--version", "Recurse SubFolders",
          "Done!&lt;TAB&gt;input&lt;TAB&gt;output", "Failed&lt;TAB&gt;input&lt;TAB&gt;reason",
          "Skipped&lt;TAB&gt;input&lt;TAB&gt;output", "<td>0</td><td>every file was converted",
          "<td>1</td><td>there was nothing to convert", "<td>2</td><td>some file failed"})
        QVERIFY2(text.contains(topic), topic);
}

int main(int argc, char **argv)
{
    // Every settings file of this run goes to a folder of its own.
    QTemporaryDir config;
    configHome = &config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QGuiApplication app(argc, argv);
    TestLaunch test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_launch.moc"
