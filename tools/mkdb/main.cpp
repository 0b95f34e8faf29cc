// quorvel-mkdb OUTPUT SCHEMA.sql
// Writes a fresh database file keyed with the database password from a schema script.
// Runs at build time, so every failure ends with a message and a non-zero exit code.

#include "DataStore.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>
#include <exception>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "quorvel-mkdb: " << message << Qt::endl;
    return 1;
}

// A file of ours may have a write-ahead log and shared-memory file beside it.
bool removeWithCompanions(const QString& path)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile file(path + suffix);
        if (file.exists() && !file.remove())
            return false;
    }
    return true;
}

bool readScript(const QString& path, QString& script, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    script = QString::fromUtf8(file.readAll());
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: quorvel-mkdb OUTPUT.mdb SCHEMA.sql"));

    const QString output = QFileInfo(args.at(1)).absoluteFilePath();
    QString script;
    QString error;
    if (!readScript(args.at(2), script, error))
        return fail(error);
    if (script.trimmed().isEmpty())
        return fail(QStringLiteral("%1 holds no statement").arg(args.at(2)));
    if (!removeWithCompanions(output))
        return fail(QStringLiteral("cannot replace %1").arg(output));

    try {
        auto conn = db::Connection::create(output, QByteArray(kDatabasePassword));
        conn->executeScript(script);
        conn->checkpoint();
    } catch (const db::DbError& e) {
        // Leave nothing half-written behind: the build must not ship a partial schema.
        removeWithCompanions(output);
        return fail(QStringLiteral("%1: %2 (%3)").arg(output, e.description()).arg(e.number()));
    } catch (const std::exception& e) {
        removeWithCompanions(output);
        return fail(QStringLiteral("%1: %2").arg(output, QString::fromLocal8Bit(e.what())));
    }

    // The shipped files are copied byte for byte into each user's database, so a log left
    // beside them would take committed rows away with it.
    if (QFile::exists(output + QStringLiteral("-wal")) || QFile::exists(output + QStringLiteral("-shm"))) {
        removeWithCompanions(output);
        return fail(QStringLiteral("%1 was left with a write-ahead log").arg(output));
    }
    return 0;
}
