#include "FinishList.h"

#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "ListView.h"
#include "ListViewExt.h"
#include "NumberListModel.h"
#include "PublicFunction.h"
#include "SendPage.h"
#include "SendRun.h"
#include "db/Recordset.h"
#include "ui_FinishList.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QStringList>

FinishList::FinishList(const QString& rowKey, const QString& message, SendPage* sendPage, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::FinishList>()), m_rs(std::make_unique<db::Recordset>()),
      m_sendPage(sendPage)
{
    ui->setupUi(this);
    // The rows carry check boxes like every list of the program, but nothing here uses them:
    // their column is kept at zero width, which the header allows only below its usual minimum.
    ui->ListView1->header()->setMinimumSectionSize(0);
    ui->ListView1->setColumns({{QString(), QString(), 0},
                               {QStringLiteral("ID"), QStringLiteral("ID"), 70},
                               {QStringLiteral("手机号码"), QStringLiteral("PhoneNumber"), 130},
                               {QStringLiteral("状态"), QStringLiteral("State"), 150}});
    ui->ListView1->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &FinishList::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &FinishList::AeroButton2_Click);
    Form_Load(rowKey, message);
}

FinishList::~FinishList() = default;

void FinishList::Form_Load(const QString& rowKey, const QString& message)
{
    m_id = rowKey.mid(4);
    ui->Text1->setPlainText(message);
    RunReported(this, [this] {
        m_rs->Open(QStringLiteral("select count(*) as num from [Finish] where state<>'已发送' and MsgId=") + m_id,
                   SharedConnection(), db::LockType::ReadOnly);
        ui->Label4->setText(NullToEmpty(m_rs->Field(QStringLiteral("num"))));
        m_rs->Close();

        m_rs->Open(QStringLiteral("select * from [Finish] where MsgId=") + m_id, SharedConnection(),
                   db::LockType::ReadOnly);
        ui->Label2->setText(QString::number(m_rs->RecordCount()));
        LoadListView(*ui->ListView1, *m_rs);
        m_rs->Close();
    });
    if (m_rs->IsOpen())
        m_rs->Close();
    ui->AeroButton2->setEnabled(ui->Label4->text() != QLatin1String("0"));
}

void FinishList::AeroButton1_Click()
{
    resend(QStringLiteral("select PhoneNumber from [Finish] where MsgId=") + m_id);
}

// Numbers whose outcome is unconfirmed may have been charged already: they go out again only
// when the user says so.
void FinishList::AeroButton2_Click()
{
    QString sql = QStringLiteral("select PhoneNumber from [Finish] where state<>'已发送' and MsgId=") + m_id;
    int unconfirmed = 0;
    if (!RunReported(this, [this, &unconfirmed] {
            unconfirmed = SharedConnection()
                              .scalar(QStringLiteral("select count(*) from [Finish] where State='") +
                                      SendRun::unconfirmedState() + QStringLiteral("' and MsgId=") + m_id)
                              .toInt();
        }))
        return;
    if (unconfirmed > 0 &&
        MsgBox(QStringLiteral("其中%1个号码的发送结果未确认，可能已经发出，是否一并重发？").arg(unconfirmed),
               QStringLiteral("重发确认"), Desktop::Icon::Question, Desktop::Buttons::YesNo,
               this) != Desktop::Answer::Yes)
        sql += QStringLiteral(" and State<>'") + SendRun::unconfirmedState() + QLatin1Char('\'');
    resend(sql);
}

void FinishList::resend(const QString& sql)
{
    if (!m_sendPage)
        return;
    // The numbers are read before anything changes, so a failing query leaves the editor and
    // the list of the send page as they were.
    QStringList numbers;
    const bool read = RunReported(this, [this, &sql, &numbers] {
        m_rs->Open(sql, SharedConnection(), db::LockType::ReadOnly);
        numbers.reserve(m_rs->RecordCount());
        for (; !m_rs->IsEOF(); m_rs->MoveNext()) {
            // A Null has no number to send; any stored text goes back as it is.
            const QVariant number = m_rs->Field(0);
            if (!number.isNull())
                numbers.append(number.toString());
        }
        m_rs->Close();
    });
    if (!read) {
        if (m_rs->IsOpen())
            m_rs->Close();
        return;
    }

    m_sendPage->setMessage(ui->Text1->toPlainText());
    NumberListModel& list = *m_sendPage->numberList();
    list.clear();
    for (const QString& number : numbers)
        list.add(number);
    m_sendPage->CountList();
    Q_EMIT pageRequested(1);
    accept();
}
