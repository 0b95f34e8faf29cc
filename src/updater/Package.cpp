#include "Package.h"

#include "AtomicFile.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace updater {

namespace {

const QByteArray kEngineHeader = QByteArrayLiteral("SQLite format 3");

QByteArray fileHead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(32) : QByteArray();
}

QString quoted(const QString& path)
{
    return QLatin1Char('\'') + QDir::toNativeSeparators(path) + QLatin1Char('\'');
}

} // namespace

WriteError::WriteError(const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString()), m_path(path), m_reason(reason)
{
}

bool isSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return false;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return false;
    // "C:name" is relative to a drive on the system the packages come from; refuse it too.
    return !QDir::isAbsolutePath(name) && !name.contains(QLatin1Char(':'));
}

std::unique_ptr<db::Connection> openPackage(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw db::DbError(db::ErrFileNotFound, QStringLiteral("找不到文件 %1。").arg(quoted(path)));
    const QByteArray head = fileHead(path);
    if (head.startsWith(kEngineHeader))
        return db::Connection::openUnkeyed(path);
    if (head.mid(4).startsWith("Standard Jet DB") || head.mid(4).startsWith("Standard ACE DB"))
        throw db::DbError(db::ErrCannotOpen,
                          QStringLiteral("文件 %1 是 Access 数据库，此版本不能读取。").arg(quoted(path)));
    throw db::DbError(db::ErrCannotOpen, QStringLiteral("无法识别的数据库格式 %1。").arg(quoted(path)));
}

void Acc2File(const QByteArray& filestream, const QString& path, bool executable)
{
    // A file half written (disk full, a crash) must not replace a good one from an earlier run.
    // A package may hold both "x" and "x.part"; the staging name holds "..", which no name in a
    // package may, so staging one of its files never takes the place of another.
    const QFileDevice::Permissions execute =
        executable ? QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther
                   : QFileDevice::Permissions();
    QString reason;
    if (!atomicfile::write(filestream, path, atomicfile::Mode::Replace, &reason, path + QStringLiteral("..part"),
                           execute))
        throw WriteError(path, reason);
}

UnpackResult unpackPackage(db::Connection& package, const QString& folder, const std::function<bool()>& afterEachFile)
{
    UnpackResult result;
    const QDir target(folder);
    auto rows = package.prepare(QStringLiteral("select [FileName], [FileStream] from [Files]"));
    while (rows->next()) {
        const QVariant nameValue = rows->value(0);
        const QString name = nameValue.isNull() ? QString() : nameValue.toString();
        if (!isSafeFileName(name)) {
            result.skipped.append(name);
        } else {
            const QVariant stream = rows->value(1);
            // A Null stream is an empty file; a text value is written as the bytes it was stored as.
            const QByteArray bytes =
                stream.typeId() == QMetaType::QString ? stream.toString().toUtf8() : stream.toByteArray();
            Acc2File(bytes, target.filePath(name), name == kInstallerName);
            result.written.append(name);
        }
        if (afterEachFile && !afterEachFile()) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

} // namespace updater
