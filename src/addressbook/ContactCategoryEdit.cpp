#include "ContactCategoryEdit.h"

ContactCategoryEdit::ContactCategoryEdit(qint64 categoryId, QWidget* parent)
    : CategoryNameEdit(QStringLiteral("ContactCategory"), QString::number(categoryId),
                       QStringLiteral("修改通讯录分类"), parent)
{
}
