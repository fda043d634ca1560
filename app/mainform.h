#pragma once

#include "batch/batchengine.h"
#include "mainwindowui.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolButton;
class QModelIndex;
class QueueModel;
class ConversionQueue;
class TFileInfo;
class LogWindow;
class TFileVersionInfo;
class Tsettingsform;
class TmGetNewVer;
class UnattendedRun;

// The main window: shows the conversion queue and its batch, and forwards a person's commands to
// them. With "/AUTOMATE" first among the arguments it converts what they name and ends by itself.
class Tmainform : public QMainWindow
{
public:
    Tmainform(config &settings, const QStringList &arguments, const RunOverrides &overrides = {},
              QWidget *parent = nullptr);
    ~Tmainform() override;

    // Commands of the menus, buttons and list.
    void AddFiles();
    void AddFolder();
    void Delete();
    void Clear();
    void showFileProperties();
    void exitApplication();
    void Convert();
    void Cancel();
    void settingsbuttonClick();
    void showEncoderOptions();
    void formatboxChange();
    void selectpathClick();
    void openfolderClick();
    void checkForUpdates();
    void showHelpContents();
    void openMoreFormats();

    // Ways into the list. Each ends with processfolder, which scans the folders they named.
    void addfile(const QString &name);
    void addArgument(const QString &name);
    // Files a later start of the program handed over: listed as command-line names, the window in front.
    void takeHandedFiles(const QStringList &files);
    void queueFolder(const QString &folder);
    void dropNames(const QStringList &names);
    void processfolder();
    bool isListed(const QString &fileName) const;
    void popupListMenu(const QPoint &globalPos);

    // The output folder's controls are idle while outputs go beside their sources.
    void setOutputFolderEnabled(bool enabled);
    const QString &versionText() const { return m_versionText; }
    // The file of the first selected row; empty when none is selected.
    QString selectedSource() const;

    const ConversionQueue &queue() const { return *m_queue; }
    QueueModel *listModel() const { return m_model; }
    BatchEngine &engine() const { return *m_engine; }
    int effectiveJobs() const { return m_engine->effectiveJobs(); }
    ExistingPolicy effectiveExisting() const { return m_engine->effectiveExisting(); }
    // A batch or a folder scan is running.
    bool isBusy() const;
    // Convert while nothing runs, Stop while a batch or a scan does.
    void showBusy();
    // Stop was given to the batch that runs or ran last.
    bool isStopping() const { return m_engine->isStopping(); }
    bool isAutomated() const { return m_run != nullptr; }

    // A termination signal: the batch stops as with Stop, then the program saves and ends with
    // 128 + the signal's number.
    void stopForSignal(int signalNumber);
    // The exit code an unattended run ends with, -1 before its batch has ended.
    int automateExitCode() const { return m_automateExitCode; }
    // Ends the program with that exit code without closing the window (nothing is saved).
    void endApplication(int exitCode);
    bool exitRequested() const { return m_exitRequested; }

    // The File Properties window, once it has been opened.
    TFileInfo *fileProperties() const { return m_fileInfo; }
    // The selected row's encoder log, in a window of its own.
    void showLog();
    LogWindow *logWindow() const { return m_logWindow; }
    QAction *actionFor(const QString &caption) const;
    QList<QAction *> windowActions() const { return m_ui.actions; }
    QList<QToolButton *> toolButtons() const { return m_ui.toolButtons; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    using Handler = void (Tmainform::*)();

    void FormCreate(const QStringList &arguments);
    bool FormCloseQuery();
    void FormClose();
    void applyStoredLayout();
    void connectControls();
    void connectCommands();
    void buildToolsMenu();
    void createUpdater();
    void connectQueue();
    void connectBatch();
    QModelIndex rowOf(int id) const;
    void refreshList();
    void showIgnored();
    void onterminate();
    void batchFinished();
    void endAfterSignal();

    config &m_settings;
    MainWindowUi m_ui;
    ConversionQueue *m_queue = nullptr;
    QueueModel *m_model = nullptr;
    BatchEngine *m_engine = nullptr;
    DialogQuestions m_questions;
    UnattendedRun *m_run = nullptr; // only with "/AUTOMATE"
    Tsettingsform *m_settingsForm = nullptr;
    TmGetNewVer *m_updater = nullptr;
    TFileInfo *m_fileInfo = nullptr;  // a child of the window, made when first asked for
    LogWindow *m_logWindow = nullptr; // the same
    std::unique_ptr<TFileVersionInfo> m_versionInfo;
    QString m_versionText;
    QLabel *m_ignoredLabel = nullptr;
    qsizetype m_ignoredShown = 0;
    bool m_scanning = false;
    int m_scanStartCount = 0; // rows before the scan that runs
    bool m_closing = false;
    bool m_exitRequested = false;
    int m_automateExitCode = -1;
    int m_signal = 0;    // the termination signal that is ending the program
    QSize m_appliedSize; // the size set from the settings; stored again only if the person changes it
};
