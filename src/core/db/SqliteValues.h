#pragma once

#include <QVariant>

struct sqlite3_stmt;

namespace db {

// Conversions between the engine's values and QVariant, shared by statements and recordsets.
// Integers come back as qlonglong, texts as QString, Null as a null QVariant. Dates are
// written as the "yyyy-mm-dd hh:mm:ss" texts the program stores.
class SqliteValues final
{
public:
    static QVariant column(sqlite3_stmt* stmt, int column);
    // Returns the engine's result code.
    static int bind(sqlite3_stmt* stmt, int index, const QVariant& value);
};

} // namespace db
