#pragma once

#include <QString>

// The signed-in user's database: <program folder>/<g_UserName>.mdb, spelled as the file that
// is there (names that differ only in letter case are one user).
QString UserDatabasePath();
// The pending restore file that the next start puts in place: <program folder>/<g_UserName>.recover,
// spelled as the user's database.
QString PendingRestorePath();

// Writes a byte copy of the user's database to target, holding every row committed so far:
// the shared connection is checkpointed first, and the copy is taken while it holds a
// transaction, so no checkpoint rewrites the file half-way through the copy. An existing
// target is never overwritten: the bytes go to a temporary file in the target's folder, which
// is then renamed to target only when that name is still free.
// False when the copy was refused or failed (nothing is left at target then); a failure of
// the engine itself raises db::DbError.
bool BackupUserDatabase(const QString& target);

enum class RestoreOutcome
{
    Pending,    // the copy is the pending restore file now
    NotABackup, // the file is no database of this program; nothing changed
    Failed,     // the copy failed; an earlier pending restore stays as it was
};

// The refusal shown for a file that is no backup of this program.
extern const QString kNotABackupText;

// Copies source to the pending restore file, replacing an earlier one in one step (a
// half-written file never takes its place), once the copy has been found to be a database of
// this program: opened with the database password and holding the user tables.
RestoreOutcome RestoreUserDatabase(const QString& source);
