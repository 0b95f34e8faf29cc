#include "LabelEditDelegate.h"

#include <QLineEdit>

LabelEditDelegate::LabelEditDelegate(Handler handler, QObject* parent)
    : QStyledItemDelegate(parent), m_handler(std::move(handler))
{
}

void LabelEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    bool cancel = false;
    m_handler(index, line->text(), cancel);
    if (!cancel)
        model->setData(index, line->text(), Qt::EditRole);
}
