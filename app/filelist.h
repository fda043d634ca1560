#pragma once

#include <QTreeView>

class ConversionQueue;
class QMenu;
class QueueModel;
class Tmainform;

// The conversion list, a view over the queue: rows reorder by dragging; files and folders dropped
// from a file manager go to the main window.
class TFileList : public QTreeView
{
public:
    static constexpr int statusColumn = 4;

    TFileList(Tmainform *mainWindow, QueueModel *model, QWidget *parent);

    // The queue's place of the first selected row; -1 when none is selected.
    int selectedIndex() const;
    QList<int> selectedIds() const;
    // The file of the first selected row; empty when none is selected.
    QString selectedSource() const;
    void removeSelected();
    // Reordering by dragging: a row may be dropped on another, and goes to its place.
    bool canDropOn(const QPoint &pos) const;
    void moveSelectionTo(const QPoint &pos);
    // The selected row's audio streams, to choose one of them over the setting for that row.
    void fillTrackMenu(QMenu *menu);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Tmainform *m_main;
    ConversionQueue &m_queue;
};

// Local files named by a drop; remote URLs are left out.
QStringList droppedLocalNames(const QMimeData *mime);
