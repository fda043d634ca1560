#include "apptest.h"

#include "app/application.h"
#include "app/filelist.h"
#include "app/mainform.h"
#include "app/settingsform.h"
#include "update/checkpad.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace AppTest {

namespace {
QTemporaryDir *home = nullptr;

template <typename T> T *named(const Tmainform &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}
} // namespace

config &settings()
{
    static config testSettings;
    return testSettings;
}

TFileList *files(const Tmainform &window)
{
    return named<TFileList>(window, "files");
}

QProgressBar *progressBar(const Tmainform &window)
{
    return named<QProgressBar>(window, "progressBar");
}

QComboBox *formatBox(const Tmainform &window)
{
    return named<QComboBox>(window, "formatBox");
}

QLineEdit *outputFolder(const Tmainform &window)
{
    return named<QLineEdit>(window, "outputFolder");
}

QPushButton *browseButton(const Tmainform &window)
{
    return named<QPushButton>(window, "browseButton");
}

QPushButton *openFolderButton(const Tmainform &window)
{
    return named<QPushButton>(window, "openFolderButton");
}

QMenu *listMenu(const Tmainform &window)
{
    return named<QMenu>(window, "listMenu");
}

QMenu *toolsMenu(const Tmainform &window)
{
    return named<QMenu>(window, "toolsMenu");
}

Tsettingsform *settingsForm(const Tmainform &window)
{
    return named<Tsettingsform>(window, "settingsForm");
}

TmGetNewVer *updater(const Tmainform &window)
{
    return window.findChild<TmGetNewVer *>();
}

void useTemporaryConfigHome()
{
    home = new QTemporaryDir;
    qputenv("XDG_CONFIG_HOME", home->path().toLocal8Bit());
}

QString configHome()
{
    return home->path();
}

QStringList columnTexts(const QAbstractItemView *list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        texts << cell(list, i, column).data().toString();
    return texts;
}

QModelIndex cell(const QAbstractItemView *list, int row, int column)
{
    return list->model()->index(row, column);
}

void selectRow(QAbstractItemView *list, int row)
{
    list->selectionModel()->setCurrentIndex(cell(list, row),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool copyFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    return QFile::copy(from, to);
}

std::unique_ptr<Tmainform> openWindow(const QStringList &arguments, const RunOverrides &overrides)
{
    settings() = loadSettings();
    auto w = std::make_unique<Tmainform>(settings(), arguments, overrides);
    w->show();
    return w;
}

std::unique_ptr<Tmainform> openForBatch(const QStringList &files, const QString &outputFolder,
                                        const RunOverrides &overrides)
{
    settings() = loadSettings();
    auto w = std::make_unique<Tmainform>(settings(), QStringList(), overrides);
    settings().output = outputFolder;
    settings().askoverwrite = false;
    settings().existing = 0;
    for (const QString &f : files)
        w->addfile(f);
    w->processfolder();
    w->show();
    return w;
}

bool runBatch(Tmainform *window, int timeoutMsecs)
{
    window->Convert();
    return QTest::qWaitFor([window] { return !window->isBusy(); }, timeoutMsecs);
}

QProcessEnvironment headlessEnvironment(const QString &configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

Trigger::Trigger(std::function<bool()> check)
{
    connect(this, &QTimer::timeout, this, [this, check = std::move(check)] {
        if (check())
            stop();
    });
    start(0);
}

} // namespace AppTest
