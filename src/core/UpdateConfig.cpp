#include "UpdateConfig.h"

#include "CodePage.h"
#include "DataStore.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kFileName = QStringLiteral("update.ini");

} // namespace

QString ReadUpdateUrl(bool* found, const QString& preferredFolder)
{
    const QString preferred = preferredFolder + QLatin1Char('/') + kFileName;
    const QString path =
        !preferredFolder.isEmpty() && QFileInfo::exists(preferred) ? preferred : ProgramFile(kFileName);
    QString line;
    const bool read = codepage::readFirstLine(path, &line);
    if (found)
        *found = read;
    return read ? line : QString();
}

bool WriteUpdateUrl(const QString& url)
{
    QSaveFile file(ProgramFile(kFileName));
    // A folder that only lets the existing file be rewritten still gets the new address.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(codepage::encode(url + QStringLiteral("\r\n")));
    return file.commit();
}
