#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;
class QStyle;

// The list's cells draw grid lines between them, as a report-style list does, in a shade of the
// palette's text over its base so they show in a dark theme too.
class GridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    static void drawGrid(QPainter *painter, const QStyleOptionViewItem &option);
};

// The Status cell: a running file's progress is drawn as a bar with its percent; a file that ended
// carries an icon of how it ended.
class StatusDelegate : public GridDelegate
{
public:
    using GridDelegate::GridDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

namespace StatusCell {
// The running file's percent, 0..100; empty when the file does not run.
constexpr int percentRole = Qt::UserRole + 1;

// A status that names its percent ("Processing... 42%"), or -1.
int percentIn(const QString &status);
// Why a file failed, for the cell's tooltip: the encoder's last 8 lines, wrapped at 600 pixels when longer.
QString toolTipFor(const QString &reason, const QFontMetrics &metrics);
// The icon of how a file ended; none while it waits or runs.
QIcon iconFor(const QString &status, const QStyle *style);
} // namespace StatusCell
