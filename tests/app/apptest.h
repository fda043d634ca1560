#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/mainform.h"

#include <memory>

class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QAbstractItemView;
class QModelIndex;
class TFileList;
class Tsettingsform;
class TmGetNewVer;

// What the window tests share.
namespace AppTest {

// Points the settings at a temporary folder for the whole test run; call from initMain().
void useTemporaryConfigHome();
QString configHome();

// The settings the test windows are handed, read from the settings file when a window opens.
config &settings();

// The window's controls, found by their names.
TFileList *files(const Tmainform &window);
QProgressBar *progressBar(const Tmainform &window);
QComboBox *formatBox(const Tmainform &window);
QLineEdit *outputFolder(const Tmainform &window);
QPushButton *browseButton(const Tmainform &window);
QPushButton *openFolderButton(const Tmainform &window);
QMenu *listMenu(const Tmainform &window);
QMenu *toolsMenu(const Tmainform &window);
Tsettingsform *settingsForm(const Tmainform &window);
// A control of a window, by its name.
template <typename T> T *control(const QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}
TmGetNewVer *updater(const Tmainform &window);

QStringList columnTexts(const QAbstractItemView *list, int column);
inline QStringList statuses(const QAbstractItemView *list)
{
    return columnTexts(list, 4);
}
QModelIndex cell(const QAbstractItemView *list, int row, int column = 0);
// Selects the row alone and makes it current, as a click does.
void selectRow(QAbstractItemView *list, int row);

// Copies a file, making the target's folder and replacing what is there.
bool copyFile(const QString &from, const QString &to);

// A shown main window made with these command-line arguments.
std::unique_ptr<Tmainform> openWindow(const QStringList &arguments = {}, const RunOverrides &overrides = {});
// A shown main window listing the files, converting into outputFolder without questions.
std::unique_ptr<Tmainform> openForBatch(const QStringList &files, const QString &outputFolder,
                                        const RunOverrides &overrides = {});

// Starts a batch and waits until it has ended.
bool runBatch(Tmainform *window, int timeoutMsecs = 180000);

// The environment of the real program without a display, its settings under configHome.
QProcessEnvironment headlessEnvironment(const QString &configHome);

// Runs a check whenever the event loop turns, until it returns true once.
class Trigger : public QTimer
{
public:
    explicit Trigger(std::function<bool()> check);
};

} // namespace AppTest
