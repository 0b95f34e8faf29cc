#include "PhrasePage.h"

#include "CategoryRows.h"
#include "CategoryTree.h"
#include "DataStore.h"
#include "Desktop.h"
#include "DestineMsgAdd.h"
#include "DestineMsgEdit.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "MsgEdit.h"
#include "NewMsg.h"
#include "PublicFunction.h"
#include "db/Recordset.h"
#include "ui_PhrasePage.h"

#include <QEvent>
#include <QStyle>

namespace {

const QString kTable = QStringLiteral("MsgCategory");
const QString kRootKey = QStringLiteral("all");

} // namespace

PhrasePage::PhrasePage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::PhrasePage>())
{
    ui->setupUi(this);
    m_tree = std::make_unique<CategoryTree>(
        *ui->TreeView2,
        CategoryTree::Setup{kTable,
                            {{kRootKey, QStringLiteral("所有类别")}},
                            style()->standardIcon(QStyle::SP_DirHomeIcon),
                            style()->standardIcon(QStyle::SP_DirIcon),
                            true},
        this);
    connect(m_tree.get(), &CategoryTree::nodeChosen, this, &PhrasePage::TreeView2_NodeClick);
    ui->List1->viewport()->installEventFilter(this);

    connect(ui->AeroButton20, &QPushButton::clicked, this, &PhrasePage::AeroButton20_Click);
    connect(ui->AeroButton21, &QPushButton::clicked, this, &PhrasePage::AeroButton21_Click);
    connect(ui->AeroButton22, &QPushButton::clicked, this, &PhrasePage::AeroButton22_Click);
    connect(ui->AeroButton23, &QPushButton::clicked, this, &PhrasePage::AeroButton23_Click);
    connect(ui->AeroButton24, &QPushButton::clicked, this, &PhrasePage::AeroButton24_Click);
    connect(ui->AeroButton25, &QPushButton::clicked, this, &PhrasePage::AeroButton25_Click);
    connect(ui->AeroButton26, &QPushButton::clicked, this, &PhrasePage::AeroButton26_Click);
}

PhrasePage::~PhrasePage() = default;

void PhrasePage::LoadPhraseTree()
{
    m_tree->rebuild();
}

void PhrasePage::LoadNodePhrases()
{
    const QString key = selectedKey();
    ui->List1->clear();
    if (key.isEmpty())
        return;
    const QString sql = key == kRootKey
                            ? QStringLiteral("select * from [DestineMsg]")
                            : QStringLiteral("select * from [DestineMsg] where CatID=") + CategoryRows::idOfKey(key);
    db::Recordset rs;
    rs.Open(sql, SharedConnection());
    for (; !rs.IsEOF(); rs.MoveNext()) {
        auto* item = new QListWidgetItem(NullToEmpty(rs.Field(QStringLiteral("Message"))), ui->List1);
        item->setData(Qt::UserRole, rs.Field(QStringLiteral("id")).toInt());
    }
    rs.Close();
}

void PhrasePage::TreeView2_NodeClick()
{
    ui->AeroButton21->setEnabled(true);
    ui->AeroButton22->setEnabled(true);
    RunReported(this, [this] { LoadNodePhrases(); });
}

void PhrasePage::AeroButton20_Click()
{
    DestineMsgAdd dialog;
    dialog.exec();
    RunReported(this, [this] { LoadPhraseTree(); });
}

void PhrasePage::AeroButton21_Click()
{
    const QString key = selectedKey();
    if (!CategoryRows::isCategoryKey(key)) {
        ShowHint(QStringLiteral("请先选择一个要修改的类别！"), this);
        return;
    }
    DestineMsgEdit dialog(CategoryRows::idOfKey(key));
    dialog.exec();
    RunReported(this, [this] { LoadPhraseTree(); });
}

void PhrasePage::AeroButton22_Click()
{
    const QString key = selectedKey();
    if (!CategoryRows::isCategoryKey(key)) {
        ShowHint(QStringLiteral("请先选择一个要删除的类别！"), this);
        return;
    }
    if (MsgBox(QStringLiteral("确定要删除该分类吗？"), QStringLiteral("删除确认"), Desktop::Icon::Question,
               Desktop::Buttons::YesNo, this) != Desktop::Answer::Yes)
        return;
    // The category's phrases stay: they are still listed under the root.
    RunReported(this, [&] {
        SharedConnection().execute(QStringLiteral("delete from [MsgCategory] where ID=") + CategoryRows::idOfKey(key));
        LoadPhraseTree();
    });
}

void PhrasePage::AeroButton24_Click()
{
    QTreeWidgetItem* node = ui->TreeView2->currentItem();
    NewMsg dialog(node ? node->text(0) : QString());
    dialog.exec();
    RunReported(this, [this] { LoadNodePhrases(); });
}

void PhrasePage::AeroButton23_Click()
{
    if (!requirePhrase())
        return;
    emit insertPhrase(ui->List1->item(selectedPhraseRow())->text());
    emit pageRequested(g_SendMode == 1 ? 1 : 8);
}

void PhrasePage::AeroButton25_Click()
{
    if (!requirePhrase())
        return;
    MsgEdit dialog(ui->List1->item(selectedPhraseRow())->data(Qt::UserRole).toInt());
    dialog.exec();
    RunReported(this, [this] { LoadNodePhrases(); });
}

void PhrasePage::AeroButton26_Click()
{
    if (!requirePhrase())
        return;
    const int id = ui->List1->item(selectedPhraseRow())->data(Qt::UserRole).toInt();
    RunReported(this, [&] {
        SharedConnection().execute(QStringLiteral("delete from [DestineMsg] where id=") + QString::number(id));
        LoadNodePhrases();
    });
}

bool PhrasePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->List1->viewport() && event->type() == QEvent::MouseButtonDblClick)
        AeroButton23_Click();
    return QWidget::eventFilter(watched, event);
}

QString PhrasePage::selectedKey() const
{
    return m_tree->selectedKey();
}

int PhrasePage::selectedPhraseRow() const
{
    // The view may hold a current row without a selection (after gaining the focus): that is none.
    const QList<QListWidgetItem*> selected = ui->List1->selectedItems();
    return selected.isEmpty() ? -1 : ui->List1->row(selected.first());
}

bool PhrasePage::requirePhrase()
{
    if (selectedPhraseRow() >= 0)
        return true;
    ShowHint(QStringLiteral("请先选择一条短语！"), this);
    return false;
}
