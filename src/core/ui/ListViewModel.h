#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// Rows of a report-style list: column 0 carries the check box and no text, the other
// columns are bound by key to record fields. Every row has a key ("Row_" + id by convention).
class ListViewModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString title;
        QString key; // empty for the check-box column
        int width = 100;
    };
    struct Row
    {
        QString key;
        bool checked = false;
        QStringList cells; // one per column; cells[0] stays empty
    };

    explicit ListViewModel(QObject* parent = nullptr);

    void setColumns(const QVector<Column>& columns);
    const QVector<Column>& columns() const { return m_columns; }
    QString columnKey(int column) const;

    // Replaces every row at once (one reset, so long lists load fast).
    void setRows(QVector<Row> rows);
    void clear();
    int count() const { return m_rows.size(); }
    const Row& row(int index) const { return m_rows.at(index); }
    QString rowKey(int index) const { return m_rows.at(index).key; }
    QString cell(int index, int column) const;
    bool isChecked(int index) const { return m_rows.at(index).checked; }
    void setChecked(int index, bool checked);
    // Index of the row with that key, -1 when there is none.
    int findKey(const QString& key) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVector<Column> m_columns;
    QVector<Row> m_rows;
};
