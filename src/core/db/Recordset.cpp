#include "db/Recordset.h"

#include "db/SqlLexer.h"

#include <optional>

namespace db {

namespace {

// What a statement reads, when it reads the rows of one table and nothing else.
struct SingleTableSource
{
    QString table;      // the table's name, unquoted
    QString selectList; // as written between "select" and "from"
    QString source;     // the table and its alias as written
    int fromStart = -1; // where "from" begins in the statement
};

bool isClauseWord(const SqlToken& token)
{
    static const char* const words[] = {"where", "order", "limit", "group", "having",  "union", "join",      "inner",
                                        "left",  "right", "outer", "cross", "natural", "on",    "intersect", "except"};
    for (const char* word : words) {
        if (token.isWord(word))
            return true;
    }
    return false;
}

bool isEnd(const QVector<SqlToken>& tokens, int index)
{
    return index >= tokens.size() || tokens[index].isSymbol(u';');
}

std::optional<SingleTableSource> singleTableSource(const QString& sql)
{
    const QVector<SqlToken> tokens = SqlLexer::tokenize(sql);
    const int select = SqlLexer::nextSignificant(tokens, -1);
    if (select >= tokens.size() || !tokens[select].isWord("select"))
        return std::nullopt;
    const int first = SqlLexer::nextSignificant(tokens, select);
    if (first < tokens.size() && (tokens[first].isWord("distinct") || tokens[first].isWord("top")))
        return std::nullopt;

    int depth = 0;
    int from = -1;
    for (int i = first; i < tokens.size() && from < 0; ++i) {
        if (tokens[i].isSymbol(u'('))
            ++depth;
        else if (tokens[i].isSymbol(u')'))
            --depth;
        else if (depth == 0 && tokens[i].isWord("from"))
            from = i;
    }
    if (from < 0)
        return std::nullopt;

    const int table = SqlLexer::nextSignificant(tokens, from);
    if (table >= tokens.size())
        return std::nullopt;
    const SqlToken& name = tokens[table];
    const bool named = name.kind == SqlToken::Bracketed || name.kind == SqlToken::Quoted ||
                       (name.kind == SqlToken::Word && !isClauseWord(name));
    if (!named)
        return std::nullopt;

    int sourceEnd = table;
    int next = SqlLexer::nextSignificant(tokens, table);
    if (next < tokens.size() && tokens[next].isWord("as"))
        next = SqlLexer::nextSignificant(tokens, next);
    if (next < tokens.size() && tokens[next].kind == SqlToken::Word && !isClauseWord(tokens[next])) {
        sourceEnd = next;
        next = SqlLexer::nextSignificant(tokens, next);
    }
    if (!isEnd(tokens, next) && !tokens[next].isWord("where") && !tokens[next].isWord("order") &&
        !tokens[next].isWord("limit"))
        return std::nullopt;

    depth = 0;
    for (int i = next; i < tokens.size(); ++i) {
        if (tokens[i].isSymbol(u'('))
            ++depth;
        else if (tokens[i].isSymbol(u')'))
            --depth;
        else if (depth == 0 &&
                 (tokens[i].isWord("group") || tokens[i].isWord("having") || tokens[i].isWord("union") ||
                  tokens[i].isWord("intersect") || tokens[i].isWord("except") || tokens[i].isSymbol(u';')))
            return std::nullopt;
    }

    SingleTableSource result;
    result.table = name.kind == SqlToken::Word ? name.text : name.inner();
    const int listStart = tokens[select].start + tokens[select].text.size();
    result.fromStart = tokens[from].start;
    result.selectList = sql.mid(listStart, result.fromStart - listStart);
    const int sourceStart = tokens[table].start;
    result.source = sql.mid(sourceStart, tokens[sourceEnd].start + tokens[sourceEnd].text.size() - sourceStart);
    return result;
}

QString quoteName(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

[[noreturn]] void noCurrentRecord()
{
    throw DbError(ErrNoCurrentRecord,
                  QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。"));
}

} // namespace

void Recordset::Open(const QString& sql, Connection& conn, LockType lock)
{
    Close();
    std::optional<SingleTableSource> single;
    if (lock == LockType::Optimistic)
        single = singleTableSource(sql);

    // The row id rides along as a last, hidden column; a source without one (a view) is
    // simply opened as it is, and cannot be edited.
    std::unique_ptr<Statement> stmt;
    if (single) {
        try {
            stmt = conn.prepare(sql.left(single->fromStart) + QStringLiteral(", rowid ") + sql.mid(single->fromStart));
        } catch (const DbError&) {
            single.reset();
        }
    }
    if (!stmt)
        stmt = conn.prepare(sql);

    const int columns = stmt->columnCount();
    if (columns == 0) { // an action query: run it, and the recordset stays closed as in ADO
        stmt->execute();
        return;
    }
    const int fieldCount = single ? columns - 1 : columns;
    QStringList fields;
    QStringList origins;
    QHash<QString, int> index;
    for (int i = 0; i < fieldCount; ++i) {
        fields << stmt->columnName(i);
        origins << stmt->columnOrigin(i);
        if (!index.contains(fields.last().toLower()))
            index.insert(fields.last().toLower(), i);
    }
    QVector<QVariantList> rows;
    QVector<qint64> rowIds;
    while (stmt->next()) {
        QVariantList row;
        row.reserve(fieldCount);
        for (int i = 0; i < fieldCount; ++i)
            row << stmt->value(i);
        rows.push_back(std::move(row));
        if (single)
            rowIds.push_back(stmt->value(fieldCount).toLongLong());
    }

    m_conn = &conn;
    m_lock = lock;
    m_fields = fields;
    m_columns = origins;
    m_index = index;
    m_rows = std::move(rows);
    m_rowIds = std::move(rowIds);
    if (single) {
        m_table = single->table;
        m_selectList = single->selectList;
        m_source = single->source;
    }
    m_pos = 0;
    m_open = true;
}

void Recordset::Close()
{
    m_open = false;
    m_conn = nullptr;
    m_table.clear();
    m_fields.clear();
    m_columns.clear();
    m_index.clear();
    m_rows.clear();
    m_rowIds.clear();
    m_selectList.clear();
    m_source.clear();
    m_pos = 0;
    m_deletedCurrent = false;
    clearEdits();
}

int Recordset::RecordCount() const
{
    requireOpen();
    return int(m_rows.size());
}

bool Recordset::IsEOF() const
{
    requireOpen();
    if (m_adding || m_deletedCurrent)
        return false;
    return m_rows.isEmpty() || m_pos >= m_rows.size();
}

bool Recordset::IsBOF() const
{
    requireOpen();
    if (m_adding || m_deletedCurrent)
        return false;
    return m_rows.isEmpty() || m_pos < 0;
}

int Recordset::AbsolutePosition() const
{
    requireOpen();
    return m_pos;
}

void Recordset::MoveFirst()
{
    Move(0);
}

void Recordset::MoveNext()
{
    requireOpen();
    flushEdits();
    if (m_deletedCurrent) { // the row after the deleted one already sits at m_pos
        m_deletedCurrent = false;
        return;
    }
    if (IsEOF())
        noCurrentRecord();
    ++m_pos;
}

void Recordset::MovePrevious()
{
    requireOpen();
    flushEdits();
    if (m_deletedCurrent) {
        m_deletedCurrent = false;
        --m_pos;
        return;
    }
    if (IsBOF())
        noCurrentRecord();
    --m_pos;
}

void Recordset::MoveLast()
{
    requireOpen();
    Move(int(m_rows.size()) - 1);
}

void Recordset::Move(int row)
{
    requireOpen();
    flushEdits();
    m_deletedCurrent = false;
    m_pos = qBound(-1, row, int(m_rows.size()));
}

int Recordset::FieldCount() const
{
    requireOpen();
    return int(m_fields.size());
}

QString Recordset::FieldName(int index) const
{
    requireOpen();
    if (index < 0 || index >= m_fields.size())
        throw DbError(ErrItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。(%1)").arg(index));
    return m_fields[index];
}

bool Recordset::HasField(const QString& name) const
{
    requireOpen();
    return m_index.contains(name.toLower());
}

QVariant Recordset::Field(const QString& name) const
{
    return Field(fieldIndex(name));
}

QVariant Recordset::Field(int index) const
{
    FieldName(index); // range check
    if (isEditing())
        return m_edit[index];
    requireRow();
    return m_rows[m_pos][index];
}

void Recordset::SetField(const QString& name, const QVariant& value)
{
    requireUpdatable();
    const int index = fieldIndex(name);
    if (m_columns[index].isEmpty())
        throw DbError(ErrNotUpdatable, QStringLiteral("字段 '%1' 不能更新。").arg(m_fields[index]));
    if (!isEditing()) {
        requireRow();
        m_edit = m_rows[m_pos];
        m_dirty = QVector<bool>(m_fields.size(), false);
    }
    m_edit[index] = value;
    m_dirty[index] = true;
}

void Recordset::AddNew()
{
    requireUpdatable();
    flushEdits();
    m_deletedCurrent = false;
    m_adding = true;
    m_edit = QVariantList();
    for (int i = 0; i < m_fields.size(); ++i)
        m_edit << QVariant();
    m_dirty = QVector<bool>(m_fields.size(), false);
}

void Recordset::Update()
{
    requireUpdatable();
    if (!isEditing())
        return;
    if (m_adding)
        insertRow();
    else
        updateRow();
    clearEdits();
}

void Recordset::CancelUpdate()
{
    requireOpen();
    clearEdits();
}

void Recordset::Delete()
{
    requireUpdatable();
    if (m_adding) { // nothing was written yet
        clearEdits();
        return;
    }
    requireRow();
    clearEdits();
    auto stmt = m_conn->prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoteName(m_table)));
    stmt->bind(1, m_rowIds[m_pos]);
    stmt->execute();
    m_rows.removeAt(m_pos);
    m_rowIds.removeAt(m_pos);
    m_deletedCurrent = true;
}

void Recordset::requireOpen() const
{
    if (!m_open)
        throw DbError(ErrObjectClosed, QStringLiteral("对象关闭时，不允许操作。"));
}

void Recordset::requireRow() const
{
    requireOpen();
    if (m_deletedCurrent || m_pos < 0 || m_pos >= m_rows.size())
        noCurrentRecord();
}

void Recordset::requireUpdatable() const
{
    requireOpen();
    if (m_lock == LockType::ReadOnly || m_table.isEmpty())
        throw DbError(ErrNotUpdatable,
                      QStringLiteral("当前记录集不支持更新。这可能是提供程序的限制，也可能是选定锁定类型的限制。"));
}

int Recordset::fieldIndex(const QString& name) const
{
    requireOpen();
    const auto it = m_index.constFind(name.toLower());
    if (it == m_index.constEnd())
        throw DbError(ErrItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。(%1)").arg(name));
    return it.value();
}

bool Recordset::isEditing() const
{
    return !m_edit.isEmpty();
}

void Recordset::flushEdits()
{
    if (isEditing())
        Update();
}

void Recordset::clearEdits()
{
    m_adding = false;
    m_edit.clear();
    m_dirty.clear();
}

QVariantList Recordset::readRow(qint64 rowId)
{
    auto stmt = m_conn->prepare(QStringLiteral("select %1, rowid from %2 where rowid=?").arg(m_selectList, m_source));
    stmt->bind(1, rowId);
    QVariantList row;
    if (!stmt->next())
        return m_edit; // cannot happen for a row just written; keep what was written
    for (int i = 0; i < m_fields.size(); ++i)
        row << stmt->value(i);
    return row;
}

void Recordset::insertRow()
{
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (!m_dirty[i])
            continue;
        columns << quoteName(m_columns[i]);
        marks << QStringLiteral("?");
        values << m_edit[i];
    }
    const QString table = quoteName(m_table);
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    auto stmt = m_conn->prepare(sql);
    stmt->bindAll(values);
    stmt->execute();
    const qint64 rowId = m_conn->lastInsertId();
    m_rows.push_back(readRow(rowId));
    m_rowIds.push_back(rowId);
    m_pos = int(m_rows.size()) - 1;
}

void Recordset::updateRow()
{
    QStringList assignments;
    QVariantList values;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (!m_dirty[i])
            continue;
        assignments << quoteName(m_columns[i]) + QStringLiteral("=?");
        values << m_edit[i];
    }
    const qint64 rowId = m_rowIds[m_pos];
    values << rowId;
    auto stmt = m_conn->prepare(
        QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quoteName(m_table), assignments.join(QLatin1Char(','))));
    stmt->bindAll(values);
    if (stmt->execute() == 0)
        throw DbError(ErrGeneric, QStringLiteral("找不到要更新的行。一些值可能已在最后一次读取后更改。"));
    m_rows[m_pos] = readRow(rowId);
}

} // namespace db
