#include "ContactCategoryEdit.h"
#include "ui_ContactCategoryEdit.h"

#include "AddressBookBoxes.h"
#include "DataStore.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"

ContactCategoryEdit::ContactCategoryEdit(qint64 categoryId, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ContactCategoryEdit>()), m_categoryId(categoryId),
      m_rs(std::make_unique<db::Recordset>())
{
    ui->setupUi(this);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ContactCategoryEdit::AeroButton2_Click);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &QDialog::reject);

    try {
        m_rs->Open(QStringLiteral("select * from [ContactCategory] where id=") + QString::number(m_categoryId),
                   SharedConnection(), db::LockType::Optimistic);
        if (m_rs->RecordCount() > 0)
            ui->Text1->setText(NullToEmpty(m_rs->Field(QStringLiteral("CategoryName"))));
    } catch (const db::DbError& error) {
        // The box stays empty; a save is refused below.
        ShowProgramError(error, this);
    }
}

ContactCategoryEdit::~ContactCategoryEdit() = default;

bool ContactCategoryEdit::hasRow() const
{
    return m_rs->IsOpen() && m_rs->RecordCount() > 0;
}

void ContactCategoryEdit::AeroButton2_Click()
{
    const QString name = TakeCategoryName(*ui->Text1, this);
    if (name.isEmpty())
        return;
    if (!hasRow()) {
        // The category went away after the tree was drawn: there is nothing left to rename.
        ShowHint(QStringLiteral("请先选择一个要修改的类别！"), this);
        reject();
        return;
    }
    try {
        db::Recordset same;
        same.Open(QStringLiteral("select * from [ContactCategory] where CategoryName='") + SqlQuote(name) +
                      QStringLiteral("'and  id<>") + QString::number(m_categoryId),
                  SharedConnection(), db::LockType::ReadOnly);
        const auto others = qint16(same.RecordCount());
        same.Close();
        if (others >= 1) {
            ReportDuplicateCategory(*ui->Text1, this);
            return;
        }
        m_rs->SetField(QStringLiteral("CategoryName"), name);
        m_rs->Update();
        m_rs->Close();
    } catch (const db::DbError& error) {
        ShowProgramError(error, this);
        return;
    }
    accept();
}

QLineEdit* ContactCategoryEdit::Text1() const
{
    return ui->Text1;
}
QPushButton* ContactCategoryEdit::AeroButton1() const
{
    return ui->AeroButton1;
}
QPushButton* ContactCategoryEdit::AeroButton2() const
{
    return ui->AeroButton2;
}
