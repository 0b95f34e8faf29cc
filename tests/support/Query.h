#pragma once

#include <QStringList>
#include <QVariant>

namespace db {
class Connection;
}

// Reads rows back through the program's own recordsets, so that a test sees what a window
// would. Without a connection, the shared one (g_Conn) is read.

// The number of rows the statement returns.
int count(const QString& sql);
int count(db::Connection& conn, const QString& sql);
// One field over every returned row, in the order returned; Null reads as the empty text.
QStringList column(const QString& sql, const QString& field);
QStringList column(db::Connection& conn, const QString& sql, const QString& field);
// The field of the first returned row; an invalid QVariant when there is none.
QVariant first(const QString& sql, const QString& field);
QVariant first(db::Connection& conn, const QString& sql, const QString& field);
