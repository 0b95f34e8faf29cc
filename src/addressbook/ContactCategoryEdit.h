#pragma once

#include <QDialog>
#include <memory>

class QLineEdit;
class QPushButton;
namespace db {
class Recordset;
}
namespace Ui {
class ContactCategoryEdit;
}

// "修改通讯录分类": renames one contact category to a trimmed name that no other category
// has. The category's row is held from the load to the save; "取消" closes without storing.
class ContactCategoryEdit final : public QDialog
{
    Q_OBJECT
public:
    ContactCategoryEdit(qint64 categoryId, QWidget* parent = nullptr);
    ~ContactCategoryEdit() override;

    void AeroButton2_Click(); // "修改"

    QLineEdit* Text1() const;
    QPushButton* AeroButton1() const;
    QPushButton* AeroButton2() const;

private:
    bool hasRow() const;

    std::unique_ptr<Ui::ContactCategoryEdit> ui;
    qint64 m_categoryId;
    std::unique_ptr<db::Recordset> m_rs;
};
