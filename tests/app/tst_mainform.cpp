#include "app/logwindow.h"
#include "app/queuemodel.h"
#include "apptest.h"
#include "batch/conversionqueue.h"
#include "dialogrecorder.h"
#include "mediainfo/properties.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "app/settingsform.h"
#include "app/statuscell.h"
#include "batch/listtexts.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "settings/options.h"
#include "settings/store.h"
#include "update/checkpad.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
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

// The config field each settings combo box edits, by the box's name.
int config::*fieldOf(const QString &name)
{
    static const QHash<QString, int config::*> fields{{"mp3vbr", &config::mp3vbr},
                                                      {"aacsrate", &config::aacsrate},
                                                      {"aacmode", &config::aacmode},
                                                      {"aacbitrate", &config::aacbitrate},
                                                      {"opussrate", &config::opussrate},
                                                      {"opusmode", &config::opusmode},
                                                      {"opusbitrate", &config::opusbitrate},
                                                      {"flacsrate", &config::flacsrate},
                                                      {"flacmode", &config::flacmode},
                                                      {"flaclevel", &config::flaclevel},
                                                      {"vorbissrate", &config::vorbissrate},
                                                      {"vorbismode", &config::vorbismode},
                                                      {"vorbisquality", &config::vorbisquality},
                                                      {"cover", &config::cover}};
    return fields.value(name);
}

// Clicks the page-list entry with that caption, as a person would.
void clickPage(Tsettingsform *s, const QString &caption)
{
    auto *list = AppTest::control<QTreeWidget>(s, "pageList");
    const QList<QTreeWidgetItem *> found = list->findItems(caption, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(caption));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.at(0)).center());
    QCOMPARE(list->currentItem(), found.at(0));
}

// Every control of a shown page lies inside it, at least as wide as its content needs.
void verifyShownWhole(const QWidget *page)
{
    for (const QWidget *c : page->findChildren<QWidget *>()) {
        QVERIFY2(page->rect().contains(c->geometry()), qPrintable(c->objectName()));
        QVERIFY2(c->width() >= c->minimumSizeHint().width(), qPrintable(c->objectName()));
    }
}

// A main menu command by its caption, its mnemonic's '&' left out.
QAction *actionFor(const Tmainform &w, const QString &caption)
{
    for (QAction *a : w.windowActions()) {
        if (a->text().remove(QLatin1Char('&')) == caption)
            return a;
    }
    return nullptr;
}

// A dark Fusion palette, as a dark desktop theme gives.
QPalette darkPalette()
{
    QPalette p(QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return p;
}

// How many of a label's drawn pixels lie near that colour.
int pixelsNear(QLabel *label, const QColor &colour)
{
    label->resize(label->sizeHint());
    const QImage image = label->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                    qAbs(c.blue() - colour.blue()) <
                40)
                ++count;
        }
    }
    return count;
}

// Chooses an entry of a combo box with the keyboard: first entry, then down.
void chooseWithKeys(QComboBox *box, int position)
{
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < position; ++i)
        QTest::keyClick(box, Qt::Key_Down);
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
        // The designed size, wider where the longest format name needs it to show whole.
        QCOMPARE(w->centralWidget()->height(), 427);
        QVERIFY(w->centralWidget()->width() >= 597);
        QVERIFY(AppTest::formatBox(*w)->width() >= AppTest::formatBox(*w)->sizeHint().width());
        QCOMPARE(AppTest::files(*w)->columnWidth(0), 260);
        QCOMPARE(AppTest::files(*w)->columnWidth(1), 160);
        QVERIFY(AppTest::files(*w)->isColumnHidden(2));
        QCOMPARE(AppTest::files(*w)->columnWidth(3), 80);
        // The last column takes the rest: the list needs no horizontal scroll bar.
        QVERIFY(AppTest::files(*w)->header()->stretchLastSection());
        QVERIFY(AppTest::files(*w)->columnWidth(4) >= AppTest::files(*w)->header()->minimumSectionSize());
        QTRY_COMPARE(AppTest::files(*w)->header()->length(), AppTest::files(*w)->viewport()->width());
        QCOMPARE(AppTest::files(*w)->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!AppTest::files(*w)->horizontalScrollBar()->isVisible());
        QCOMPARE(AppTest::files(*w)->model()->headerData(4, Qt::Horizontal).toString(),
                 QStringLiteral("Status"));
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
            AppTest::files(*w)->setColumnWidth(3, 99);
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
        QCOMPARE(AppTest::files(*w)->columnWidth(3), 99);
        // The last column takes what the others leave.
        QCOMPARE(AppTest::files(*w)->header()->length(), AppTest::files(*w)->viewport()->width());
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
        actionFor(*w, QStringLiteral("Exit"))->trigger();
        QVERIFY(w->isVisible());
        w->Cancel();
        QTRY_VERIFY(!w->isBusy());
        Environment::setEncoderPathForTesting(QString());
        actionFor(*w, QStringLiteral("Exit"))->trigger();
        QVERIFY(!w->isVisible());
    }

    void menusHaveTheirCaptionsAndShortcuts()
    {
        DialogRecorder dialogs;
        auto w = open();
        QStringList menus;
        for (QAction *a : w->menuBar()->actions()) {
            menus << a->text();
            // Each menu's commands have mnemonics of their own.
            QSet<QKeySequence> keys;
            for (QAction *item : a->menu()->actions()) {
                if (item->isSeparator() || a->text() == QLatin1String("&Tools"))
                    continue;
                const QKeySequence key = QKeySequence::mnemonic(item->text());
                QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(item->text()));
                keys.insert(key);
            }
        }
        QCOMPARE(menus, (QStringList{"&File", "&Action", "&Tools", "&Help"}));
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
            QAction *a = actionFor(*w, caption);
            QVERIFY2(a, qPrintable(caption));
            QCOMPARE(a->shortcut(), key);
        }
        QStringList listMenu;
        QSet<QKeySequence> listKeys;
        for (QAction *a : AppTest::listMenu(*w)->actions()) {
            listMenu << (a->isSeparator() ? QStringLiteral("-") : a->text().remove(QLatin1Char('&')));
            const QKeySequence key = QKeySequence::mnemonic(a->text());
            QVERIFY2(a->isSeparator() || (!key.isEmpty() && !listKeys.contains(key)), qPrintable(a->text()));
            listKeys.insert(key);
        }
        QCOMPARE(listMenu, (QStringList{"Add File...", "Delete File...", "Clear All", "File Properties",
                                        "Audio track", "Show log\u2026", "-", "Convert", "Help"}));
        QStringList buttons;
        QStringList tips;
        for (QToolButton *b : w->toolButtons()) {
            buttons << b->text();
            tips << b->toolTip();
            QCOMPARE(b->size(), QSize(57, 52));
            QCOMPARE(b->iconSize(), QSize(32, 32));
        }
        QCOMPARE(buttons, (QStringList{"Add file", "Add folder", "Delete", "Clear", "Convert", "Stop",
                                       "Settings", "Help"}));
        QCOMPARE(tips, (QStringList{"Add file (Ctrl+A)", "Add folder (Ctrl+F)", "Delete (Del)", "Clear",
                                    "Convert (F5)", "Stop (F8)", "Settings (Ctrl+S)", "Help (F1)"}));
        // Alt+F opens the File menu.
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w->menuBar()->actions().at(0)->menu()->isVisible());
        w->menuBar()->actions().at(0)->menu()->hide();
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
        // Nothing runs: Stop waits for a batch or a scan.
        QVERIFY(!actionFor(*w, QStringLiteral("Stop"))->isEnabled());
        QVERIFY(!w->toolButtons().at(5)->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_F8);
        QVERIFY(!w->isStopping());
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
        actionFor(*w, QStringLiteral("Check updates..."))->trigger();
        QVERIFY(AppTest::updater(*w)->isChecking());
        QTRY_VERIFY_WITH_TIMEOUT(!AppTest::updater(*w)->isChecking(), 40000);
    }

    void encoderOptionsOpensThePageOfTheFormat()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        auto *pages = AppTest::control<QTreeWidget>(s, "pageList");
        auto *notebook = AppTest::control<QStackedWidget>(s, "notebook");
        QStringList nodes;
        for (int i = 0; i < pages->topLevelItemCount(); ++i)
            nodes << pages->topLevelItem(i)->text(0);
        QCOMPARE(nodes,
                 (QStringList{"General", "MP3", "WAV", "AAC", "Opus", "FLAC", "Vorbis", "Output", "About"}));
        QCOMPARE(notebook->count(), nodes.size());

        // Each encoding format opens its own page; the original audio has none.
        auto *button = AppTest::control<QPushButton>(w.get(), "encoderOptionsButton");
        const QStringList formatPages{"MP3", "WAV", "AAC", "Opus", "FLAC", "Vorbis"};
        for (int format = 0; format < AppTest::formatBox(*w)->count(); ++format) {
            AppTest::formatBox(*w)->setCurrentIndex(format);
            Q_EMIT AppTest::formatBox(*w)->activated(format);
            QCOMPARE(AppTest::settings().codec, format);
            if (format == Options::Original) {
                QVERIFY(!button->isEnabled());
                continue;
            }
            QVERIFY(button->isEnabled());
            s->selectPage(0);
            button->click();
            QVERIFY(s->isVisible());
            QCOMPARE(pages->currentItem()->text(0), formatPages.at(format));
            QCOMPARE(notebook->currentIndex(), nodes.indexOf(formatPages.at(format)));
            verifyShownWhole(notebook->currentWidget());
        }
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
        QVERIFY(w->close());
        w.reset();

        // A stored choice of the original audio disables the button from the start.
        writeSettings("[Settings]\ncodec=6\n");
        w = open();
        QCOMPARE(AppTest::formatBox(*w)->currentIndex(), int(Options::Original));
        QVERIFY(!AppTest::control<QPushButton>(w.get(), "encoderOptionsButton")->isEnabled());
    }

    // Each of these boxes writes its field as soon as it is chosen; a stored position outside its
    // list shows the default and is kept until then.
    void newChoicesWriteTheirFields_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("outside"); // stored, outside the list
        QTest::addColumn<int>("shown");   // the position it shows
        QTest::addColumn<int>("chosen");  // the position chosen
        QTest::addColumn<int>("stored");  // what the field holds then

        const auto add = [](const char *page, const char *name, const QStringList &entries, int shown) {
            const int last = int(entries.size()) - 1;
            QTest::newRow(name) << page << name << entries << int(entries.size()) << shown << last << last;
        };
        add("AAC", "aacsrate", Options::keepSampleRates(), Options::keep);
        add("AAC", "aacmode", Options::keepChannelModes(), Options::keep);
        add("AAC", "aacbitrate", Options::aacBitrates(), Options::defaultAacBitrate);
        add("Opus", "opussrate", Options::opusSampleRates(), Options::keep);
        add("Opus", "opusmode", Options::keepChannelModes(), Options::keep);
        add("Opus", "opusbitrate", Options::opusBitrates(), Options::defaultOpusBitrate);
        add("FLAC", "flacsrate", Options::keepSampleRates(), Options::keep);
        add("FLAC", "flacmode", Options::keepChannelModes(), Options::keep);
        add("FLAC", "flaclevel", Options::flacLevels(), Options::defaultFlacLevel);
        add("Vorbis", "vorbissrate", Options::keepSampleRates(), Options::keep);
        add("Vorbis", "vorbismode", Options::keepChannelModes(), Options::keep);
        add("Vorbis", "vorbisquality", Options::vorbisQualities(), Options::defaultVorbisQuality);
        add("Output", "cover", Options::coverChoices(), int(Options::Cover::Attached));
        QTest::newRow("cover below its list")
            << "Output"
            << "cover" << Options::coverChoices() << -1 << int(Options::Cover::Attached) << 0 << 0;
        // "Off" first, then V0..V9: the field holds the V number, -1 for off.
        QTest::newRow("mp3vbr") << "MP3"
                                << "mp3vbr" << Options::mp3VbrQualities() << 10 << 0 << 3 << 2;
        QTest::newRow("mp3vbr below") << "MP3"
                                      << "mp3vbr" << Options::mp3VbrQualities() << -2 << 0 << 10 << 9;
    }

    void newChoicesWriteTheirFields()
    {
        QFETCH(QString, page);
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QFETCH(int, outside);
        QFETCH(int, shown);
        QFETCH(int, chosen);
        QFETCH(int, stored);
        int config::*field = fieldOf(name);
        QVERIFY(field);
        writeSettings(QStringLiteral("[Settings]\n%1=%2\n").arg(name).arg(outside).toUtf8());
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        w->settingsbuttonClick();
        QVERIFY(QTest::qWaitForWindowExposed(s));
        auto *box = AppTest::control<QComboBox>(s, name.toLatin1().constData());
        QVERIFY(box);
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, entries);
        QCOMPARE(box->currentIndex(), shown);
        QCOMPARE(AppTest::settings().*field, outside);

        clickPage(s, page);
        QVERIFY(box->isVisible());
        chooseWithKeys(box, chosen);
        QCOMPARE(box->currentIndex(), chosen);
        QCOMPARE(AppTest::settings().*field, stored);
        QVERIFY(w->close());
        QFile f(settingsFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains(QStringLiteral("\n%1=%2\n").arg(name).arg(stored).toUtf8()));
    }

    void outputPageHoldsTheOutputChoices()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        w->settingsbuttonClick();
        QVERIFY(QTest::qWaitForWindowExposed(s));
        clickPage(s, QStringLiteral("Output"));
        verifyShownWhole(AppTest::control<QStackedWidget>(s, "notebook")->currentWidget());
        for (const char *name : {"jobs", "existing", "cover"})
            QVERIFY2(AppTest::control<QComboBox>(s, name)->isVisible(), name);
        auto *smartcopy = AppTest::control<QCheckBox>(s, "smartcopy");
        QVERIFY(smartcopy->isVisible());
        QCOMPARE(smartcopy->text(), QStringLiteral("Copy the audio when it already fits"));
        QVERIFY(smartcopy->isChecked());
        smartcopy->click();
        QVERIFY(!AppTest::settings().smartcopy);
        auto *keepfolders = AppTest::control<QCheckBox>(s, "keepfolders");
        QVERIFY(keepfolders->isVisible() && !keepfolders->isChecked());
        keepfolders->click();
        QVERIFY(AppTest::settings().keepfolders);
        // The name pattern, and what it makes of a file: an example's until a row is selected.
        auto *pattern = AppTest::control<QLineEdit>(s, "namepattern");
        QCOMPARE(pattern->text(), QStringLiteral("{name}"));
        QCOMPARE(AppTest::control<QLabel>(s, "namePreview")->text(), QStringLiteral("e.g. holiday.mp3"));
        pattern->clear();
        QTest::keyClicks(pattern, QStringLiteral("{artist} - {title} {x}"));
        QCOMPARE(AppTest::settings().namepattern, QStringLiteral("{artist} - {title} {x}"));
        QCOMPARE(AppTest::control<QLabel>(s, "namePreview")->text(),
                 QStringLiteral("e.g. Holiday {x}.mp3  (unknown: {x})"));
        // The general page keeps only its check boxes.
        clickPage(s, QStringLiteral("General"));
        QVERIFY(!AppTest::control<QComboBox>(s, "jobs")->isVisible());
        QVERIFY(AppTest::control<QCheckBox>(s, "askoverwrite")->isVisible());
    }

    void vbrDisablesTheBitrate()
    {
        writeSettings("[Settings]\nmp3vbr=4\n");
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        auto *vbr = AppTest::control<QComboBox>(s, "mp3vbr");
        auto *bitrate = AppTest::control<QComboBox>(s, "mp3bitrate");
        QCOMPARE(vbr->currentText(), QStringLiteral("V4"));
        QVERIFY(!bitrate->isEnabled());
        w->showEncoderOptions();
        QVERIFY(QTest::qWaitForWindowExposed(s));
        QVERIFY(vbr->isVisible());
        chooseWithKeys(vbr, 0);
        QCOMPARE(AppTest::settings().mp3vbr, -1);
        QVERIFY(bitrate->isEnabled());
        QTest::keyClick(vbr, Qt::Key_Down);
        QCOMPARE(AppTest::settings().mp3vbr, 0);
        QVERIFY(!bitrate->isEnabled());
        QCOMPARE(AppTest::settings().mp3bitrate, Options::defaultMp3Bitrate);
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

    // Qt names a filter's patterns itself: a caption naming them too would show them twice.
    void filtersShowEachPatternOnce_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected"); // one entry of the result
        QTest::newRow("add files") << ListTexts::addFilesFilter() << "DivX Files (*.div *.divx)";
        QTest::newRow("save as") << Options::saveFilters().join(QLatin1Char('|')) << "MP3 files (*.mp3)";
    }
    void filtersShowEachPatternOnce()
    {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        const QStringList entries = Dialogs::qtNameFilters(filter);
        QCOMPARE(entries.size(), filter.count(QLatin1Char('|')) / 2 + 1);
        QVERIFY2(entries.contains(expected), qPrintable(entries.join(QLatin1Char('\n'))));
        QCOMPARE(entries.constLast(), QStringLiteral("All files (*)"));
        static const QRegularExpression pattern(QStringLiteral("\\*(\\.\\w+)?"));
        for (const QString &entry : entries) {
            QStringList seen;
            for (const QRegularExpressionMatch &m : pattern.globalMatch(entry))
                seen << m.captured();
            QVERIFY2(!seen.isEmpty(), qPrintable(entry));
            QCOMPARE(QSet<QString>(seen.cbegin(), seen.cend()).size(), seen.size());
            QCOMPARE(entry.count(QLatin1Char('(')), 1);
        }
    }

    // In a dark theme the links, the product name and the list's grid take the palette's colours.
    void coloursFollowThePalette()
    {
        const QPalette before = QApplication::palette();
        QApplication::setStyle(QStringLiteral("Fusion"));
        const QPalette dark = darkPalette();
        QApplication::setPalette(dark);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        QLabel *product = nullptr;
        for (QLabel *l : s->findChildren<QLabel *>()) {
            if (l->text() == QLatin1String("Tolvane"))
                product = l;
        }
        QVERIFY(product);
        const QList<QLabel *> links{AppTest::control<QLabel>(w.get(), "moreFormatsLink"),
                                    AppTest::control<QLabel>(s, "siteLink"),
                                    AppTest::control<QLabel>(s, "supportMailLink")};
        for (QLabel *l : links) {
            QVERIFY(l->styleSheet().isEmpty());
            QVERIFY2(!l->text().contains(QLatin1String("color")), qPrintable(l->text()));
            QVERIFY2(pixelsNear(l, dark.color(QPalette::Link)) > 10, qPrintable(l->objectName()));
            QCOMPARE(pixelsNear(l, QColor(0, 0, 0xff)), 0);
        }
        QVERIFY(product->styleSheet().isEmpty());
        QVERIFY(pixelsNear(product, dark.color(QPalette::WindowText)) > 10);
        QCOMPARE(pixelsNear(product, QColor(0, 0, 0x80)), 0);
        // One size: the product name is bold in the window's size, and so is every window.
        QCOMPARE(product->font().pointSizeF(), w->font().pointSizeF());
        QVERIFY(product->font().bold());
        QCOMPARE(s->font().pointSizeF(), w->font().pointSizeF());
        QCOMPARE(QApplication::font().pointSizeF(), w->font().pointSizeF());

        // The grid between the rows is a shade of the dark list, not the light grey of a white one.
        QTemporaryDir media;
        const QString clip = media.filePath(QStringLiteral("clip.mkv"));
        QVERIFY(TestMedia::make(clip, {1.0, false, true, {}}));
        w->addfile(clip);
        TFileList *files = AppTest::files(*w);
        const QRect cell = files->visualRect(files->model()->index(0, 0));
        const QImage list = files->viewport()->grab().toImage();
        const QColor grid = list.pixelColor(cell.center().x(), cell.bottom());
        QVERIFY2(grid.lightness() < 128, qPrintable(grid.name()));
        QVERIFY(grid != dark.color(QPalette::Base));
    }

    // The long caption beside the Recurse box is clicked as the box's own text would be.
    void recurseCaptionTogglesItsBox()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        s->showCentred();
        s->selectPage(0);
        auto *caption = AppTest::control<QLabel>(s, "recurseLabel");
        auto *box = AppTest::control<QCheckBox>(s, "recurse");
        QCOMPARE(
            caption->text(),
            QStringLiteral("Recurse SubFolders. Converter will look into all subfolders for audio files."));
        const bool was = box->isChecked();
        QTest::mouseClick(caption, Qt::LeftButton, {}, caption->rect().center());
        QCOMPARE(box->isChecked(), !was);
        QCOMPARE(AppTest::settings().recurse, !was);
        QTest::mouseClick(caption, Qt::LeftButton, {}, caption->rect().center());
        QCOMPARE(box->isChecked(), was);
        // Both its lines show whole.
        QVERIFY(caption->height() >= caption->heightForWidth(caption->width()));
    }

    // With TOLVANE_SCREENSHOT set to a folder, saves pictures of the windows there to look at.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("TOLVANE_SCREENSHOT");
        if (dir.isEmpty())
            QSKIP("TOLVANE_SCREENSHOT not set");
        // TOLVANE_DARK=1: as a dark desktop theme shows them.
        if (qEnvironmentVariableIntValue("TOLVANE_DARK") == 1) {
            QApplication::setStyle(QStringLiteral("Fusion"));
            QApplication::setPalette(darkPalette());
        }
        // The longest entries, to see them whole.
        writeSettings("[Settings]\ncover=2\ntrack=1\ntracklangs=deu, eng\nchapters=1\n");
        DialogRecorder dialogs;
        auto w = open();
        // A film of three languages, selected: the name preview and the Audio track menu show it.
        QTemporaryDir media;
        const QString film = media.filePath(QStringLiteral("Film night.mkv"));
        QVERIFY(TestMedia::make(film, {2.0,
                                       true,
                                       true,
                                       {"-f",
                                        "lavfi",
                                        "-i",
                                        "sine=d=2",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "sine=d=2",
                                        "-map",
                                        "0",
                                        "-map",
                                        "1",
                                        "-map",
                                        "2",
                                        "-map",
                                        "3",
                                        "-c:a:1",
                                        "ac3",
                                        "-ac:a:1",
                                        "6",
                                        "-metadata:s:a:0",
                                        "language=eng",
                                        "-metadata:s:a:1",
                                        "language=deu",
                                        "-metadata:s:a:1",
                                        "title=Director's commentary",
                                        "-metadata:s:a:2",
                                        "language=fra"}}));
        w->addfile(film);
        // For the picture only: rows as a batch shows them, running and ended.
        const std::pair<const char *, int> shown[] = {
            {"Processing...", 42}, {"Done!", -1}, {"Failed", -1}, {"Stopped", -1}, {"Skipped", -1}};
        auto &queue = const_cast<ConversionQueue &>(w->queue());
        for (const auto &[status, percent] : shown) {
            const QString name = media.filePath(QStringLiteral("%1.mkv").arg(QLatin1String(status)));
            QVERIFY(AppTest::copyFile(film, name));
            w->addfile(name);
            queue.setStatus(queue.at(queue.size() - 1).id, QLatin1String(status));
            if (percent >= 0)
                w->listModel()->setPercent(queue.at(queue.size() - 1).id, percent);
        }
        QTest::qWait(0);
        AppTest::selectRow(AppTest::files(*w), 0);
        w->settingsbuttonClick();
        QVERIFY(QTest::qWaitForWindowExposed(AppTest::settingsForm(*w)));
        // With ImageMagick at hand, the whole screen too: the window's frame and where it stands.
        const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
        const int pages =
            AppTest::control<QTreeWidget>(AppTest::settingsForm(*w), "pageList")->topLevelItemCount();
        for (int page = 0; page < pages; ++page) {
            AppTest::settingsForm(*w)->selectPage(page);
            QVERIFY(
                AppTest::settingsForm(*w)->grab().save(dir + QStringLiteral("/settings-%1.png").arg(page)));
            if (!import.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb")) {
                QTest::qWait(200); // the X server has drawn the page
                QCOMPARE(
                    QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"),
                                               dir + QStringLiteral("/screen-settings-%1.png").arg(page)}),
                    0);
            }
        }
        AppTest::toolsMenu(*w)->popup(w->mapToGlobal(QPoint(150, 20)));
        QTRY_VERIFY(AppTest::toolsMenu(*w)->isVisible());
        QVERIFY(AppTest::toolsMenu(*w)->grab().save(dir + QStringLiteral("/tools-menu.png")));
        AppTest::toolsMenu(*w)->hide();
        AppTest::settingsForm(*w)->hide();
        w->popupListMenu(w->mapToGlobal(QPoint(120, 160)));
        QMenu *tracks = AppTest::listMenu(*w)->findChild<QMenu *>(QStringLiteral("trackMenu"));
        QVERIFY(tracks && tracks->isEnabled());
        tracks->popup(w->mapToGlobal(QPoint(300, 200)));
        QTRY_VERIFY(tracks->isVisible());
        QTest::qWait(200);
        QVERIFY(tracks->grab().save(dir + QStringLiteral("/track-menu.png")));
        if (!import.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb"))
            QCOMPARE(QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"),
                                                dir + QStringLiteral("/screen-track-menu.png")}),
                     0);
        tracks->hide();
        AppTest::listMenu(*w)->hide();
        // The format list, open.
        AppTest::formatBox(*w)->showPopup();
        QTRY_VERIFY(AppTest::formatBox(*w)->view()->isVisible());
        QTest::qWait(200);
        QVERIFY(w->grab().save(dir + QStringLiteral("/mainwindow.png")));
        QVERIFY(
            AppTest::formatBox(*w)->view()->window()->grab().save(dir + QStringLiteral("/format-list.png")));
        if (!import.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb"))
            QCOMPARE(QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"),
                                                dir + QStringLiteral("/screen-format-list.png")}),
                     0);
        AppTest::formatBox(*w)->hidePopup();

        // File Properties of the film, then the film failing, its tooltip and its log.
        const auto screen = [&](const QString &name) {
            if (!import.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb")) {
                QTest::qWait(300);
                QCOMPARE(QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"),
                                                    dir + QStringLiteral("/screen-%1.png").arg(name)}),
                         0);
            }
        };
        AppTest::selectRow(AppTest::files(*w), 0);
        w->showFileProperties();
        QVERIFY(QTest::qWaitForWindowExposed(w->fileProperties()));
        QVERIFY(w->fileProperties()->grab().save(dir + QStringLiteral("/file-properties.png")));
        screen(QStringLiteral("file-properties"));
        w->fileProperties()->close();
        QTemporaryDir bin;
        const QString fake = bin.filePath(QStringLiteral("failing-encoder"));
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            "#!/bin/sh\necho 'ffmpeg version 5.1' >&2\necho \"$1: Invalid data found when processing "
            "input\" >&2\nexit 1\n");
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Environment::setEncoderPathForTesting(fake);
        AppTest::settings().output = media.path();
        QVERIFY(AppTest::runBatch(w.get()));
        Environment::setEncoderPathForTesting(QString());
        QVERIFY(w->grab().save(dir + QStringLiteral("/after-batch.png")));
        screen(QStringLiteral("after-batch"));
        w->showLog();
        QVERIFY(QTest::qWaitForWindowExposed(w->logWindow()));
        QVERIFY(w->logWindow()->grab().save(dir + QStringLiteral("/log-window.png")));
        screen(QStringLiteral("log-window"));
        w->logWindow()->close();
    }

    void aboutPageAndLinks()
    {
        DialogRecorder dialogs;
        auto w = open();
        Tsettingsform *s = AppTest::settingsForm(*w);
        QCOMPARE(s->windowTitle(), QStringLiteral("Settings"));
        // Grown only where a laid-out page needs it.
        QVERIFY(s->width() >= 482 && s->height() >= 307);
        QCOMPARE(AppTest::control<QLabel>(s, "versionLabel")->text(), QStringLiteral("Version 1.8.0.0"));
        QStringList nodes;
        for (int i = 0; i < AppTest::control<QTreeWidget>(s, "pageList")->topLevelItemCount(); ++i)
            nodes << AppTest::control<QTreeWidget>(s, "pageList")->topLevelItem(i)->text(0);
        QCOMPARE(nodes.constLast(), QStringLiteral("About"));
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
