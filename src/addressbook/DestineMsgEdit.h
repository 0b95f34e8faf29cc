#pragma once

#include "CategoryNameEdit.h"

// "修改分类": renames one phrase category.
class DestineMsgEdit final : public CategoryNameEdit
{
    Q_OBJECT
public:
    // categoryId: the id of the category to rename (its node's key without the "C").
    explicit DestineMsgEdit(const QString& categoryId, QWidget* parent = nullptr);
};
