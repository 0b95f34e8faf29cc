#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ContactCategoryAdd;
}

// "添加通讯录分类": adds a top-level contact category under a trimmed name that no other
// category has. Closes itself once the row is stored; "取消" closes it without storing.
class ContactCategoryAdd final : public QDialog
{
    Q_OBJECT
public:
    explicit ContactCategoryAdd(QWidget* parent = nullptr);
    ~ContactCategoryAdd() override;

    void AeroButton2_Click(); // "添加"

private:
    std::unique_ptr<Ui::ContactCategoryAdd> ui;
};
