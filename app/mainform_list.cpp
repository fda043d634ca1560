// The conversion list: how files get in, and how rows are removed and reordered. The rows follow
// the queue's items by identity; the queue keeps the order the person gives them.
#include "mainform.h"

#include "application.h"
#include "cthread.h"
#include "filelist.h"
#include "logwindow.h"
#include "statuscell.h"

#include "batch/batchengine.h"
#include "batch/batchtexts.h"
#include "batch/conversionqueue.h"
#include "batch/listtexts.h"
#include "batch/unattendedrun.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"

#include <QActionGroup>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolTip>

namespace {
constexpr int statusColumn = TFileList::statusColumn;
const QString statusProcessing = QStringLiteral("Processing...");
// A tooltip stays readable; the count tells how many more there are.
constexpr qsizetype ignoredInTooltip = 30;
} // namespace

void Tmainform::connectQueue()
{
    connect(m_queue, &ConversionQueue::itemAdded, this, [this](int index) {
        const QueueItem &item = m_queue->at(index);
        auto *row = new QTreeWidgetItem({ListTexts::caption(item.source), item.format, item.source,
                                         ListTexts::duration(item.durationMs), item.status});
        row->setData(0, Qt::UserRole, item.id);
        m_ui.files->insertTopLevelItem(index, row);
        StatusCell::show(row, statusColumn, item.status, -1);
    });
    connect(m_queue, &ConversionQueue::itemChanged, this, &Tmainform::showItem);
    // Repainting after every file would cost more than probing it: the list is refreshed and the
    // window's events handled a few dozen times a second, so it stays live and "Stop" comes through.
    m_queue->setRefreshHook([this] { refreshList(); });
}

QTreeWidgetItem *Tmainform::rowOf(int id) const
{
    return m_ui.files->topLevelItem(m_queue->indexOf(id));
}

void Tmainform::showItem(int id)
{
    if (QTreeWidgetItem *row = rowOf(id)) {
        const QueueItem &item = m_queue->at(m_queue->indexOf(id));
        // A running file keeps the percent the batch last gave it.
        const QVariant percent = row->data(statusColumn, StatusCell::percentRole);
        StatusCell::show(row, statusColumn, item.status,
                         !item.status.startsWith(statusProcessing) ? -1
                         : percent.isValid()                       ? percent.toInt()
                                                                   : 0);
        row->setToolTip(statusColumn, StatusCell::toolTipFor(item.reason, QFontMetrics(QToolTip::font())));
    }
}

void Tmainform::addfile(const QString &name)
{
    m_queue->addFile(name);
}

void Tmainform::addArgument(const QString &name)
{
    m_queue->addArgument(name);
}

void Tmainform::queueFolder(const QString &folder)
{
    m_queue->addFolder(folder);
}

bool Tmainform::isListed(const QString &fileName) const
{
    return m_queue->isListed(fileName);
}

void Tmainform::showIgnored()
{
    const auto &ignored = m_queue->ignored();
    if (m_run) {
        m_run->reportIgnored();
        return;
    }
    if (m_ignoredShown == ignored.size())
        return;
    m_ignoredShown = ignored.size();
    if (!m_ignoredLabel) {
        m_ignoredLabel = new QLabel(this);
        m_ignoredLabel->setObjectName(QStringLiteral("ignoredCount"));
        statusBar()->addPermanentWidget(m_ignoredLabel);
    }
    QStringList lines;
    for (qsizetype i = 0; i < ignored.size() && i < ignoredInTooltip; ++i)
        lines << ignored.at(i).first + QStringLiteral(": ") + ignored.at(i).second;
    if (ignored.size() > ignoredInTooltip)
        lines << QStringLiteral("and %1 more").arg(ignored.size() - ignoredInTooltip);
    m_ignoredLabel->setText(QStringLiteral("%1 ignored").arg(ignored.size()));
    // Plain text: a file name must never be read as markup.
    m_ignoredLabel->setToolTip(Qt::convertFromPlainText(lines.join(QLatin1Char('\n')), Qt::WhiteSpaceNormal));
    m_ignoredLabel->show();
}

void Tmainform::refreshList()
{
    // Rows are appended, so the newest one is the last: it becomes the focused row, not a selected one.
    if (const int count = m_ui.files->topLevelItemCount())
        m_ui.files->setCurrentItem(m_ui.files->topLevelItem(count - 1), 0, QItemSelectionModel::NoUpdate);
    m_ui.files->viewport()->update();
    if (m_scanning)
        statusBar()->showMessage(
            QStringLiteral("Scanning\u2026 %1 files found").arg(m_queue->size() - m_scanStartCount));
    QCoreApplication::processEvents();
}

void Tmainform::AddFiles()
{
    const QStringList chosen = Dialogs::openFiles(this, m_settings.recent, ListTexts::addFilesFilter());
    if (chosen.isEmpty())
        return;
    m_settings.recent =
        QDir::toNativeSeparators(QFileInfo(chosen.constFirst()).absolutePath()) + QDir::separator();
    m_queue->addChosen(chosen);
    processfolder();
}

void Tmainform::AddFolder()
{
    // Where the last folder came from; at first, where videos usually are.
    const QString start = !m_settings.lastfolder.isEmpty() && QFileInfo(m_settings.lastfolder).isDir()
                              ? m_settings.lastfolder
                              : QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString folder = Dialogs::folder(this, start);
    if (folder.isEmpty())
        return;
    m_settings.lastfolder = QDir::toNativeSeparators(folder);
    m_queue->addFolder(folder);
    processfolder();
}

void Tmainform::dropNames(const QStringList &names)
{
    m_queue->addDropped(names);
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
    if (m_queue->hasFoldersToScan()) {
        // A folder added while a scan runs joins that scan's queue.
        if (m_scanning)
            return;
        m_scanning = true;
        m_scanStartCount = m_queue->size();
        showBusy();
        new CThread([this] { m_queue->scanFolders(m_settings.recurse); }, [this] { onterminate(); }, this);
        return;
    }
    showIgnored();
    if (m_run)
        m_run->queueComplete();
}

void Tmainform::onterminate()
{
    m_scanning = false;
    showBusy();
    refreshList();
    showIgnored();
    // A scan cut short by a termination signal ends the program, not in a batch.
    if (m_run)
        m_run->queueComplete();
    else if (m_signal != 0)
        endAfterSignal();
}

void Tmainform::Delete()
{
    const QList<QTreeWidgetItem *> selected = m_ui.files->selectedItems();
    for (QTreeWidgetItem *row : selected) {
        m_queue->remove(row->data(0, Qt::UserRole).toInt());
        delete row;
    }
}

void Tmainform::Clear()
{
    m_queue->clear();
    m_ui.files->clear();
    m_ignoredShown = 0;
    if (m_ignoredLabel)
        m_ignoredLabel->hide();
}

bool Tmainform::filesDragOver(const QPoint &pos)
{
    return m_ui.files->itemAt(pos) != nullptr;
}

void Tmainform::filesDragDrop(const QPoint &pos)
{
    QTreeWidgetItem *t = m_ui.files->itemAt(pos);
    const QList<QTreeWidgetItem *> selected = m_ui.files->selectedItems();
    if (!t || selected.isEmpty())
        return;
    QTreeWidgetItem *s = selected.constFirst();
    const int tIndex = m_ui.files->indexOfTopLevelItem(t);
    const int sIndex = m_ui.files->indexOfTopLevelItem(s);
    if (tIndex == sIndex)
        return;
    m_ui.files->takeTopLevelItem(sIndex);
    m_ui.files->insertTopLevelItem(tIndex, s);
    m_queue->move(sIndex, tIndex);
    m_ui.files->clearSelection();
}

int Tmainform::selectedIndex() const
{
    const QList<QTreeWidgetItem *> selected = m_ui.files->selectedItems();
    return selected.isEmpty() ? -1 : m_queue->indexOf(selected.constFirst()->data(0, Qt::UserRole).toInt());
}

void Tmainform::fillTrackMenu()
{
    QMenu *menu = m_ui.trackMenu;
    menu->clear();
    const int index = selectedIndex();
    menu->setEnabled(index >= 0 && !m_queue->at(index).streams.empty());
    if (!menu->isEnabled())
        return;
    const QueueItem &item = m_queue->at(index);
    auto *group = new QActionGroup(menu);
    const auto choice = [&](const QString &caption, const QString &track) {
        QAction *a = menu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(item.track == track);
        group->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, id = item.id, track] { runGuarded([&] { m_queue->setTrack(id, track); }); });
    };
    choice(QStringLiteral("As in the settings"), QString());
    menu->addSeparator();
    for (const AudioStream &s : item.streams)
        choice(ListTexts::trackCaption(s.number, Pieces::threeLetterCode(s.language), s.formatName,
                                       s.channels, s.title),
               s.specifier);
    menu->addSeparator();
    choice(QStringLiteral("Every track to its own file"), Pieces::everyTrack);
}

QString Tmainform::selectedSource() const
{
    const QList<QTreeWidgetItem *> selected = m_ui.files->selectedItems();
    return selected.isEmpty() ? QString() : selected.constFirst()->text(2);
}

void Tmainform::showLog()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    if (!m_logWindow)
        m_logWindow = new LogWindow(this);
    m_logWindow->showLog(m_queue->at(index).source, m_queue->at(index).log);
}

void Tmainform::showFileProperties()
{
    const QString source = selectedSource();
    if (source.isEmpty())
        return;
    if (!m_fileInfo)
        m_fileInfo = new TFileInfo(this);
    m_fileInfo->setfilename(source);
    m_fileInfo->showOver();
}
