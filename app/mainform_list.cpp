// The conversion list: how files get in, and how rows are removed and reordered. The rows follow
// the queue's items by identity; the queue keeps the order the person gives them.
#include "mainform.h"

#include "application.h"
#include "cthread.h"
#include "filelist.h"
#include "logwindow.h"
#include "queuemodel.h"
#include "statuscell.h"

#include "batch/batchengine.h"
#include "batch/batchtexts.h"
#include "batch/conversionqueue.h"
#include "batch/listtexts.h"
#include "batch/unattendedrun.h"
#include "mediainfo/properties.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QStatusBar>

namespace {
// A tooltip stays readable; the count tells how many more there are.
constexpr qsizetype ignoredInTooltip = 30;
} // namespace

void Tmainform::connectQueue()
{
    // Repainting after every file would cost more than probing it: the list is refreshed and the
    // window's events handled a few dozen times a second, so it stays live and "Stop" comes through.
    m_queue->setRefreshHook([this] { refreshList(); });
}

QModelIndex Tmainform::rowOf(int id) const
{
    return m_model->indexOfId(id);
}

void Tmainform::addfile(const QString &name)
{
    m_queue->addFile(name);
    m_model->showAdded();
}

void Tmainform::addArgument(const QString &name)
{
    m_queue->addArgument(name);
    m_model->showAdded();
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
    m_model->showAdded();
    // Rows are appended, so the newest one is the last: it becomes the focused row, not a selected one.
    if (const int count = m_model->rowCount())
        m_ui.files->selectionModel()->setCurrentIndex(m_model->index(count - 1, 0),
                                                      QItemSelectionModel::NoUpdate);
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
    // The count the scan ended with, not the last one shown while it ran.
    statusBar()->showMessage(QStringLiteral("%1 files found").arg(m_queue->size() - m_scanStartCount));
    showIgnored();
    // A scan cut short by a termination signal ends the program, not in a batch.
    if (m_run)
        m_run->queueComplete();
    else if (m_signal != 0)
        endAfterSignal();
}

void Tmainform::Delete()
{
    m_ui.files->removeSelected();
}

void Tmainform::Clear()
{
    m_queue->clear();
    m_ignoredShown = 0;
    if (m_ignoredLabel)
        m_ignoredLabel->hide();
}

QString Tmainform::selectedSource() const
{
    return m_ui.files->selectedSource();
}

void Tmainform::showLog()
{
    const int index = m_ui.files->selectedIndex();
    if (index < 0)
        return;
    if (!m_logWindow)
        m_logWindow = new LogWindow(this);
    m_logWindow->showLog(m_queue->at(index).source, m_queue->at(index).log());
}

void Tmainform::showFileProperties()
{
    const QString source = m_ui.files->selectedSource();
    if (source.isEmpty())
        return;
    if (!m_fileInfo)
        m_fileInfo = new TFileInfo(this);
    m_fileInfo->setfilename(source);
    m_fileInfo->showOver();
}
