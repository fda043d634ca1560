#include "queuemodel.h"

#include "statuscell.h"

#include "batch/conversionqueue.h"
#include "batch/listtexts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <QToolTip>

namespace {
const QString statusProcessing = QStringLiteral("Processing...");
}

QueueModel::QueueModel(ConversionQueue &queue, QObject *parent) : QAbstractTableModel(parent), m_queue(queue)
{
    m_rows = m_queue.size();
    // Files added outside a refresh reach the view once the call that added them returns.
    connect(&m_queue, &ConversionQueue::itemAdded, this, [this] {
        if (!m_addedPending) {
            m_addedPending = true;
            QMetaObject::invokeMethod(this, &QueueModel::showAdded, Qt::QueuedConnection);
        }
    });
    connect(&m_queue, &ConversionQueue::itemChanged, this, &QueueModel::changed);
    connect(&m_queue, &ConversionQueue::everyItemChanged, this, [this] {
        m_percents.clear();
        if (m_rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, ColumnCount - 1));
    });
    // Before a row changes places, the view learns of the rows added so far.
    connect(&m_queue, &ConversionQueue::itemLeaving, this, [this](int id) {
        showAdded();
        const int row = m_queue.indexOf(id);
        m_percents.remove(id);
        beginRemoveRows(QModelIndex(), row, row);
    });
    connect(&m_queue, &ConversionQueue::itemRemoved, this, [this] {
        --m_rows;
        endRemoveRows();
    });
    connect(&m_queue, &ConversionQueue::aboutToMove, this, [this](int from, int to) {
        showAdded();
        // The view counts the destination before the row has left its place.
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    });
    connect(&m_queue, &ConversionQueue::itemMoved, this, [this] { endMoveRows(); });
    connect(&m_queue, &ConversionQueue::aboutToClear, this, [this] { beginResetModel(); });
    connect(&m_queue, &ConversionQueue::cleared, this, [this] {
        m_rows = 0;
        m_percents.clear();
        endResetModel();
    });
}

int QueueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int QueueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QueueModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QueueItem &item = m_queue.at(index.row());
    if (role == idRole)
        return item.id;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case FileColumn:
            return ListTexts::caption(item.source);
        case FormatColumn:
            return item.format;
        case PathColumn:
            return item.source;
        case DurationColumn:
            return ListTexts::duration(item.durationMs);
        default:
            return item.status;
        }
    }
    if (index.column() != StatusColumn)
        return {};
    switch (role) {
    case Qt::DecorationRole: {
        const QIcon icon = StatusCell::iconFor(item.status, QApplication::style());
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::ToolTipRole:
        return item.reason.isEmpty() ? QVariant()
                                     : StatusCell::toolTipFor(item.reason, QFontMetrics(QToolTip::font()));
    case StatusCell::percentRole:
        // A running file keeps the percent the batch last gave it.
        if (item.status.startsWith(statusProcessing))
            return m_percents.value(item.id, 0);
        return {};
    default:
        return {};
    }
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const captions[] = {"File", "Format", "Path", "Duration", "Status"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QLatin1String(captions[section]);
}

Qt::ItemFlags QueueModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

void QueueModel::showAdded()
{
    m_addedPending = false;
    const int count = m_queue.size();
    if (count <= m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

void QueueModel::setPercent(int id, int percent)
{
    m_percents.insert(id, percent);
    const QModelIndex cell = indexOfId(id, StatusColumn);
    if (cell.isValid())
        Q_EMIT dataChanged(cell, cell, {StatusCell::percentRole});
}

QModelIndex QueueModel::indexOfId(int id, int column) const
{
    const int row = m_queue.indexOf(id);
    return row >= 0 && row < m_rows ? index(row, column) : QModelIndex();
}

void QueueModel::changed(int id)
{
    const int row = m_queue.indexOf(id);
    if (row < 0 || row >= m_rows)
        return;
    if (!m_queue.at(row).status.startsWith(statusProcessing))
        m_percents.remove(id);
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
