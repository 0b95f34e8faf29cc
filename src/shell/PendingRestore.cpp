#include "PendingRestore.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>

namespace {

// The engine keeps committed rows in these beside the file until a checkpoint; left over from
// the replaced file they would be replayed onto the restored one.
void removeJournalFiles(const QString& databasePath)
{
    QFile::remove(databasePath + QStringLiteral("-wal"));
    QFile::remove(databasePath + QStringLiteral("-shm"));
}

bool replaceFile(const QString& source, const QString& target)
{
    // Copy beside the target first, so a failed copy leaves the old database (and its journal)
    // untouched.
    const QString staging = target + QStringLiteral(".restoring");
    QFile::remove(staging);
    if (!QFile::copy(source, staging))
        return false;
    removeJournalFiles(target);
    QFile::remove(target);
    if (QFile::rename(staging, target))
        return true;
    QFile::remove(staging);
    return false;
}

} // namespace

QString ApplyPendingRestore(const QString& folder)
{
    const QDir dir(folder);
    QStringList names = dir.entryList({QStringLiteral("*.recover")}, QDir::Files | QDir::CaseSensitive);
    if (names.isEmpty())
        return QString();
    // Plain code-unit order, so the same folder always gives the same choice.
    std::sort(names.begin(), names.end());
    const QString name = names.first();
    const QString source = dir.filePath(name);
    const QString target = dir.filePath(QString(name).replace(QStringLiteral(".recover"), QStringLiteral(".mdb")));
    const bool replaced = replaceFile(source, target);
    QFile::remove(source);
    return replaced ? target : QString();
}
