#include "ListViewModel.h"

ListViewModel::ListViewModel(QObject* parent) : QAbstractTableModel(parent) {}

void ListViewModel::setColumns(const QVector<Column>& columns)
{
    beginResetModel();
    m_columns = columns;
    for (Row& row : m_rows) {
        while (row.cells.size() < m_columns.size())
            row.cells.append(QString());
    }
    endResetModel();
}

QString ListViewModel::columnKey(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column).key : QString();
}

void ListViewModel::setRows(QVector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    for (Row& row : m_rows) {
        while (row.cells.size() < m_columns.size())
            row.cells.append(QString());
    }
    endResetModel();
}

void ListViewModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString ListViewModel::cell(int index, int column) const
{
    const QStringList& cells = m_rows.at(index).cells;
    return column >= 0 && column < cells.size() ? cells.at(column) : QString();
}

void ListViewModel::setChecked(int index, bool checked)
{
    if (m_rows[index].checked == checked)
        return;
    m_rows[index].checked = checked;
    const QModelIndex changed = this->index(index, 0);
    Q_EMIT dataChanged(changed, changed, {Qt::CheckStateRole});
}

int ListViewModel::findKey(const QString& key) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).key == key)
            return i;
    }
    return -1;
}

int ListViewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ListViewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& row = m_rows.at(index.row());
    if (role == Qt::DisplayRole)
        return cell(index.row(), index.column());
    if (role == Qt::CheckStateRole && index.column() == 0)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).title;
    return {};
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}
