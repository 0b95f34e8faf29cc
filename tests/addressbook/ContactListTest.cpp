#include "AddressBookFixture.h"
#include "Controls.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "ListView.h"
#include "db/Clock.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>

namespace {

class ContactListTest : public AddressBookFixture
{
protected:
    void SetUp() override
    {
        AddressBookFixture::SetUp();
        friends = addCategory(QStringLiteral("朋友"));
        work = addCategory(QStringLiteral("工作"));
        zhang = addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends, QStringLiteral("1990-01-02"),
                           QStringLiteral("男"));
        obrien =
            addContact(QStringLiteral("O'Brien"), QStringLiteral("13900000002"), work, QString(), QStringLiteral("女"));
        li = addContact(QStringLiteral("李四"), QStringLiteral("13700000003"), friends);
        setFields(zhang, "EMail='zhang@Example.com', Address='北京市 朝阳区', IdCardNum='110101', Job='经理'");
        setFields(obrien, "EMail='ob@mail.com', Address='上海市', IdCardNum='3101', Job='工程师'");
        setFields(li, "EMail='li4@example.com', Address='北京市海淀区', Job='高级经理'");
        page->LoadContactTree();
        page->LoadAllContacts();
    }
    static void setFields(qint64 id, const char* assignments)
    {
        g_Conn->execute(QStringLiteral("update [ContactList] set ") + QString::fromUtf8(assignments) +
                        QStringLiteral(" where id=") + QString::number(id));
    }
    QStringList checkedNames() const
    {
        const ListViewModel& model = *Control<ListView>(*page, "ListView2")->listModel();
        QStringList names;
        for (int r = 0; r < model.count(); ++r) {
            if (model.isChecked(r))
                names << model.cell(r, 1);
        }
        return names;
    }
    QString key(qint64 id) const { return QStringLiteral("C") + QString::number(id); }

    qint64 friends = 0, work = 0, zhang = 0, obrien = 0, li = 0;
};

TEST_F(ContactListTest, ColumnsInOrderWithTheStoredDayAsDate)
{
    const ListViewModel& model = *Control<ListView>(*page, "ListView2")->listModel();
    QStringList headers, keys;
    for (int c = 0; c < model.columnCount(); ++c) {
        headers << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        keys << model.columnKey(c);
    }
    EXPECT_EQ(headers, (QStringList{"", "姓名", "手机号码", "性别", "生日", "地址"}));
    EXPECT_EQ(keys, (QStringList{"", "Name", "MobilePhone", "Sex", "Birthday", "Address"}));
    ASSERT_EQ(model.count(), 3);
    EXPECT_EQ(model.rowKey(0), QStringLiteral("Row_") + QString::number(zhang));
    EXPECT_EQ(model.row(0).cells, (QStringList{"", "张三", "13800000001", "男", "1990-01-02", "北京市 朝阳区"}));
    EXPECT_EQ(model.cell(2, 4), QString()); // no birthday
    EXPECT_EQ(Control<QComboBox>(*page, "Combo2")->currentText(), QStringLiteral("姓名"));
}

struct NodeCase
{
    const char* name;
    int node; // 0 all, 1 friends, 2 work, 3 birthday
    QStringList expected;
};

class NodeListTest : public ContactListTest, public ::testing::WithParamInterface<NodeCase>
{
};

TEST_P(NodeListTest, EachNodeListsItsContacts)
{
    db::Clock::setFixed(QDateTime(QDate(2023, 12, 28), QTime(10, 0)));
    const QStringList keys{QStringLiteral("all"), key(friends), key(work), QStringLiteral("birthday")};
    clickNode(keys.at(GetParam().node));
    EXPECT_EQ(listedNames(), GetParam().expected);
    EXPECT_EQ(Control<ListView>(*page, "ListView2")->isEnabled(), !GetParam().expected.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Nodes, NodeListTest,
                         ::testing::Values(NodeCase{"All", 0, {"张三", "O'Brien", "李四"}},
                                           NodeCase{"Friends", 1, {"张三", "李四"}}, NodeCase{"Work", 2, {"O'Brien"}},
                                           NodeCase{"Birthday", 3, {"张三"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactListTest, BirthdayNodeFollowsTheWindowAndShowsTheDay)
{
    db::Clock::setFixed(QDateTime(QDate(2023, 12, 28), QTime(10, 0)));
    g_BirthdayDays = 4; // 2 January is five days ahead
    clickNode(QStringLiteral("birthday"));
    EXPECT_EQ(listedNames(), QStringList());
    EXPECT_FALSE(Control<ListView>(*page, "ListView2")->isEnabled());
    g_BirthdayDays = 5;
    clickNode(QStringLiteral("birthday"));
    ASSERT_EQ(listedNames(), QStringList{QStringLiteral("张三")});
    EXPECT_EQ(Control<ListView>(*page, "ListView2")->listModel()->cell(0, 4), QStringLiteral("1990-01-02"));
}

TEST_F(ContactListTest, LoadFailureShowsTheDescriptionOnly)
{
    g_Conn->execute(QStringLiteral("drop table ContactList"));
    desktop.expectMessage(ScriptedDesktop::contains(QStringLiteral("ContactList")), Desktop::boxTitle(QString()),
                          Icon::None, Buttons::Ok);
    clickNode(QStringLiteral("all"));
    EXPECT_FALSE(desktop.pending());
}

struct SearchCase
{
    const char* name;
    const char* field;
    const char* keyword;
    QStringList expected;
};

class SearchTest : public ContactListTest, public ::testing::WithParamInterface<SearchCase>
{
};

TEST_P(SearchTest, FindsTheKeywordInTheChosenField)
{
    clickNode(key(work)); // the search covers every contact whatever the node
    Control<QComboBox>(*page, "Combo2")->setCurrentText(QString::fromUtf8(GetParam().field));
    ASSERT_EQ(Control<QComboBox>(*page, "Combo2")->currentText(), QString::fromUtf8(GetParam().field));
    Control<QLineEdit>(*page, "Text5")->setText(QString::fromUtf8(GetParam().keyword));
    Control<QPushButton>(*page, "AeroButton16")->click();
    EXPECT_EQ(listedNames(), GetParam().expected);
    EXPECT_EQ(page->selectedKey(), key(work));
}

INSTANTIATE_TEST_SUITE_P(Fields, SearchTest,
                         ::testing::Values(SearchCase{"Name", "姓名", "张", {"张三"}},
                                           SearchCase{"NameApostrophe", "姓名", "o'b", {"O'Brien"}},
                                           SearchCase{"NameNone", "姓名", "王", {}},
                                           SearchCase{"Phone", "手机号码", "0000000", {"张三", "O'Brien", "李四"}},
                                           SearchCase{"PhoneTail", "手机号码", "0003", {"李四"}},
                                           SearchCase{"Mail", "电子邮件", "EXAMPLE.com", {"张三", "李四"}},
                                           SearchCase{"AddressBlankKept", "通讯地址", "北京市 ", {"张三"}},
                                           SearchCase{"Address", "通讯地址", "北京", {"张三", "李四"}},
                                           SearchCase{"Custom1", "自定义1", "3101", {"O'Brien"}},
                                           SearchCase{"Job", "职位", "经理", {"张三", "李四"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactListTest, BlankKeywordIsRefused)
{
    clickNode(key(work));
    Control<QLineEdit>(*page, "Text5")->setText(QStringLiteral("   "));
    desktop.expectMessage("请输入关键字！", QStringLiteral("提示"), Icon::Information);
    Control<QPushButton>(*page, "AeroButton16")->click();
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("O'Brien")});
}

TEST_F(ContactListTest, TickAllNoneAndInvert)
{
    check(1);
    Control<QPushButton>(*page, "AeroButton39")->click();
    EXPECT_EQ(checkedNames(), (QStringList{"张三", "李四"}));
    Control<QPushButton>(*page, "AeroButton34")->click();
    EXPECT_EQ(checkedNames(), (QStringList{"张三", "O'Brien", "李四"}));
    Control<QPushButton>(*page, "AeroButton35")->click();
    EXPECT_EQ(checkedNames(), QStringList());
}

TEST_F(ContactListTest, DeleteCheckedWithoutAskingAndReloadTheNode)
{
    clickNode(key(friends));
    desktop.expectMessage("你还没有选定任何联系人！", QStringLiteral("删除提示"), Icon::Information);
    Control<QPushButton>(*page, "AeroButton32")->click();
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList]")), 3);

    check(1);
    Control<QPushButton>(*page, "AeroButton32")->click();
    EXPECT_EQ(column(QStringLiteral("select * from [ContactList] order by id"), QStringLiteral("Name")),
              (QStringList{"张三", "O'Brien"}));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("张三")});
    EXPECT_EQ(checkedNames(), QStringList());
}

} // namespace
