#include "NewMsg.h"

#include "DataStore.h"
#include "DialogFrame.h"
#include "ElidedCombo.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "PublicFunction.h"
#include "db/Recordset.h"
#include "ui_NewMsg.h"

NewMsg::NewMsg(const QString& selectedNodeText, QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::NewMsg>())
{
    ui->setupUi(this);
    // A long category name is shown cut rather than widening the dialog.
    CapComboWidth(*ui->Combo1, 16);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &NewMsg::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    RunReported(this, [&] { Form_Load(selectedNodeText); });
    UseFixedFrame(*this);
}

NewMsg::~NewMsg() = default;

void NewMsg::Form_Load(const QString& selectedNodeText)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [MsgCategory] where ParentId=0"), SharedConnection());
    int chosen = -1;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        const QString name = NullToEmpty(rs.Field(QStringLiteral("CategoryName")));
        ui->Combo1->addItem(name, rs.Field(QStringLiteral("id")).toInt());
        if (name == selectedNodeText)
            chosen = ui->Combo1->count() - 1;
    }
    rs.Close();
    // The drop-down would otherwise choose its first item by itself.
    ui->Combo1->setCurrentIndex(chosen);
}

void NewMsg::AeroButton1_Click()
{
    const QString message = ui->Text1->toPlainText();
    if (message.trimmed().isEmpty()) {
        ShowHint(QStringLiteral("内容不能为空！"), this, ui->Text1);
        return;
    }
    if (ui->Combo1->currentText().trimmed().isEmpty()) {
        ShowHint(QStringLiteral("请选择类别！"), this, ui->Combo1);
        return;
    }
    RunReported(this, [&] {
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [DestineMsg]"), SharedConnection(), db::LockType::Optimistic);
        rs.AddNew();
        rs.SetField(QStringLiteral("Message"), message);
        rs.SetField(QStringLiteral("CatID"), ui->Combo1->currentData().toInt());
        rs.Update();
        rs.Close();
        accept();
    });
}
