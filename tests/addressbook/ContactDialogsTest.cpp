#include "AddressBookFixture.h"
#include "ContactAdd.h"
#include "ContactEdit.h"
#include "ContactForm.h"
#include "Controls.h"
#include "DataStore.h"
#include "ListView.h"
#include "db/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

class ContactDialogsTest : public AddressBookFixture
{
protected:
    void SetUp() override
    {
        AddressBookFixture::SetUp();
        db::Clock::setFixed(QDateTime(QDate(2024, 3, 10), QTime(9, 0)));
        friends = addCategory(QStringLiteral("朋友"));
        work = addCategory(QStringLiteral("工作"));
        page->LoadContactTree();
    }
    // Opens the add dialog from the page with the given node selected.
    bool addThrough(const QString& node, const std::function<void(ContactAdd&)>& drive)
    {
        clickNode(node);
        return driveModal<ContactAdd>([&] { Control<QPushButton>(*page, "AeroButton31")->click(); }, drive);
    }
    // Opens the edit dialog on the listed row of that contact.
    bool editThrough(qint64 id, const std::function<void(ContactEdit&)>& drive)
    {
        const int row =
            Control<ListView>(*page, "ListView2")->listModel()->findKey(QStringLiteral("Row_") + QString::number(id));
        EXPECT_GE(row, 0);
        Control<ListView>(*page, "ListView2")
            ->setCurrentIndex(Control<ListView>(*page, "ListView2")->model()->index(row, 1));
        return driveModal<ContactEdit>([&] { page->ListView2_DblClick(); }, drive);
    }
    static void fillRequired(ContactForm& form, const QString& name, const QString& phone)
    {
        Control<QLineEdit>(form, "Text1")->setText(name);
        Control<QLineEdit>(form, "Text2")->setText(phone);
    }
    static QVariant field(qint64 id, const char* name)
    {
        return scalar(QStringLiteral("select ") + QString::fromLatin1(name) +
                      QStringLiteral(" from [ContactList] where id=") + QString::number(id));
    }
    QString categoryKey(qint64 id) const { return QStringLiteral("C") + QString::number(id); }

    qint64 friends = 0;
    qint64 work = 0;
};

struct CheckCase
{
    const char* name;
    const char* contactName;
    const char* phone;
    bool category;
    const char* message;
    const char* focus;
};

class AddChecksTest : public ContactDialogsTest, public ::testing::WithParamInterface<CheckCase>
{
};

TEST_P(AddChecksTest, FirstFailedCheckNamesItsFieldAndStoresNothing)
{
    const CheckCase& c = GetParam();
    desktop.expectMessage(QString::fromUtf8(c.message), QStringLiteral("提示"), Icon::Information);
    ASSERT_TRUE(addThrough(c.category ? categoryKey(friends) : QStringLiteral("all"), [&](ContactAdd& dialog) {
        fillRequired(*Control<ContactForm>(dialog, "contactForm"), QString::fromUtf8(c.contactName),
                     QString::fromUtf8(c.phone));
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_NE(dialog.focusWidget(), nullptr);
        EXPECT_EQ(dialog.focusWidget()->objectName(), QString::fromLatin1(c.focus));
        // The number is tested on a copy: the box keeps what was typed.
        EXPECT_EQ(Control<QLineEdit>(dialog, "Text2")->text(), QString::fromUtf8(c.phone));
    }));
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList]")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, AddChecksTest,
    ::testing::Values(CheckCase{"NoName", "", "", false, "姓名不能为空", "Text1"},
                      CheckCase{"BlankName", "   ", "13800000001", true, "姓名不能为空", "Text1"},
                      CheckCase{"NoNumber", "张三", "  ", false, "手机号不能为空", "Text2"},
                      CheckCase{"BadNumber", "张三", "+86 1380000", true, "您输入的手机号有误", "Text2"},
                      CheckCase{"NoCategory", "张三", "13800000001", false, "请选择所属分类", "Combo3"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase
{
    const char* name;
    const char* typed;
    bool refused;
};

class AddNumberTest : public ContactDialogsTest, public ::testing::WithParamInterface<NumberCase>
{
};

TEST_P(AddNumberTest, OnlyTheNumberAsStoredIsADuplicate)
{
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    const QString typed = QString::fromUtf8(GetParam().typed);
    if (GetParam().refused)
        desktop.expectMessage(QStringLiteral("手机号") + typed + QStringLiteral("已经存在"),
                              QStringLiteral("手机号码重复"), Icon::Information);
    ASSERT_TRUE(addThrough(categoryKey(work), [&](ContactAdd& dialog) {
        fillRequired(*Control<ContactForm>(dialog, "contactForm"), QStringLiteral("李四"), typed);
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_EQ(dialog.isVisible(), GetParam().refused);
        if (GetParam().refused) {
            EXPECT_EQ(dialog.focusWidget(), Control<QLineEdit>(dialog, "Text2"));
        }
    }));
    QStringList expected{QStringLiteral("13800000001")};
    if (!GetParam().refused)
        expected << typed;
    EXPECT_EQ(column(QStringLiteral("select * from [ContactList] order by id"), QStringLiteral("MobilePhone")),
              expected);
    // The list shows the node's contacts again after the dialog.
    EXPECT_EQ(listedNames(), GetParam().refused ? QStringList() : QStringList{QStringLiteral("李四")});
}

INSTANTIATE_TEST_SUITE_P(Numbers, AddNumberTest,
                         ::testing::Values(NumberCase{"Stored", "13800000001", true},
                                           NumberCase{"CountryPrefix", "+8613800000001", false},
                                           NumberCase{"Blanks", "138 0000 0001", false},
                                           NumberCase{"Other", "13900000009", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactDialogsTest, AddStoresEveryFieldAsTheFormSays)
{
    qint64 id = 0;
    ASSERT_TRUE(addThrough(categoryKey(work), [&](ContactAdd& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("添加联系人资料"));
        EXPECT_EQ(Control<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("添　加"));
        EXPECT_EQ(Control<QPushButton>(dialog, "AeroButton2")->text(), QStringLiteral("关　闭"));
        ContactForm& f = *Control<ContactForm>(dialog, "contactForm");
        EXPECT_EQ(Control<QComboBox>(f, "Combo3")->currentText(), QStringLiteral("工作"));
        EXPECT_FALSE(Control<QCheckBox>(f, "AeroCheckBox1")->isChecked());
        EXPECT_FALSE(Control<QDateEdit>(f, "DTPicker1")->isEnabled());
        fillRequired(f, QStringLiteral(" 欧 阳 O'Neil "), QStringLiteral("+86 13800000001"));
        Control<QComboBox>(f, "Combo1")->setEditText(QStringLiteral("保密"));
        QTest::mouseClick(Control<QCheckBox>(f, "AeroCheckBox1"), Qt::LeftButton);
        EXPECT_TRUE(Control<QDateEdit>(f, "DTPicker1")->isEnabled());
        Control<QDateEdit>(f, "DTPicker1")->setDate(QDate(1990, 5, 6));
        Control<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("已婚"));
        Control<QLineEdit>(f, "Text7")->setText(QStringLiteral("a@b.cn"));
        Control<QLineEdit>(f, "Text6")->setText(QStringLiteral("10001"));
        Control<QLineEdit>(f, "Text3")->setText(QStringLiteral("IT"));
        Control<QLineEdit>(f, "Text5")->setText(QStringLiteral("经理"));
        Control<QLineEdit>(f, "Text8")->setText(QStringLiteral(" 北京市 朝阳区 "));
        Control<QPlainTextEdit>(f, "Text4")->setPlainText(QStringLiteral("第一行\n第二行"));
        Control<QPlainTextEdit>(f, "Text9")->setPlainText(QStringLiteral("备注'"));
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_FALSE(dialog.isVisible());
        id = g_Conn->lastInsertId();
    }));
    ASSERT_GT(id, 0);
    const QStringList fields{"Name",     "MobilePhone", "Sex",     "Marriage",  "EMail", "Favorite",
                             "Vocation", "Job",         "Address", "IdCardNum", "Remark"};
    const QStringList expected{QStringLiteral("欧阳O'Neil"),
                               QStringLiteral("+86 13800000001"),
                               QStringLiteral("保密"),
                               QStringLiteral("已婚"),
                               QStringLiteral("a@b.cn"),
                               QStringLiteral("10001"),
                               QStringLiteral("IT"),
                               QStringLiteral("经理"),
                               QStringLiteral(" 北京市 朝阳区 "),
                               QStringLiteral("第一行\n第二行"),
                               QStringLiteral("备注'")};
    for (int i = 0; i < fields.size(); ++i)
        EXPECT_EQ(field(id, fields.at(i).toLatin1().constData()).toString(), expected.at(i))
            << fields.at(i).toStdString();
    EXPECT_EQ(field(id, "CatID").toLongLong(), work);
    EXPECT_EQ(field(id, "Birthday").toString().left(10), QStringLiteral("1990-05-06"));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("欧阳O'Neil")});
}

TEST_F(ContactDialogsTest, AddWithTheBoxUntickedStoresNoBirthday)
{
    ASSERT_TRUE(addThrough(categoryKey(friends), [&](ContactAdd& dialog) {
        ContactForm& f = *Control<ContactForm>(dialog, "contactForm");
        fillRequired(f, QStringLiteral("张三"), QStringLiteral("13800000001"));
        Control<QCheckBox>(f, "AeroCheckBox1")->setChecked(true);
        Control<QDateEdit>(f, "DTPicker1")->setDate(QDate(1990, 5, 6));
        QTest::mouseClick(Control<QCheckBox>(f, "AeroCheckBox1"), Qt::LeftButton); // unticked again
        EXPECT_FALSE(Control<QDateEdit>(f, "DTPicker1")->isEnabled());
        Control<QPushButton>(dialog, "AeroButton1")->click();
    }));
    EXPECT_TRUE(scalar(QStringLiteral("select Birthday from [ContactList]")).isNull());
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList]")), 1);
}

struct PreselectCase
{
    const char* name;
    int node; // 0 all, 1 birthday, 2 the first "朋友", 3 the second "朋友"
    int expectedItem;
};

class PreselectTest : public ContactDialogsTest, public ::testing::WithParamInterface<PreselectCase>
{
};

// With two categories of one name (possible after an in-place rename) the last one wins.
TEST_P(PreselectTest, CategoryNodePreselectsByName)
{
    const qint64 twin = addCategory(QStringLiteral("朋友"));
    page->LoadContactTree();
    const QStringList nodes{QStringLiteral("all"), QStringLiteral("birthday"), categoryKey(friends), categoryKey(twin)};
    ASSERT_TRUE(addThrough(nodes.at(GetParam().node), [&](ContactAdd& dialog) {
        QComboBox& categories = *Control<QComboBox>(dialog, "Combo3");
        ASSERT_EQ(categories.count(), 3);
        EXPECT_EQ(categories.itemData(0).toLongLong(), friends);
        EXPECT_EQ(categories.itemData(2).toLongLong(), twin);
        EXPECT_EQ(categories.currentIndex(), GetParam().expectedItem);
    }));
}

INSTANTIATE_TEST_SUITE_P(Nodes, PreselectTest,
                         ::testing::Values(PreselectCase{"All", 0, -1}, PreselectCase{"Birthday", 1, -1},
                                           PreselectCase{"First", 2, 2}, PreselectCase{"Second", 3, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactDialogsTest, RootNamedLikeACategoryPreselectsNothing)
{
    addCategory(QStringLiteral("所有联系人"));
    page->LoadContactTree();
    ASSERT_TRUE(addThrough(QStringLiteral("all"), [](ContactAdd& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo3")->currentIndex(), -1);
    }));
}

TEST_F(ContactDialogsTest, EditShowsTheStoredContact)
{
    const qint64 id = addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), work,
                                 QStringLiteral("1985-02-03"), QStringLiteral("男"));
    g_Conn->execute(QStringLiteral("update [ContactList] set Marriage='离异', EMail='z@x.cn', Favorite='qq', "
                                   "Vocation='商', Job='总监', Address='上海', IdCardNum='c1', Remark=Null where id=") +
                    QString::number(id));
    clickNode(QStringLiteral("all"));
    // A real double click on the row.
    ListView& list = *Control<ListView>(*page, "ListView2");
    const QRect rect = list.visualRect(list.model()->index(0, 1));
    ASSERT_TRUE(rect.isValid());
    ASSERT_TRUE(driveModal<ContactEdit>(
        [&] {
            // A double click as the window system delivers it: press, release, then the double click.
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        },
        [&](ContactEdit& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改联系人资料"));
            EXPECT_EQ(Control<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("修　　改"));
            EXPECT_EQ(dialog.ContactId(), id);
            ContactForm& f = *Control<ContactForm>(dialog, "contactForm");
            const QStringList shown{Control<QLineEdit>(f, "Text1")->text(),
                                    Control<QLineEdit>(f, "Text2")->text(),
                                    Control<QComboBox>(f, "Combo1")->currentText(),
                                    Control<QComboBox>(f, "Combo2")->currentText(),
                                    Control<QLineEdit>(f, "Text7")->text(),
                                    Control<QLineEdit>(f, "Text6")->text(),
                                    Control<QLineEdit>(f, "Text3")->text(),
                                    Control<QLineEdit>(f, "Text5")->text(),
                                    Control<QLineEdit>(f, "Text8")->text(),
                                    Control<QPlainTextEdit>(f, "Text4")->toPlainText(),
                                    Control<QPlainTextEdit>(f, "Text9")->toPlainText()};
            EXPECT_EQ(shown, (QStringList{"张三", "13800000001", "男", "离异", "z@x.cn", "qq", "商", "总监", "上海",
                                          "c1", ""}));
            EXPECT_TRUE(Control<QCheckBox>(f, "AeroCheckBox1")->isChecked());
            EXPECT_TRUE(Control<QDateEdit>(f, "DTPicker1")->isEnabled());
            EXPECT_EQ(Control<QDateEdit>(f, "DTPicker1")->date(), QDate(1985, 2, 3));
            EXPECT_EQ(Control<QComboBox>(f, "Combo3")->currentData().toLongLong(), work);
        }));
}

TEST_F(ContactDialogsTest, EditToAnotherContactsNumberIsAccepted)
{
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    const qint64 li = addContact(QStringLiteral("李四"), QStringLiteral("13800000002"), friends);
    clickNode(categoryKey(friends));
    ASSERT_TRUE(editThrough(li, [this](ContactEdit& dialog) {
        ContactForm& f = *Control<ContactForm>(dialog, "contactForm");
        EXPECT_FALSE(Control<QCheckBox>(f, "AeroCheckBox1")->isChecked());
        EXPECT_FALSE(Control<QDateEdit>(f, "DTPicker1")->isEnabled());
        EXPECT_EQ(Control<QDateEdit>(f, "DTPicker1")->date(), QDate(2024, 3, 10));
        Control<QLineEdit>(f, "Text1")->setText(QStringLiteral("李 四 四"));
        Control<QLineEdit>(f, "Text2")->setText(QStringLiteral("13800000001"));
        Control<QComboBox>(f, "Combo3")->setCurrentIndex(Control<QComboBox>(f, "Combo3")->findData(qint32(work)));
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(field(li, "MobilePhone").toString(), QStringLiteral("13800000001"));
    EXPECT_EQ(field(li, "Name").toString(), QStringLiteral("李四四"));
    EXPECT_EQ(field(li, "CatID").toLongLong(), work);
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList]")), 2);
    // Reloaded for the selected node: the contact moved to the other category.
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("张三")});
}

TEST_F(ContactDialogsTest, UntickingKeepsTheStoredBirthday)
{
    const qint64 id =
        addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends, QStringLiteral("1985-02-03"));
    clickNode(QStringLiteral("all"));
    ASSERT_TRUE(editThrough(id, [](ContactEdit& dialog) {
        QTest::mouseClick(Control<QCheckBox>(dialog, "AeroCheckBox1"), Qt::LeftButton);
        EXPECT_FALSE(Control<QDateEdit>(dialog, "DTPicker1")->isEnabled());
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(field(id, "Birthday").toString().left(10), QStringLiteral("1985-02-03"));
}

TEST_F(ContactDialogsTest, ContactOfAMissingCategoryMustChooseOne)
{
    const qint64 id = addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), work + 50);
    clickNode(QStringLiteral("all"));
    desktop.expectMessage("请选择所属分类", QStringLiteral("提示"), Icon::Information);
    ASSERT_TRUE(editThrough(id, [](ContactEdit& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo3")->currentIndex(), -1);
        Control<QPushButton>(dialog, "AeroButton1")->click();
        EXPECT_TRUE(dialog.isVisible());
    }));
    EXPECT_EQ(field(id, "CatID").toLongLong(), work + 50);
}

TEST_F(ContactDialogsTest, TwinCategoriesKeepTheContactInItsOwn)
{
    const qint64 twin = addCategory(QStringLiteral("朋友"));
    const qint64 id = addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), twin);
    page->LoadContactTree();
    clickNode(QStringLiteral("all"));
    ASSERT_TRUE(editThrough(id, [twin](ContactEdit& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo3")->currentData().toLongLong(), twin);
        Control<QPushButton>(dialog, "AeroButton1")->click();
    }));
    EXPECT_EQ(field(id, "CatID").toLongLong(), twin);
}

TEST_F(ContactDialogsTest, EditOfAVanishedContactReportsAndOpensNothing)
{
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    clickNode(QStringLiteral("all"));
    g_Conn->execute(QStringLiteral("delete from [ContactList]"));
    desktop.expectMessage("读取数据出错！", QStringLiteral("系统出错"), Icon::Exclamation);
    Control<ListView>(*page, "ListView2")->setCurrentIndex(Control<ListView>(*page, "ListView2")->model()->index(0, 1));
    page->ListView2_DblClick();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(listedNames(), QStringList());
    EXPECT_FALSE(Control<ListView>(*page, "ListView2")->isEnabled());
}

TEST_F(ContactDialogsTest, CloseStoresNothing)
{
    const qint64 id = addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    clickNode(QStringLiteral("all"));
    ASSERT_TRUE(editThrough(id, [](ContactEdit& dialog) {
        Control<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("别人"));
        Control<QPushButton>(dialog, "AeroButton2")->click();
    }));
    ASSERT_TRUE(addThrough(categoryKey(friends), [](ContactAdd& dialog) {
        fillRequired(*Control<ContactForm>(dialog, "contactForm"), QStringLiteral("李四"),
                     QStringLiteral("13800000002"));
        Control<QPushButton>(dialog, "AeroButton2")->click();
    }));
    EXPECT_EQ(column(QStringLiteral("select * from [ContactList]"), QStringLiteral("Name")),
              QStringList{QStringLiteral("张三")});
}

} // namespace
