#include "historywindow/HistoryModel.h"

#include "history/HistoryText.h"

#include <QDateTime>
#include <QLocale>

namespace {
constexpr int PagesHeld = 16;
}

HistoryModel::HistoryModel(HistoryStore& store, QObject* parent) : QAbstractTableModel(parent), m_store(store)
{
    reload();
}

void HistoryModel::setKinds(HistoryKinds kinds)
{
    if (kinds == m_kinds)
        return;
    m_kinds = kinds;
    reload();
}

void HistoryModel::reload()
{
    beginResetModel();
    m_pages.clear();
    m_rows = int(std::min<qint64>(m_store.count(m_kinds), std::numeric_limits<int>::max()));
    endResetModel();
}

HistoryEntry HistoryModel::entry(int row) const
{
    if (row < 0 || row >= m_rows)
        return {};
    const int page = row / PageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        if (m_pages.size() >= PagesHeld)
            m_pages.clear();
        it = m_pages.insert(page, m_store.page(m_kinds, qint64(page) * PageRows, PageRows));
    }
    return it->value(row % PageRows);
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const HistoryEntry e = entry(index.row());
    switch (index.column()) {
    case When: {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(e.atMs).toLocalTime();
        return role == Qt::ToolTipRole ? HistoryText::time(e.atMs)
                                       : QLocale().toString(at, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case Address:
        return HistoryText::kindName(e.kind);
    case Change:
        return HistoryText::printable(e.before) + QStringLiteral(" → ") + HistoryText::printable(e.after);
    case Lasted:
        return e.lastedMs ? HistoryText::duration(e.lastedMs)
                          : (role == Qt::ToolTipRole ? QStringLiteral("Since before the history began") : QString());
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case When:
        return QStringLiteral("When");
    case Address:
        return QStringLiteral("Address");
    case Change:
        return QStringLiteral("Old → New");
    case Lasted:
        return QStringLiteral("Old one lasted");
    default:
        return {};
    }
}
