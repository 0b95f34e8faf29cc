#include "Backup.h"

#include "DataStore.h"
#include "GlobalState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <memory>
#include <unistd.h>

namespace {

constexpr qint64 kChunkSize = 1 << 20;

bool copyBytes(QFile& from, QIODevice& to)
{
    QByteArray chunk;
    while (!from.atEnd()) {
        chunk = from.read(kChunkSize);
        if (chunk.isEmpty() && from.error() != QFileDevice::NoError)
            return false;
        if (to.write(chunk) != chunk.size())
            return false;
    }
    return from.error() == QFileDevice::NoError;
}

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

bool copyToNewFile(const QString& source, const QString& target)
{
    if (QFileInfo::exists(target))
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo targetInfo(target);
    QTemporaryFile out(targetInfo.absolutePath() + QLatin1Char('/') + targetInfo.fileName() +
                       QStringLiteral(".XXXXXX.part"));
    if (!out.open() || !copyBytes(in, out) || !out.flush())
        return false;
    if (::fsync(out.handle()) != 0)
        return false;
    // Renaming never replaces an existing file, so a name taken meanwhile fails the backup
    // instead of being overwritten; the temporary file is removed with `out` then.
    if (!out.rename(target))
        return false;
    // A renamed temporary file would still be removed with `out`.
    out.setAutoRemove(false);
    return true;
}

} // namespace

QString UserDatabasePath()
{
    return ProgramFile(g_UserName + QStringLiteral(".mdb"));
}

QString PendingRestorePath()
{
    return ProgramFile(g_UserName + QStringLiteral(".recover"));
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
        own = OpenWorkerConnection(g_UserName + QStringLiteral(".mdb"));
        conn = own.get();
    }
    conn->checkpoint();
    const FrozenFile snapshot(*conn);
    return copyToNewFile(source, target);
}

bool RestoreUserDatabase(const QString& source)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(PendingRestorePath());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (!copyBytes(in, out)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
