#include "ContactAdd.h"
#include "ui_ContactAdd.h"

#include "AddressBookBoxes.h"
#include "ContactForm.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"

#include <QLineEdit>

ContactAdd::ContactAdd(const QString& selectedCategory, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ContactAdd>())
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ContactAdd::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    RunReported(this, [this, &selectedCategory] { ui->contactForm->loadCategories(selectedCategory); });
}

ContactAdd::~ContactAdd() = default;

void ContactAdd::AeroButton1_Click()
{
    ContactForm& form = *ui->contactForm;
    if (!form.validate())
        return;
    const QString number = form.Text2()->text();
    bool added = false;
    const bool ok = RunReported(this, [&] {
        added = InsertUnlessPresent(QStringLiteral("select * from [ContactList] where MobilePhone='") +
                                        SqlQuote(number) + QStringLiteral("'"),
                                    [&form](db::Recordset& rs) { form.writeTo(rs); });
    });
    if (!ok)
        return;
    if (!added) {
        MsgBox(QStringLiteral("手机号") + number + QStringLiteral("已经存在"), QStringLiteral("手机号码重复"),
               Desktop::Icon::Information, Desktop::Buttons::Ok, this);
        form.Text2()->setFocus();
        return;
    }
    accept();
}
