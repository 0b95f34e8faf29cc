#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ContactEdit;
}

// "修改联系人资料": shows one contact and overwrites it once the checks pass (another contact
// may have the same number). "关　闭" closes without storing.
class ContactEdit final : public QDialog
{
    Q_OBJECT
public:
    // Reads the categories and the contact. A contact that no longer exists is reported with
    // "读取数据出错！"; loaded() is then false and the dialog is not to be shown.
    explicit ContactEdit(qint32 contactId, QWidget* parent = nullptr);
    ~ContactEdit() override;

    bool loaded() const { return m_loaded; }
    qint32 ContactId() const { return m_contactId; }

    void AeroButton1_Click(); // "修　　改"

private:
    void load();
    void reportMissing();
    QString rowSql() const;

    std::unique_ptr<Ui::ContactEdit> ui;
    qint32 m_contactId;
    bool m_loaded = false;
};
