#pragma once

#include <QString>

class ListView;
namespace db {
class Recordset;
}

// Empties the list and fills it from an open recordset: one row per record keyed "Row_" + id,
// each column whose key names a field showing that field (Null as empty text). An empty
// recordset leaves the list disabled. The recordset is left open after its last row.
// Failures of the recordset (no id field) reach the caller.
void LoadListView(ListView& listView, db::Recordset& rs);
// Whether the recordset has a field of exactly that name (case included).
bool FieldExists(const QString& name, const db::Recordset& rs);
void ClearListView(ListView& listView);
// The ids of the checked rows (their keys from the fifth character on) joined by ",";
// empty when nothing is checked.
QString GetCheckedIds(const ListView& listView);
