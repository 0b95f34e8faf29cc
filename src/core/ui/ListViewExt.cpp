#include "ListViewExt.h"

#include "ListView.h"
#include "PublicFunction.h"
#include "db/Recordset.h"

namespace {

// Position of the field of exactly that name, -1 when there is none.
int exactFieldIndex(const QString& name, const db::Recordset& rs)
{
    for (int f = 0; f < rs.FieldCount(); ++f) {
        if (rs.FieldName(f) == name)
            return f;
    }
    return -1;
}

} // namespace

void LoadListView(ListView& listView, db::Recordset& rs)
{
    ClearListView(listView);
    if (rs.RecordCount() < 1) {
        listView.setEnabled(false);
        return;
    }
    listView.setEnabled(true);
    ListViewModel& model = *listView.listModel();

    // The binding of columns to fields is the same for every row: work it out once.
    const int columns = model.columnCount();
    QVector<int> fieldOf(columns, -1);
    for (int c = 1; c < columns; ++c)
        fieldOf[c] = exactFieldIndex(model.columnKey(c), rs);

    rs.MoveFirst();
    // The id is looked up by name as the recordset does (a set without it fails here).
    rs.Field(QStringLiteral("id"));
    int idField = 0;
    while (rs.FieldName(idField).compare(QLatin1String("id"), Qt::CaseInsensitive) != 0)
        ++idField;

    QVector<ListViewModel::Row> rows;
    rows.reserve(rs.RecordCount());
    while (!rs.IsEOF()) {
        ListViewModel::Row row;
        row.key = QStringLiteral("Row_") + NullToEmpty(rs.Field(idField));
        row.cells.reserve(columns);
        row.cells.append(QString());
        for (int c = 1; c < columns; ++c)
            row.cells.append(fieldOf.at(c) >= 0 ? NullToEmpty(rs.Field(fieldOf.at(c))) : QString());
        rows.append(std::move(row));
        rs.MoveNext();
    }
    model.setRows(std::move(rows));
}

bool FieldExists(const QString& name, const db::Recordset& rs)
{
    return exactFieldIndex(name, rs) >= 0;
}

void ClearListView(ListView& listView)
{
    listView.listModel()->clear();
}

QString GetCheckedIds(const ListView& listView)
{
    const ListViewModel& model = *listView.listModel();
    QString ids;
    for (int i = 0; i < model.count(); ++i) {
        if (model.isChecked(i))
            ids += QLatin1Char(',') + model.rowKey(i).mid(4);
    }
    if (!ids.trimmed().isEmpty())
        ids.remove(0, 1);
    return ids;
}
