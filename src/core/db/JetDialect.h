#pragma once

#include <QString>

struct sqlite3;

namespace db::jet {

// Rewrites a statement written in the Jet dialect into SQLite's: #date# literals become
// 'yyyy-mm-dd hh:mm:ss' texts, true/false become 1/0, and every "+" and "&" becomes a call
// of jet_plus or jet_concat, which decide at run time what Jet would do with the operands'
// values. Nothing inside string literals or [bracketed names] is touched.
QString translate(const QString& jetSql);

// Registers datediff, date, now, year, month, day, Rtrim, Format, jet_plus and jet_concat
// with Jet's meaning
// (local time, dates read from the ISO texts the program stores).
void registerFunctions(sqlite3* db);

} // namespace db::jet
