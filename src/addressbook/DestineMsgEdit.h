#pragma once

#include <QDialog>
#include <memory>

class QLineEdit;
class QPushButton;
namespace Ui {
class DestineMsgEdit;
}
namespace db {
class Recordset;
}

// "修改分类": renames one phrase category. Holds that category's row from its load to the save.
class DestineMsgEdit final : public QDialog
{
    Q_OBJECT
public:
    // categoryId: the id of the category to rename (its node's key without the "C").
    explicit DestineMsgEdit(const QString& categoryId, QWidget* parent = nullptr);
    ~DestineMsgEdit() override;

    void AeroButton2_Click(); // "修改"

    QLineEdit* Text1() const;
    QPushButton* AeroButton1() const;
    QPushButton* AeroButton2() const;

private:
    void Form_Load();

    std::unique_ptr<Ui::DestineMsgEdit> ui;
    QString m_categoryId;
    std::unique_ptr<db::Recordset> m_rs;
};
