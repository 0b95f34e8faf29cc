#include "ImportExcel2.h"
#include "ui_ImportExcel2.h"

#include "DataStore.h"
#include "Desktop.h"
#include "DraftBoxWriter.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "ImportLoop.h"
#include "PublicFunction.h"
#include "SheetRows.h"
#include "Workbook.h"
#include "WorkbookView.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

const QString kNone = QStringLiteral("无");

// What a step of a tick reports when no worksheet is in front (the old "object not set").
constexpr int kNoSheet = 91;

} // namespace

ImportExcel2::ImportExcel2(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ImportExcel2>())
{
    ui->setupUi(this);
    m_combos = {ui->Combo1, ui->Combo2, ui->Combo3, ui->Combo4, ui->Combo5, ui->Combo6};
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(500);
    connect(m_timer1, &QTimer::timeout, this, &ImportExcel2::Timer1_Timer);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ImportExcel2::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &QDialog::reject);
    // Until the first tick the lists hold "无", so "开始" before it asks for the number column.
    ResetCombos();
}

ImportExcel2::~ImportExcel2() = default;

bool ImportExcel2::Form_Load()
{
    m_lastSheet.clear();
    // The reader is built in, so the "no Excel installed" failure (number 5) cannot occur;
    // every refusal carries the reader's own number and description.
    m_loaded = ui->FramerControl1->Open(g_ExcelPath);
    if (!m_loaded) {
        MsgBox(ui->FramerControl1->errorDescription(),
               QStringLiteral("错误号：") + QString::number(ui->FramerControl1->errorNumber()),
               Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        return false;
    }
    m_timer1->start();
    m_cancel = false;
    return true;
}

int ImportExcel2::exec()
{
    if (!m_loaded && !Form_Load())
        return QDialog::Rejected;
    return QDialog::exec();
}

void ImportExcel2::ResetCombos()
{
    for (QComboBox* combo : m_combos) {
        combo->clear();
        combo->addItem(kNone);
        combo->setCurrentIndex(0);
    }
}

void ImportExcel2::Timer1_Timer()
{
    // The box of a failed tick runs its own event loop, in which the timer keeps firing.
    if (m_tickBoxOpen || m_importing)
        return;
    const Workbook* book = ui->FramerControl1->document();
    const int active = ui->FramerControl1->activeSheet();
    if (!book || active < 0 || active >= book->sheetCount()) {
        m_tickBoxOpen = true;
        ShowProgramError(kNoSheet, QStringLiteral("对象变量或 With 块变量未设置"), this);
        m_tickBoxOpen = false;
        return;
    }
    const Worksheet& sheet = book->sheet(active);
    if (sheet.Name() == m_lastSheet)
        return;
    m_lastSheet = sheet.Name();
    ResetCombos();
    QStringList captions;
    for (int column = 1; column <= sheet.usedRange().columnCount; ++column)
        captions << sheet.Cells(1, column).text;
    for (QComboBox* combo : m_combos)
        combo->addItems(captions);
    m_rowTotal = sheet.usedRange().rowCount;
    if (m_rowTotal > 0)
        ui->AeroProgressBar1->setMaximum(m_rowTotal);
}

void ImportExcel2::AeroButton2_Click()
{
    if (m_importing)
        return;
    if (TrimBlanks(ui->Combo1->currentText()) == kNone) {
        ShowHint(QStringLiteral("手机号是必选的！"), this);
        return;
    }
    // The column choices stay as they are for the rest of the dialog's life.
    m_timer1->stop();
    const Workbook* book = ui->FramerControl1->document();
    const int active = ui->FramerControl1->activeSheet();
    if (!book || active < 0 || active >= book->sheetCount())
        return;
    const Worksheet& sheet = book->sheet(active);

    // A choice's position in its list is its column in the used range; 0 takes none.
    ImportColumns columns;
    columns.number = ui->Combo1->currentIndex();
    for (int number = 2; number <= 6; ++number)
        columns.values << Combo(number)->currentIndex();
    columns.dropFromNumber = QStringLiteral("+86");

    m_importing = true;
    // Row 1, whose cells named the columns, is read like any other: a caption is no number.
    SheetRows rows(sheet, 1);
    ImportCounts counts;
    const bool imported = RunReported(this, [&] {
        DraftBoxWriter writer(SharedConnection());
        ImportLoop loop(rows, writer, columns);
        loop.setStop([this] { return m_cancel; });
        // Input is processed only once the rows before it are committed, so "取消" (or a
        // failure after it) keeps them all.
        loop.setYield([this, &rows](const ImportCounts&) {
            ui->AeroProgressBar1->setValue(rows.row());
            QCoreApplication::processEvents();
        });
        loop.run(counts);
        ui->AeroProgressBar1->setValue(sheet.usedRange().rowCount);
    });
    m_importing = false;
    if (imported)
        MsgBox(QStringLiteral("成功导入号码%1个，其中重复号码%2个").arg(counts.stored).arg(counts.repeats),
               QStringLiteral("导入完成"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    accept();
}

void ImportExcel2::done(int result)
{
    m_cancel = true;
    m_timer1->stop();
    // A running import still reads the sheet; the document closes once it has stopped.
    if (!m_importing)
        ui->FramerControl1->Close();
    QDialog::done(result);
}

QComboBox* ImportExcel2::Combo(int number) const
{
    return number >= 1 && number <= int(m_combos.size()) ? m_combos[size_t(number - 1)] : nullptr;
}
