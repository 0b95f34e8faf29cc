#include "ImportAccess.h"
#include "ui_ImportAccess.h"

#include "DataStore.h"
#include "Desktop.h"
#include "DraftBoxWriter.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "SourceDatabase.h"

#include <QCoreApplication>
#include <QSignalBlocker>
#include <array>

namespace {

const QString kFilter = QStringLiteral("Access数据库(*.mdb)|*.mdb");
const QString kNone = QStringLiteral("无");

} // namespace

ImportAccess::ImportAccess(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ImportAccess>())
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ImportAccess::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ImportAccess::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &ImportAccess::AeroButton3_Click);
    connect(ui->Combo7, &QComboBox::currentIndexChanged, this, &ImportAccess::Combo7_Click);
    ResetCombos();
}

ImportAccess::~ImportAccess() = default;

QComboBox* ImportAccess::Combo(int number) const
{
    switch (number) {
    case 1:
        return ui->Combo1;
    case 2:
        return ui->Combo2;
    case 3:
        return ui->Combo3;
    case 4:
        return ui->Combo4;
    case 5:
        return ui->Combo5;
    case 6:
        return ui->Combo6;
    case 7:
        return ui->Combo7;
    default:
        return nullptr;
    }
}

void ImportAccess::ResetCombos()
{
    for (int number = 1; number <= 6; ++number) {
        QComboBox* combo = Combo(number);
        combo->clear();
        combo->addItem(kNone);
        combo->setCurrentIndex(0);
    }
}

void ImportAccess::AeroButton1_Click()
{
    if (m_importing)
        return; // the rows being read belong to the file shown
    const QString path = Desktop::instance().openFile(kFilter, this);
    if (path.isEmpty())
        return;
    ui->Text1->setText(path);
    {
        const QSignalBlocker quiet(ui->Combo7);
        ui->Combo7->clear();
    }
    releaseSource();
    RunReported(this, [this, &path] {
        m_source = SourceDatabase::open(path);
        const QSignalBlocker quiet(ui->Combo7);
        ui->Combo7->addItems(m_source->tableNames());
        // Nothing is picked until the user picks it.
        ui->Combo7->setCurrentIndex(-1);
    });
}

void ImportAccess::Combo7_Click()
{
    if (m_importing || !m_source || ui->Combo7->currentIndex() < 0)
        return;
    m_table.reset();
    const bool opened = RunReported(this, [this] { m_table = m_source->openTable(ui->Combo7->currentText()); });
    if (!opened) {
        // Nothing stays picked, so that picking the same table again tries it again.
        const QSignalBlocker quiet(ui->Combo7);
        ui->Combo7->setCurrentIndex(-1);
    }
    ResetCombos();
    if (opened) {
        const QStringList fields = m_table->fieldNames();
        for (int number = 1; number <= 6; ++number)
            Combo(number)->addItems(fields);
    }
    m_total = opened ? m_table->recordCount() : 0;
    // A bar whose maximum is 0 shows Qt's busy animation instead of an empty bar.
    ui->AeroProgressBar1->setMaximum(qMax(m_total, 1));
    ui->AeroProgressBar1->setValue(0);
    ui->Label2->setText(QStringLiteral("0/%1").arg(m_total));
}

void ImportAccess::AeroButton2_Click()
{
    if (m_importing)
        return;
    if (ui->Text1->text().isEmpty()) {
        ShowHint(QStringLiteral("请先选择数据库文件！"), this);
        return;
    }
    if (ui->Combo7->currentText().isEmpty()) {
        ShowHint(QStringLiteral("请先选择数据表！"), this);
        return;
    }
    if (ui->Combo1->currentText() == kNone) {
        ShowHint(QStringLiteral("请选择手机号数据列！"), this);
        return;
    }
    if (!m_table)
        return;

    // Fields by their position in the lists: the lists hold "无" and then the fields in order.
    const int numberField = ui->Combo1->currentIndex() - 1;
    std::array<int, 5> variableFields{};
    for (int column = 0; column < 5; ++column)
        variableFields[size_t(column)] = Combo(column + 2)->currentIndex() - 1;

    m_importing = true;
    int read = 0;
    int rejected = 0;
    bool finished = false;
    bool failed = false;
    try {
        // Its destructor commits every row added, also when a failure leaves this block.
        DraftBoxWriter writer(SharedConnection());
        while (true) {
            if (!m_table->fetch()) {
                writer.commit();
                finished = true;
                break;
            }
            if (m_cancel)
                break;
            const QVariant number = m_table->value(numberField);
            QString phone = number.toString();
            // A row without a number is one more rejected row, not the end of the import.
            if (!number.isNull() && IsMobileNumber(phone)) {
                QVariantList values;
                for (const int field : variableFields)
                    values << (field >= 0 ? m_table->value(field) : QVariant());
                writer.add(phone, values);
            } else {
                ++rejected;
            }
            ++read;
            // Input is processed only once the rows before it are committed, so "关闭" (or a
            // failure after it) keeps them all.
            if (writer.commitIfDue()) {
                showProgress(read);
                QCoreApplication::processEvents();
            }
        }
    } catch (...) {
        failed = true;
    }
    m_importing = false;
    showProgress(read);
    releaseSource();
    if (failed) {
        // As specified: a failure during the import closes the dialog without a message; the
        // rows inserted before it stay, and the grid shows them.
        reject();
        return;
    }
    if (!finished)
        return; // "关闭" stopped it; the dialog is already closing
    MsgBox(QStringLiteral("共有%1条记录，错误数据%2条！").arg(read).arg(rejected), QStringLiteral("完成"),
           Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    accept();
}

void ImportAccess::AeroButton3_Click()
{
    reject();
}

void ImportAccess::done(int result)
{
    m_cancel = true;
    // A running import still reads the table; it lets go of it when it stops.
    if (!m_importing)
        releaseSource();
    QDialog::done(result);
}

void ImportAccess::showProgress(int read)
{
    ui->AeroProgressBar1->setValue(qMin(read, ui->AeroProgressBar1->maximum()));
    ui->Label2->setText(QStringLiteral("%1/%2").arg(read).arg(m_total));
}

void ImportAccess::releaseSource()
{
    m_table.reset();
    m_source.reset();
}

QLineEdit* ImportAccess::Text1() const
{
    return ui->Text1;
}
QProgressBar* ImportAccess::AeroProgressBar1() const
{
    return ui->AeroProgressBar1;
}
QLabel* ImportAccess::Label2() const
{
    return ui->Label2;
}
QPushButton* ImportAccess::AeroButton1() const
{
    return ui->AeroButton1;
}
QPushButton* ImportAccess::AeroButton2() const
{
    return ui->AeroButton2;
}
QPushButton* ImportAccess::AeroButton3() const
{
    return ui->AeroButton3;
}
