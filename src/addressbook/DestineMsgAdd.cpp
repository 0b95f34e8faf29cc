#include "DestineMsgAdd.h"

#include "AddressBookBoxes.h"
#include "CategoryRows.h"
#include "DataStore.h"
#include "DialogFrame.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "ui_DestineMsgAdd.h"

DestineMsgAdd::DestineMsgAdd(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::DestineMsgAdd>())
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &DestineMsgAdd::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &QDialog::reject);
    UseFixedFrame(*this);
}

DestineMsgAdd::~DestineMsgAdd() = default;

void DestineMsgAdd::AeroButton1_Click()
{
    const QString name = ui->Text1->text().trimmed();
    if (name.isEmpty()) {
        ShowHint(QStringLiteral("分类名称不能为空！"), this);
        return;
    }
    bool added = false;
    if (!RunReported(this, [&] { added = CategoryRows::addIfNew(QStringLiteral("MsgCategory"), name); }))
        return;
    if (added)
        accept();
    else
        ReportDuplicateCategory(*ui->Text1, this);
}
