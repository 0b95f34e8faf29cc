#include "ContactCategoryAdd.h"
#include "ui_ContactCategoryAdd.h"

#include "AddressBookBoxes.h"
#include "DataStore.h"
#include "DialogFrame.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"
#include "db/Recordset.h"

ContactCategoryAdd::ContactCategoryAdd(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ContactCategoryAdd>())
{
    ui->setupUi(this);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ContactCategoryAdd::AeroButton2_Click);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &QDialog::reject);
    UseFixedFrame(*this);
}

ContactCategoryAdd::~ContactCategoryAdd() = default;

void ContactCategoryAdd::AeroButton2_Click()
{
    const QString name = TakeCategoryName(*ui->Text1, this);
    if (name.isEmpty())
        return;
    bool added = false;
    const bool ok = RunReported(this, [&] {
        added = InsertUnlessPresent(QStringLiteral("select * from [ContactCategory] where CategoryName='") +
                                        SqlQuote(name) + QStringLiteral("'"),
                                    [&name](db::Recordset& rs) {
                                        rs.SetField(QStringLiteral("CategoryName"), name);
                                        rs.SetField(QStringLiteral("ParentId"), qint16(0));
                                    });
    });
    if (!ok)
        return;
    if (!added) {
        ReportDuplicateCategory(*ui->Text1, this);
        return;
    }
    accept();
}
