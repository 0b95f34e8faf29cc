#include "AtomicFile.h"

#include "CrashPoint.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
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

int systemRenameNoReplace(const char* from, const char* to)
{
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

PlaceCalls g_calls;

int callLink(const char* from, const char* to)
{
    return g_calls.link ? g_calls.link(from, to) : ::link(from, to);
}

int callRenameNoReplace(const char* from, const char* to)
{
    return g_calls.renameNoReplace ? g_calls.renameNoReplace(from, to) : systemRenameNoReplace(from, to);
}

// The answers of a file system that has no such call at all, as opposed to one that refused
// this name (an existing target, no permission, a full disk).
bool linkUnsupported(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

bool renameFlagsUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
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

// The last way to put the staged file under a new name: the name is created exclusively, so an
// existing file is never touched, and filled from the staged file. Unlike a rename this is not
// one step: a crash while it runs leaves a part of the file under the name. It serves only file
// systems that have neither hard links nor an exclusive rename.
bool copyToNewName(const char* from, const char* to, QString* reason)
{
    const int in = ::open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *reason = systemError();
        return false;
    }
    const int out = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        *reason = systemError();
        ::close(in);
        return false;
    }
    QByteArray buffer(int(kChunkSize), Qt::Uninitialized);
    bool ok = true;
    for (ssize_t got = 0; ok && (got = ::read(in, buffer.data(), size_t(buffer.size()))) != 0;) {
        if (got < 0) {
            ok = errno == EINTR;
            continue;
        }
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::write(out, buffer.constData() + done, size_t(got - done));
            ok = put > 0 || (put < 0 && errno == EINTR);
            done += put > 0 ? put : 0;
        }
    }
    ok = ok && ::fsync(out) == 0;
    if (!ok)
        *reason = systemError();
    if (::close(out) != 0 && ok) {
        *reason = systemError();
        ok = false;
    }
    ::close(in);
    if (!ok)
        ::unlink(to);
    return ok;
}

// Gives the staged file the target's name unless that name is taken. A hard link does it in one
// step; where the file system has none, an exclusive rename does, and failing that the bytes are
// copied to the new name.
bool placeNew(const char* from, const char* to, QString* reason)
{
    if (callLink(from, to) == 0)
        return true;
    if (!linkUnsupported(errno)) {
        *reason = systemError();
        return false;
    }
    if (callRenameNoReplace(from, to) == 0)
        return true;
    if (!renameFlagsUnsupported(errno)) {
        *reason = systemError();
        return false;
    }
    return copyToNewName(from, to, reason);
}

// The step that gives the staged file the target's name. The crash point is inside it, so that
// whatever commit() did to the target before is seen by a process that dies at this instant.
bool place(const char* from, const char* to, Mode mode, QString* reason)
{
    crashpoint::reach("commit-rename");
    if (mode == Mode::NoReplace)
        return placeNew(from, to, reason);
    if (::rename(from, to) == 0)
        return true;
    *reason = systemError();
    return false;
}

} // namespace

PlaceCalls setPlaceCalls(const PlaceCalls& calls)
{
    const PlaceCalls before = g_calls;
    g_calls = calls;
    return before;
}

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
    QString reason;
    const bool placed = place(from.constData(), to.constData(), mode, &reason);
    // A link leaves the staging name behind; a failed step leaves the whole staging file.
    if (!placed || mode == Mode::NoReplace)
        ::unlink(from.constData());
    if (!placed)
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

bool write(const QByteArray& bytes, const QString& target, Mode mode, QString* error, const QString& staging,
           QFileDevice::Permissions added)
{
    if (mode == Mode::NoReplace && QFileInfo::exists(target))
        return fail(error, QStringLiteral("文件已存在。"));
    QFile out(staging.isEmpty() ? stagingName(target) : staging);
    if (!openStaging(out, error))
        return false;
    if (out.write(bytes) != bytes.size())
        return abandon(out, out.errorString(), error);
    if (added && !out.setPermissions(out.permissions() | added))
        return abandon(out, out.errorString(), error);
    return finish(out, target, mode, error);
}

} // namespace atomicfile
