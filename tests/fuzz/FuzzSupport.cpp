#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

namespace fuzz {

namespace {
QTemporaryDir* g_dir = nullptr;
}

QString scratchFolder()
{
    if (!g_dir) {
        g_dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/quorvel-fuzz-XXXXXX"));
        std::atexit([] {
            delete g_dir;
            g_dir = nullptr;
        });
    }
    return g_dir->path();
}

QString writeScratchFile(const QString& name, const QByteArray& bytes)
{
    const QString path = scratchFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort(); // the harness itself is broken; no input is tested
    return path;
}

} // namespace fuzz
