#pragma once

#include <QIdentityProxyModel>

// The file dialog's size, type and date columns in the program's default locale. Qt's file model
// writes sizes and dates in the locale of the environment ("9 Dec 2025 14:53:25", "26 bytes") even
// when the program has set its own, and has no Chinese name for a folder's type; this model writes
// them again from the file's size, time and kind.
class FileDetailsProxy final : public QIdentityProxyModel
{
    Q_OBJECT
public:
    // The columns of Qt's file model.
    static constexpr int kSizeColumn = 1;
    static constexpr int kTypeColumn = 2;
    static constexpr int kDateColumn = 3;

    explicit FileDetailsProxy(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};
