#include "FileDetailsProxy.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QLocale>

FileDetailsProxy::FileDetailsProxy(QObject* parent) : QIdentityProxyModel(parent) {}

QVariant FileDetailsProxy::data(const QModelIndex& index, int role) const
{
    const QVariant shown = QIdentityProxyModel::data(index, role);
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    // An empty cell stays empty: folders have no size.
    if (role != Qt::DisplayRole || !files || shown.toString().isEmpty())
        return shown;
    const QModelIndex source = mapToSource(index);
    switch (index.column()) {
    case kSizeColumn:
        return QLocale().formattedDataSize(files->size(source), 2, QLocale::DataSizeTraditionalFormat);
    case kTypeColumn:
        return files->isDir(source) ? QStringLiteral("文件夹") : shown;
    case kDateColumn:
        return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    default:
        return shown;
    }
}
