#include "UserFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace {

const QString kDatabaseSuffix = QStringLiteral(".mdb");

QString foldAscii(QString text)
{
    for (QChar& c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return text;
}

} // namespace

bool IsReservedUserName(const QString& name)
{
    const QString folded = foldAscii(name);
    return folded == QLatin1String("data") || folded == QLatin1String("user");
}

QString UserFileStem(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name + kDatabaseSuffix)))
        return name;
    QStringList files = dir.entryList(QDir::Files);
    // Plain code-unit order, so that two spellings left by an older version always give the same one.
    std::sort(files.begin(), files.end());
    const QString wanted = foldAscii(name);
    for (const QString& file : files) {
        if (!file.endsWith(kDatabaseSuffix))
            continue;
        const QString stem = file.chopped(kDatabaseSuffix.size());
        if (foldAscii(stem) == wanted)
            return stem;
    }
    return name;
}
