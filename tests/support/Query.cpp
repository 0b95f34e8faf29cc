#include "Query.h"

#include "DataStore.h"
#include "PublicFunction.h"
#include "db/Recordset.h"

int count(const QString& sql)
{
    return count(SharedConnection(), sql);
}

int count(db::Connection& conn, const QString& sql)
{
    db::Recordset rs;
    rs.Open(sql, conn);
    return rs.RecordCount();
}

QStringList column(const QString& sql, const QString& field)
{
    return column(SharedConnection(), sql, field);
}

QStringList column(db::Connection& conn, const QString& sql, const QString& field)
{
    db::Recordset rs;
    rs.Open(sql, conn);
    QStringList values;
    for (; !rs.IsEOF(); rs.MoveNext())
        values << NullToEmpty(rs.Field(field));
    return values;
}

QVariant first(const QString& sql, const QString& field)
{
    return first(SharedConnection(), sql, field);
}

QVariant first(db::Connection& conn, const QString& sql, const QString& field)
{
    db::Recordset rs;
    rs.Open(sql, conn);
    return rs.IsEOF() ? QVariant() : rs.Field(field);
}
