#pragma once

#include "settings/config.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSet>
#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;
class QToolButton;
class TFileVersionInfo;
class TFileList;
class TPipeConvert;
class Tsettingsform;
class TmGetNewVer;
class TFileInfo;

// Command-line choices that hold for one run only, over the stored settings.
struct RunOverrides
{
    int jobs = 0; // 0: the stored setting
    std::optional<ExistingPolicy> existing;
};

class Tmainform : public QMainWindow
{
public:
    explicit Tmainform(const QStringList &arguments, const RunOverrides &overrides = {},
                       QWidget *parent = nullptr);
    ~Tmainform() override;

    // Controls, named as the rest of the program knows them.
    QToolBar *toolbar = nullptr;
    TFileList *files = nullptr;
    QProgressBar *ProgressBar = nullptr;
    QComboBox *formatbox = nullptr;
    QPushButton *encoderOptionsButton = nullptr;
    QLabel *moreFormatsLink = nullptr;
    QLineEdit *path = nullptr;
    QPushButton *selectpath = nullptr;
    QPushButton *openfolder = nullptr;
    QMenu *listMenu = nullptr;
    QMenu *toolsMenu = nullptr;

    // Fields.
    QStringList folderlist;
    bool scanstop = false;
    bool automate = false;
    QString versiontext;
    std::unique_ptr<TFileVersionInfo> versioninfo;
    TmGetNewVer *updater = nullptr;
    std::unique_ptr<TPipeConvert> converter;
    Tsettingsform *settingsform = nullptr;

    // Window handlers.
    void FormCreate(const QStringList &arguments);
    bool FormCloseQuery();
    void FormClose();
    void exitApplication();
    void formatboxChange();
    void showEncoderOptions();
    void settingsbuttonClick();
    void selectpathClick();
    void openfolderClick();
    void checkForUpdates();

    // Help and outside launches.
    void showHelpContents();
    void openMoreFormats();

    // Conversion list.
    static bool ismyfile(const QString &name);
    // Relative names are taken against the working folder; only regular files are listed.
    void addfile(const QString &name);
    // A command-line name: a video, or a folder to scan; anything else is reported.
    void addArgument(const QString &name);
    void AddFiles();
    void AddFolder();
    void Delete();
    void Clear();
    void showFileProperties();
    void processfolder();
    void recurse();
    void FindFiles(const QString &folder, bool subfolders);
    void onterminate();
    void dropNames(const QStringList &names);
    bool filesDragOver(const QPoint &pos);
    void filesDragDrop(const QPoint &pos);
    bool isListed(const QString &fileName) const;
    // Something a way in leaves out, and why; told when that way in ends (showIgnored).
    void reportIgnored(const QString &path, const QString &reason);
    void showIgnored();

    // Batch.
    void Convert();
    void ConvertItem(int i);
    void DoOnConvertStatus(TPipeConvert *sender, quint8 kind, int min, int max, int position);
    void DoOnConvertFinished(TPipeConvert *sender, quint8 failed);
    void DoOnConvertError(TPipeConvert *sender);
    void Cancel();
    void OnThread();

    int effectiveJobs() const;
    ExistingPolicy effectiveExisting() const;

    // A termination signal: the batch stops as with Stop, then the program saves and ends with
    // 128 + the signal's number.
    void stopForSignal(int signalNumber);

    // The File Properties window, once it has been opened.
    TFileInfo *fileProperties() const { return m_fileInfo; }

    // A batch or a folder scan is running.
    bool isBusy() const { return m_busy; }
    // Stop was given to the batch that runs or ran last.
    bool isStopping() const { return m_batchStop; }

    // The exit code an unattended run ends with, -1 before its batch has ended.
    int automateExitCode() const { return m_automateExitCode; }

    // The error a start-up step met; reported once the window is up.
    QString startupError;

    // Ends the program with that exit code without closing the window (nothing is saved).
    void endApplication(int exitCode);
    bool exitRequested() const { return m_exitRequested; }

    QAction *actionFor(const QString &caption) const;
    QList<QAction *> windowActions() const { return m_actions; }
    QList<QToolButton *> toolButtons() const { return m_toolButtons; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Placed
    {
        QWidget *widget;
        QRect design;
        int anchors;
    };

    void buildControls();
    void buildMenus();
    void buildToolbar();
    QAction *addAction(QMenu *menu, const QString &caption, const QKeySequence &key, const QString &icon,
                       void (Tmainform::*handler)());
    void place(QWidget *w, const QRect &design, int anchors);
    void applyAnchors();
    void buildToolsMenu();
    void createUpdater();
    void destroyUpdater();
    void createConverter();
    void destroyConverter();
    void forgetRow(QTreeWidgetItem *item);
    void refreshList();
    void startOrEndAutomatedRun();
    static int rowIdOf(const QTreeWidgetItem *item);
    QTreeWidgetItem *rowById(int id) const;
    // A row is about to be deleted: a conversion of it is stopped and forgotten.
    void rowLeaving(QTreeWidgetItem *item);
    // The row after the one started last, by identity: where the batch goes on.
    int nextPosition() const;
    int rowsWaiting() const;
    struct PlannedOutput;
    std::optional<PlannedOutput> planOutput(int rowId, const QString &infile);
    std::optional<PlannedOutput> askAboutExisting(int rowId, const QString &infile, const QString &outfile,
                                                  const QString &outdir);
    bool isSourceName(const QString &infile, const QString &outfile) const;
    void endAfterSignal();
    // Starts waiting rows while converters are free; false when that is already under way.
    bool startWaiting();
    void startMore();
    void endBatch();
    void finishRow(int rowId, const QString &status, const QString &input, const QString &output,
                   const QString &reason);
    void showBatchProgress();
    std::vector<TPipeConvert *> allConverters() const;
    TPipeConvert *idleConverter() const;
    struct Running;
    Running *runningFor(TPipeConvert *converterOfJob);
    QString commitOutput(Running &job);

    QWidget *m_client = nullptr;
    std::vector<Placed> m_placed;
    QList<QAction *> m_actions;
    QList<QToolButton *> m_toolButtons;
    QSet<QString> m_listed;          // the real paths of all rows
    TFileInfo *m_fileInfo = nullptr; // a child of the window, made when first asked for
    bool m_busy = false;
    bool m_batchStop = false;
    bool m_closing = false;
    bool m_scanning = false;
    bool m_exitRequested = false;
    QSet<QString> m_visitedFolders;
    QElapsedTimer m_refreshClock;
    // What the ways in left out since the list was last cleared; the first m_ignoredShown are told.
    QList<std::pair<QString, QString>> m_ignored; // path, reason
    qsizetype m_ignoredShown = 0;
    QLabel *m_ignoredLabel = nullptr;

    // The batch follows rows by identity, so moving or deleting rows never misplaces a status.
    struct LastStarted
    {
        int id = 0;
        int gonePosition = -1; // where it stood when it was deleted
    } m_lastStarted;
    struct PlannedOutput
    {
        QString outfile;
        bool replace = false; // an existing file is overwritten on purpose
    };
    struct Running
    {
        TPipeConvert *converter = nullptr;
        int rowId = 0;
        QString input;
        PlannedOutput output;
        QString temporary;     // what the encoder writes, renamed to the output on success
        int position = 0;      // percent
        qint64 durationMs = 0; // as probed when the row was added
        bool removed = false;  // its row was deleted: stopped, neither counted nor reported
    };
    std::vector<Running> m_running;
    std::vector<std::unique_ptr<TPipeConvert>> m_extraConverters;
    QSet<QString> m_batchOutputs; // what this batch writes, so it never overwrites its own output
    struct Tally
    {
        int jobs = 1;
        int done = 0;
        int failed = 0;
        int stopped = 0;
        int skipped = 0;
        qint64 doneMedia = 0;
        QElapsedTimer clock;
    } m_batch;
    bool m_starting = false;
    RunOverrides m_overrides;
    int m_automateExitCode = -1;
    int m_signal = 0;    // the termination signal that is ending the program
    QSize m_appliedSize; // the size set from the settings; stored again only if the person changes it
};
