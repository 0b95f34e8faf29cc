#pragma once

#include <QDialog>
#include <QVariant>
#include <array>
#include <memory>

class QComboBox;
struct CellValue;
namespace Ui {
class ImportContact;
}

// "从Excel导入联系人": adds the rows of one worksheet to the address book, in the chosen
// category, with the sheet's columns mapped to the contact's fields by their header texts.
// Each of its three steps (file, sheet, import) reads the workbook afresh and lets it go again.
class ImportContact final : public QDialog
{
    Q_OBJECT
public:
    explicit ImportContact(QWidget* parent = nullptr);
    ~ImportContact() override;

    // Every mapping list back to its single entry "无", selected.
    void ResetCombos();
    void AeroButton1_Click();       // "…": choose the workbook
    void Combo1_Click();            // a sheet picked
    void AeroButton2_Click();       // "开始"

    // "男" or "女" as they are; anything else gives the empty text.
    static QString ToSexText(const CellValue& value);
    // The date a cell holds or its text names (the ways dates are written here: 1990-5-6,
    // 1990/05/06, 1990.5.6, 1990年5月6日), as a stored date without time; Null otherwise.
    static QVariant ToDateOrNull(const CellValue& value);

    QComboBox* Combo(int number) const; // Combo1 to Combo14

    // "关闭", the Escape key and the close box: a running import stops before its next row.
    void reject() override;

private:
    bool checkInputs();
    void runImport();
    void setRunning(bool running);

    std::unique_ptr<Ui::ImportContact> ui;
    std::array<QComboBox*, 14> m_combos{}; // Combo1 to Combo14
    int m_rowCount = 0;
    bool m_cancel = false;
};
