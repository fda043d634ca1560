#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <vector>

class QAction;
class QKeySequence;
class QString;
class QMenu;
class QObject;
class QToolButton;

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolBar;
class QWidget;
class TFileList;
class Tmainform;

// What the menus, the list menu and the toolbar ask the window to do.
enum class Command
{
    AddFiles,
    AddFolder,
    Delete,
    Clear,
    FileProperties,
    Exit,
    Convert,
    Stop,
    Settings,
    HelpContents,
    CheckUpdates
};

// The main window's controls, menus and toolbar, laid out as drawn and kept in place by their anchors
// when it resizes. Object names let tests find them.
struct MainWindowUi
{
    static constexpr QSize designClient{597, 427};

    // An action or tool button and the command it gives.
    struct Trigger
    {
        QObject *trigger;
        Command command;
    };
    std::vector<Trigger> triggers;
    QList<QAction *> actions; // of the main menu
    QList<QToolButton *> toolButtons;
    QMenu *listMenu = nullptr;
    QMenu *trackMenu = nullptr;   // the selected row's audio streams
    QAction *logAction = nullptr; // the selected row's encoder log
    QMenu *toolsMenu = nullptr;

    QWidget *client = nullptr;
    QToolBar *toolbar = nullptr;
    TFileList *files = nullptr;
    QProgressBar *progressBar = nullptr;
    QComboBox *formatBox = nullptr;
    QPushButton *encoderOptionsButton = nullptr;
    QLabel *moreFormatsLink = nullptr;
    QLineEdit *outputFolder = nullptr;
    QPushButton *browseButton = nullptr;
    QPushButton *openFolderButton = nullptr;

    void setupUi(Tmainform *window);
    void setupMenus(Tmainform *window);
    // Moves every control to where its anchors put it in the client area's present size.
    void applyAnchors();

private:
    struct Placed
    {
        QWidget *widget;
        QRect design;
        int anchors;
    };
    void place(QWidget *w, const QRect &design, int anchors);
    void setupOutputControls();
    void setupListMenu(Tmainform *window);
    void setupToolbar(Tmainform *window);
    QAction *addAction(QMenu *menu, const QString &caption, const QKeySequence &key, const QString &icon,
                       Command command);
    std::vector<Placed> m_placed;
};
