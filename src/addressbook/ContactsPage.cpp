#include "ContactsPage.h"
#include "ui_ContactsPage.h"

#include "BirthdayReminder.h"
#include "CategoryRows.h"
#include "CategoryTree.h"
#include "ContactAdd.h"
#include "ContactCategoryAdd.h"
#include "ContactCategoryEdit.h"
#include "ContactEdit.h"
#include "ContactTransfer.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "ListView.h"
#include "ListViewExt.h"
#include "PublicFunction.h"
#include "db/JetDate.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <exception>

namespace {

const QString kAll = QStringLiteral("all");
const QString kBirthday = QStringLiteral("birthday");
constexpr int kBirthdayColumn = 4;

enum Ticks
{
    TickNone,
    TickAll,
    TickInvert
};

using CategoryRows::isCategoryKey;

// The tree's two pictures: 1 for the roots (a card), 2 for the categories (a folder).
QIcon treeImage(int image)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (image == 1) {
        p.setPen(QColor(0x2f, 0x5f, 0xa8));
        p.setBrush(QColor(0x6f, 0xa0, 0xe0));
        p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(3.5, 4.5, 4, 4));
        p.drawRect(QRectF(9, 5, 4, 1.5));
        p.drawRect(QRectF(9, 8, 4, 1.5));
        p.drawRect(QRectF(3.5, 10, 9.5, 1.5));
    } else {
        p.setPen(QColor(0xb0, 0x80, 0x20));
        p.setBrush(QColor(0xf5, 0xc8, 0x5a));
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.drawRect(QRectF(1.5, 2.5, 6, 2));
    }
    return QIcon(pixmap);
}

// The search field for each entry of Combo2, in the list's order.
QString searchHead(const QString& field)
{
    static const QVector<QPair<QString, QString>> heads{{QStringLiteral("姓名"), QStringLiteral("Name")},
                                                        {QStringLiteral("手机号码"), QStringLiteral("MobilePhone")},
                                                        {QStringLiteral("电子邮件"), QStringLiteral("EMail")},
                                                        {QStringLiteral("通讯地址"), QStringLiteral("Address")},
                                                        {QStringLiteral("自定义1"), QStringLiteral("IdCardNum")},
                                                        {QStringLiteral("职位"), QStringLiteral("Job")}};
    QString column = heads.first().second;
    for (const auto& [text, name] : heads) {
        if (text == field)
            column = name;
    }
    return QStringLiteral("select * from [ContactList] where ") + column + QStringLiteral(" like '%");
}

} // namespace

ContactsPage::ContactsPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::ContactsPage>())
{
    ui->setupUi(this);
    ui->ListView2->setColumns({{QString(), QString(), 28},
                               {QStringLiteral("姓名"), QStringLiteral("Name"), 90},
                               {QStringLiteral("手机号码"), QStringLiteral("MobilePhone"), 110},
                               {QStringLiteral("性别"), QStringLiteral("Sex"), 50},
                               {QStringLiteral("生日"), QStringLiteral("Birthday"), 90},
                               {QStringLiteral("地址"), QStringLiteral("Address"), 200}});

    m_tree = std::make_unique<CategoryTree>(*ui->TreeView1,
                                            CategoryTree::Setup{QStringLiteral("ContactCategory"),
                                                                {{kAll, QStringLiteral("所有联系人")},
                                                                 {kBirthday, QStringLiteral("最近生日联系人")}},
                                                                treeImage(1),
                                                                treeImage(2),
                                                                false},
                                            this);
    connect(m_tree.get(), &CategoryTree::nodeChosen, this, &ContactsPage::TreeView1_NodeClick);
    connect(ui->ListView2, &QAbstractItemView::doubleClicked, this, &ContactsPage::ListView2_DblClick);

    const QVector<QPair<QPushButton*, void (ContactsPage::*)()>> handlers{
        {ui->AeroButton17, &ContactsPage::AeroButton17_Click}, {ui->AeroButton33, &ContactsPage::AeroButton33_Click},
        {ui->AeroButton19, &ContactsPage::AeroButton19_Click}, {ui->AeroButton16, &ContactsPage::AeroButton16_Click},
        {ui->AeroButton34, &ContactsPage::AeroButton34_Click}, {ui->AeroButton35, &ContactsPage::AeroButton35_Click},
        {ui->AeroButton39, &ContactsPage::AeroButton39_Click}, {ui->AeroButton31, &ContactsPage::AeroButton31_Click},
        {ui->AeroButton32, &ContactsPage::AeroButton32_Click}, {ui->AeroButton18, &ContactsPage::AeroButton18_Click},
        {ui->AeroButton37, &ContactsPage::AeroButton37_Click}, {ui->AeroButton38, &ContactsPage::AeroButton38_Click}};
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, handler);
    connect(ui->Text5, &QLineEdit::returnPressed, this, &ContactsPage::AeroButton16_Click);
}

ContactsPage::~ContactsPage() = default;

void ContactsPage::prepareForLoad()
{
    ui->Combo2->setCurrentText(QStringLiteral("姓名"));
}

// --- tree ------------------------------------------------------------------------------------

QString ContactsPage::nodeKey(const QTreeWidgetItem* node)
{
    return CategoryRows::keyOf(node);
}

QTreeWidgetItem* ContactsPage::nodeByKey(const QString& key) const
{
    return m_tree->nodeByKey(key);
}

QString ContactsPage::selectedKey() const
{
    return m_tree->selectedKey();
}

void ContactsPage::LoadContactTree()
{
    m_tree->rebuild();
}

void ContactsPage::TreeView1_NodeClick(QTreeWidgetItem* node)
{
    if (!node)
        return;
    ui->AeroButton33->setEnabled(true);
    ui->AeroButton19->setEnabled(true);
    LoadNodeContacts();
}

void ContactsPage::TreeView1_AfterLabelEdit(bool& cancel, const QString& newString)
{
    cancel = !m_tree->renameNode(ui->TreeView1->currentItem(), newString);
}

qint64 ContactsPage::selectedCategory(const QString& refusal)
{
    const QString key = selectedKey();
    if (!isCategoryKey(key)) {
        ShowHint(refusal, this);
        return -1;
    }
    return key.mid(1).toLongLong();
}

void ContactsPage::AeroButton17_Click()
{
    ContactCategoryAdd dialog(this);
    dialog.exec();
    RunReported(this, [this] { LoadContactTree(); });
}

void ContactsPage::AeroButton33_Click()
{
    const qint64 id = selectedCategory(QStringLiteral("请先选择一个要修改的类别！"));
    if (id < 0)
        return;
    {
        ContactCategoryEdit dialog(id, this);
        dialog.exec();
    }
    RunReported(this, [this] { LoadContactTree(); });
}

void ContactsPage::AeroButton19_Click()
{
    const qint64 id = selectedCategory(QStringLiteral("请先选择一个要删除的类别！"));
    if (id < 0)
        return;
    if (MsgBox(QStringLiteral("确定要删除该分类吗？该分类下的所有联系人都将会被同时删除！"), QStringLiteral("删除确认"),
               Desktop::Icon::Question, Desktop::Buttons::YesNo, this) != Desktop::Answer::Yes)
        return;
    RunReported(this, [this, id] {
        // Both or neither: a category must not vanish while its contacts stay behind.
        db::Transaction transaction(SharedConnection());
        SharedConnection().execute(QStringLiteral("delete from [ContactList] where CatID=") + QString::number(id));
        SharedConnection().execute(QStringLiteral("delete from [ContactCategory] where ID=") + QString::number(id));
        transaction.commit();
        LoadContactTree();
    });
}

// --- contact list ----------------------------------------------------------------------------

void ContactsPage::loadList(const QString& sql, bool formatBirthdays)
{
    db::Recordset rs;
    rs.Open(sql, SharedConnection(), db::LockType::ReadOnly);
    LoadListView(*ui->ListView2, rs);
    rs.Close();
    if (!formatBirthdays)
        return;
    // Stored birthdays carry a time of midnight; the list shows the day alone.
    ListViewModel& model = *ui->ListView2->listModel();
    QVector<ListViewModel::Row> rows;
    rows.reserve(model.count());
    for (int r = 0; r < model.count(); ++r) {
        ListViewModel::Row row = model.row(r);
        if (const auto day = db::JetDate::parse(row.cells.value(kBirthdayColumn)))
            row.cells[kBirthdayColumn] = day->date().toString(QStringLiteral("yyyy-MM-dd"));
        rows.append(std::move(row));
    }
    model.setRows(std::move(rows));
}

void ContactsPage::LoadAllContacts()
{
    loadList(QStringLiteral("select * from [ContactList]"), true);
}

void ContactsPage::LoadNodeContacts()
{
    static const QString head =
        QStringLiteral("select id,Selected,Name,MobilePhone,Sex,Birthday,Address from [ContactList]");
    const QString key = selectedKey();
    try {
        if (key == kBirthday)
            loadList(BirthdayListSql(g_BirthdayDays), false);
        else if (isCategoryKey(key))
            loadList(head + QStringLiteral(" where CatID=") + key.mid(1), true);
        else
            loadList(head, true);
    } catch (const std::exception& error) {
        // The list's own box: the description alone, without a title.
        MsgBox(FailureDescription(error), QString(), Desktop::Icon::None, Desktop::Buttons::Ok, this);
    }
}

void ContactsPage::AeroButton16_Click()
{
    if (ui->Text5->text().trimmed().isEmpty()) {
        ShowHint(QStringLiteral("请输入关键字！"), this);
        return;
    }
    // The keyword as typed, blanks kept; the search covers every contact.
    const QString sql = searchHead(ui->Combo2->currentText()) + SqlQuote(ui->Text5->text()) + QStringLiteral("%'");
    RunReported(this, [this, &sql] { loadList(sql, true); });
}

void ContactsPage::setAllTicks(int how)
{
    ListViewModel& model = *ui->ListView2->listModel();
    for (int r = 0; r < model.count(); ++r)
        model.setChecked(r, how == TickInvert ? !model.isChecked(r) : how == TickAll);
}

void ContactsPage::AeroButton34_Click()
{
    setAllTicks(TickAll);
}

void ContactsPage::AeroButton35_Click()
{
    setAllTicks(TickNone);
}

void ContactsPage::AeroButton39_Click()
{
    setAllTicks(TickInvert);
}

void ContactsPage::AeroButton32_Click()
{
    const QString ids = GetCheckedIds(*ui->ListView2);
    if (ids.trimmed().isEmpty()) {
        MsgBox(QStringLiteral("你还没有选定任何联系人！"), QStringLiteral("删除提示"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        return;
    }
    RunReported(this, [&ids] {
        SharedConnection().execute(QStringLiteral("delete from [ContactList] where id in (") + ids + QStringLiteral(")"));
    });
    LoadNodeContacts();
}

void ContactsPage::AeroButton31_Click()
{
    // Only a category node preselects its category; a root preselects nothing.
    const QTreeWidgetItem* node = ui->TreeView1->currentItem();
    const QString category = isCategoryKey(nodeKey(node)) ? node->text(0) : QString();
    {
        ContactAdd dialog(category, this);
        dialog.exec();
    }
    LoadNodeContacts();
}

void ContactsPage::ListView2_DblClick()
{
    const QModelIndex current = ui->ListView2->currentIndex();
    if (!current.isValid())
        return;
    const QString key = ui->ListView2->listModel()->rowKey(current.row());
    {
        ContactEdit dialog(qint32(key.mid(4).toInt()), this);
        if (dialog.loaded())
            dialog.exec();
    }
    LoadNodeContacts();
}

void ContactsPage::AeroButton18_Click()
{
    // The rows added before a failure are in the grid: it is shown all the same.
    RunReported(this, [this] { AddCheckedContactsToDraftBox(*ui->ListView2); });
    Q_EMIT contactsAddedToGrid();
}

void ContactsPage::AeroButton37_Click()
{
    Q_EMIT importRequested();
    LoadNodeContacts();
}

void ContactsPage::AeroButton38_Click()
{
    Q_EMIT exportRequested();
}
