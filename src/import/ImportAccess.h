#pragma once

#include <QDialog>
#include <array>
#include <memory>

class QComboBox;
class SourceDatabase;
class SourceTable;
namespace Ui {
class ImportAccess;
}

// "Access导入": fills [DraftBox] from a table of another database file. The user picks the
// file, a table, the field of the mobile number and up to five fields for the variables A to E;
// every row with a valid number becomes a [DraftBox] row. The import yields to the window as it
// runs ("关闭" stops it) and closes the dialog when it ends.
class ImportAccess final : public QDialog
{
    Q_OBJECT
public:
    explicit ImportAccess(QWidget* parent = nullptr);
    ~ImportAccess() override;

    // Empties the six field lists, adds "无" to each and selects it.
    void ResetCombos();

    void AeroButton1_Click(); // "…"
    void AeroButton2_Click(); // "开始"
    void AeroButton3_Click(); // "关闭"

    // Combo1 "手机号", Combo2 to Combo6 "A列" to "E列", Combo7 "数据表".
    QComboBox* Combo(int number) const;

    void done(int result) override;

private:
    void Combo7_Click();
    void showProgress(int read);
    void releaseSource();

    std::unique_ptr<Ui::ImportAccess> ui;
    std::array<QComboBox*, 7> m_combos{}; // Combo1 to Combo7
    std::unique_ptr<SourceDatabase> m_source;
    std::unique_ptr<SourceTable> m_table;
    int m_total = 0;
    bool m_cancel = false;
    bool m_importing = false;
};
