#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ExportContact;
}

// "导出通讯录": writes every contact, or those of one category, into a copy of the shipped
// template ExportTem.dat, one contact a row from row 2 of its sheet "Sheet1".
class ExportContact final : public QDialog
{
    Q_OBJECT
public:
    // The most contacts one sheet holds below its caption row.
    static constexpr int kMaxContacts = 65535;

    explicit ExportContact(QWidget* parent = nullptr);
    ~ExportContact() override;

    void AeroButton1_Click(); // "开始"

private:
    QString contactFilter() const;
    // The file to write, asked until it names no existing file; empty when cancelled.
    QString chooseTarget();
    // Copies the template and fills the copy; the number of contacts written. Failures throw.
    int exportTo(const QString& target, int total);
    // The progress after row r: the bar at r, the text "contacts written/total".
    void showProgress(int r, int total, bool paint);

    std::unique_ptr<Ui::ExportContact> ui;
};
