#pragma once

#include <QString>

struct sqlite3;

namespace db::jet {

// Rewrites a statement written in the Jet dialect into SQLite's: #date# literals become
// 'yyyy-mm-dd hh:mm:ss' texts, true/false become 1/0, "+" with a text literal on either
// side becomes "||". Nothing inside string literals or [bracketed names] is touched.
QString translate(const QString& jetSql);

// Registers datediff, date, now, year, month, day, Rtrim, Format with Jet's meaning
// (local time, dates read from the ISO texts the program stores).
void registerFunctions(sqlite3* db);

} // namespace db::jet
