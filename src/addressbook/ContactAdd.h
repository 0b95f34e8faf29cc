#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ContactAdd;
}

// "添加联系人资料": stores a new contact once its checks pass and no contact has the number as
// typed. "关　闭" closes without storing.
class ContactAdd final : public QDialog
{
    Q_OBJECT
public:
    // selectedCategory: the name of the category node chosen in the tree (null for a root),
    // preselected in the category list. Reads the categories (failures are shown).
    explicit ContactAdd(const QString& selectedCategory, QWidget* parent = nullptr);
    ~ContactAdd() override;

    void AeroButton1_Click(); // "添　加"

private:
    std::unique_ptr<Ui::ContactAdd> ui;
};
