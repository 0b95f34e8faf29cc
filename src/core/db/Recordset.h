#pragma once

#include "db/Connection.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace db {

enum class LockType
{
    ReadOnly,
    Optimistic
};

// Client-side recordset, as ADO's with a client cursor: every row is fetched at open, so
// RecordCount() is exact before any move. On a recordset over a single table opened with
// optimistic locking, AddNew/SetField/Update/Delete write through to the table by row id.
// A field value that is Null in the database is a null QVariant.
class Recordset
{
public:
    Recordset() = default;

    void Open(const QString& sql, Connection& conn, LockType lock = LockType::ReadOnly);
    void Close();
    bool IsOpen() const { return m_open; }

    int RecordCount() const;
    bool IsEOF() const;
    bool IsBOF() const;
    int AbsolutePosition() const; // 0-based current row
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    void Move(int row); // to the 0-based row

    int FieldCount() const;
    QString FieldName(int index) const;
    bool HasField(const QString& name) const; // names compare case-insensitively
    QVariant Field(const QString& name) const;
    QVariant Field(int index) const;

    // Edits of the current row (or of the row that AddNew began); written by Update().
    void SetField(const QString& name, const QVariant& value);
    void AddNew();
    void Update();
    void CancelUpdate();
    // Deletes the current row in the table and removes it from the set. As in ADO, the
    // deleted row stays current until the next move: MoveNext then goes to the row that
    // followed it, so "while not EOF: Delete, MoveNext" visits every row.
    void Delete();

    // A move, AddNew or Close while edits are pending: moves and AddNew write them (Update),
    // Close drops them.

private:
    void requireOpen() const;
    void requireRow() const;
    void requireUpdatable() const;
    int fieldIndex(const QString& name) const;
    bool isEditing() const;
    void flushEdits();
    void clearEdits();
    QVariantList readRow(qint64 rowId);
    void insertRow();
    void updateRow();

    bool m_open = false;
    Connection* m_conn = nullptr;
    LockType m_lock = LockType::ReadOnly;
    QString m_table; // the single table behind the set, empty when not updatable
    QStringList m_fields;
    QHash<QString, int> m_index; // lower-cased name -> column
    QVector<QVariantList> m_rows;
    QVector<qint64> m_rowIds; // rowid of each row when updatable
    int m_pos = 0;
    bool m_adding = false;
    QVariantList m_edit; // values being edited
    QVector<bool> m_dirty;
    QStringList m_columns; // table column behind each field, empty for computed fields
    QString m_selectList;  // the statement's select list and source, to re-read a written row
    QString m_source;
    bool m_deletedCurrent = false;
};

} // namespace db
