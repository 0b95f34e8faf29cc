#include "ContactForm.h"
#include "ui_ContactForm.h"

#include "DataStore.h"
#include "ElidedCombo.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "db/Clock.h"
#include "db/JetDate.h"

namespace {
// Room for the usual category name; a longer one is shown cut.
constexpr int kCategoryChars = 16;
} // namespace

ContactForm::ContactForm(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::ContactForm>())
{
    ui->setupUi(this);
    // Sex and marital status take any text; nothing is offered until the user chooses.
    ui->Combo1->setCurrentIndex(-1);
    ui->Combo2->setCurrentIndex(-1);
    ui->DTPicker1->setMinimumDate(QDate(1900, 1, 1));
    setBirthday(false, db::Clock::today());
    connect(ui->AeroCheckBox1, &QCheckBox::toggled, ui->DTPicker1, &QWidget::setEnabled);
    CapComboWidth(*ui->Combo3, kCategoryChars);
}

ContactForm::~ContactForm() = default;

void ContactForm::loadCategories(const QString& preselect)
{
    ui->Combo3->clear();
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [ContactCategory]"), SharedConnection(), db::LockType::ReadOnly);
    int chosen = -1;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        const QString name = NullToEmpty(rs.Field(QStringLiteral("CategoryName")));
        ui->Combo3->addItem(name, qint32(rs.Field(QStringLiteral("id")).toInt()));
        if (!preselect.isNull() && name == preselect)
            chosen = ui->Combo3->count() - 1;
    }
    rs.Close();
    ui->Combo3->setCurrentIndex(chosen);
}

void ContactForm::selectCategory(qint64 categoryId)
{
    ui->Combo3->setCurrentIndex(ui->Combo3->findData(qint32(categoryId)));
}

bool ContactForm::validate()
{
    if (ui->Text1->text().trimmed().isEmpty()) {
        ShowHint(QStringLiteral("姓名不能为空"), this, ui->Text1);
        return false;
    }
    if (ui->Text2->text().trimmed().isEmpty()) {
        ShowHint(QStringLiteral("手机号不能为空"), this, ui->Text2);
        return false;
    }
    // Tested on a copy: the number is stored as typed.
    QString number = ui->Text2->text();
    if (!IsMobileNumber(number)) {
        ShowHint(QStringLiteral("您输入的手机号有误"), this, ui->Text2);
        return false;
    }
    if (ui->Combo3->currentText().trimmed().isEmpty()) {
        ShowHint(QStringLiteral("请选择所属分类"), this, ui->Combo3);
        return false;
    }
    return true;
}

void ContactForm::setBirthday(bool known, const QDate& date)
{
    ui->AeroCheckBox1->setChecked(known);
    ui->DTPicker1->setDate(date);
    ui->DTPicker1->setEnabled(known);
}

void ContactForm::readFrom(const db::Recordset& rs)
{
    const auto text = [&rs](const char* field) { return NullToEmpty(rs.Field(QString::fromLatin1(field))); };
    ui->Text1->setText(text("Name"));
    ui->Text2->setText(text("MobilePhone"));
    ui->Combo1->setEditText(text("Sex"));
    ui->Combo2->setEditText(text("Marriage"));
    ui->Text4->setPlainText(text("IdCardNum"));
    ui->Text3->setText(text("Vocation"));
    ui->Text5->setText(text("Job"));
    ui->Text6->setText(text("Favorite"));
    ui->Text7->setText(text("EMail"));
    ui->Text8->setText(text("Address"));
    ui->Text9->setPlainText(text("Remark"));

    // A birthday text that names no date (a damaged import) is left unticked, so that saving
    // does not replace it by the picker's date unless the user ticks the box.
    const auto birthday = db::JetDate::parse(text("Birthday"));
    if (birthday)
        setBirthday(true, birthday->date());
    else
        setBirthday(false, db::Clock::today());
}

void ContactForm::writeTo(db::Recordset& rs) const
{
    rs.SetField(QStringLiteral("Name"), RemoveSpaces(ui->Text1->text()));
    rs.SetField(QStringLiteral("MobilePhone"), ui->Text2->text());
    rs.SetField(QStringLiteral("Sex"), ui->Combo1->currentText());
    if (ui->AeroCheckBox1->isChecked())
        rs.SetField(QStringLiteral("Birthday"), ui->DTPicker1->date());
    rs.SetField(QStringLiteral("Marriage"), ui->Combo2->currentText());
    rs.SetField(QStringLiteral("IdCardNum"), ui->Text4->toPlainText());
    rs.SetField(QStringLiteral("Vocation"), ui->Text3->text());
    rs.SetField(QStringLiteral("Job"), ui->Text5->text());
    rs.SetField(QStringLiteral("Favorite"), ui->Text6->text());
    rs.SetField(QStringLiteral("EMail"), ui->Text7->text());
    rs.SetField(QStringLiteral("Address"), ui->Text8->text());
    rs.SetField(QStringLiteral("Remark"), ui->Text9->toPlainText());
    rs.SetField(QStringLiteral("CatID"), qint32(ui->Combo3->currentData().toInt()));
}

QLineEdit* ContactForm::Text2() const
{
    return ui->Text2;
}
