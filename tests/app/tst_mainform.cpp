#include "apptest.h"
#include "dialogrecorder.h"

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
        QCOMPARE(w->files->columnWidth(0), 260);
        QCOMPARE(w->files->columnWidth(1), 160);
        QVERIFY(w->files->isColumnHidden(2));
        QCOMPARE(w->files->columnWidth(3), 80);
        QCOMPARE(w->files->columnWidth(4), 80);
        QCOMPARE(w->files->headerItem()->text(4), QStringLiteral("Status"));
        QCOMPARE(w->formatbox->currentIndex(), 0);
        QCOMPARE(w->formatbox->itemText(1), QStringLiteral("WAV - WAV PCM Encoder"));
        QCOMPARE(w->path->text(), cfg.output);
        QVERIFY(w->path->isReadOnly());
        QCOMPARE(w->minimumSize(), QSize(420, 290));
        QVERIFY(dialogs.requests.isEmpty());
    }

    void controlsFollowTheirAnchors()
    {
        DialogRecorder dialogs;
        auto w = open();
        const QRect list = w->files->geometry();
        const QRect browse = w->selectpath->geometry();
        w->resize(w->width() + 100, w->height() + 50);
        QTRY_COMPARE(w->files->width(), list.width() + 100);
        QCOMPARE(w->files->height(), list.height() + 50);
        QCOMPARE(w->selectpath->pos(), browse.topLeft() + QPoint(100, 50));
        QCOMPARE(w->selectpath->size(), browse.size());
        QCOMPARE(w->ProgressBar->y(), 331 + 50);
    }

    void restartKeepsWhatTheUserChose()
    {
        DialogRecorder dialogs;
        QTemporaryDir out;
        {
            auto w = open();
            w->resize(700, 520);
            w->files->setColumnWidth(0, 111);
            w->files->setColumnWidth(4, 99);
            w->formatbox->setCurrentIndex(1);
            w->formatboxChange();
            dialogs.answers << Dialogs::Reply{Dialogs::Answer::Ok, {out.path()}};
            w->selectpathClick();
            QCOMPARE(w->path->text(), out.path());
            Tsettingsform *s = w->settingsform;
            s->samefolder->click();
            s->recurse->click();
            s->askoverwrite->click();
            s->mp3bitrate->setCurrentIndex(0);
            Q_EMIT s->mp3bitrate->activated(0);
            s->wavsrate->setCurrentIndex(6);
            Q_EMIT s->wavsrate->activated(6);
            QVERIFY(w->close());
        }
        QVERIFY(QFile::exists(settingsFile()));
        auto w = open();
        QCOMPARE(w->size(), QSize(700, 520));
        QCOMPARE(w->files->columnWidth(0), 111);
        QCOMPARE(w->files->columnWidth(4), 99);
        QCOMPARE(w->formatbox->currentIndex(), 1);
        QCOMPARE(w->path->text(), out.path());
        QVERIFY(w->settingsform->samefolder->isChecked());
        QVERIFY(w->settingsform->recurse->isChecked());
        QVERIFY(!w->settingsform->askoverwrite->isChecked());
        QCOMPARE(w->settingsform->mp3bitrate->currentIndex(), 0);
        QCOMPARE(w->settingsform->wavsrate->currentIndex(), 6);
        QCOMPARE(cfg.mp3bitrate, 0);
        QVERIFY(!w->path->isEnabled());
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
        QVERIFY(w->settingsform->recurse->isChecked());
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
        cfg.output = bin.path();
        w->addfile(QCoreApplication::applicationFilePath());
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
        for (QAction *a : w->listMenu->actions())
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
        cfg.output = AppTest::configHome();
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
        QTRY_VERIFY(w->settingsform->isVisible());
        w->settingsform->hide();

        // Toolbar buttons.
        const int before = dialogs.requests.size();
        w->toolButtons().at(0)->click();
        QCOMPARE(dialogs.requests.at(before).kind, Dialogs::Kind::OpenFiles);
        w->toolButtons().at(1)->click();
        QCOMPARE(lastKind(), Dialogs::Kind::Folder);
        w->toolButtons().at(4)->click();
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Warning!"));
        w->toolButtons().at(6)->click();
        QVERIFY(w->settingsform->isVisible());
        w->settingsform->hide();

        // Help: the manual beside the program, through the launcher or the error report.
        const int launches = dialogs.launches.size();
        const int boxes = dialogs.requests.size();
        w->toolButtons().at(7)->click();
        QVERIFY(dialogs.launches.size() == launches + 1 || dialogs.requests.size() == boxes + 1);

        // Never toward the real site from a test: a closed port on this machine.
        QCOMPARE(w->updater->URLCurrVerFile, QStringLiteral("https://www.morvexa.com/quorrel/quorrel.xml"));
        w->updater->URLCurrVerFile = QStringLiteral("http://127.0.0.1:9/quorrel/quorrel.xml");
        w->actionFor(QStringLiteral("Check updates..."))->trigger();
        QVERIFY(w->updater->isChecking());
        QTRY_VERIFY_WITH_TIMEOUT(!w->updater->isChecking(), 40000);
    }

    void encoderOptionsOpensThePageOfTheFormat()
    {
        DialogRecorder dialogs;
        auto w = open();
        w->formatbox->setCurrentIndex(1);
        w->showEncoderOptions();
        QVERIFY(w->settingsform->isVisible());
        QCOMPARE(w->settingsform->notebook->currentIndex(), 2);
        QCOMPARE(w->settingsform->NavTreeView1->currentItem()->text(0), QStringLiteral("WAV"));
        w->settingsform->iceBtn1Click();
        QVERIFY(!w->settingsform->isVisible());
        w->settingsbuttonClick();
        QCOMPARE(w->settingsform->notebook->currentIndex(), 2); // the page last shown stays
    }

    void sameFolderSwitchesTheOutputControls()
    {
        writeSettings("[Settings]\nsamefolder=1\nopenfolder=1\nmp3srate=9\n");
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = w->settingsform;
        // Already at start-up, before the settings window is shown.
        QVERIFY(!s->isVisible());
        QVERIFY(!w->path->isEnabled());
        QVERIFY(!w->selectpath->isEnabled());
        QVERIFY(!w->openfolder->isEnabled());
        QVERIFY(!s->openfolder->isChecked());
        QVERIFY(!s->openfolder->isEnabled());
        QVERIFY(!cfg.openfolder);
        // A stored position outside its list selects nothing and is kept.
        QCOMPARE(s->mp3srate->currentIndex(), -1);
        QCOMPARE(cfg.mp3srate, 9);

        s->samefolder->click();
        QVERIFY(!cfg.samefolder);
        QVERIFY(w->path->isEnabled() && w->selectpath->isEnabled() && w->openfolder->isEnabled());
        QVERIFY(s->openfolder->isEnabled());
        QVERIFY(!s->openfolder->isChecked());
        s->openfolder->click();
        QVERIFY(cfg.openfolder);
        s->samefolder->click();
        QVERIFY(cfg.samefolder);
        QVERIFY(!cfg.openfolder);
        QVERIFY(!s->openfolder->isChecked());
        QVERIFY(!w->path->isEnabled());
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
            w->settingsform->selectPage(page);
            QVERIFY(w->settingsform->grab().save(dir + QStringLiteral("/settings-%1.png").arg(page)));
        }
        w->toolsMenu->popup(w->mapToGlobal(QPoint(150, 20)));
        QTRY_VERIFY(w->toolsMenu->isVisible());
        QVERIFY(w->toolsMenu->grab().save(dir + QStringLiteral("/tools-menu.png")));
        w->toolsMenu->hide();
    }

    void aboutPageAndLinks()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = w->settingsform;
        QCOMPARE(s->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(s->size(), QSize(482, 307));
        QCOMPARE(s->versionLabel->text(), QStringLiteral("Version 1.8.0.0"));
        QStringList nodes;
        for (int i = 0; i < s->NavTreeView1->topLevelItemCount(); ++i)
            nodes << s->NavTreeView1->topLevelItem(i)->text(0);
        QCOMPARE(nodes, (QStringList{"General", "MP3", "WAV", "About"}));
        s->Label15Click();
        s->Label17Click();
        QCOMPARE(dialogs.launches.size(), 2);
        QVERIFY(dialogs.launches.at(0).target.endsWith(QStringLiteral("?ref=quorrel")));
        QVERIFY(dialogs.launches.at(1).target.startsWith(QStringLiteral("mailto:")));
        w->openMoreFormats();
        QCOMPARE(dialogs.launches.at(2).target, dialogs.launches.at(0).target);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
