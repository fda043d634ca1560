#include "mainwindowui.h"

#include "anchors.h"
#include "filelist.h"
#include "mainform.h"
#include "queuemodel.h"

#include "settings/options.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

namespace {
QIcon icon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}
} // namespace

void MainWindowUi::place(QWidget *w, const QRect &design, int anchors)
{
    w->setGeometry(design);
    m_placed.push_back({w, design, anchors});
}

void MainWindowUi::applyAnchors()
{
    for (const Placed &p : m_placed)
        p.widget->setGeometry(anchoredGeometry(p.design, p.anchors, designClient, client->size()));
}

void MainWindowUi::setupUi(Tmainform *window)
{
    // The settings window and the message boxes are windows of their own: they read the window's face
    // at its size from the application, so every window speaks in one size.
    QApplication::setFont(window->font());
    client = new QWidget(window);
    window->setCentralWidget(client);

    toolbar = new QToolBar(client);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setMovable(false);
    place(toolbar, QRect(0, 0, designClient.width(), 56), AnchorLeft | AnchorTop | AnchorRight);

    files = new TFileList(window, window->listModel(), client);
    files->setObjectName(QStringLiteral("files"));
    const int designWidths[] = {170, 115, 0, 55, 60};
    for (int i = 0; i < 5; ++i)
        files->setColumnWidth(i, designWidths[i]);
    place(files, QRect(8, 64, 581, 261), AnchorAll);

    progressBar = new QProgressBar(client);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    place(progressBar, QRect(8, 331, 581, 17), AnchorLeft | AnchorRight | AnchorBottom);

    setupOutputControls();
    client->resize(designClient);
}

void MainWindowUi::setupOutputControls()
{
    auto *formatLabel = new QLabel(QStringLiteral("Output Format:"), client);
    place(formatLabel, QRect(8, 366, 100, 16), AnchorLeft | AnchorBottom);

    formatBox = new QComboBox(client);
    formatBox->setObjectName(QStringLiteral("formatBox"));
    formatBox->addItems(Options::formatNames());
    place(formatBox, QRect(112, 363, 194, 21), AnchorLeft | AnchorRight | AnchorBottom);

    encoderOptionsButton = new QPushButton(QStringLiteral("Encoder options"), client);
    encoderOptionsButton->setObjectName(QStringLiteral("encoderOptionsButton"));
    place(encoderOptionsButton, QRect(312, 361, 115, 25), AnchorRight | AnchorBottom);

    moreFormatsLink = new QLabel(
        QStringLiteral("<a href=\"#\" style=\"font-weight:bold;\">Need more formats?</a>"), client);
    moreFormatsLink->setObjectName(QStringLiteral("moreFormatsLink"));
    // Without a colour of its own the link takes the palette's, readable in a dark theme too.
    moreFormatsLink->setTextFormat(Qt::RichText);
    moreFormatsLink->setCursor(Qt::PointingHandCursor);
    place(moreFormatsLink, QRect(445, 364, 144, 16), AnchorRight | AnchorBottom);

    auto *folderLabel = new QLabel(QStringLiteral("Output Folder:"), client);
    place(folderLabel, QRect(8, 397, 100, 16), AnchorLeft | AnchorBottom);

    outputFolder = new QLineEdit(QStringLiteral("..."), client);
    outputFolder->setObjectName(QStringLiteral("outputFolder"));
    outputFolder->setReadOnly(true);
    place(outputFolder, QRect(112, 394, 315, 21), AnchorLeft | AnchorRight | AnchorBottom);

    browseButton = new QPushButton(QStringLiteral("Browse"), client);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    place(browseButton, QRect(433, 392, 75, 25), AnchorRight | AnchorBottom);

    openFolderButton = new QPushButton(QStringLiteral("Open Folder"), client);
    openFolderButton->setObjectName(QStringLiteral("openFolderButton"));
    place(openFolderButton, QRect(514, 392, 75, 25), AnchorRight | AnchorBottom);
}

QAction *MainWindowUi::addAction(QMenu *menu, const QString &caption, const QKeySequence &key,
                                 const QString &iconName, Command command)
{
    auto *action = new QAction(caption, menu);
    if (!key.isEmpty())
        action->setShortcut(key);
    if (!iconName.isEmpty())
        action->setIcon(icon(iconName));
    menu->addAction(action);
    actions << action;
    triggers.push_back({action, command});
    return action;
}

void MainWindowUi::setupMenus(Tmainform *window)
{
    QMenu *file = window->menuBar()->addMenu(QStringLiteral("&File"));
    addAction(file, QStringLiteral("&Add Files..."), QKeySequence(Qt::CTRL | Qt::Key_A),
              QStringLiteral("addfile"), Command::AddFiles);
    addAction(file, QStringLiteral("A&dd Folder"), QKeySequence(Qt::CTRL | Qt::Key_F),
              QStringLiteral("addfolder"), Command::AddFolder);
    addAction(file, QStringLiteral("De&lete Selected"), QKeySequence(Qt::Key_Delete),
              QStringLiteral("delete"), Command::Delete);
    addAction(file, QStringLiteral("&Clear All"), {}, QStringLiteral("clear"), Command::Clear);
    file->addSeparator();
    addAction(file, QStringLiteral("File &Properties"), QKeySequence(Qt::CTRL | Qt::Key_P),
              QStringLiteral("properties"), Command::FileProperties);
    file->addSeparator();
    addAction(file, QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4), QStringLiteral("exit"),
              Command::Exit);

    QMenu *action = window->menuBar()->addMenu(QStringLiteral("&Action"));
    addAction(action, QStringLiteral("&Convert"), QKeySequence(Qt::Key_F5), QStringLiteral("convert"),
              Command::Convert);
    addAction(action, QStringLiteral("&Stop"), QKeySequence(Qt::Key_F8), QStringLiteral("stop"),
              Command::Stop);
    action->addSeparator();
    addAction(action, QStringLiteral("S&ettings"), QKeySequence(Qt::CTRL | Qt::Key_S),
              QStringLiteral("settings"), Command::Settings);

    toolsMenu = window->menuBar()->addMenu(QStringLiteral("&Tools"));
    toolsMenu->setObjectName(QStringLiteral("toolsMenu"));

    QMenu *help = window->menuBar()->addMenu(QStringLiteral("&Help"));
    addAction(help, QStringLiteral("&Contents"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
              Command::HelpContents);
    help->addSeparator();
    addAction(help, QStringLiteral("Check &updates..."), {}, QStringLiteral("update"), Command::CheckUpdates);

    setupListMenu(window);
    setupToolbar(window);
}

void MainWindowUi::setupListMenu(Tmainform *window)
{
    // The list menu's shortcuts are shown there but served by the main menu's twins.
    listMenu = new QMenu(window);
    listMenu->setObjectName(QStringLiteral("listMenu"));
    const auto listItem = [this](const QString &caption, const QKeySequence &key, const QString &iconName,
                                 Command command) {
        auto *a = listMenu->addAction(icon(iconName), caption);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetShortcut);
        triggers.push_back({a, command});
    };
    listItem(QStringLiteral("&Add File..."), QKeySequence(Qt::CTRL | Qt::Key_A), QStringLiteral("addfile"),
             Command::AddFiles);
    listItem(QStringLiteral("&Delete File..."), QKeySequence(Qt::Key_Delete), QStringLiteral("delete"),
             Command::Delete);
    listItem(QStringLiteral("&Clear All"), {}, QStringLiteral("clear"), Command::Clear);
    listItem(QStringLiteral("File &Properties"), QKeySequence(Qt::CTRL | Qt::Key_P),
             QStringLiteral("properties"), Command::FileProperties);
    // Filled for the selected row as the menu opens.
    trackMenu = listMenu->addMenu(QStringLiteral("Audio &track"));
    trackMenu->setObjectName(QStringLiteral("trackMenu"));
    logAction = listMenu->addAction(QStringLiteral("Show &log\u2026"));
    logAction->setObjectName(QStringLiteral("logAction"));
    listMenu->addSeparator();
    listItem(QStringLiteral("Con&vert"), QKeySequence(Qt::Key_F5), QStringLiteral("convert"),
             Command::Convert);
    listItem(QStringLiteral("&Help"), QKeySequence(Qt::Key_F1), QStringLiteral("help"),
             Command::HelpContents);
}

void MainWindowUi::setupToolbar(Tmainform *window)
{
    const auto button = [this](const QString &caption, const QString &iconName, Command command,
                               const QKeySequence &key = {}) {
        auto *b = new QToolButton(toolbar);
        b->setText(caption);
        b->setToolTip(key.isEmpty()
                          ? caption
                          : QStringLiteral("%1 (%2)").arg(caption, key.toString(QKeySequence::NativeText)));
        b->setIcon(icon(iconName));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(57, 52);
        toolbar->addWidget(b);
        toolButtons << b;
        triggers.push_back({b, command});
    };
    button(QStringLiteral("Add file"), QStringLiteral("addfile"), Command::AddFiles,
           QKeySequence(Qt::CTRL | Qt::Key_A));
    button(QStringLiteral("Add folder"), QStringLiteral("addfolder"), Command::AddFolder,
           QKeySequence(Qt::CTRL | Qt::Key_F));
    button(QStringLiteral("Delete"), QStringLiteral("delete"), Command::Delete, QKeySequence(Qt::Key_Delete));
    button(QStringLiteral("Clear"), QStringLiteral("clear"), Command::Clear);
    toolbar->addSeparator();
    button(QStringLiteral("Convert"), QStringLiteral("convert"), Command::Convert, QKeySequence(Qt::Key_F5));
    button(QStringLiteral("Stop"), QStringLiteral("stop"), Command::Stop, QKeySequence(Qt::Key_F8));
    toolbar->addSeparator();
    button(QStringLiteral("Settings"), QStringLiteral("settings"), Command::Settings,
           QKeySequence(Qt::CTRL | Qt::Key_S));
    button(QStringLiteral("Help"), QStringLiteral("help"), Command::HelpContents, QKeySequence(Qt::Key_F1));

    // Captions must fit the narrow buttons; a face wider than the designed one gets a smaller size.
    QFont f = window->font();
    const auto widest = [this](const QFont &font) {
        int w = 0;
        for (QToolButton *b : std::as_const(toolButtons))
            w = qMax(w, QFontMetrics(font).horizontalAdvance(b->text()));
        return w;
    };
    while (widest(f) > 49 && f.pointSizeF() > 6)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    for (QToolButton *b : std::as_const(toolButtons))
        b->setFont(f);
}
