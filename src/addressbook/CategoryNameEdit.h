#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CategoryNameEdit;
}
namespace db {
class Recordset;
}

// The rename dialog of a one-level category table: "修改" stores the trimmed name unless another
// category of the table has it, "取消" closes without storing. The category's row is held from
// the load to the save, so that a category deleted meanwhile is noticed rather than recreated.
class CategoryNameEdit : public QDialog
{
    Q_OBJECT
public:
    ~CategoryNameEdit() override;

    void AeroButton2_Click(); // "修改"

protected:
    // table: [ContactCategory] or [MsgCategory]; categoryId: the id, as the node key carries it.
    CategoryNameEdit(const QString& table, const QString& categoryId, const QString& title, QWidget* parent);

private:
    std::unique_ptr<Ui::CategoryNameEdit> ui;
    QString m_table;
    QString m_categoryId;
    std::unique_ptr<db::Recordset> m_rs;
};
