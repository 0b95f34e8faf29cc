#include "ContactImportWriter.h"

#include "db/Connection.h"

#include <QStringList>

namespace {

constexpr qint64 kCommitEveryMs = 200;

} // namespace

ContactImportWriter::ContactImportWriter(db::Connection& conn, const QVector<Field>& fields, qint64 category,
                                         Question overwrite)
    : m_conn(conn), m_fields(fields), m_category(category), m_overwrite(std::move(overwrite))
{
    // The statements are made once: an import runs them for every row.
    QStringList columns;
    for (const Field& field : m_fields)
        columns << field.name;
    columns << QStringLiteral("CatID");
    const QString marks = QStringLiteral(",?").repeated(int(columns.size()));
    m_find = m_conn.prepare(QStringLiteral("select id from [ContactList] where MobilePhone = ?"));
    m_insert =
        m_conn.prepare(QStringLiteral("insert into [ContactList] (MobilePhone,") + columns.join(QLatin1Char(',')) +
                       QStringLiteral(") values (?") + marks + QStringLiteral(")"));
    m_update = m_conn.prepare(QStringLiteral("update [ContactList] set ") + columns.join(QStringLiteral("=?,")) +
                              QStringLiteral("=? where id=?"));
}

ContactImportWriter::~ContactImportWriter() = default;

bool ContactImportWriter::store(const QString& number, const QVector<CellValue>& values)
{
    if (!m_batch) {
        m_batch = std::make_unique<db::Transaction>(m_conn);
        m_sinceCommit.start();
    }
    m_find->bind(1, number);
    const bool stored = m_find->next();
    const QVariant id = stored ? m_find->value(0) : QVariant();
    m_find->reset();
    if (!stored) {
        m_insert->bindAll(QVariantList{number} + fieldValues(values));
        m_insert->execute();
        return false;
    }
    commit();
    if (m_overwrite(number)) {
        m_update->bindAll(fieldValues(values) << id);
        m_update->execute();
    }
    return true;
}

bool ContactImportWriter::commitIfDue()
{
    if (!m_batch || m_sinceCommit.elapsed() < kCommitEveryMs)
        return false;
    commit();
    return true;
}

void ContactImportWriter::commit()
{
    if (m_batch)
        m_batch->commit();
    m_batch.reset();
}

QVariantList ContactImportWriter::fieldValues(const QVector<CellValue>& cells) const
{
    QVariantList values;
    for (int i = 0; i < m_fields.size(); ++i)
        values << m_fields.at(i).value(cells.value(i));
    values << m_category;
    return values;
}
