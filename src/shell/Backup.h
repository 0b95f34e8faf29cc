#pragma once

#include <QString>

// The signed-in user's database: <program folder>/<g_UserName>.mdb
QString UserDatabasePath();
// The pending restore file that the next start puts in place: <program folder>/<g_UserName>.recover
QString PendingRestorePath();

// Writes a byte copy of the user's database to target, holding every row committed so far:
// the shared connection is checkpointed first, and the copy is taken while it holds a
// transaction, so no checkpoint rewrites the file half-way through the copy. An existing
// target is never overwritten: the bytes go to a temporary file in the target's folder, which
// is then renamed to target only when that name is still free.
// False when the copy was refused or failed (nothing is left at target then); a failure of
// the engine itself raises db::DbError.
bool BackupUserDatabase(const QString& target);

// Copies source, whatever it holds, to the pending restore file, replacing an earlier one
// in one step (a half-written file never takes its place). False when that failed.
bool RestoreUserDatabase(const QString& source);
