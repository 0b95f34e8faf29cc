#include "CategoryNameEdit.h"
#include "ui_CategoryNameEdit.h"

#include "AddressBookBoxes.h"
#include "CategoryRows.h"
#include "DataStore.h"
#include "DialogFrame.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "db/Recordset.h"

CategoryNameEdit::CategoryNameEdit(const QString& table, const QString& categoryId, const QString& title,
                                   QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CategoryNameEdit>()), m_table(table), m_categoryId(categoryId),
      m_rs(std::make_unique<db::Recordset>())
{
    ui->setupUi(this);
    setWindowTitle(title);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &CategoryNameEdit::AeroButton2_Click);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &QDialog::reject);
    // A failed load leaves the box empty; the save then finds no row and refuses.
    RunReported(this, [this] {
        m_rs->Open(QStringLiteral("select * from [%1] where id=").arg(m_table) + m_categoryId, SharedConnection(),
                   db::LockType::Optimistic);
        if (m_rs->RecordCount() > 0)
            ui->Text1->setText(NullToEmpty(m_rs->Field(QStringLiteral("CategoryName"))));
    });
    UseFixedFrame(*this);
}

CategoryNameEdit::~CategoryNameEdit() = default;

void CategoryNameEdit::AeroButton2_Click()
{
    const QString name = TakeCategoryName(*ui->Text1, this);
    if (name.isEmpty())
        return;
    if (!m_rs->IsOpen() || m_rs->RecordCount() == 0) {
        // The category went away after the tree was drawn: there is nothing left to rename.
        ShowHint(QStringLiteral("请先选择一个要修改的类别！"), this);
        reject();
        return;
    }
    bool stored = false;
    RunReported(this, [&] {
        if (CategoryRows::countOthersNamed(m_table, name, m_categoryId) > 0) {
            ReportDuplicateCategory(*ui->Text1, this);
            return;
        }
        m_rs->SetField(QStringLiteral("CategoryName"), name);
        m_rs->Update();
        m_rs->Close();
        stored = true;
    });
    if (stored)
        accept();
}
