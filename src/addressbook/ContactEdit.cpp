#include "ContactEdit.h"
#include "ui_ContactEdit.h"

#include "ContactForm.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"

ContactEdit::ContactEdit(qint32 contactId, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ContactEdit>()), m_contactId(contactId)
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ContactEdit::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    // A failure leaves loaded() false: load() sets it last.
    RunReported(this, [this] { load(); });
}

ContactEdit::~ContactEdit() = default;

QString ContactEdit::rowSql() const
{
    return QStringLiteral("select * from [ContactList] where id=") + QString::number(m_contactId);
}

void ContactEdit::reportMissing()
{
    MsgBox(QStringLiteral("读取数据出错！"), QStringLiteral("系统出错"), Desktop::Icon::Exclamation,
           Desktop::Buttons::Ok, this);
}

void ContactEdit::load()
{
    ContactForm& form = *ui->contactForm;
    form.loadCategories();
    db::Recordset rs;
    rs.Open(rowSql(), SharedConnection(), db::LockType::ReadOnly);
    if (rs.RecordCount() < 1) {
        rs.Close();
        reportMissing();
        return;
    }
    form.readFrom(rs);
    // Chosen by id, so a category sharing its name with another keeps its own contacts.
    form.selectCategory(rs.Field(QStringLiteral("CatID")).toLongLong());
    rs.Close();
    m_loaded = true;
}

void ContactEdit::AeroButton1_Click()
{
    ContactForm& form = *ui->contactForm;
    if (!form.validate())
        return;
    bool found = false;
    const bool ok = RunReported(this, [&] {
        db::Recordset rs;
        rs.Open(rowSql(), SharedConnection(), db::LockType::Optimistic);
        found = rs.RecordCount() > 0;
        if (!found)
            return;
        form.writeTo(rs);
        rs.Update();
    });
    if (!ok)
        return;
    if (!found) {
        // Deleted elsewhere while the dialog was open: nothing is left to overwrite.
        reportMissing();
        reject();
        return;
    }
    accept();
}
