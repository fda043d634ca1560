// The conversion list: how files get in, and how rows are removed and reordered.
#include "mainform.h"

#include "application.h"
#include "cthread.h"
#include "filelist.h"
#include "listtexts.h"

#include "mediainfo/mediainfodll.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSet>

#include <sys/stat.h>

namespace {
int nextRowId = 0;
constexpr qint64 refreshEveryMsecs = 30;

// A folder's identity on disk, so a link back up the tree is not walked twice.
QString folderIdentity(const QString &folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
}
} // namespace

bool Tmainform::ismyfile(const QString &name)
{
    return ListTexts::isVideoFileName(name);
}

void Tmainform::addfile(const QString &fileName)
{
    if (m_listed.contains(fileName))
        return;
    QString format;
    qint64 durationMs = 0;
    {
        TMediaInfoDll probe(fileName);
        format = ListTexts::format(probe.GetVideoCodec(), probe.GetAudioCodec(0));
        durationMs = probe.GetDuration();
    }
    auto *item = new QTreeWidgetItem(files, {ListTexts::caption(fileName), format, fileName,
                                             ListTexts::duration(durationMs), QStringLiteral("Ready")});
    item->setData(0, Qt::UserRole, ++nextRowId);
    item->setData(0, Qt::UserRole + 1, qMax<qint64>(0, durationMs)); // for the time-left estimate
    m_listed.insert(fileName);
    // Repainting after every file would cost more than probing it: the list is refreshed and the
    // window's events handled a few dozen times a second, so it stays live and "Stop" comes through.
    if (!m_refreshClock.isValid() || m_refreshClock.elapsed() >= refreshEveryMsecs)
        refreshList();
}

void Tmainform::refreshList()
{
    // Rows are appended, so the newest one is the last: it becomes the focused row, not a selected one.
    if (const int count = files->topLevelItemCount())
        files->setCurrentItem(files->topLevelItem(count - 1), 0, QItemSelectionModel::NoUpdate);
    files->viewport()->update();
    QCoreApplication::processEvents();
    m_refreshClock.restart();
}

void Tmainform::AddFiles()
{
    const QStringList chosen = Dialogs::openFiles(this, cfg.recent, ListTexts::addFilesFilter());
    if (chosen.isEmpty())
        return;
    cfg.recent = QDir::toNativeSeparators(QFileInfo(chosen.constFirst()).absolutePath()) + QDir::separator();
    for (const QString &name : chosen) {
        addfile(name);
        if (QFileInfo(name).isDir())
            folderlist << name;
    }
    processfolder();
}

void Tmainform::AddFolder1Click()
{
    const QString folder = Dialogs::folder(this, QString());
    if (folder.isEmpty())
        return;
    folderlist << folder;
    processfolder();
}

void Tmainform::dropNames(const QStringList &names)
{
    for (const QString &name : names) {
        if (ismyfile(name))
            addfile(name);
        if (QFileInfo(name).isDir())
            folderlist << name;
    }
    processfolder();
}

void Tmainform::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Tmainform::dropEvent(QDropEvent *event)
{
    const QStringList names = droppedLocalNames(event->mimeData());
    event->acceptProposedAction();
    runGuarded([&] { dropNames(names); });
}

void Tmainform::processfolder()
{
    refreshList();
    if (!folderlist.isEmpty()) {
        // A folder added while a scan runs joins that scan's queue.
        if (m_scanning)
            return;
        m_scanning = true;
        busy = true;
        scanstop = false;
        new CThread([this] { recurse(); }, [this] { onterminate(); }, this);
        return;
    }
    if (automate)
        startOrEndAutomatedRun();
}

void Tmainform::startOrEndAutomatedRun()
{
    if (files->topLevelItemCount() == 0) {
        endApplication(1);
        return;
    }
    Convert();
    // Refused (no output folder, say): nobody is there to fix it, so the run ends as failed.
    if (!busy && m_automateExitCode < 0)
        endApplication(2);
}

void Tmainform::recurse()
{
    m_visitedFolders.clear();
    for (qsizetype i = 0; i < folderlist.size(); ++i)
        FindFiles(folderlist.at(i), cfg.recurse);
}

void Tmainform::FindFiles(const QString &folder, bool subfolders)
{
    if (scanstop)
        return;
    const QString identity = folderIdentity(folder);
    if (!identity.isEmpty()) {
        if (m_visitedFolders.contains(identity))
            return;
        m_visitedFolders.insert(identity);
    }
    QString dir = folder;
    if (!dir.endsWith(QDir::separator()) && !dir.endsWith(QLatin1Char('/')))
        dir += QDir::separator();

    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        if (scanstop)
            break;
        const QFileInfo entry = it.nextFileInfo();
        const QString name = entry.fileName();
        if (entry.isDir()) {
            if (subfolders)
                FindFiles(dir + name, subfolders);
        } else if (ismyfile(name)) {
            try {
                addfile(dir + name);
            } catch (const std::exception &) {
                Dialogs::message(this, QStringLiteral("Could not add file: ") + dir + name,
                                 QStringLiteral("Error!"), Dialogs::Icon::Error);
            }
        }
    }
}

void Tmainform::onterminate()
{
    folderlist.clear();
    m_visitedFolders.clear();
    m_scanning = false;
    busy = false;
    refreshList();
    if (automate)
        startOrEndAutomatedRun();
}

void Tmainform::forgetRow(QTreeWidgetItem *item)
{
    m_listed.remove(item->text(2));
}

void Tmainform::Delete()
{
    const QList<QTreeWidgetItem *> selected = files->selectedItems();
    for (QTreeWidgetItem *item : selected) {
        rowLeaving(item);
        forgetRow(item);
        delete item;
    }
}

void Tmainform::Clear()
{
    if (busy && m_lastStarted.id != 0)
        m_lastStarted.gonePosition = 0;
    m_listed.clear();
    files->clear();
}

bool Tmainform::filesDragOver(const QPoint &pos)
{
    return files->itemAt(pos) != nullptr;
}

void Tmainform::filesDragDrop(const QPoint &pos)
{
    QTreeWidgetItem *t = files->itemAt(pos);
    const QList<QTreeWidgetItem *> selected = files->selectedItems();
    if (!t || selected.isEmpty())
        return;
    QTreeWidgetItem *s = selected.constFirst();
    const int tIndex = files->indexOfTopLevelItem(t);
    const int sIndex = files->indexOfTopLevelItem(s);
    if (tIndex == sIndex)
        return;
    // The copy keeps the row's identity, so a running batch still finds it.
    QTreeWidgetItem *copy = s->clone();
    files->insertTopLevelItem(tIndex > sIndex ? tIndex + 1 : tIndex, copy);
    delete s;
    files->clearSelection();
}

void Tmainform::FileProperties1Click()
{
    const QList<QTreeWidgetItem *> selected = files->selectedItems();
    if (selected.isEmpty())
        return;
    if (!FileInfo)
        FileInfo = new TFileInfo(this);
    FileInfo->setfilename(selected.constFirst()->text(2));
    FileInfo->showOver();
}
