#include "NumberListModel.h"

#include <QHash>

#include <algorithm>

namespace {
constexpr int kPublishIntervalMs = 100;
// Each publication makes the view lay out every row again, so a long list waits longer between
// publications: that work stays a small share of a long paste however long the list grows.
constexpr int kRowsPerPublishMs = 1000;
constexpr int kMergeShare = 8;

int publishIntervalMs(int rows)
{
    return std::max(kPublishIntervalMs, rows / kRowsPerPublishMs);
}
} // namespace

NumberListModel::NumberListModel(QObject* parent) : QAbstractListModel(parent)
{
    m_publishTimer.setSingleShot(true);
    connect(&m_publishTimer, &QTimer::timeout, this, &NumberListModel::publish);
    m_sincePublish.start();
}

int NumberListModel::add(const QString& text)
{
    const int row = m_live.insert(text);
    changed(row);
    return row;
}

void NumberListModel::addSorted(const QStringList& sortedTexts)
{
    // A batch that is small beside the list goes in text by text; a larger one is merged in one
    // pass, so a long paste costs n log n and not one search and move per line.
    if (sortedTexts.size() * kMergeShare < m_live.count()) {
        for (const QString& text : sortedTexts)
            add(text);
        return;
    }
    m_live.insertSorted(sortedTexts);
    changed(-1);
}

void NumberListModel::removeAt(int index)
{
    m_live.removeAt(index);
    changed(-1);
}

void NumberListModel::removeFirst(int count)
{
    if (count <= 0)
        return;
    // What is left is in order already: it goes back in one pass, not text by text.
    const QStringList rest = m_live.toList().mid(count);
    m_live.clear();
    m_live.insertSorted(rest);
    changed(-1);
}

void NumberListModel::clear()
{
    if (m_live.isEmpty())
        return;
    m_live.clear();
    changed(-1);
}

void NumberListModel::removeShown(const QModelIndexList& indexes)
{
    if (indexes.isEmpty())
        return;
    QHash<QString, int> wanted;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < m_shown.count())
            ++wanted[m_shown.at(index.row())];
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        int left = it.value();
        while (left-- > 0 && m_live.removeOne(it.key()))
            ;
    }
    changed(-1);
}

int NumberListModel::removeAdjacentDuplicates()
{
    const int removed = m_live.removeAdjacentDuplicates();
    if (removed > 0)
        changed(-1);
    return removed;
}

void NumberListModel::changed(int insertedRow)
{
    ++m_changes;
    m_insertedRow = m_changes == 1 ? insertedRow : -1;
    if (!m_publishTimer.isActive()) {
        const qint64 waited = m_sincePublish.elapsed();
        const int interval = publishIntervalMs(m_live.count());
        m_publishTimer.start(waited >= interval ? 0 : int(interval - waited));
    }
}

void NumberListModel::publish()
{
    m_publishTimer.stop();
    if (m_changes == 0)
        return;
    if (m_changes == 1 && m_insertedRow >= 0) {
        beginInsertRows(QModelIndex(), m_insertedRow, m_insertedRow);
        m_shown = m_live;
        endInsertRows();
    } else {
        beginResetModel();
        m_shown = m_live;
        endResetModel();
    }
    m_changes = 0;
    m_insertedRow = -1;
    m_sincePublish.restart();
}

int NumberListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown.count();
}

QVariant NumberListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_shown.at(index.row());
    return {};
}
