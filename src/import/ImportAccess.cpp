#include "ImportAccess.h"
#include "ui_ImportAccess.h"

#include "DataStore.h"
#include "Desktop.h"
#include "DraftBoxWriter.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "ImportLoop.h"
#include "PublicFunction.h"
#include "SourceDatabase.h"

#include <QCoreApplication>
#include <QSignalBlocker>

namespace {

const QString kFilter = QStringLiteral("Access数据库(*.mdb)|*.mdb");
const QString kNone = QStringLiteral("无");
constexpr int kFieldLists = 6; // Combo1 to Combo6; Combo7 lists the tables

} // namespace

ImportAccess::ImportAccess(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ImportAccess>())
{
    ui->setupUi(this);
    m_combos = {ui->Combo1, ui->Combo2, ui->Combo3, ui->Combo4, ui->Combo5, ui->Combo6, ui->Combo7};
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ImportAccess::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ImportAccess::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &ImportAccess::AeroButton3_Click);
    connect(ui->Combo7, &QComboBox::currentIndexChanged, this, &ImportAccess::Combo7_Click);
    ResetCombos();
}

ImportAccess::~ImportAccess() = default;

QComboBox* ImportAccess::Combo(int number) const
{
    return number >= 1 && number <= int(m_combos.size()) ? m_combos[size_t(number - 1)] : nullptr;
}

void ImportAccess::ResetCombos()
{
    for (int number = 1; number <= kFieldLists; ++number) {
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
        for (int number = 1; number <= kFieldLists; ++number)
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

    // The lists hold "无" and then the fields in order: a choice's position is its field counted from 1.
    ImportColumns columns;
    columns.number = ui->Combo1->currentIndex();
    for (int number = 2; number <= 6; ++number)
        columns.values << Combo(number)->currentIndex();

    m_importing = true;
    ImportCounts counts;
    bool failed = false;
    try {
        DraftBoxWriter writer(SharedConnection());
        ImportLoop loop(*m_table, writer, columns);
        loop.setStop([this] { return m_cancel; });
        // Input is processed only once the rows before it are committed, so "关闭" (or a
        // failure after it) keeps them all.
        loop.setYield([this](const ImportCounts& sofar) {
            showProgress(sofar.read);
            QCoreApplication::processEvents();
        });
        loop.run(counts);
    } catch (...) {
        // As specified: a failure during the import closes the dialog without a message; the
        // rows inserted before it stay, and the grid shows them.
        failed = true;
    }
    m_importing = false;
    showProgress(counts.read);
    releaseSource();
    if (failed) {
        reject();
        return;
    }
    if (!counts.finished)
        return; // "关闭" stopped it; the dialog is already closing
    MsgBox(QStringLiteral("共有%1条记录，错误数据%2条！").arg(counts.read).arg(counts.rejected), QStringLiteral("完成"),
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
