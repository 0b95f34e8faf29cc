#include "db/DbError.h"

namespace db {

DbError::DbError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("%1: %2").arg(number).arg(description).toStdString()), m_number(number),
      m_description(description)
{
}

QString DbError::boxText() const
{
    return QStringLiteral("错误号：") + QString::number(m_number) + QStringLiteral("\r\n") +
           QStringLiteral("错误描述：") + m_description;
}

} // namespace db
