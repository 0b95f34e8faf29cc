#pragma once

#include <QByteArray>
#include <QStringList>

namespace updater {

// The version query's reply body as its lines: decoded in the code page and split at CR LF.
// The first line is the latest version, the second the package address. Raises HelperError
// when the body ends inside a double-byte character.
QStringList SplitVersionReply(const QByteArray& body);

} // namespace updater
