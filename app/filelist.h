#pragma once

#include <QTreeView>

class Tmainform;

// The conversion list, a view over the queue: rows reorder by dragging; files and folders dropped
// from a file manager go to the main window.
class TFileList : public QTreeView
{
public:
    static constexpr int statusColumn = 4;

    TFileList(Tmainform *mainWindow, QWidget *parent);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Tmainform *m_main;
};

// Local files named by a drop; remote URLs are left out.
QStringList droppedLocalNames(const QMimeData *mime);
