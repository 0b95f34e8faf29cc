#include "VersionReply.h"

#include "PublicFunction.h"

namespace updater {

QStringList SplitVersionReply(const QByteArray& body)
{
    return BytesToBstr(body).split(QStringLiteral("\r\n"));
}

} // namespace updater
