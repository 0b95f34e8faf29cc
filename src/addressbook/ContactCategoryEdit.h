#pragma once

#include "CategoryNameEdit.h"

// "修改通讯录分类": renames one contact category.
class ContactCategoryEdit final : public CategoryNameEdit
{
    Q_OBJECT
public:
    explicit ContactCategoryEdit(qint64 categoryId, QWidget* parent = nullptr);
};
