#include "AtomicFile.h"

#include "CrashPoint.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace atomicfile {

namespace {

constexpr qint64 kChunkSize = 1 << 20;

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Opens a new staging file, replacing one left by a step that died half-way.
bool openStaging(QFile& out, QString* error)
{
    QFile::remove(out.fileName());
    return out.open(QIODevice::WriteOnly | QIODevice::NewOnly) || fail(error, out.errorString());
}

// Gives up a staging file: closed and removed, the target untouched.
bool abandon(QFile& out, const QString& reason, QString* error)
{
    out.close();
    QFile::remove(out.fileName());
    return fail(error, reason);
}

// Flushes the filled staging file and puts it in place.
bool finish(QFile& out, const QString& target, Mode mode, QString* error)
{
    if (!out.flush())
        return abandon(out, out.errorString(), error);
    out.close();
    return commit(out.fileName(), target, mode, error);
}

} // namespace

QString stagingName(const QString& target)
{
    return target + QStringLiteral(".part");
}

bool commit(const QString& staging, const QString& target, Mode mode, QString* error)
{
    const QByteArray from = QFile::encodeName(staging);
    const QByteArray to = QFile::encodeName(target);
    if (!syncPath(staging, O_RDONLY)) {
        const QString reason = systemError();
        ::unlink(from.constData());
        return fail(error, reason);
    }
    crashpoint::reach("commit-before-rename");
    int rc;
    if (mode == Mode::Replace) {
        rc = ::rename(from.constData(), to.constData());
    } else {
        // link(2) never replaces an existing name: the new name appears whole or not at all.
        rc = ::link(from.constData(), to.constData());
    }
    const QString reason = rc == 0 ? QString() : systemError();
    if (rc != 0 || mode == Mode::NoReplace)
        ::unlink(from.constData());
    if (rc != 0)
        return fail(error, reason);
    crashpoint::reach("commit-after-rename");
    syncPath(QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}

bool copy(const QString& source, const QString& target, Mode mode, QString* error)
{
    if (mode == Mode::NoReplace && QFileInfo::exists(target))
        return fail(error, QStringLiteral("文件已存在。"));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, in.errorString());
    QFile out(stagingName(target));
    if (!openStaging(out, error))
        return false;
    int chunks = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunkSize);
        if ((chunk.isEmpty() && in.error() != QFileDevice::NoError) || out.write(chunk) != chunk.size())
            return abandon(out, out.error() != QFileDevice::NoError ? out.errorString() : in.errorString(), error);
        if (++chunks == 1)
            crashpoint::reach("copy-first-chunk");
    }
    return finish(out, target, mode, error);
}

bool write(const QByteArray& bytes, const QString& target, Mode mode, QString* error, const QString& staging)
{
    if (mode == Mode::NoReplace && QFileInfo::exists(target))
        return fail(error, QStringLiteral("文件已存在。"));
    QFile out(staging.isEmpty() ? stagingName(target) : staging);
    if (!openStaging(out, error))
        return false;
    if (out.write(bytes) != bytes.size())
        return abandon(out, out.errorString(), error);
    return finish(out, target, mode, error);
}

} // namespace atomicfile
