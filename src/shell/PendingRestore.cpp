#include "PendingRestore.h"

#include "AtomicFile.h"
#include "CrashPoint.h"
#include "DataStore.h"
#include "UserFiles.h"
#include "db/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace {

// The engine keeps committed rows beside the file until a checkpoint. Before another file takes
// the name, the old file's log is written back into it and removed: a log left behind would be
// replayed onto the restored file, and removing an unwritten one first would cut rows out of
// the old file should the replacement then fail.
void settleJournal(const QString& databasePath)
{
    const QFileInfo wal(databasePath + QStringLiteral("-wal"));
    if (wal.exists() && wal.size() > 0) {
        try {
            db::Connection::open(databasePath, QByteArray(kDatabasePassword))->checkpoint();
        } catch (const db::DbError&) {
            // Not a file of ours any more: nothing of it can be kept.
        }
    }
    crashpoint::reach("restore-after-checkpoint");
    QFile::remove(databasePath + QStringLiteral("-wal"));
    QFile::remove(databasePath + QStringLiteral("-shm"));
}

// The database a restore file is for: its name with every ".recover" made ".mdb", without the
// last ".mdb".
QString targetStem(const QString& restoreName)
{
    return QString(restoreName).replace(QStringLiteral(".recover"), QStringLiteral(".mdb")).chopped(4);
}

} // namespace

QString ApplyPendingRestore(const QString& folder)
{
    const QDir dir(folder);
    QStringList names = dir.entryList({QStringLiteral("*.recover")}, QDir::Files | QDir::CaseSensitive);
    // The template and the user list are nobody's database: a restore over them is never applied.
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return IsReservedUserName(targetStem(name)); }),
                names.end());
    if (names.isEmpty())
        return QString();
    // Plain code-unit order, so the same folder always gives the same choice.
    std::sort(names.begin(), names.end());
    const QString name = names.first();
    const QString source = dir.filePath(name);
    // "DEMO.recover" is the restore of the user whose database is "demo.mdb".
    const QString target = dir.filePath(UserFileStem(folder, targetStem(name)) + QStringLiteral(".mdb"));
    settleJournal(target);
    // One rename puts the whole copy in place; the restore file goes only once it has, so a
    // failure or a crash before leaves it for the next start.
    if (!atomicfile::copy(source, target, atomicfile::Mode::Replace))
        return QString();
    crashpoint::reach("restore-before-remove");
    QFile::remove(source);
    return target;
}
