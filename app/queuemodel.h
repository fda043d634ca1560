#pragma once

#include <QAbstractTableModel>
#include <QHash>

class ConversionQueue;

// The conversion list as a view sees it: a table over the queue's items, read from the queue itself
// when a row is drawn, so no row is kept twice. Files added come in as one insertion each time the
// list is refreshed, not one per file.
class QueueModel : public QAbstractTableModel
{
public:
    enum Column
    {
        FileColumn,
        FormatColumn,
        PathColumn,
        DurationColumn,
        StatusColumn,
        ColumnCount
    };
    static constexpr int idRole = Qt::UserRole; // the item's identity, which stays with it

    explicit QueueModel(ConversionQueue &queue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The rows the queue gained since the view was last told of them.
    void showAdded();
    // A running file's percent, drawn in its Status cell until it ends.
    void setPercent(int id, int percent);
    QModelIndex indexOfId(int id, int column = 0) const;
    ConversionQueue &queue() const { return m_queue; }

private:
    void changed(int id);

    ConversionQueue &m_queue;
    int m_rows = 0;              // the queue's items the view knows of: the first m_rows
    bool m_addedPending = false; // an insertion is on its way
    QHash<int, int> m_percents;  // of running files, by id
};
