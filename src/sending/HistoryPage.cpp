#include "HistoryPage.h"

#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "FinishList.h"
#include "ListView.h"
#include "ListViewExt.h"
#include "SendPage.h"
#include "db/Recordset.h"
#include "ui_HistoryPage.h"

#include <QDate>
#include <QPlainTextEdit>

namespace {

constexpr int kMessageColumn = 1;

} // namespace

HistoryPage::HistoryPage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::HistoryPage>()), m_historyRs(std::make_unique<db::Recordset>())
{
    ui->setupUi(this);
    ui->ListView3->setColumns({{QString(), QString(), 28},
                               {QStringLiteral("信息内容"), QStringLiteral("Message"), 340},
                               {QStringLiteral("总数量"), QStringLiteral("Amount"), 70},
                               {QStringLiteral("失败数"), QStringLiteral("FailNum"), 70},
                               {QStringLiteral("发送时间"), QStringLiteral("SubmitTime"), 150}});
    // Forward and details act on one record: the selected row.
    ui->ListView3->setSelectionMode(QAbstractItemView::SingleSelection);

    connect(ui->AeroButton15, &QPushButton::clicked, this, &HistoryPage::AeroButton15_Click);
    connect(ui->AeroButton40, &QPushButton::clicked, this, &HistoryPage::AeroButton40_Click);
    connect(ui->AeroButton7, &QPushButton::clicked, this, &HistoryPage::AeroButton7_Click);
    connect(ui->AeroButton42, &QPushButton::clicked, this, &HistoryPage::AeroButton42_Click);
    connect(ui->ListView3, &QAbstractItemView::doubleClicked, this, &HistoryPage::ListView3_DblClick);
}

HistoryPage::~HistoryPage() = default;

void HistoryPage::setSendPage(SendPage* sendPage)
{
    m_sendPage = sendPage;
}

void HistoryPage::prepareForLoad()
{
    ui->DTPicker3->setDate(QDate::currentDate());
    ui->DTPicker4->setDate(QDate::currentDate());
}

void HistoryPage::AeroButton15_Click()
{
    if (!RunReported(this, [this] { runQuery(); })) {
        // Rows of an earlier query must not pass for the answer to this one.
        if (m_historyRs->IsOpen())
            m_historyRs->Close();
        ClearListView(*ui->ListView3);
        ui->ListView3->setEnabled(false);
        setRecordButtonsEnabled(false);
    }
}

void HistoryPage::runQuery()
{
    const QString d1 = ui->DTPicker3->date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    const QString d2 = ui->DTPicker4->date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 23:59:59");
    m_historyQuery = QStringLiteral("select * from [Messages] where SubmitTime between #") + d1 +
                     QStringLiteral("# and #") + d2 + QStringLiteral("# ");
    m_historyRs = std::make_unique<db::Recordset>();
    m_historyRs->Open(m_historyQuery, SharedConnection(), db::LockType::Optimistic);
    setRecordButtonsEnabled(m_historyRs->RecordCount() >= 1);
    LoadListView(*ui->ListView3, *m_historyRs);
    m_historyRs->Close();
    if (ui->ListView3->listModel()->count() > 0)
        ui->ListView3->setCurrentIndex(ui->ListView3->listModel()->index(0, kMessageColumn));
}

void HistoryPage::setRecordButtonsEnabled(bool enabled)
{
    ui->AeroButton7->setEnabled(enabled);
    ui->AeroButton40->setEnabled(enabled);
    ui->AeroButton42->setEnabled(enabled);
}

void HistoryPage::AeroButton40_Click()
{
    const QString ids = GetCheckedIds(*ui->ListView3);
    if (ids.trimmed().isEmpty()) {
        MsgBox(QStringLiteral("你还没有选定任何记录！"), QStringLiteral("删除提示"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        return;
    }
    RunReported(this, [&ids] {
        SharedConnection().execute(QStringLiteral("delete from [Messages] where id in (") + ids +
                                            QStringLiteral(")"));
    });
    AeroButton15_Click();
}

void HistoryPage::AeroButton7_Click()
{
    if (selectedRow() < 0 || !m_sendPage)
        return;
    m_sendPage->setMessage(selectedMessage());
    Q_EMIT pageRequested(1);
}

void HistoryPage::AeroButton42_Click()
{
    showDetails();
}

void HistoryPage::ListView3_DblClick()
{
    showDetails();
}

void HistoryPage::showDetails()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    FinishList dialog(ui->ListView3->listModel()->rowKey(row), selectedMessage(), m_sendPage, this);
    connect(&dialog, &FinishList::pageRequested, this, &HistoryPage::pageRequested);
    dialog.exec();
}

int HistoryPage::selectedRow() const
{
    const int count = ui->ListView3->listModel()->count();
    const int row = ui->ListView3->currentIndex().row();
    if (count == 0)
        return -1;
    return (row >= 0 && row < count) ? row : 0;
}

QString HistoryPage::selectedMessage() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : ui->ListView3->listModel()->cell(row, kMessageColumn);
}
