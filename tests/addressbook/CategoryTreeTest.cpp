#include "AddressBookFixture.h"
#include "CaseName.h"
#include "ContactCategoryAdd.h"
#include "ContactCategoryEdit.h"
#include "Controls.h"
#include "DataStore.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

class CategoryTreeTest : public AddressBookFixture
{
protected:
    // The tree as "key=text" lines, children indented by two blanks.
    QStringList treeShape() const
    {
        QStringList lines;
        QTreeWidget* tree = Control<QTreeWidget>(*page, "TreeView1");
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = tree->topLevelItem(i);
            lines << ContactsPage::nodeKey(root) + QLatin1Char('=') + root->text(0);
            for (int c = 0; c < root->childCount(); ++c)
                lines << QStringLiteral("  ") + ContactsPage::nodeKey(root->child(c)) + QLatin1Char('=') +
                             root->child(c)->text(0);
        }
        return lines;
    }
    static QStringList storedNames()
    {
        return column(QStringLiteral("select * from [ContactCategory] order by id"), QStringLiteral("CategoryName"));
    }
    // Edits the selected node's label in place; commit false abandons the edit with Esc.
    void editLabel(const QString& key, const QString& text, bool commit = true)
    {
        QTreeWidgetItem* node = page->nodeByKey(key);
        ASSERT_NE(node, nullptr);
        Control<QTreeWidget>(*page, "TreeView1")->setCurrentItem(node);
        Control<QTreeWidget>(*page, "TreeView1")->editItem(node, 0);
        auto* editor = Control<QTreeWidget>(*page, "TreeView1")->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr) << "no label editor opened";
        editor->setText(text);
        QTest::keyClick(editor, commit ? Qt::Key_Return : Qt::Key_Escape);
        // The view commits and closes its editor through a queued call.
        QCoreApplication::processEvents();
    }
    QString label(const QString& key) const { return page->nodeByKey(key)->text(0); }
    static QString key(qint64 id) { return QStringLiteral("C") + QString::number(id); }
    QString selectedKey() const { return page->selectedKey(); }
};

TEST_F(CategoryTreeTest, EmptyTreeHoldsTheTwoRootsWithAllSelected)
{
    EXPECT_EQ(treeShape(), (QStringList{"all=所有联系人", "birthday=最近生日联系人"}));
    EXPECT_EQ(selectedKey(), QStringLiteral("all"));
    EXPECT_TRUE(page->nodeByKey(QStringLiteral("all"))->isExpanded());
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton33")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton19")->isEnabled());
}

TEST_F(CategoryTreeTest, CategoriesHangUnderAllInQueryOrder)
{
    const qint64 b = addCategory(QStringLiteral("乙"));
    const qint64 a = addCategory(QStringLiteral("甲"));
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('子类', 5)"));
    page->LoadContactTree();
    EXPECT_EQ(treeShape(),
              (QStringList{"all=所有联系人", "  " + key(b) + "=乙", "  " + key(a) + "=甲", "birthday=最近生日联系人"}));
}

TEST_F(CategoryTreeTest, NodeClickEnablesTheButtonsAndLoadsTheNode)
{
    const qint64 friends = addCategory(QStringLiteral("朋友"));
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    addContact(QStringLiteral("李四"), QStringLiteral("13800000002"), friends + 100);
    page->LoadContactTree();

    // A real click on the birthday root: no one has a birthday, so the list empties.
    QTreeWidget* tree = Control<QTreeWidget>(*page, "TreeView1");
    QTreeWidgetItem* birthday = page->nodeByKey(QStringLiteral("birthday"));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(birthday).center());
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton33")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton19")->isEnabled());
    EXPECT_EQ(listedNames(), QStringList());

    clickNode(key(friends));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("张三")});
    // A rebuild selects "all" again but neither reloads the list nor disables the buttons.
    page->LoadContactTree();
    EXPECT_EQ(selectedKey(), QStringLiteral("all"));
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("张三")});
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton33")->isEnabled());
}

class RootLabelTest : public CategoryTreeTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(RootLabelTest, RootLabelEditIsRefused)
{
    const QString root = QString::fromLatin1(GetParam());
    const QString old = label(root);
    editLabel(root, QStringLiteral("改名"));
    EXPECT_EQ(label(root), old);
    EXPECT_EQ(storedNames(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Roots, RootLabelTest, ::testing::Values("all", "birthday"), ByValue());

struct InPlaceCase
{
    const char* name;
    const char* typed;
};

class InPlaceRenameTest : public CategoryTreeTest, public ::testing::WithParamInterface<InPlaceCase>
{
};

// Untrimmed, empty and duplicate names all go in: the in-place rename tests nothing.
TEST_P(InPlaceRenameTest, StoresTheTextAsTyped)
{
    addCategory(QStringLiteral("朋友"));
    const qint64 work = addCategory(QStringLiteral("工作"));
    page->LoadContactTree();
    const QString typed = QString::fromUtf8(GetParam().typed);
    editLabel(key(work), typed);
    EXPECT_EQ(storedNames(), (QStringList{QStringLiteral("朋友"), typed}));
    EXPECT_EQ(label(key(work)), typed);
}

INSTANTIATE_TEST_SUITE_P(Names, InPlaceRenameTest,
                         ::testing::Values(InPlaceCase{"Blanks", "  同事 "}, InPlaceCase{"Empty", ""},
                                           InPlaceCase{"Duplicate", "朋友"}, InPlaceCase{"Apostrophe", "O'Neil's"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CategoryTreeTest, AbandonedLabelEditStoresNothing)
{
    const qint64 work = addCategory(QStringLiteral("工作"));
    page->LoadContactTree();
    editLabel(key(work), QStringLiteral("别的"), false);
    EXPECT_EQ(storedNames(), QStringList{QStringLiteral("工作")});
    EXPECT_EQ(label(key(work)), QStringLiteral("工作"));
}

struct AddCase
{
    const char* name;
    const char* typed;
    const char* message; // nullptr: stored
    const char* stored;
};

class AddCategoryTest : public CategoryTreeTest, public ::testing::WithParamInterface<AddCase>
{
};

TEST_P(AddCategoryTest, TrimsAndRefusesEmptyOrExistingNames)
{
    addCategory(QStringLiteral("O'Brien家"));
    page->LoadContactTree();
    const AddCase& c = GetParam();
    if (c.message)
        desktop.expectMessage(QString::fromUtf8(c.message), QStringLiteral("提示"), Icon::Information);
    bool stayedOpen = false;
    const bool seen =
        driveModal<ContactCategoryAdd>([&] { Control<QPushButton>(*page, "AeroButton17")->click(); },
                                       [&](ContactCategoryAdd& dialog) {
                                           EXPECT_EQ(dialog.windowTitle(), QStringLiteral("添加通讯录分类"));
                                           Control<QLineEdit>(dialog, "Text1")->setText(QString::fromUtf8(c.typed));
                                           Control<QPushButton>(dialog, "AeroButton2")->click();
                                           stayedOpen = dialog.isVisible();
                                       });
    ASSERT_TRUE(seen);
    EXPECT_EQ(stayedOpen, c.message != nullptr);
    QStringList expected{QStringLiteral("O'Brien家")};
    if (c.stored)
        expected << QString::fromUtf8(c.stored);
    EXPECT_EQ(storedNames(), expected);
    EXPECT_EQ(scalar(QStringLiteral("select max(ParentId) from [ContactCategory]")).toInt(), 0);
    // The tree is rebuilt after the dialog, whatever it did.
    EXPECT_EQ(Control<QTreeWidget>(*page, "TreeView1")->topLevelItem(0)->childCount(), expected.size());
    EXPECT_EQ(selectedKey(), QStringLiteral("all"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, AddCategoryTest,
    ::testing::Values(AddCase{"Trimmed", "  同学 ", nullptr, "同学"}, AddCase{"Apostrophe", "It's", nullptr, "It's"},
                      AddCase{"Blank", "   ", "请输入分类名称", nullptr},
                      AddCase{"Existing", " O'Brien家 ", "已经存在相同的分类名称", nullptr},
                      AddCase{"ExistingOtherCase", "o'brien家", "已经存在相同的分类名称", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CategoryTreeTest, CancelStoresNothingAndRebuildsTheTree)
{
    const qint64 work = addCategory(QStringLiteral("工作"));
    page->LoadContactTree();
    clickNode(key(work));
    ASSERT_TRUE(
        driveModal<ContactCategoryEdit>([&] { Control<QPushButton>(*page, "AeroButton33")->click(); },
                                        [](ContactCategoryEdit& dialog) {
                                            Control<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("别的"));
                                            Control<QPushButton>(dialog, "AeroButton1")->click();
                                        }));
    ASSERT_TRUE(driveModal<ContactCategoryAdd>([&] { Control<QPushButton>(*page, "AeroButton17")->click(); },
                                               [](ContactCategoryAdd& dialog) {
                                                   Control<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("新的"));
                                                   Control<QPushButton>(dialog, "AeroButton1")->click();
                                               }));
    EXPECT_EQ(storedNames(), QStringList{QStringLiteral("工作")});
    EXPECT_EQ(selectedKey(), QStringLiteral("all"));
}

struct RenameCase
{
    const char* name;
    const char* typed;
    const char* message;
    const char* stored; // the renamed category's name afterwards
};

class RenameCategoryTest : public CategoryTreeTest, public ::testing::WithParamInterface<RenameCase>
{
};

TEST_P(RenameCategoryTest, DialogTrimsAndTestsAgainstTheOthers)
{
    addCategory(QStringLiteral("朋友"));
    const qint64 work = addCategory(QStringLiteral("工作's"));
    page->LoadContactTree();
    clickNode(key(work));
    const RenameCase& c = GetParam();
    if (c.message)
        desktop.expectMessage(QString::fromUtf8(c.message), QStringLiteral("提示"), Icon::Information);
    bool stayedOpen = false;
    ASSERT_TRUE(driveModal<ContactCategoryEdit>(
        [&] { Control<QPushButton>(*page, "AeroButton33")->click(); },
        [&](ContactCategoryEdit& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改通讯录分类"));
            EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("工作's"));
            Control<QLineEdit>(dialog, "Text1")->setText(QString::fromUtf8(c.typed));
            Control<QPushButton>(dialog, "AeroButton2")->click();
            stayedOpen = dialog.isVisible();
        }));
    EXPECT_EQ(stayedOpen, c.message != nullptr);
    EXPECT_EQ(storedNames(), (QStringList{QStringLiteral("朋友"), QString::fromUtf8(c.stored)}));
    EXPECT_EQ(label(key(work)), QString::fromUtf8(c.stored));
}

INSTANTIATE_TEST_SUITE_P(Names, RenameCategoryTest,
                         ::testing::Values(RenameCase{"Trimmed", " 同事 ", nullptr, "同事"},
                                           RenameCase{"OwnName", "工作's", nullptr, "工作's"},
                                           RenameCase{"OwnNameOtherCase", "工作'S", nullptr, "工作'S"},
                                           RenameCase{"Blank", " ", "请输入分类名称", "工作's"},
                                           RenameCase{"Other", "朋友 ", "已经存在相同的分类名称", "工作's"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CategoryTreeTest, RenameOfAVanishedCategoryIsRefused)
{
    const qint64 work = addCategory(QStringLiteral("工作"));
    page->LoadContactTree();
    clickNode(key(work));
    // Gone after the tree was drawn: the box stays empty and a save is refused.
    g_Conn->execute(QStringLiteral("delete from [ContactCategory]"));
    desktop.expectMessage("请先选择一个要修改的类别！", QStringLiteral("提示"), Icon::Information);
    ASSERT_TRUE(
        driveModal<ContactCategoryEdit>([&] { Control<QPushButton>(*page, "AeroButton33")->click(); },
                                        [&](ContactCategoryEdit& dialog) {
                                            EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), QString());
                                            Control<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("新名"));
                                            Control<QPushButton>(dialog, "AeroButton2")->click();
                                            EXPECT_FALSE(dialog.isVisible());
                                        }));
    EXPECT_EQ(storedNames(), QStringList());
}

struct RootButtonCase
{
    const char* root;
    const char* button;
    const char* message;
};

class RootButtonTest : public CategoryTreeTest, public ::testing::WithParamInterface<RootButtonCase>
{
};

TEST_P(RootButtonTest, RootSelectedShowsTheMessageAndOpensNothing)
{
    addCategory(QStringLiteral("工作"));
    page->LoadContactTree();
    clickNode(QString::fromLatin1(GetParam().root));
    desktop.expectMessage(QString::fromUtf8(GetParam().message), QStringLiteral("提示"), Icon::Information);
    Control<QPushButton>(*page, GetParam().button)->click();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(storedNames(), QStringList{QStringLiteral("工作")});
}

INSTANTIATE_TEST_SUITE_P(Roots, RootButtonTest,
                         ::testing::Values(RootButtonCase{"all", "AeroButton33", "请先选择一个要修改的类别！"},
                                           RootButtonCase{"birthday", "AeroButton33", "请先选择一个要修改的类别！"},
                                           RootButtonCase{"all", "AeroButton19", "请先选择一个要删除的类别！"},
                                           RootButtonCase{"birthday", "AeroButton19", "请先选择一个要删除的类别！"}),
                         NameFrom(&RootButtonCase::button));

class DeleteCategoryTest : public CategoryTreeTest, public ::testing::WithParamInterface<Desktop::Answer>
{
};

TEST_P(DeleteCategoryTest, DeleteTakesTheCategorysContactsOnYes)
{
    const qint64 friends = addCategory(QStringLiteral("朋友"));
    const qint64 work = addCategory(QStringLiteral("工作"));
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), friends);
    addContact(QStringLiteral("李四"), QStringLiteral("13800000002"), work);
    addContact(QStringLiteral("王五"), QStringLiteral("13800000003"), friends);
    page->LoadContactTree();
    clickNode(key(friends));
    desktop.expectMessage("确定要删除该分类吗？该分类下的所有联系人都将会被同时删除！", QStringLiteral("删除确认"),
                          Icon::Question, Buttons::YesNo, GetParam());
    Control<QPushButton>(*page, "AeroButton19")->click();

    const bool yes = GetParam() == Answer::Yes;
    EXPECT_EQ(storedNames(), yes ? QStringList{QStringLiteral("工作")}
                                 : (QStringList{QStringLiteral("朋友"), QStringLiteral("工作")}));
    EXPECT_EQ(column(QStringLiteral("select * from [ContactList] order by id"), QStringLiteral("Name")),
              yes ? QStringList{QStringLiteral("李四")}
                  : (QStringList{QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")}));
    EXPECT_EQ(page->nodeByKey(key(friends)) == nullptr, yes);
    // The list is not reloaded by the deletion.
    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("张三"), QStringLiteral("王五")}));
}

INSTANTIATE_TEST_SUITE_P(Answers, DeleteCategoryTest, ::testing::Values(Desktop::Answer::Yes, Desktop::Answer::No),
                         ByValue());

} // namespace
