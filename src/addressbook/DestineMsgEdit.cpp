#include "DestineMsgEdit.h"

DestineMsgEdit::DestineMsgEdit(const QString& categoryId, QWidget* parent)
    : CategoryNameEdit(QStringLiteral("MsgCategory"), categoryId, QStringLiteral("修改分类"), parent)
{
}
