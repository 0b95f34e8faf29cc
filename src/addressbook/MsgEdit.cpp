#include "MsgEdit.h"

#include "DataStore.h"
#include "DialogFrame.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "db/Recordset.h"
#include "ui_MsgEdit.h"

MsgEdit::MsgEdit(qint32 msgId, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::MsgEdit>()), m_msgId(msgId), m_rs(std::make_unique<db::Recordset>())
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &MsgEdit::AeroButton1_Click);
    // "关闭" leaves the phrase as it was, as the other dialogs' close buttons do.
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    RunReported(this, [this] { Form_Load(); });
    UseFixedFrame(*this);
}

MsgEdit::~MsgEdit() = default;

void MsgEdit::Form_Load()
{
    m_rs->Open(QStringLiteral("select * from [DestineMsg] where id=") + QString::number(m_msgId), SharedConnection(),
               db::LockType::Optimistic);
    if (m_rs->RecordCount() > 0)
        ui->Text1->setPlainText(NullToEmpty(m_rs->Field(QStringLiteral("Message"))));
}

void MsgEdit::AeroButton1_Click()
{
    const QString message = ui->Text1->toPlainText();
    if (message.trimmed().isEmpty()) {
        ShowHint(QStringLiteral("内容不能为空！"), this);
        return;
    }
    RunReported(this, [&] {
        m_rs->SetField(QStringLiteral("Message"), message);
        m_rs->Update();
        m_rs->Close();
        accept();
    });
}
