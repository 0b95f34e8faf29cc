#pragma once

#include <QDialog>
#include <array>
#include <memory>

class QComboBox;
class QTimer;
namespace Ui {
class ImportExcel2;
}

// "个性短信一对一Excel导入": shows the workbook of g_ExcelPath read-only; the user brings a sheet to
// the front, picks the column of the mobile number and up to five columns for the variables A
// to E, and starts the import, which puts every row with a valid number into [DraftBox]. The
// lists follow the sheet in front (Timer1 looks every 500 ms).
class ImportExcel2 final : public QDialog
{
    Q_OBJECT
public:
    explicit ImportExcel2(QWidget* parent = nullptr);
    ~ImportExcel2() override;

    // Opens g_ExcelPath in the view and starts Timer1. A workbook the view refuses is reported
    // in a box and the dialog does not show: false then.
    bool Form_Load();
    // Runs the load, then the dialog modally when the load succeeded.
    int exec() override;

    // Empties the six lists, adds "无" to each and selects it.
    void ResetCombos();
    // One look at the sheet in front: rebuilds the lists when another sheet came to the front.
    void Timer1_Timer();
    void AeroButton2_Click(); // "开始"

    // Combo1 "手机号", Combo2 to Combo6 "内容A" to "内容E".
    QComboBox* Combo(int number) const;

    void done(int result) override;

private:
    std::unique_ptr<Ui::ImportExcel2> ui;
    std::array<QComboBox*, 6> m_combos{}; // Combo1 to Combo6
    QTimer* m_timer1 = nullptr;
    QString m_lastSheet;
    int m_rowTotal = 0;
    bool m_loaded = false;
    bool m_cancel = false;
    bool m_importing = false;
    bool m_tickBoxOpen = false;
};
