#include "mainform.h"

#include "application.h"
#include "filelist.h"
#include "settingsform.h"

#include "batch/conversionqueue.h"
#include "batch/unattendedrun.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/launcher.h"
#include "platform/versioninfo.h"
#include "update/checkpad.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

// Resources of a static library are registered by hand.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {
QIcon icon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}
} // namespace

Tmainform::Tmainform(config &settings, const QStringList &arguments, const RunOverrides &overrides,
                     QWidget *parent)
    : QMainWindow(parent), m_settings(settings)
{
    initIcons();
    setWindowTitle(QStringLiteral("Tolvane"));
    setWindowIcon(icon(QStringLiteral("tolvane")));
    // The layout is drawn for 8 points; without Tahoma the desktop's own face is used at that size.
    QFont face = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
                     ? QFont(QStringLiteral("Tahoma"))
                     : QApplication::font();
    face.setPointSize(8);
    setFont(face);
    m_queue = new ConversionQueue(this);
    m_engine = new BatchEngine(*m_queue, m_settings, overrides, this);
    m_ui.setupUi(this);
    connectControls();
    buildMenus();
    statusBar()->setSizeGripEnabled(true);
    resize(MainWindowUi::designClient.width(), MainWindowUi::designClient.height() +
                                                   menuBar()->sizeHint().height() +
                                                   statusBar()->sizeHint().height());
    setMinimumSize(420, 290);
    FormCreate(arguments);
}

Tmainform::~Tmainform() = default;

void Tmainform::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_ui.applyAnchors();
}

void Tmainform::connectControls()
{
    const auto guarded = [this](Handler handler) {
        return [this, handler] { runGuarded([&] { (this->*handler)(); }); };
    };
    connect(m_ui.formatBox, &QComboBox::activated, this, guarded(&Tmainform::formatboxChange));
    connect(m_ui.encoderOptionsButton, &QPushButton::clicked, this, guarded(&Tmainform::showEncoderOptions));
    connect(m_ui.moreFormatsLink, &QLabel::linkActivated, this, guarded(&Tmainform::openMoreFormats));
    connect(m_ui.browseButton, &QPushButton::clicked, this, guarded(&Tmainform::selectpathClick));
    connect(m_ui.openFolderButton, &QPushButton::clicked, this, guarded(&Tmainform::openfolderClick));
    connectQueue();
    connectBatch();
}

QAction *Tmainform::addAction(QMenu *menu, const QString &caption, const QKeySequence &key,
                              const QString &iconName, Handler handler)
{
    auto *action = new QAction(caption, menu);
    if (!key.isEmpty())
        action->setShortcut(key);
    if (!iconName.isEmpty())
        action->setIcon(icon(iconName));
    connect(action, &QAction::triggered, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    menu->addAction(action);
    m_actions << action;
    return action;
}

void Tmainform::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    addAction(file, QStringLiteral("Add Files..."), QKeySequence(Qt::CTRL | Qt::Key_A),
              QStringLiteral("addfile"), &Tmainform::AddFiles);
    addAction(file, QStringLiteral("Add Folder"), QKeySequence(Qt::CTRL | Qt::Key_F),
              QStringLiteral("addfolder"), &Tmainform::AddFolder);
    addAction(file, QStringLiteral("Delete Selected"), QKeySequence(Qt::Key_Delete), QStringLiteral("delete"),
              &Tmainform::Delete);
    addAction(file, QStringLiteral("Clear All"), {}, QStringLiteral("clear"), &Tmainform::Clear);
    file->addSeparator();
    addAction(file, QStringLiteral("File Properties"), QKeySequence(Qt::CTRL | Qt::Key_P),
              QStringLiteral("properties"), &Tmainform::showFileProperties);
    file->addSeparator();
    addAction(file, QStringLiteral("Exit"), QKeySequence(Qt::ALT | Qt::Key_F4), QStringLiteral("exit"),
              &Tmainform::exitApplication);

    QMenu *action = menuBar()->addMenu(QStringLiteral("Action"));
    addAction(action, QStringLiteral("Convert"), QKeySequence(Qt::Key_F5), QStringLiteral("convert"),
              &Tmainform::Convert);
    addAction(action, QStringLiteral("Stop"), QKeySequence(Qt::Key_F8), QStringLiteral("stop"),
              &Tmainform::Cancel);
    action->addSeparator();
    addAction(action, QStringLiteral("Settings"), QKeySequence(Qt::CTRL | Qt::Key_S),
              QStringLiteral("settings"), &Tmainform::settingsbuttonClick);

    m_toolsMenu = menuBar()->addMenu(QStringLiteral("Tools"));
    m_toolsMenu->setObjectName(QStringLiteral("toolsMenu"));
    buildToolsMenu();

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    addAction(help, QStringLiteral("Contents"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
              &Tmainform::showHelpContents);
    help->addSeparator();
    addAction(help, QStringLiteral("Check updates..."), {}, QStringLiteral("update"),
              &Tmainform::checkForUpdates);

    buildListMenu();
    buildToolbar();
}

void Tmainform::buildListMenu()
{
    // The list menu's shortcuts are shown there but served by the main menu's twins.
    m_listMenu = new QMenu(this);
    m_listMenu->setObjectName(QStringLiteral("listMenu"));
    const auto listItem = [this](const QString &caption, const QKeySequence &key, const QString &iconName,
                                 Handler handler) {
        auto *a = m_listMenu->addAction(icon(iconName), caption);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    };
    listItem(QStringLiteral("Add File..."), QKeySequence(Qt::CTRL | Qt::Key_A), QStringLiteral("addfile"),
             &Tmainform::AddFiles);
    listItem(QStringLiteral("Delete File..."), QKeySequence(Qt::Key_Delete), QStringLiteral("delete"),
             &Tmainform::Delete);
    listItem(QStringLiteral("Clear All"), {}, QStringLiteral("clear"), &Tmainform::Clear);
    listItem(QStringLiteral("File Properties"), QKeySequence(Qt::CTRL | Qt::Key_P),
             QStringLiteral("properties"), &Tmainform::showFileProperties);
    m_listMenu->addSeparator();
    listItem(QStringLiteral("Convert"), QKeySequence(Qt::Key_F5), QStringLiteral("convert"),
             &Tmainform::Convert);
    listItem(QStringLiteral("Help"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
             &Tmainform::showHelpContents);
}

void Tmainform::popupListMenu(const QPoint &globalPos)
{
    m_listMenu->popup(globalPos);
}

void Tmainform::buildToolbar()
{
    const auto button = [this](const QString &caption, const QString &iconName, Handler handler) {
        auto *b = new QToolButton(m_ui.toolbar);
        b->setText(caption);
        b->setIcon(icon(iconName));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(57, 52);
        connect(b, &QToolButton::clicked, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
        m_ui.toolbar->addWidget(b);
        m_toolButtons << b;
    };
    button(QStringLiteral("Add file"), QStringLiteral("addfile"), &Tmainform::AddFiles);
    button(QStringLiteral("Add folder"), QStringLiteral("addfolder"), &Tmainform::AddFolder);
    button(QStringLiteral("Delete"), QStringLiteral("delete"), &Tmainform::Delete);
    button(QStringLiteral("Clear"), QStringLiteral("clear"), &Tmainform::Clear);
    m_ui.toolbar->addSeparator();
    button(QStringLiteral("Convert"), QStringLiteral("convert"), &Tmainform::Convert);
    button(QStringLiteral("Stop"), QStringLiteral("stop"), &Tmainform::Cancel);
    m_ui.toolbar->addSeparator();
    button(QStringLiteral("Settings"), QStringLiteral("settings"), &Tmainform::settingsbuttonClick);
    button(QStringLiteral("Help"), QStringLiteral("help"), &Tmainform::showHelpContents);

    // Captions must fit the narrow buttons; a face wider than the designed one gets a smaller size.
    QFont f = font();
    const auto widest = [this](const QFont &font) {
        int w = 0;
        for (QToolButton *b : std::as_const(m_toolButtons))
            w = qMax(w, QFontMetrics(font).horizontalAdvance(b->text()));
        return w;
    };
    while (widest(f) > 49 && f.pointSizeF() > 6)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    for (QToolButton *b : std::as_const(m_toolButtons))
        b->setFont(f);
}

QAction *Tmainform::actionFor(const QString &caption) const
{
    for (QAction *a : m_actions) {
        if (a->text() == caption)
            return a;
    }
    return nullptr;
}

void Tmainform::FormCreate(const QStringList &arguments)
{
    setAcceptDrops(true);
    m_versionInfo = std::make_unique<TFileVersionInfo>(QCoreApplication::applicationFilePath());
    setWindowTitle(m_versionInfo->value(QStringLiteral("ProductName")) + QLatin1Char(' ') +
                   m_versionInfo->value(QStringLiteral("FileVersion")));
    m_versionText = m_versionInfo->value(QStringLiteral("FileVersion"));
    applyStoredLayout();
    m_settingsForm = new Tsettingsform(this, m_settings);
    createUpdater();

    // The unattended switch counts only first; anywhere else it is a name like the others.
    const bool automate =
        !arguments.isEmpty() && arguments.constFirst().toUpper() == QLatin1String("/AUTOMATE");
    for (qsizetype i = automate ? 1 : 0; i < arguments.size(); ++i)
        addArgument(arguments.at(i));
    if (automate) {
        m_run = new UnattendedRun(*m_queue, *m_engine, this);
        connect(m_run, &UnattendedRun::ended, this, [this](int code) {
            // Closed normally so the settings are saved; the run ends even if the window was never
            // shown, or is still being created when the batch ends at once.
            m_automateExitCode = code;
            if (m_run->endsByClosing())
                close();
            endApplication(code);
        });
    } else {
        m_engine->setQuestions(&m_questions);
    }
    processfolder();
}

void Tmainform::applyStoredLayout()
{
    QSize size = this->size();
    if (m_settings.width != -1)
        size.setWidth(m_settings.width);
    if (m_settings.height != -1)
        size.setHeight(m_settings.height);
    // A stored size larger than the screen would only cost memory and hide the window's edges.
    if (const QScreen *shown = screen())
        size = size.boundedTo(shown->availableGeometry().size());
    resize(size.expandedTo(minimumSize()));
    m_appliedSize = this->size();

    for (int i = 0; i < 5; ++i) {
        m_ui.files->setColumnWidth(i, qMax(0, m_settings.col[i]));
        m_ui.files->setColumnHidden(i, m_settings.col[i] <= 0);
    }
    m_ui.outputFolder->setText(m_settings.output);
    const int codec = m_settings.codec;
    m_ui.formatBox->setCurrentIndex(codec >= 0 && codec < m_ui.formatBox->count() ? codec : -1);
}

bool Tmainform::FormCloseQuery()
{
    if (!isBusy())
        return true;
    Dialogs::message(this, QStringLiteral("Operation in progress. Please wait..."),
                     QStringLiteral("Operation in progress"), Dialogs::Icon::Warning);
    return false;
}

void Tmainform::closeEvent(QCloseEvent *event)
{
    if (m_closing || !FormCloseQuery()) {
        event->ignore();
        return;
    }
    m_closing = true;
    FormClose();
    event->accept();
}

void Tmainform::FormClose()
{
    // Stored again only when the person changed it: a fitted or off-screen size says nothing.
    if (size() != m_appliedSize) {
        m_settings.width = width();
        m_settings.height = height();
    }
    for (int i = 0; i < 5; ++i)
        m_settings.col[i] = m_ui.files->isColumnHidden(i) ? 0 : m_ui.files->columnWidth(i);
    try {
        SaveConfig(m_settings);
    } catch (const Exception &e) {
        Dialogs::message(this, errorReportText(e.message()), QStringLiteral("Tolvane"), Dialogs::Icon::Error);
    }
    delete m_settingsForm;
    m_settingsForm = nullptr;
    delete m_updater;
    m_updater = nullptr;
}

void Tmainform::exitApplication()
{
    close();
}

void Tmainform::formatboxChange()
{
    m_settings.codec = m_ui.formatBox->currentIndex();
}

void Tmainform::showEncoderOptions()
{
    m_settingsForm->selectPage(m_ui.formatBox->currentIndex() + 1);
    settingsbuttonClick();
}

void Tmainform::settingsbuttonClick()
{
    m_settingsForm->showCentred();
}

void Tmainform::setOutputFolderEnabled(bool enabled)
{
    m_ui.browseButton->setEnabled(enabled);
    m_ui.openFolderButton->setEnabled(enabled);
    m_ui.outputFolder->setEnabled(enabled);
}

void Tmainform::selectpathClick()
{
    const QString current = m_ui.outputFolder->text();
    const QString chosen = Dialogs::folder(this, QFileInfo(current).isDir() ? current : QString());
    if (chosen.isEmpty())
        return;
    m_settings.output = QDir::toNativeSeparators(chosen);
    m_ui.outputFolder->setText(m_settings.output);
}

void Tmainform::openfolderClick()
{
    Launcher::open(m_ui.outputFolder->text());
}

void Tmainform::endApplication(int exitCode)
{
    m_exitRequested = true;
    // Queued, so it also works while the window is still being created.
    QMetaObject::invokeMethod(
        qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
