#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "app/settingsform.h"
#include "platform/environment.h"
#include "settings/store.h"
#include "update/checkpad.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

namespace {

QString settingsFile()
{
    return QDir(AppTest::configHome()).filePath(QStringLiteral("Morvexa/quorrel.conf"));
}

void writeSettings(const QByteArray &text)
{
    QDir().mkpath(QDir(AppTest::configHome()).filePath(QStringLiteral("Morvexa")));
    QFile f(settingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}
} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private:
    static std::unique_ptr<Tmainform> open(const QStringList &args = {}) { return AppTest::openWindow(args); }

private Q_SLOTS:
    void init() { QFile::remove(settingsFile()); }

    void firstStartUsesTheDefaults()
    {
        DialogRecorder dialogs;
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tolvane 1.8.0.0"));
        QCOMPARE(w->centralWidget()->size(), QSize(597, 427));
        QCOMPARE(AppTest::files(*w)->columnWidth(0), 260);
        QCOMPARE(AppTest::files(*w)->columnWidth(1), 160);
        QVERIFY(AppTest::files(*w)->isColumnHidden(2));
        QCOMPARE(AppTest::files(*w)->columnWidth(3), 80);
        QCOMPARE(AppTest::files(*w)->columnWidth(4), 80);
        QCOMPARE(AppTest::files(*w)->headerItem()->text(4), QStringLiteral("Status"));
        QCOMPARE(AppTest::formatBox(*w)->currentIndex(), 0);
        QCOMPARE(AppTest::formatBox(*w)->itemText(1), QStringLiteral("WAV - WAV PCM Encoder"));
        QCOMPARE(AppTest::outputFolder(*w)->text(), AppTest::settings().output);
        QVERIFY(AppTest::outputFolder(*w)->isReadOnly());
        QCOMPARE(w->minimumSize(), QSize(420, 290));
        QVERIFY(dialogs.requests.isEmpty());
    }

    void controlsFollowTheirAnchors()
    {
        DialogRecorder dialogs;
        auto w = open();
        const QRect list = AppTest::files(*w)->geometry();
        const QRect browse = AppTest::browseButton(*w)->geometry();
        w->resize(w->width() + 100, w->height() + 50);
        QTRY_COMPARE(AppTest::files(*w)->width(), list.width() + 100);
        QCOMPARE(AppTest::files(*w)->height(), list.height() + 50);
        QCOMPARE(AppTest::browseButton(*w)->pos(), browse.topLeft() + QPoint(100, 50));
        QCOMPARE(AppTest::browseButton(*w)->size(), browse.size());
        QCOMPARE(AppTest::progressBar(*w)->y(), 331 + 50);
    }

    void restartKeepsWhatTheUserChose()
    {
        DialogRecorder dialogs;
        QTemporaryDir out;
        {
            auto w = open();
            w->resize(700, 520);
            AppTest::files(*w)->setColumnWidth(0, 111);
            AppTest::files(*w)->setColumnWidth(4, 99);
            AppTest::formatBox(*w)->setCurrentIndex(1);
            w->formatboxChange();
            dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {out.path()}};
            w->selectpathClick();
            QCOMPARE(AppTest::outputFolder(*w)->text(), out.path());
            Tsettingsform *s = AppTest::settingsForm(*w);
            AppTest::control<QCheckBox>(s, "samefolder")->click();
            AppTest::control<QCheckBox>(s, "recurse")->click();
            AppTest::control<QCheckBox>(s, "askoverwrite")->click();
            AppTest::control<QComboBox>(s, "mp3bitrate")->setCurrentIndex(0);
            Q_EMIT AppTest::control<QComboBox>(s, "mp3bitrate")->activated(0);
            AppTest::control<QComboBox>(s, "wavsrate")->setCurrentIndex(6);
            Q_EMIT AppTest::control<QComboBox>(s, "wavsrate")->activated(6);
            QVERIFY(w->close());
        }
        QVERIFY(QFile::exists(settingsFile()));
        auto w = open();
        QCOMPARE(w->size(), QSize(700, 520));
        QCOMPARE(AppTest::files(*w)->columnWidth(0), 111);
        QCOMPARE(AppTest::files(*w)->columnWidth(4), 99);
        QCOMPARE(AppTest::formatBox(*w)->currentIndex(), 1);
        QCOMPARE(AppTest::outputFolder(*w)->text(), out.path());
        QVERIFY(AppTest::control<QCheckBox>(AppTest::settingsForm(*w), "samefolder")->isChecked());
        QVERIFY(AppTest::control<QCheckBox>(AppTest::settingsForm(*w), "recurse")->isChecked());
        QVERIFY(!AppTest::control<QCheckBox>(AppTest::settingsForm(*w), "askoverwrite")->isChecked());
        QCOMPARE(AppTest::control<QComboBox>(AppTest::settingsForm(*w), "mp3bitrate")->currentIndex(), 0);
        QCOMPARE(AppTest::control<QComboBox>(AppTest::settingsForm(*w), "wavsrate")->currentIndex(), 6);
        QCOMPARE(AppTest::settings().mp3bitrate, 0);
        QVERIFY(!AppTest::outputFolder(*w)->isEnabled());
        QVERIFY(w->close());
    }

    // A stored size is fitted to the screen, and stored again only when the person changed it.
    void hugeStoredSizeIsFittedNotStored()
    {
        writeSettings("[Settings]\nwidth=2000000000\nheight=2000000000\n");
        DialogRecorder dialogs;
        auto w = open();
        const QSize screen = w->screen()->availableGeometry().size();
        QVERIFY(w->width() <= screen.width() && w->height() <= screen.height());
        QVERIFY(w->close());
        QFile f(settingsFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("width=2000000000"));
    }

    void badStoredValueIsReportedOnceAndTheRestKept()
    {
        writeSettings("[Settings]\nWidth=abc\nheight=400\nrecurse=2\nuser=Kept\nbitrate=1\n");
        DialogRecorder dialogs;
        auto w = open();
        QTRY_COMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("Invalid data type for 'width'."));
        QCOMPARE(dialogs.requests.at(0).caption, QStringLiteral("Tolvane"));
        QCOMPARE(dialogs.requests.at(0).icon, Dialogs::Icon::Error);
        QCOMPARE(w->height(), 400);
        QVERIFY(AppTest::control<QCheckBox>(AppTest::settingsForm(*w), "recurse")->isChecked());
        QVERIFY(w->close());
        QFile f(settingsFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.contains(QStringLiteral("user=Kept")));
        QVERIFY(text.contains(QStringLiteral("recurse=1")));
        QVERIFY(!text.contains(QStringLiteral("Width")));
    }

    void closingWhileBusyIsRefused()
    {
        DialogRecorder dialogs;
        auto w = open();
        // A batch that runs until it is stopped.
        QTemporaryDir bin;
        QFile fake(bin.filePath(QStringLiteral("encoder")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\nexec sleep 60\n");
        fake.close();
        QVERIFY(fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Environment::setEncoderPathForTesting(fake.fileName());
        AppTest::settings().output = bin.path();
        const QString clip = bin.filePath(QStringLiteral("clip.mkv"));
        QVERIFY(TestMedia::make(clip, {1.0, false, true, {}}));
        w->addfile(clip);
        w->Convert();
        QVERIFY(w->isBusy());
        dialogs.requests.clear();
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("Operation in progress. Please wait..."));
        QCOMPARE(dialogs.requests.at(0).caption, QStringLiteral("Operation in progress"));
        QCOMPARE(dialogs.requests.at(0).icon, Dialogs::Icon::Warning);
        QVERIFY(dialogs.requests.at(0).owner == w.get());
        w->actionFor(QStringLiteral("Exit"))->trigger();
        QVERIFY(w->isVisible());
        w->Cancel();
        QTRY_VERIFY(!w->isBusy());
        Environment::setEncoderPathForTesting(QString());
        w->actionFor(QStringLiteral("Exit"))->trigger();
        QVERIFY(!w->isVisible());
    }

    void menusHaveTheirCaptionsAndShortcuts()
    {
        DialogRecorder dialogs;
        auto w = open();
        QStringList menus;
        for (QAction *a : w->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"File", "Action", "Tools", "Help"}));
        const QList<std::pair<QString, QKeySequence>> expected{
            {"Add Files...", QKeySequence(Qt::CTRL | Qt::Key_A)},
            {"Add Folder", QKeySequence(Qt::CTRL | Qt::Key_F)},
            {"Delete Selected", QKeySequence(Qt::Key_Delete)},
            {"Clear All", QKeySequence()},
            {"File Properties", QKeySequence(Qt::CTRL | Qt::Key_P)},
            {"Exit", QKeySequence(Qt::ALT | Qt::Key_F4)},
            {"Convert", QKeySequence(Qt::Key_F5)},
            {"Stop", QKeySequence(Qt::Key_F8)},
            {"Settings", QKeySequence(Qt::CTRL | Qt::Key_S)},
            {"Contents", QKeySequence(Qt::Key_F1)},
            {"Check updates...", QKeySequence()}};
        for (const auto &[caption, key] : expected) {
            QAction *a = w->actionFor(caption);
            QVERIFY2(a, qPrintable(caption));
            QCOMPARE(a->shortcut(), key);
        }
        QStringList listMenu;
        for (QAction *a : AppTest::listMenu(*w)->actions())
            listMenu << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(listMenu, (QStringList{"Add File...", "Delete File...", "Clear All", "File Properties", "-",
                                        "Convert", "Help"}));
        QStringList buttons;
        for (QToolButton *b : w->toolButtons()) {
            buttons << b->text();
            QCOMPARE(b->size(), QSize(57, 52));
            QCOMPARE(b->iconSize(), QSize(32, 32));
        }
        QCOMPARE(buttons, (QStringList{"Add file", "Add folder", "Delete", "Clear", "Convert", "Stop",
                                       "Settings", "Help"}));
    }

    // Each command reaches its handler: what the handler does first is visible through the seams.
    void commandsReachTheirHandlers()
    {
        DialogRecorder dialogs;
        auto w = open();
        AppTest::settings().output = AppTest::configHome();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        const auto lastKind = [&] { return dialogs.requests.constLast().kind; };
        QTest::keyClick(w.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(lastKind(), Dialogs::Kind::OpenFiles);
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(lastKind(), Dialogs::Kind::Folder);
        QTest::keyClick(w.get(), Qt::Key_F5);
        QCOMPARE(dialogs.requests.constLast().text,
                 QStringLiteral("Conversion list is empty. Please add files before start conversion."));
        QTest::keyClick(w.get(), Qt::Key_F8);
        QVERIFY(w->isStopping());
        QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(AppTest::settingsForm(*w)->isVisible());
        AppTest::settingsForm(*w)->hide();

        // Toolbar buttons.
        const int before = dialogs.requests.size();
        w->toolButtons().at(0)->click();
        QCOMPARE(dialogs.requests.at(before).kind, Dialogs::Kind::OpenFiles);
        w->toolButtons().at(1)->click();
        QCOMPARE(lastKind(), Dialogs::Kind::Folder);
        w->toolButtons().at(4)->click();
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Warning!"));
        w->toolButtons().at(6)->click();
        QVERIFY(AppTest::settingsForm(*w)->isVisible());
        AppTest::settingsForm(*w)->hide();

        // Help: the manual beside the program, through the launcher or the error report.
        const int launches = dialogs.launches.size();
        const int boxes = dialogs.requests.size();
        w->toolButtons().at(7)->click();
        QVERIFY(dialogs.launches.size() == launches + 1 || dialogs.requests.size() == boxes + 1);

        // Never toward the real site from a test: a closed port on this machine.
        QCOMPARE(AppTest::updater(*w)->URLCurrVerFile,
                 QStringLiteral("https://www.morvexa.com/quorrel/quorrel.xml"));
        AppTest::updater(*w)->URLCurrVerFile = QStringLiteral("http://127.0.0.1:9/quorrel/quorrel.xml");
        w->actionFor(QStringLiteral("Check updates..."))->trigger();
        QVERIFY(AppTest::updater(*w)->isChecking());
        QTRY_VERIFY_WITH_TIMEOUT(!AppTest::updater(*w)->isChecking(), 40000);
    }

    void encoderOptionsOpensThePageOfTheFormat()
    {
        DialogRecorder dialogs;
        auto w = open();
        AppTest::formatBox(*w)->setCurrentIndex(1);
        w->showEncoderOptions();
        QVERIFY(AppTest::settingsForm(*w)->isVisible());
        QCOMPARE(AppTest::control<QStackedWidget>(AppTest::settingsForm(*w), "notebook")->currentIndex(), 2);
        QCOMPARE(AppTest::control<QTreeWidget>(AppTest::settingsForm(*w), "pageList")->currentItem()->text(0),
                 QStringLiteral("WAV"));
        AppTest::settingsForm(*w)->okClick();
        QVERIFY(!AppTest::settingsForm(*w)->isVisible());
        w->settingsbuttonClick();
        QCOMPARE(AppTest::control<QStackedWidget>(AppTest::settingsForm(*w), "notebook")->currentIndex(),
                 2); // the page last shown stays
    }

    void sameFolderSwitchesTheOutputControls()
    {
        writeSettings("[Settings]\nsamefolder=1\nopenfolder=1\nmp3srate=9\n");
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        // Already at start-up, before the settings window is shown.
        QVERIFY(!s->isVisible());
        QVERIFY(!AppTest::outputFolder(*w)->isEnabled());
        QVERIFY(!AppTest::browseButton(*w)->isEnabled());
        QVERIFY(!AppTest::openFolderButton(*w)->isEnabled());
        QVERIFY(!AppTest::control<QCheckBox>(s, "openfolder")->isChecked());
        QVERIFY(!AppTest::control<QCheckBox>(s, "openfolder")->isEnabled());
        QVERIFY(!AppTest::settings().openfolder);
        // A stored position outside its list selects nothing and is kept.
        QCOMPARE(AppTest::control<QComboBox>(s, "mp3srate")->currentIndex(), -1);
        QCOMPARE(AppTest::settings().mp3srate, 9);

        AppTest::control<QCheckBox>(s, "samefolder")->click();
        QVERIFY(!AppTest::settings().samefolder);
        QVERIFY(AppTest::outputFolder(*w)->isEnabled() && AppTest::browseButton(*w)->isEnabled() &&
                AppTest::openFolderButton(*w)->isEnabled());
        QVERIFY(AppTest::control<QCheckBox>(s, "openfolder")->isEnabled());
        QVERIFY(!AppTest::control<QCheckBox>(s, "openfolder")->isChecked());
        AppTest::control<QCheckBox>(s, "openfolder")->click();
        QVERIFY(AppTest::settings().openfolder);
        AppTest::control<QCheckBox>(s, "samefolder")->click();
        QVERIFY(AppTest::settings().samefolder);
        QVERIFY(!AppTest::settings().openfolder);
        QVERIFY(!AppTest::control<QCheckBox>(s, "openfolder")->isChecked());
        QVERIFY(!AppTest::outputFolder(*w)->isEnabled());
    }

    // With TOLVANE_SCREENSHOT set to a folder, saves pictures of the windows there to look at.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("TOLVANE_SCREENSHOT");
        if (dir.isEmpty())
            QSKIP("TOLVANE_SCREENSHOT not set");
        DialogRecorder dialogs;
        auto w = open();
        w->settingsbuttonClick();
        for (int page = 0; page < 4; ++page) {
            AppTest::settingsForm(*w)->selectPage(page);
            QVERIFY(
                AppTest::settingsForm(*w)->grab().save(dir + QStringLiteral("/settings-%1.png").arg(page)));
        }
        AppTest::toolsMenu(*w)->popup(w->mapToGlobal(QPoint(150, 20)));
        QTRY_VERIFY(AppTest::toolsMenu(*w)->isVisible());
        QVERIFY(AppTest::toolsMenu(*w)->grab().save(dir + QStringLiteral("/tools-menu.png")));
        AppTest::toolsMenu(*w)->hide();
    }

    void aboutPageAndLinks()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        QCOMPARE(s->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(s->size(), QSize(482, 307));
        QCOMPARE(AppTest::control<QLabel>(s, "versionLabel")->text(), QStringLiteral("Version 1.8.0.0"));
        QStringList nodes;
        for (int i = 0; i < AppTest::control<QTreeWidget>(s, "pageList")->topLevelItemCount(); ++i)
            nodes << AppTest::control<QTreeWidget>(s, "pageList")->topLevelItem(i)->text(0);
        QCOMPARE(nodes, (QStringList{"General", "MP3", "WAV", "About"}));
        s->openSite();
        s->writeToSupport();
        QCOMPARE(dialogs.launches.size(), 2);
        QVERIFY(dialogs.launches.at(0).target.endsWith(QStringLiteral("?ref=quorrel")));
        QVERIFY(dialogs.launches.at(1).target.startsWith(QStringLiteral("mailto:")));
        w->openMoreFormats();
        QCOMPARE(dialogs.launches.at(2).target, dialogs.launches.at(0).target);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
