#include "ImportContact.h"
#include "ui_ImportContact.h"

#include "ContactImportWriter.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "ImportLoop.h"
#include "PublicFunction.h"
#include "SheetRows.h"
#include "Workbook.h"
#include "db/JetDate.h"
#include "db/Recordset.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

constexpr int kFirstMapping = 3; // Combo3
constexpr int kMappings = 12;    // Combo3 to Combo14
constexpr int kNumberList = 1;   // Combo4

QVariant nameValue(const CellValue& cell)
{
    return RemoveSpaces(QVariant(cell.text.isNull() ? QString(QStringLiteral("")) : cell.text));
}

QVariant sexValue(const CellValue& cell)
{
    return ImportContact::ToSexText(cell);
}

QVariant plainValue(const CellValue& cell)
{
    return cell.isEmpty() ? QVariant() : QVariant(cell.text);
}

// The field each mapping list feeds and its value, in the order the lists are written. The
// number list feeds no field of its own: the import reads it as the number.
const ContactImportWriter::Field kFields[kMappings] = {
    {QStringLiteral("Name"), nameValue},       {QStringLiteral("MobilePhone"), nullptr},
    {QStringLiteral("Sex"), sexValue},         {QStringLiteral("Birthday"), ImportContact::ToDateOrNull},
    {QStringLiteral("Vocation"), plainValue},  {QStringLiteral("Job"), plainValue},
    {QStringLiteral("IdCardNum"), plainValue}, {QStringLiteral("EMail"), plainValue},
    {QStringLiteral("Marriage"), plainValue},  {QStringLiteral("Favorite"), plainValue},
    {QStringLiteral("Address"), plainValue},   {QStringLiteral("Remark"), plainValue}};

QString noColumn()
{
    return QStringLiteral("无");
}

void showWorkbookError(const Workbook& book, QWidget* parent)
{
    ShowProgramError(book.errorNumber(), book.errorDescription(), parent);
}

// The sheet of that name in a freshly opened workbook, or -1 after the error box.
int openSheet(Workbook& book, const QString& path, const QString& name, QWidget* parent)
{
    if (!book.open(path)) {
        showWorkbookError(book, parent);
        return -1;
    }
    const QStringList names = book.sheetNames();
    int index = int(names.indexOf(name));
    for (int i = 0; index < 0 && i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            index = i;
    if (index < 0)
        ShowProgramError(9, QStringLiteral("下标越界：工作簿中没有工作表") + name, parent);
    return index;
}

} // namespace

ImportContact::ImportContact(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ImportContact>())
{
    ui->setupUi(this);
    m_combos = {ui->Combo1, ui->Combo2, ui->Combo3,  ui->Combo4,  ui->Combo5,  ui->Combo6,  ui->Combo7,
                ui->Combo8, ui->Combo9, ui->Combo10, ui->Combo11, ui->Combo12, ui->Combo13, ui->Combo14};
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ImportContact::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ImportContact::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &ImportContact::reject);
    connect(ui->Combo1, &QComboBox::activated, this, &ImportContact::Combo1_Click);

    RunReported(this, [this] {
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [ContactCategory]"), SharedConnection());
        for (; !rs.IsEOF(); rs.MoveNext())
            ui->Combo2->addItem(NullToEmpty(rs.Field(QStringLiteral("CategoryName"))),
                                rs.Field(QStringLiteral("id")).toLongLong());
        rs.Close();
    });
    ui->Combo2->setCurrentIndex(-1);
    ResetCombos();
    m_cancel = false;
}

ImportContact::~ImportContact() = default;

void ImportContact::ResetCombos()
{
    for (int i = 0; i < kMappings; ++i) {
        QComboBox* list = Combo(kFirstMapping + i);
        list->clear();
        list->addItem(noColumn());
        list->setCurrentIndex(0);
    }
}

void ImportContact::AeroButton1_Click()
{
    const QString path = Desktop::instance().openFile(QStringLiteral("Excel文件(*.xls)|*.xls"), this);
    if (path.isEmpty())
        return;
    ui->Text1->setText(path);
    ResetCombos();
    Workbook book;
    if (!book.open(path)) {
        showWorkbookError(book, this);
        return;
    }
    ui->Combo1->clear();
    ui->Combo1->addItems(book.sheetNames());
    ui->Combo1->setCurrentIndex(-1);
    book.close();
}

void ImportContact::Combo1_Click()
{
    Workbook book;
    const int index = openSheet(book, ui->Text1->text(), ui->Combo1->currentText(), this);
    if (index < 0)
        return;
    const Worksheet& sheet = book.sheet(index);
    ResetCombos();
    const UsedRange& used = sheet.usedRange();
    for (int j = 1; j <= used.columnCount; ++j) {
        const QString header = sheet.Cells(1, j).text;
        for (int i = 0; i < kMappings; ++i)
            Combo(kFirstMapping + i)->addItem(header);
    }
    m_rowCount = used.rowCount;
    ui->Label5->setText(QStringLiteral("0/") + QString::number(m_rowCount));
    if (m_rowCount > 0)
        ui->AeroProgressBar1->setMaximum(m_rowCount);
    book.close();
}

bool ImportContact::checkInputs()
{
    struct Check
    {
        bool failed;
        const char* message;
        QWidget* focus;
    };
    const Check checks[] = {
        {ui->Text1->text().trimmed().isEmpty(), "请先选择目标Excel文件！", nullptr},
        {ui->Combo1->currentText().trimmed().isEmpty(), "请先选择目标工作簿！", ui->Combo1},
        {ui->Combo2->currentText().trimmed().isEmpty(), "请选择通讯录分类！", ui->Combo2},
        {ui->Combo3->currentText().trimmed() == noColumn(), "请选择姓名列！", ui->Combo3},
        {ui->Combo4->currentText().trimmed() == noColumn(), "请选择手机号码列！", ui->Combo4},
    };
    for (const Check& check : checks) {
        if (!check.failed)
            continue;
        ShowHint(QString::fromUtf8(check.message), this, check.focus);
        return false;
    }
    return true;
}

void ImportContact::AeroButton2_Click()
{
    if (!checkInputs())
        return;
    setRunning(true);
    runImport();
    setRunning(false);
}

void ImportContact::runImport()
{
    Workbook book;
    const int index = openSheet(book, ui->Text1->text(), ui->Combo1->currentText(), this);
    if (index < 0)
        return;
    // Every mapped list but the number's feeds its field, in the order of the lists. The number
    // check drops every blank, those around the number included.
    ImportColumns columns;
    QVector<ContactImportWriter::Field> fields;
    for (int i = 0; i < kMappings; ++i) {
        const int column = Combo(kFirstMapping + i)->currentIndex();
        if (i == kNumberList) {
            columns.number = column;
        } else if (column > 0) {
            columns.values << column;
            fields << kFields[i];
        }
    }
    const qint64 category = ui->Combo2->currentData().toLongLong();
    // Row 1 of the used range is the header row.
    SheetRows rows(book.sheet(index), 2);
    ImportCounts counts;
    const bool completed = RunReported(this, [&] {
        ContactImportWriter writer(SharedConnection(), fields, category, [this](const QString& number) {
            return MsgBox(number + QStringLiteral("已经存在，是否覆盖更新？"), QStringLiteral("存在重复号码"),
                          Desktop::Icon::Question, Desktop::Buttons::YesNo, this) == Desktop::Answer::Yes;
        });
        ImportLoop loop(rows, writer, columns);
        loop.setPace(ImportLoop::Pace::EveryRow);
        loop.setStop([this] { return m_cancel; });
        loop.setYield([this, &rows](const ImportCounts&) {
            ui->AeroProgressBar1->setValue(rows.row());
            ui->Label5->setText(QString::number(rows.row()) + QLatin1Char('/') + QString::number(m_rowCount));
            // "关闭" may be pressed between two rows.
            QCoreApplication::processEvents();
        });
        loop.run(counts);
    });
    book.close();
    if (!completed)
        return;
    MsgBox(QStringLiteral("成功导入联系人") + QString::number(counts.stored) + QStringLiteral("个，存在错误号码") +
               QString::number(counts.rejected) + QStringLiteral("个"),
           QStringLiteral("导入完成"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    if (!m_cancel)
        accept();
}

void ImportContact::setRunning(bool running)
{
    ui->AeroButton1->setEnabled(!running);
    ui->AeroButton2->setEnabled(!running);
    ui->Text1->setEnabled(!running);
    for (QComboBox* list : m_combos)
        list->setEnabled(!running);
}

void ImportContact::reject()
{
    m_cancel = true;
    QDialog::reject();
}

QString ImportContact::ToSexText(const CellValue& value)
{
    if (value.kind == CellValue::Kind::Text &&
        (value.text == QStringLiteral("男") || value.text == QStringLiteral("女")))
        return value.text;
    return QString(QStringLiteral(""));
}

QVariant ImportContact::ToDateOrNull(const CellValue& value)
{
    QDate day;
    if (value.kind == CellValue::Kind::Date) {
        day = value.date.date();
    } else if (value.kind == CellValue::Kind::Text) {
        // Year, month and day with one of "-", "/" or "." between them, or with 年月日; a time
        // of day after the date is allowed and dropped.
        static const QString time = QStringLiteral(R"((?:\s+\d{1,2}:\d{1,2}(?::\d{1,2})?)?\s*$)");
        static const QRegularExpression separated(QStringLiteral(R"(^\s*(\d{4})([-/.])(\d{1,2})\2(\d{1,2}))") + time);
        static const QRegularExpression chinese(
            QStringLiteral(R"(^\s*(\d{4})\s*年\s*(\d{1,2})\s*月\s*(\d{1,2})\s*日?)") + time);
        if (const auto m = separated.match(value.text); m.hasMatch())
            day = QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        else if (const auto c = chinese.match(value.text); c.hasMatch())
            day = QDate(c.captured(1).toInt(), c.captured(2).toInt(), c.captured(3).toInt());
    }
    if (!day.isValid())
        return QVariant();
    return db::JetDate::toText(QDateTime(day, QTime(0, 0)));
}

QComboBox* ImportContact::Combo(int number) const
{
    return number >= 1 && number <= int(m_combos.size()) ? m_combos[size_t(number - 1)] : nullptr;
}
