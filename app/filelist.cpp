#include "filelist.h"

#include "application.h"
#include "mainform.h"
#include "statuscell.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

TFileList::TFileList(Tmainform *mainWindow, QWidget *parent) : QTreeView(parent), m_main(mainWindow)
{
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
        if (m_main->filesDragOver(event->position().toPoint()))
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
        runGuarded([&] { m_main->filesDragDrop(pos); });
        return;
    }
    const QStringList names = droppedLocalNames(event->mimeData());
    event->acceptProposedAction();
    runGuarded([&] { m_main->dropNames(names); });
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
