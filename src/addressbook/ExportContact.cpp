#include "ExportContact.h"
#include "ui_ExportContact.h"

#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "WritableCopy.h"
#include "XlsBook.h"
#include "db/JetDate.h"
#include "db/Recordset.h"

#include <QDate>
#include <QFile>

namespace {

// The exported fields, in the order of columns A to L.
const char* const kColumns[] = {"Name",     "MobilePhone", "Sex",      "Birthday", "Vocation", "Job",
                                "IdCardNum", "EMail",       "Marriage", "Favorite", "Address",  "Remark"};
constexpr int kBirthdayColumn = 3;
// How often the progress is painted while the export keeps the window thread.
constexpr int kPaintEvery = 500;

QString cellText(int column, const QVariant& value)
{
    if (value.isNull())
        return QString();
    const QString text = value.toString();
    if (column == kBirthdayColumn) {
        // Stored dates start "yyyy-mm-dd": taken as they are, which is much quicker than
        // reading the date and its time of day; other forms go through the full reading.
        const QString day = text.left(10);
        if (QDate::fromString(day, QStringLiteral("yyyy-MM-dd")).isValid())
            return day;
        if (const auto date = db::JetDate::parse(text))
            return date->date().toString(QStringLiteral("yyyy-MM-dd"));
    }
    return text;
}

} // namespace

ExportContact::ExportContact(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ExportContact>())
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ExportContact::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->AeroCheckBox1, &QCheckBox::toggled, ui->Combo1, [this](bool all) { ui->Combo1->setEnabled(!all); });

    RunReported(this, [this] {
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [ContactCategory]"), SharedConnection());
        for (; !rs.IsEOF(); rs.MoveNext())
            ui->Combo1->addItem(NullToEmpty(rs.Field(QStringLiteral("CategoryName"))),
                                rs.Field(QStringLiteral("id")).toLongLong());
        rs.Close();
    });
    ui->Combo1->setCurrentIndex(-1);
}

ExportContact::~ExportContact() = default;

QString ExportContact::contactFilter() const
{
    if (ui->AeroCheckBox1->isChecked())
        return QString();
    return QStringLiteral(" where CatID=") + QString::number(ui->Combo1->currentData().toLongLong());
}

QString ExportContact::chooseTarget()
{
    for (;;) {
        const QString path = Desktop::instance().saveFile(QStringLiteral("Excel文件(*.xls)|*.xls"), this);
        if (path.isEmpty() || !QFile::exists(path))
            return path;
        ShowHint(QStringLiteral("已存在一个同名的文件，请修改要保存的文件名！"), this);
    }
}

void ExportContact::AeroButton1_Click()
{
    if (!ui->AeroCheckBox1->isChecked() && ui->Combo1->currentText().isEmpty()) {
        MsgBox(QStringLiteral("请先选择要导出的类别！"), QStringLiteral("导出提示"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        ui->Combo1->setFocus();
        return;
    }

    int total = 0;
    if (!RunReported(this, [&] {
            total = SharedConnection().scalar(QStringLiteral("select count(*) from [ContactList]") + contactFilter()).toInt();
        }))
        return;
    // A sheet of an .xls file ends at row 65,536: refuse before the user picks a file for
    // a workbook that could not hold them all.
    if (total > kMaxContacts) {
        MsgBox(QStringLiteral("要导出的联系人共%1个，超过了Excel工作表最多能容纳的%2个，请按类别分批导出！")
                   .arg(total)
                   .arg(kMaxContacts),
               QStringLiteral("导出提示"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
        return;
    }

    const QString target = chooseTarget();
    if (target.isEmpty())
        return;

    int written = 0;
    const bool done = RunReported(this, [&] { written = exportTo(target, total); });
    ui->AeroButton2->setEnabled(true);
    if (!done)
        return;
    MsgBox(QStringLiteral("导出通讯录资料") + QString::number(written) + QStringLiteral("个"),
           QStringLiteral("导出完成"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    accept();
}

int ExportContact::exportTo(const QString& target, int total)
{
    const QString templatePath = ProgramFolder() + QStringLiteral("/ExportTem.dat");
    if (!QFile::exists(templatePath))
        throw HelperError(53, QStringLiteral("文件未找到：") + templatePath);
    if (!CopyWritable(templatePath, target))
        throw HelperError(75, QStringLiteral("路径/文件访问错误：") + target);
    ui->AeroButton2->setEnabled(false);

    // The copy is read and written back whole, so all the template holds besides the rows
    // written here stays as shipped.
    XlsBook book;
    if (!book.load(target))
        throw HelperError(1004, book.error());
    const int sheet = book.findSheet(QStringLiteral("Sheet1"));
    if (sheet < 0)
        throw HelperError(9, QStringLiteral("下标越界：模板中没有工作表Sheet1"));

    QString select;
    for (const char* column : kColumns)
        select += (select.isEmpty() ? QString() : QStringLiteral(",")) + QString::fromLatin1(column);
    auto rows = SharedConnection().prepare(QStringLiteral("select ") + select + QStringLiteral(" from [ContactList]") +
                                contactFilter());

    ui->AeroProgressBar1->setMaximum(total + 1);
    book.reserve(sheet, total * int(std::size(kColumns)));
    int r = 1;
    while (rows->next()) {
        ++r;
        for (int column = 0; column < int(std::size(kColumns)); ++column) {
            if (!book.setText(sheet, r - 1, column, cellText(column, rows->value(column))))
                throw HelperError(1004, book.error());
        }
        // Shown every few hundred rows: nobody sees the values in between, as the window
        // does not paint while the export runs, and setting them costs more than the row.
        if (r % kPaintEvery == 0)
            showProgress(r, total, true);
    }
    if (r > 1)
        showProgress(r, total, false);
    rows.reset();
    // Written under another name and renamed at the end: a failure leaves the plain copy.
    if (!book.save(target))
        throw HelperError(1004, book.error());
    return r - 1;
}

void ExportContact::showProgress(int r, int total, bool paint)
{
    ui->AeroProgressBar1->setValue(std::min(r, total + 1));
    ui->Label2->setText(QString::number(r - 1) + QLatin1Char('/') + QString::number(total));
    if (paint) {
        ui->AeroProgressBar1->repaint();
        ui->Label2->repaint();
    }
}
