#include "WritableCopy.h"

#include <QFile>

bool CopyWritable(const QString& source, const QString& target)
{
    if (!QFile::copy(source, target))
        return false;
    QFile copy(target);
    if (copy.setPermissions(copy.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser))
        return true;
    copy.remove();
    return false;
}
