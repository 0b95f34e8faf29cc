#include "DraftBoxWriter.h"

#include "db/Connection.h"

namespace {

// Long enough that commits cost little next to the inserts, short enough that the window
// stays responsive.
constexpr qint64 kGroupMs = 40;

} // namespace

DraftBoxWriter::DraftBoxWriter(db::Connection& conn) : m_conn(conn)
{
}

DraftBoxWriter::~DraftBoxWriter()
{
    try {
        commit();
    } catch (...) {
        // Leaving by a failure: the rows stay where the engine has them; nothing to report here.
    }
}

bool DraftBoxWriter::add(const QString& mobilePhone, const QVariantList& values)
{
    if (!m_insert) {
        m_exists = m_conn.prepare(QStringLiteral("select exists(select 1 from [DraftBox] where MobilePhone=?)"));
        m_insert = m_conn.prepare(
            QStringLiteral("insert into [DraftBox] (MobilePhone,A,B,C,D,E,IsRepeat) values (?,?,?,?,?,?,?)"));
    }
    if (m_pending == 0 && !m_conn.inTransaction()) {
        m_conn.beginTransaction();
        m_ownTransaction = true;
        m_groupAge.start();
    }
    // The bound text is compared as the table compares it (case-insensitively, as Jet does).
    const QString phone = mobilePhone.isNull() ? QStringLiteral("") : mobilePhone;
    m_exists->bind(1, phone);
    m_exists->next();
    const bool repeat = m_exists->value(0).toInt() != 0;
    m_exists->reset();

    m_insert->bind(1, phone);
    for (int column = 0; column < 5; ++column)
        m_insert->bind(column + 2, values.value(column));
    m_insert->bind(7, repeat ? 1 : 0);
    m_insert->execute();
    ++m_pending;
    return repeat;
}

bool DraftBoxWriter::store(const QString& number, const QVector<CellValue>& values)
{
    QVariantList texts;
    for (const CellValue& cell : values)
        texts << (cell.isEmpty() ? QVariant() : QVariant(cell.text));
    return add(number, texts);
}

void DraftBoxWriter::commit()
{
    if (m_ownTransaction) {
        m_ownTransaction = false;
        m_conn.commit();
    }
    m_pending = 0;
}

bool DraftBoxWriter::commitIfDue()
{
    if (m_pending == 0 || (m_ownTransaction && m_groupAge.elapsed() < kGroupMs))
        return false;
    commit();
    return true;
}
