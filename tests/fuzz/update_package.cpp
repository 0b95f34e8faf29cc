// A downloaded update package: opened by its first bytes and unpacked into a folder.
#include "FuzzSupport.h"
#include "db/Connection.h"
#include "updater/Package.h"

#include <QDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::writeScratchFile(QStringLiteral("input.pag"), fuzz::bytes(data, size));
    QDir folder(fuzz::scratchFolder() + QStringLiteral("/update"));
    folder.removeRecursively();
    QDir().mkpath(folder.path());
    try {
        auto package = updater::openPackage(path);
        const updater::UnpackResult result = updater::unpackPackage(*package, folder.path(), [] { return true; });
        // Nothing the package names may land outside the folder.
        QDir parent(fuzz::scratchFolder());
        const QStringList around = parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& name : around) {
            if (name != QLatin1String("update") && !name.startsWith(QLatin1String("input.pag")))
                std::abort();
        }
        for (const QString& name : result.written) {
            if (!updater::isSafeFileName(name))
                std::abort();
        }
    } catch (const db::DbError&) {
    } catch (const updater::WriteError&) {
    }
    return 0;
}
