#pragma once

#include "history/HistoryStore.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

/// The recorded changes, newest first, for a table: the rows are counted once and read a page at a time as the
/// view asks for them, so that a full history opens as fast as an empty one.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        When,
        Address,
        Change,
        Lasted,
        ColumnCount
    };
    static constexpr int PageRows = 256;

    explicit HistoryModel(HistoryStore& store, QObject* parent = nullptr);

    /// Shows only the kinds in @p kinds (bits 1 << HistoryEntry::Kind).
    void setKinds(HistoryKinds kinds);
    HistoryKinds kinds() const { return m_kinds; }
    /// Counts again and forgets the pages read (after a change was recorded).
    void reload();

    /// The entry of @p row (read from the file if its page is not held).
    HistoryEntry entry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    HistoryStore& m_store;
    HistoryKinds m_kinds = AllHistoryKinds;
    int m_rows = 0;
    mutable QHash<int, QList<HistoryEntry>> m_pages; // a screenful or two; dropped when it grows past a few
};
