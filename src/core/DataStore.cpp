#include "DataStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>

std::unique_ptr<db::Connection> g_Conn;
std::unique_ptr<db::Recordset> g_Rs;
QString g_ConnString;

namespace {
// Workers build their database paths from the program folder too.
QMutex g_folderMutex;
QString g_programFolder;
} // namespace

QString ProgramFolder()
{
    {
        QMutexLocker lock(&g_folderMutex);
        if (!g_programFolder.isEmpty())
            return g_programFolder;
    }
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

void SetProgramFolder(const QString& folder)
{
    QMutexLocker lock(&g_folderMutex);
    g_programFolder = folder;
}

QString ProgramFile(const QString& fileName)
{
    return ProgramFolder() + QLatin1Char('/') + fileName;
}

void OpenDatabaseOrThrow(const QString& fileName)
{
    const QString connString = QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + ProgramFolder() +
                               QLatin1Char('/') + fileName + QStringLiteral(";Jet OLEDB:Database Password=") +
                               QLatin1String(kDatabasePassword);
    // The new connection is opened before the old one is let go: a failed open leaves the
    // previous state exactly as it was, and never a half-made connection.
    auto conn = db::Connection::open(ProgramFile(fileName), QByteArray(kDatabasePassword));
    g_Rs.reset(); // it may still point at the old connection
    g_Conn = std::move(conn);
    g_Rs = std::make_unique<db::Recordset>();
    g_ConnString = connString;
}

std::unique_ptr<db::Connection> OpenWorkerConnection(const QString& fileName)
{
    return db::Connection::open(ProgramFile(fileName), QByteArray(kDatabasePassword));
}

void CloseDatabase()
{
    g_Rs.reset();
    g_Conn.reset();
}

db::Connection& SharedConnection()
{
    if (!g_Conn)
        throw db::DbError(db::ErrObjectClosed, QStringLiteral("对象关闭时，不允许操作。"));
    return *g_Conn;
}
