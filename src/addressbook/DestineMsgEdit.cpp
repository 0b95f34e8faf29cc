#include "DestineMsgEdit.h"

#include "AddressBookBoxes.h"
#include "CategoryRows.h"
#include "DataStore.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"
#include "db/Recordset.h"
#include "ui_DestineMsgEdit.h"

namespace {
const QString kTable = QStringLiteral("MsgCategory");
}

DestineMsgEdit::DestineMsgEdit(const QString& categoryId, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::DestineMsgEdit>()), m_categoryId(categoryId),
      m_rs(std::make_unique<db::Recordset>())
{
    ui->setupUi(this);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &DestineMsgEdit::AeroButton2_Click);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &QDialog::reject);
    RunReported(this, [this] { Form_Load(); });
}

DestineMsgEdit::~DestineMsgEdit() = default;

void DestineMsgEdit::Form_Load()
{
    m_rs->Open(QStringLiteral("select * from [%1] where id=").arg(kTable) + m_categoryId, SharedConnection(),
               db::LockType::Optimistic);
    if (m_rs->RecordCount() > 0)
        ui->Text1->setText(NullToEmpty(m_rs->Field(QStringLiteral("CategoryName"))));
}

void DestineMsgEdit::AeroButton2_Click()
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
    RunReported(this, [&] {
        if (CategoryRows::countOthersNamed(kTable, name, m_categoryId) > 0) {
            ReportDuplicateCategory(*ui->Text1, this);
            return;
        }
        m_rs->SetField(QStringLiteral("CategoryName"), name);
        m_rs->Update();
        m_rs->Close();
        accept();
    });
}

QLineEdit* DestineMsgEdit::Text1() const
{
    return ui->Text1;
}
QPushButton* DestineMsgEdit::AeroButton1() const
{
    return ui->AeroButton1;
}
QPushButton* DestineMsgEdit::AeroButton2() const
{
    return ui->AeroButton2;
}
