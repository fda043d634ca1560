#include "filelist.h"

#include "application.h"
#include "mainform.h"
#include "queuemodel.h"
#include "statuscell.h"

#include "batch/conversionqueue.h"
#include "batch/listtexts.h"
#include "batch/pieces.h"
#include "mediainfo/mediainfodll.h"
#include "mediainfo/sourceaudio.h"

#include <QActionGroup>

#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

TFileList::TFileList(Tmainform *mainWindow, QueueModel *model, QWidget *parent)
    : QTreeView(parent), m_main(mainWindow), m_queue(model->queue())
{
    setModel(model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    // The last column takes what the others leave, so the list starts without a horizontal scroll bar.
    header()->setStretchLastSection(true);
    setItemDelegate(new GridDelegate(this));
    setItemDelegateForColumn(statusColumn, new StatusDelegate(this));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_main->popupListMenu(viewport()->mapToGlobal(pos)); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this] { runGuarded([this] { m_main->showFileProperties(); }); });
}

void TFileList::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFileList::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() == this) {
        if (canDropOn(event->position().toPoint()))
            event->acceptProposedAction();
        else
            event->ignore();
    } else if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TFileList::dropEvent(QDropEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->source() == this) {
        event->setDropAction(Qt::IgnoreAction); // the move is ours, not the view's
        event->accept();
        runGuarded([&] { moveSelectionTo(pos); });
        return;
    }
    const QStringList names = droppedLocalNames(event->mimeData());
    event->acceptProposedAction();
    runGuarded([&] { m_main->dropNames(names); });
}

QList<int> TFileList::selectedIds() const
{
    QList<int> ids;
    for (const QModelIndex &row : selectionModel()->selectedRows())
        ids << row.data(QueueModel::idRole).toInt();
    return ids;
}

int TFileList::selectedIndex() const
{
    const QList<int> ids = selectedIds();
    return ids.isEmpty() ? -1 : m_queue.indexOf(ids.constFirst());
}

QString TFileList::selectedSource() const
{
    const int index = selectedIndex();
    return index < 0 ? QString() : m_queue.at(index).source;
}

void TFileList::removeSelected()
{
    for (const int id : selectedIds())
        m_queue.remove(id);
}

bool TFileList::canDropOn(const QPoint &pos) const
{
    return indexAt(pos).isValid();
}

void TFileList::moveSelectionTo(const QPoint &pos)
{
    const QModelIndex target = indexAt(pos);
    const int source = selectedIndex();
    if (!target.isValid() || source < 0 || target.row() == source)
        return;
    m_queue.move(source, target.row());
    clearSelection();
}

void TFileList::fillTrackMenu(QMenu *menu)
{
    menu->clear();
    const int index = selectedIndex();
    menu->setEnabled(index >= 0 && m_queue.at(index).hasAudio);
    if (!menu->isEnabled())
        return;
    const QueueItem &item = m_queue.at(index);
    // A row keeps its streams only when it has several; one is read again.
    const std::vector<AudioStream> streams =
        item.streams.empty() ? audioStreamsOf(TMediaInfoDll(item.source)) : item.streams;
    auto *group = new QActionGroup(menu);
    const auto choice = [&](const QString &caption, const QString &track) {
        QAction *a = menu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(item.track == track);
        group->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, id = item.id, track] { runGuarded([&] { m_queue.setTrack(id, track); }); });
    };
    choice(QStringLiteral("As in the settings"), QString());
    menu->addSeparator();
    for (const AudioStream &s : streams)
        choice(ListTexts::trackCaption(s.number, Pieces::threeLetterCode(s.language), s.formatName,
                                       s.channels, s.title),
               s.specifier);
    menu->addSeparator();
    choice(QStringLiteral("Every track to its own file"), Pieces::everyTrack);
}

QStringList droppedLocalNames(const QMimeData *mime)
{
    QStringList names;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            names << url.toLocalFile();
    }
    return names;
}
