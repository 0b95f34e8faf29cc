#include "ExpressExcel.h"

#include "Desktop.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "NumberListModel.h"
#include "PublicFunction.h"
#include "SendPage.h"
#include "WorkbookView.h"
#include "ui_ExpressExcel.h"

#include <QApplication>
#include <QClipboard>

ExpressExcel::ExpressExcel(SendPage& numberList, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ExpressExcel>()), m_list(numberList)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ExpressExcel::AeroButton2_Click);
}

ExpressExcel::~ExpressExcel() = default;

bool ExpressExcel::Form_Load()
{
    // The reader is built in, so the "no Excel installed" failure (number 5) cannot occur;
    // every refusal carries the reader's own number and description.
    m_loaded = ui->FramerControl1->Open(g_ExcelPath);
    if (!m_loaded)
        MsgBox(ui->FramerControl1->errorDescription(),
               QStringLiteral("错误号：") + QString::number(ui->FramerControl1->errorNumber()),
               Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
    return m_loaded;
}

int ExpressExcel::exec()
{
    if (!m_loaded && !Form_Load())
        return QDialog::Rejected;
    return QDialog::exec();
}

void ExpressExcel::AeroButton2_Click()
{
    m_count = 0;
    // The selection travels through the clipboard as a copied range would, replacing its text.
    if (!ui->FramerControl1->CopySelection()) {
        if (ui->FramerControl1->errorNumber() == WorkbookView::kMultipleAreas)
            ShowHint(QStringLiteral("不能使用多重选定来导入，请重新选择！"), this);
        return;
    }
    const QString text = QApplication::clipboard()->text();
    NumberListModel& list = *m_list.numberList();
    try {
        for (const QString& row : text.split(QLatin1Char('\n'))) {
            for (const QString& cell : row.split(QLatin1Char('\t'))) {
                QString number = TrimBlanks(cell);
                number.remove(QStringLiteral("+86")).remove(QLatin1Char('\r'));
                // Imported numbers go to the list only, never to the white-list queue.
                if (IsMobileNumber(number)) {
                    list.add(number);
                    ++m_count;
                }
            }
        }
    } catch (...) {
        // Any other failure ends the import silently; what was added stays, undeduplicated.
        m_list.CountList();
        return;
    }
    const int removed = m_list.DelRepeat();
    MsgBox(QStringLiteral("导入号码%1个,自动删除重复号码%2个").arg(m_count).arg(removed), QStringLiteral("完成"),
           Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    ui->FramerControl1->Close();
    accept();
}

void ExpressExcel::done(int result)
{
    // However the dialog closes, the document in the view is closed.
    ui->FramerControl1->Close();
    QDialog::done(result);
}
