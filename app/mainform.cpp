#include "mainform.h"

#include "anchors.h"
#include "application.h"
#include "filelist.h"
#include "settingsform.h"

#include "convert/pipeconvert.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/launcher.h"
#include "platform/versioninfo.h"
#include "settings/options.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

// Resources of a static library are registered by hand.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {
const QSize designClient(597, 427);

QIcon icon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}
} // namespace

Tmainform::Tmainform(const QStringList &arguments, const RunOverrides &overrides, QWidget *parent)
    : QMainWindow(parent), m_overrides(overrides)
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
    buildControls();
    buildMenus();
    statusBar()->setSizeGripEnabled(true);
    resize(designClient.width(),
           designClient.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    setMinimumSize(420, 290);
    FormCreate(arguments);
}

Tmainform::~Tmainform() = default;

void Tmainform::place(QWidget *w, const QRect &design, int anchors)
{
    w->setGeometry(design);
    m_placed.push_back({w, design, anchors});
}

void Tmainform::applyAnchors()
{
    for (const Placed &p : m_placed)
        p.widget->setGeometry(anchoredGeometry(p.design, p.anchors, designClient, m_client->size()));
}

void Tmainform::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyAnchors();
}

void Tmainform::buildControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);

    toolbar = new QToolBar(m_client);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setMovable(false);
    place(toolbar, QRect(0, 0, designClient.width(), 56), AnchorLeft | AnchorTop | AnchorRight);

    files = new TFileList(this, m_client);
    files->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Format"), QStringLiteral("Path"),
                            QStringLiteral("Duration"), QStringLiteral("Status")});
    const int designWidths[] = {170, 115, 0, 55, 60};
    for (int i = 0; i < 5; ++i)
        files->setColumnWidth(i, designWidths[i]);
    place(files, QRect(8, 64, 581, 261), AnchorAll);

    ProgressBar = new QProgressBar(m_client);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    place(ProgressBar, QRect(8, 331, 581, 17), AnchorLeft | AnchorRight | AnchorBottom);

    auto *formatLabel = new QLabel(QStringLiteral("Output Format:"), m_client);
    place(formatLabel, QRect(8, 366, 100, 16), AnchorLeft | AnchorBottom);

    formatbox = new QComboBox(m_client);
    formatbox->addItems(Options::formatNames());
    place(formatbox, QRect(112, 363, 194, 21), AnchorLeft | AnchorRight | AnchorBottom);
    connect(formatbox, &QComboBox::activated, this, [this] { runGuarded([this] { formatboxChange(); }); });

    encoderOptionsButton = new QPushButton(QStringLiteral("Encoder options"), m_client);
    place(encoderOptionsButton, QRect(312, 361, 115, 25), AnchorRight | AnchorBottom);
    connect(encoderOptionsButton, &QPushButton::clicked, this,
            [this] { runGuarded([this] { showEncoderOptions(); }); });

    moreFormatsLink = new QLabel(
        QStringLiteral("<a href=\"#\" style=\"color:#0000ff;font-weight:bold;\">Need more formats?</a>"),
        m_client);
    moreFormatsLink->setTextFormat(Qt::RichText);
    moreFormatsLink->setCursor(Qt::PointingHandCursor);
    place(moreFormatsLink, QRect(445, 364, 144, 16), AnchorRight | AnchorBottom);
    connect(moreFormatsLink, &QLabel::linkActivated, this,
            [this] { runGuarded([this] { openMoreFormats(); }); });

    auto *folderLabel = new QLabel(QStringLiteral("Output Folder:"), m_client);
    place(folderLabel, QRect(8, 397, 100, 16), AnchorLeft | AnchorBottom);

    path = new QLineEdit(QStringLiteral("..."), m_client);
    path->setReadOnly(true);
    place(path, QRect(112, 394, 315, 21), AnchorLeft | AnchorRight | AnchorBottom);

    selectpath = new QPushButton(QStringLiteral("Browse"), m_client);
    place(selectpath, QRect(433, 392, 75, 25), AnchorRight | AnchorBottom);
    connect(selectpath, &QPushButton::clicked, this, [this] { runGuarded([this] { selectpathClick(); }); });

    openfolder = new QPushButton(QStringLiteral("Open Folder"), m_client);
    place(openfolder, QRect(514, 392, 75, 25), AnchorRight | AnchorBottom);
    connect(openfolder, &QPushButton::clicked, this, [this] { runGuarded([this] { openfolderClick(); }); });

    m_client->resize(designClient);
}

QAction *Tmainform::addAction(QMenu *menu, const QString &caption, const QKeySequence &key,
                              const QString &iconName, void (Tmainform::*handler)())
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

    toolsMenu = menuBar()->addMenu(QStringLiteral("Tools"));
    buildToolsMenu();

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    addAction(help, QStringLiteral("Contents"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
              &Tmainform::showHelpContents);
    help->addSeparator();
    addAction(help, QStringLiteral("Check updates..."), {}, QStringLiteral("update"),
              &Tmainform::checkForUpdates);

    // The list menu's shortcuts are shown there but served by the main menu's twins.
    listMenu = new QMenu(this);
    const auto listItem = [this](const QString &caption, const QKeySequence &key, const QString &iconName,
                                 void (Tmainform::*handler)()) {
        auto *a = listMenu->addAction(icon(iconName), caption);
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
    listMenu->addSeparator();
    listItem(QStringLiteral("Convert"), QKeySequence(Qt::Key_F5), QStringLiteral("convert"),
             &Tmainform::Convert);
    listItem(QStringLiteral("Help"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
             &Tmainform::showHelpContents);

    buildToolbar();
}

void Tmainform::buildToolbar()
{
    const auto button = [this](const QString &caption, const QString &iconName,
                               void (Tmainform::*handler)()) {
        auto *b = new QToolButton(toolbar);
        b->setText(caption);
        b->setIcon(icon(iconName));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(57, 52);

        connect(b, &QToolButton::clicked, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
        toolbar->addWidget(b);
        m_toolButtons << b;
    };
    button(QStringLiteral("Add file"), QStringLiteral("addfile"), &Tmainform::AddFiles);
    button(QStringLiteral("Add folder"), QStringLiteral("addfolder"), &Tmainform::AddFolder);
    button(QStringLiteral("Delete"), QStringLiteral("delete"), &Tmainform::Delete);
    button(QStringLiteral("Clear"), QStringLiteral("clear"), &Tmainform::Clear);
    toolbar->addSeparator();
    button(QStringLiteral("Convert"), QStringLiteral("convert"), &Tmainform::Convert);
    button(QStringLiteral("Stop"), QStringLiteral("stop"), &Tmainform::Cancel);
    toolbar->addSeparator();
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
    automate = false;
    m_busy = false;
    setAcceptDrops(true);
    m_batchStop = false;

    versioninfo = std::make_unique<TFileVersionInfo>(QCoreApplication::applicationFilePath());
    setWindowTitle(versioninfo->value(QStringLiteral("ProductName")) + QLatin1Char(' ') +
                   versioninfo->value(QStringLiteral("FileVersion")));
    versiontext = versioninfo->value(QStringLiteral("FileVersion"));

    cfg = LoadConfig(&startupError);

    QSize size = this->size();
    if (cfg.width != -1)
        size.setWidth(cfg.width);
    if (cfg.height != -1)
        size.setHeight(cfg.height);
    // A stored size larger than the screen would only cost memory and hide the window's edges.
    if (const QScreen *shown = screen())
        size = size.boundedTo(shown->availableGeometry().size());
    resize(size.expandedTo(minimumSize()));
    m_appliedSize = this->size();

    for (int i = 0; i < 5; ++i) {
        files->setColumnWidth(i, qMax(0, cfg.col[i]));
        files->setColumnHidden(i, cfg.col[i] <= 0);
    }

    path->setText(cfg.output);
    formatbox->setCurrentIndex(cfg.codec >= 0 && cfg.codec < formatbox->count() ? cfg.codec : -1);

    settingsform = new Tsettingsform(this);
    createUpdater();
    folderlist.clear();
    createConverter();

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        // The unattended switch counts only first; anywhere else it is a name like the others.
        if (i == 0 && arguments.at(i).toUpper() == QLatin1String("/AUTOMATE"))
            continue;
        addArgument(arguments.at(i));
    }
    if (!arguments.isEmpty() && arguments.constFirst().toUpper() == QLatin1String("/AUTOMATE"))
        automate = true;

    if (!startupError.isEmpty()) {
        // Shown once the window is up, through the general error report.
        QTimer::singleShot(0, this, [message = startupError] { showErrorReport(message); });
    }
    processfolder();
}

bool Tmainform::FormCloseQuery()
{
    if (!m_busy)
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
    folderlist.clear();
    // Stored again only when the person changed it: a fitted or off-screen size says nothing.
    if (size() != m_appliedSize) {
        cfg.width = width();
        cfg.height = height();
    }
    for (int i = 0; i < 5; ++i)
        cfg.col[i] = files->isColumnHidden(i) ? 0 : files->columnWidth(i);
    try {
        SaveConfig(cfg);
    } catch (const Exception &e) {
        Dialogs::message(this, errorReportText(e.message()), QStringLiteral("Tolvane"), Dialogs::Icon::Error);
    }
    delete settingsform;
    settingsform = nullptr;
    destroyConverter();
    destroyUpdater();
}

void Tmainform::exitApplication()
{
    close();
}

void Tmainform::formatboxChange()
{
    cfg.codec = formatbox->currentIndex();
}

void Tmainform::showEncoderOptions()
{
    settingsform->selectPage(formatbox->currentIndex() + 1);
    settingsbuttonClick();
}

void Tmainform::settingsbuttonClick()
{
    settingsform->showCentred();
}

void Tmainform::selectpathClick()
{
    const QString start = QFileInfo(path->text()).isDir() ? path->text() : QString();
    const QString chosen = Dialogs::folder(this, start);
    if (chosen.isEmpty())
        return;
    cfg.output = QDir::toNativeSeparators(chosen);
    path->setText(cfg.output);
}

void Tmainform::openfolderClick()
{
    Launcher::open(path->text());
}

void Tmainform::endApplication(int exitCode)
{
    m_exitRequested = true;
    // Queued, so it also works while the window is still being created.
    QMetaObject::invokeMethod(
        qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
