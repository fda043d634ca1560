#include "mainform.h"
#include "queuemodel.h"

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
#include "settings/options.h"
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
    m_model = new QueueModel(*m_queue, this);
    m_ui.setupUi(this);
    m_ui.setupMenus(this);
    buildToolsMenu();
    connectControls();
    statusBar()->setSizeGripEnabled(true);
    // Wide enough at first for the longest format name to show whole; the box grows with the window.
    const int formatNameWidth = qMax(0, m_ui.formatBox->sizeHint().width() - m_ui.formatBox->width());
    resize(MainWindowUi::designClient.width() + formatNameWidth, MainWindowUi::designClient.height() +
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
    // Copied audio is not encoded: nothing to set.
    connect(m_ui.formatBox, &QComboBox::currentIndexChanged, this,
            [this](int format) { m_ui.encoderOptionsButton->setEnabled(format != Options::Original); });
    connect(m_ui.moreFormatsLink, &QLabel::linkActivated, this, guarded(&Tmainform::openMoreFormats));
    connect(m_ui.browseButton, &QPushButton::clicked, this, guarded(&Tmainform::selectpathClick));
    connect(m_ui.openFolderButton, &QPushButton::clicked, this, guarded(&Tmainform::openfolderClick));
    connectCommands();
    connect(m_ui.logAction, &QAction::triggered, this, [this] { runGuarded([this] { showLog(); }); });
    connectQueue();
    connectBatch();
}

void Tmainform::connectCommands()
{
    // In the order of Command.
    static constexpr Handler handlers[] = {&Tmainform::AddFiles,
                                           &Tmainform::AddFolder,
                                           &Tmainform::Delete,
                                           &Tmainform::Clear,
                                           &Tmainform::showFileProperties,
                                           &Tmainform::exitApplication,
                                           &Tmainform::Convert,
                                           &Tmainform::Cancel,
                                           &Tmainform::settingsbuttonClick,
                                           &Tmainform::showHelpContents,
                                           &Tmainform::checkForUpdates};
    for (const MainWindowUi::Trigger &t : m_ui.triggers) {
        const Handler handler = handlers[int(t.command)];
        const auto run = [this, handler] { runGuarded([&] { (this->*handler)(); }); };
        if (auto *action = qobject_cast<QAction *>(t.trigger))
            connect(action, &QAction::triggered, this, run);
        else if (auto *button = qobject_cast<QToolButton *>(t.trigger))
            connect(button, &QToolButton::clicked, this, run);
    }
}

void Tmainform::popupListMenu(const QPoint &globalPos)
{
    m_ui.files->fillTrackMenu(m_ui.trackMenu);
    m_ui.logAction->setEnabled(m_ui.files->selectedIndex() >= 0);
    m_ui.listMenu->popup(globalPos);
}

QAction *Tmainform::actionFor(const QString &caption) const
{
    // Captions are compared without their mnemonic marks.
    for (QAction *a : m_ui.actions) {
        if (QString(a->text()).remove(QLatin1Char('&')) == caption)
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

void Tmainform::takeHandedFiles(const QStringList &files)
{
    for (const QString &file : files)
        addArgument(file);
    processfolder();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
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
