// The update server's version reply: decoded, split into lines, and the first line checked as
// the name of the package file.
#include "FuzzSupport.h"
#include "PublicFunction.h"
#include "updater/Package.h"
#include "updater/VersionReply.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const QStringList lines = updater::SplitVersionReply(fuzz::bytes(data, size));
        if (lines.isEmpty())
            std::abort(); // even an empty reply is one (empty) line
        const QString package = lines.at(0) + QStringLiteral(".pag");
        if (updater::isSafeFileName(package) &&
            (package.contains(QLatin1Char('/')) || package.contains(QLatin1Char('\\')) || package.contains(QLatin1String(".."))))
            std::abort();
    } catch (const HelperError&) {
    }
    return 0;
}
