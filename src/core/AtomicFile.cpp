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
    const QString staging = stagingName(target);
    QFile::remove(staging); // left by a step that died half-way
    QFile out(staging);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(error, out.errorString());
    int chunks = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunkSize);
        if ((chunk.isEmpty() && in.error() != QFileDevice::NoError) || out.write(chunk) != chunk.size()) {
            const QString reason = out.error() != QFileDevice::NoError ? out.errorString() : in.errorString();
            out.close();
            QFile::remove(staging);
            return fail(error, reason);
        }
        if (++chunks == 1)
            crashpoint::reach("copy-first-chunk");
    }
    if (!out.flush()) {
        const QString reason = out.errorString();
        out.close();
        QFile::remove(staging);
        return fail(error, reason);
    }
    out.close();
    return commit(staging, target, mode, error);
}

} // namespace atomicfile
