#pragma once

#include <QDialog>
#include <memory>

class SendPage;
namespace Ui {
class ExpressExcel;
}

// "Excel导入" of the plain number list: shows the workbook of g_ExcelPath read-only; "导入(&I)"
// adds every valid mobile number of the selected cells to the list and removes duplicates.
class ExpressExcel final : public QDialog
{
    Q_OBJECT
public:
    ExpressExcel(SendPage& numberList, QWidget* parent = nullptr);
    ~ExpressExcel() override;

    // Opens g_ExcelPath in the view. A workbook the view refuses is reported in a box and the
    // dialog does not show: false then.
    bool Form_Load();
    // Runs the load, then the dialog modally when the load succeeded.
    int exec() override;

    // "导入(&I)".
    void AeroButton2_Click();
    // The numbers of the last import, before duplicates were removed.
    qint32 importedCount() const { return m_count; }

    void done(int result) override;

private:
    std::unique_ptr<Ui::ExpressExcel> ui;
    SendPage& m_list;
    bool m_loaded = false;
    qint32 m_count = 0;
};
