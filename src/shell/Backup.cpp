#include "Backup.h"

#include "AtomicFile.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "UserFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

namespace {

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// Keeps a transaction open on a connection for as long as it lives. While it is open no other
// connection commits and no checkpoint (a worker's automatic one) writes into the main file, so
// a byte copy made meanwhile is of one consistent state. The checkpoint itself has to come
// before it: a connection inside a transaction cannot checkpoint.
class FrozenFile final
{
public:
    explicit FrozenFile(db::Connection& conn) : m_conn(conn)
    {
        m_conn.beginTransaction();
        try {
            m_conn.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        } catch (...) {
            m_conn.rollback();
            throw;
        }
    }
    ~FrozenFile()
    {
        try {
            m_conn.rollback();
        } catch (...) {
            // nothing was written in it; ending it cannot lose anything
        }
    }
    FrozenFile(const FrozenFile&) = delete;
    FrozenFile& operator=(const FrozenFile&) = delete;

private:
    db::Connection& m_conn;
};

qint64 logSize(const QString& databasePath)
{
    const QFileInfo wal(databasePath + QStringLiteral("-wal"));
    return wal.exists() ? wal.size() : 0;
}

constexpr int kSnapshotAttempts = 5;

void removeWithLogs(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

// A file that the engine of this program opens with the database password and that holds the
// tables every user database has.
bool isOurDatabase(const QString& path)
{
    try {
        auto conn = db::Connection::open(path, QByteArray(kDatabasePassword));
        for (const char* table : {"config", "DraftBox", "ContactList", "Messages", "Finish"}) {
            if (conn->scalar(QStringLiteral("select count(*) from sqlite_master where type='table' and name='%1'")
                                 .arg(QLatin1String(table)))
                    .toInt() != 1)
                return false;
        }
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

} // namespace

QString UserDatabasePath()
{
    return ProgramFile(UserFileStem(ProgramFolder(), g_UserName) + QStringLiteral(".mdb"));
}

QString PendingRestorePath()
{
    return ProgramFile(UserFileStem(ProgramFolder(), g_UserName) + QStringLiteral(".recover"));
}

bool BackupUserDatabase(const QString& target)
{
    const QString source = UserDatabasePath();
    if (!QFileInfo::exists(source) || QFileInfo::exists(target))
        return false;

    // The shared connection is normally on the user's database; when it is not (or not open),
    // a connection of our own does the checkpoint and holds the snapshot.
    std::unique_ptr<db::Connection> own;
    db::Connection* conn = g_Conn.get();
    if (!conn || !sameFile(conn->path(), source)) {
        own = OpenWorkerConnection(QFileInfo(source).fileName());
        conn = own.get();
    }
    // The checkpoint has to come before the transaction, so a commit of another connection
    // (the white-list worker) can land in between and stay in the log, missing from a copy of
    // the main file. Inside the held write lock nobody commits: an empty log there means the
    // main file holds every row.
    for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
        conn->checkpoint();
        const FrozenFile snapshot(*conn);
        if (logSize(source) == 0)
            return atomicfile::copy(source, target, atomicfile::Mode::NoReplace);
    }
    return false;
}

const QString kNotABackupText = QStringLiteral("所选文件不是本程序的备份文件，不能还原！");

RestoreOutcome RestoreUserDatabase(const QString& source)
{
    // The chosen file is examined on a copy of its own: opening it where it is would switch
    // it to the engine's log mode and leave files beside it.
    const QString target = PendingRestorePath();
    const QString staging = atomicfile::stagingName(target);
    // A staging copy left by a restore that died half-way is ours to replace, with its logs.
    removeWithLogs(staging);
    if (!QFile::copy(source, staging))
        return RestoreOutcome::Failed;
    const bool ours = isOurDatabase(staging);
    QFile::remove(staging + QStringLiteral("-wal"));
    QFile::remove(staging + QStringLiteral("-shm"));
    if (!ours) {
        QFile::remove(staging);
        return RestoreOutcome::NotABackup;
    }
    return atomicfile::commit(staging, target, atomicfile::Mode::Replace) ? RestoreOutcome::Pending
                                                                          : RestoreOutcome::Failed;
}
