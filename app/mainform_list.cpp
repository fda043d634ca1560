// The conversion list: how files get in, and how rows are removed and reordered.
#include "mainform.h"

#include "application.h"
#include "batch/inputpaths.h"
#include "batch/listtexts.h"
#include "cthread.h"
#include "filelist.h"
#include "resultline.h"

#include "mediainfo/mediainfodll.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSet>
#include <QStatusBar>

#include <sys/stat.h>

namespace {
int nextRowId = 0;
constexpr qint64 refreshEveryMsecs = 30;
// A tooltip stays readable; the count tells how many more there are.
constexpr qsizetype ignoredInTooltip = 30;

// A folder's identity on disk, so a link back up the tree is not walked twice.
QString folderIdentity(const QString &folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
}

QString absoluteInputName(const QString &name)
{
    return InputPaths::absoluteName(name, QDir::currentPath());
}
} // namespace

bool Tmainform::ismyfile(const QString &name)
{
    return ListTexts::isVideoFileName(name);
}

void Tmainform::addfile(const QString &name)
{
    const QString fileName = absoluteInputName(name);
    // Only a regular file is opened: a FIFO would block the probe. A name that leads nowhere still
    // gets its row (a dialog may name a file gone since), and its conversion says what is wrong.
    const InputPaths::Entry entry = InputPaths::examine(fileName);
    if (entry.present && entry.kind != InputPaths::Entry::File) {
        reportIgnored(fileName, entry.kind == InputPaths::Entry::Folder ? QStringLiteral("not a regular file")
                                                                        : entry.reason);
        return;
    }
    // Links and other spellings of one file make one row.
    const QString canonical = InputPaths::canonicalName(fileName);
    if (m_listed.contains(canonical))
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
    item->setData(0, Qt::UserRole + 2, canonical);
    m_listed.insert(canonical);
    // Repainting after every file would cost more than probing it: the list is refreshed and the
    // window's events handled a few dozen times a second, so it stays live and "Stop" comes through.
    if (!m_refreshClock.isValid() || m_refreshClock.elapsed() >= refreshEveryMsecs)
        refreshList();
}

bool Tmainform::isListed(const QString &fileName) const
{
    return m_listed.contains(InputPaths::canonicalName(absoluteInputName(fileName)));
}

void Tmainform::addArgument(const QString &name)
{
    const QString absolute = absoluteInputName(name);
    const InputPaths::Entry entry = InputPaths::examine(absolute);
    if (entry.kind == InputPaths::Entry::Folder)
        folderlist << absolute;
    else if (entry.kind == InputPaths::Entry::Unusable)
        reportIgnored(absolute, entry.reason);
    else if (!ismyfile(absolute))
        reportIgnored(absolute, QStringLiteral("not a video file of a known type"));
    else
        addfile(absolute);
}

void Tmainform::reportIgnored(const QString &path, const QString &reason)
{
    m_ignored.append({path, reason});
}

void Tmainform::showIgnored()
{
    if (automate) {
        for (qsizetype i = m_ignoredShown; i < m_ignored.size(); ++i)
            ResultLine::print(QStringLiteral("Ignored"), m_ignored.at(i).first, m_ignored.at(i).second);
        m_ignoredShown = m_ignored.size();
        return;
    }
    if (m_ignoredShown == m_ignored.size())
        return;
    m_ignoredShown = m_ignored.size();
    if (!m_ignoredLabel) {
        m_ignoredLabel = new QLabel(this);
        m_ignoredLabel->setObjectName(QStringLiteral("ignoredCount"));
        statusBar()->addPermanentWidget(m_ignoredLabel);
    }
    QStringList lines;
    for (qsizetype i = 0; i < m_ignored.size() && i < ignoredInTooltip; ++i)
        lines << m_ignored.at(i).first + QStringLiteral(": ") + m_ignored.at(i).second;
    if (m_ignored.size() > ignoredInTooltip)
        lines << QStringLiteral("and %1 more").arg(m_ignored.size() - ignoredInTooltip);
    m_ignoredLabel->setText(QStringLiteral("%1 ignored").arg(m_ignored.size()));
    // Plain text: a file name must never be read as markup.
    m_ignoredLabel->setToolTip(Qt::convertFromPlainText(lines.join(QLatin1Char('\n')), Qt::WhiteSpaceNormal));
    m_ignoredLabel->show();
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
        if (QFileInfo(name).isDir())
            folderlist << name;
        else
            addfile(name);
    }
    processfolder();
}

void Tmainform::AddFolder()
{
    const QString folder = Dialogs::folder(this, QString());
    if (folder.isEmpty())
        return;
    folderlist << folder;
    processfolder();
}

void Tmainform::dropNames(const QStringList &names)
{
    // Dropping things that are not videos is normal: only a video that cannot be taken is told.
    for (const QString &name : names) {
        const QString absolute = absoluteInputName(name);
        const InputPaths::Entry entry = InputPaths::examine(absolute);
        if (entry.kind == InputPaths::Entry::Folder)
            folderlist << absolute;
        else if (!ismyfile(absolute))
            continue;
        else if (entry.kind == InputPaths::Entry::File)
            addfile(absolute);
        else
            reportIgnored(absolute, entry.reason);
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
        m_busy = true;
        scanstop = false;
        new CThread([this] { recurse(); }, [this] { onterminate(); }, this);
        return;
    }
    showIgnored();
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
    if (!m_busy && m_automateExitCode < 0)
        endApplication(2);
}

void Tmainform::recurse()
{
    m_visitedFolders.clear();
    for (qsizetype i = 0; i < folderlist.size(); ++i)
        FindFiles(absoluteInputName(folderlist.at(i)), cfg.recurse);
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

    const InputPaths::Listing listing = InputPaths::listFolder(dir);
    if (!listing.problem.isEmpty())
        reportIgnored(folder, listing.problem);
    for (const QString &name : listing.undecodable)
        reportIgnored(dir + name, QStringLiteral("the name is not valid in the current encoding"));
    for (const QString &name : listing.names) {
        if (scanstop)
            break;
        // Links are followed: what counts is what the entry leads to.
        const InputPaths::Entry entry = InputPaths::examine(dir + name);
        if (entry.kind == InputPaths::Entry::Folder) {
            if (subfolders)
                FindFiles(dir + name, subfolders);
        } else if (entry.kind == InputPaths::Entry::File) {
            if (!ismyfile(name))
                continue;
            try {
                addfile(dir + name);
            } catch (const std::exception &) {
                Dialogs::message(this, QStringLiteral("Could not add file: ") + dir + name,
                                 QStringLiteral("Error!"), Dialogs::Icon::Error);
            }
        } else if (ismyfile(name) || !entry.present) {
            // An entry that cannot be reached at all may be a folder full of videos.
            reportIgnored(dir + name, entry.reason);
        }
    }
}

void Tmainform::onterminate()
{
    folderlist.clear();
    m_visitedFolders.clear();
    m_scanning = false;
    m_busy = false;
    refreshList();
    showIgnored();
    // A scan cut short by a termination signal ends the program, not in a batch.
    if (m_signal != 0)
        endAfterSignal();
    else if (automate)
        startOrEndAutomatedRun();
}

void Tmainform::forgetRow(QTreeWidgetItem *item)
{
    m_listed.remove(item->data(0, Qt::UserRole + 2).toString());
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
    if (m_busy && m_lastStarted.id != 0)
        m_lastStarted.gonePosition = 0;
    m_listed.clear();
    files->clear();
    m_ignored.clear();
    m_ignoredShown = 0;
    if (m_ignoredLabel)
        m_ignoredLabel->hide();
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

void Tmainform::showFileProperties()
{
    const QList<QTreeWidgetItem *> selected = files->selectedItems();
    if (selected.isEmpty())
        return;
    if (!m_fileInfo)
        m_fileInfo = new TFileInfo(this);
    m_fileInfo->setfilename(selected.constFirst()->text(2));
    m_fileInfo->showOver();
}
