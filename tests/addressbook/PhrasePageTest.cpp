#include "Controls.h"
#include "PhraseTestFixture.h"

#include "DataStore.h"
#include "GlobalState.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;
const QString kHint = QStringLiteral("提示");

class PhrasePageTest : public PhraseTestFixture
{
};

TEST_F(PhrasePageTest, EmptyTreeHoldsOnlyTheExpandedSelectedRoot)
{
    QTreeWidget* tree = Control<QTreeWidget>(*page, "TreeView2");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), QStringLiteral("所有类别"));
    EXPECT_EQ(root()->data(0, Qt::UserRole).toString(), QStringLiteral("all"));
    EXPECT_EQ(root()->childCount(), 0);
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_EQ(tree->currentItem(), root());
    EXPECT_EQ(Control<QListWidget>(*page, "List1")->count(), 0);
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton21")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton22")->isEnabled());
}

TEST_F(PhrasePageTest, TreeShowsTopLevelCategoriesInQueryOrderAndNodesFilterThePhrases)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    addCategory(QStringLiteral("子类"), int(family)); // not one level: never shown
    const qint64 work = addCategory(QStringLiteral("O'Neil客户"));
    const qint64 greeting = addPhrase(QStringLiteral("新年快乐"), family);
    const qint64 meeting = addPhrase(QStringLiteral("明天开会"), work);
    const qint64 again = addPhrase(QStringLiteral("周末聚餐"), family);
    reload();

    EXPECT_EQ(childTexts(), (QStringList{QStringLiteral("家人"), QStringLiteral("O'Neil客户")}));
    EXPECT_EQ(listTexts(),
              (QStringList{QStringLiteral("新年快乐"), QStringLiteral("明天开会"), QStringLiteral("周末聚餐")}));

    clickNode(node(family));
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton21")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton22")->isEnabled());
    ASSERT_EQ(listTexts(), (QStringList{QStringLiteral("新年快乐"), QStringLiteral("周末聚餐")}));
    EXPECT_EQ(Control<QListWidget>(*page, "List1")->item(0)->data(Qt::UserRole).toLongLong(), greeting);
    EXPECT_EQ(Control<QListWidget>(*page, "List1")->item(1)->data(Qt::UserRole).toLongLong(), again);

    // Moving through the tree with the keyboard chooses as a click does.
    QTest::keyClick(Control<QTreeWidget>(*page, "TreeView2"), Qt::Key_Down);
    ASSERT_EQ(listTexts(), QStringList{QStringLiteral("明天开会")});
    EXPECT_EQ(Control<QListWidget>(*page, "List1")->item(0)->data(Qt::UserRole).toLongLong(), meeting);

    clickNode(root());
    EXPECT_EQ(listTexts().size(), 3);
}

struct RootRefusal
{
    const char* button;
    const char* message;
};

class PhraseRootRefusalTest : public PhraseTestFixture, public ::testing::WithParamInterface<RootRefusal>
{
};

TEST_P(PhraseRootRefusalTest, RootSelectedAnswersWithoutOpeningAnything)
{
    addCategory(QStringLiteral("家人"));
    reload();
    clickNode(root());
    desktop.expectMessage(GetParam().message, kHint, Icon::Information);
    clickButton(Control<QPushButton>(*page, GetParam().button));
    EXPECT_EQ(categoryNames(), QStringList{QStringLiteral("家人")});
}

INSTANTIATE_TEST_SUITE_P(Buttons, PhraseRootRefusalTest,
                         ::testing::Values(RootRefusal{"AeroButton21", "请先选择一个要修改的类别！"},
                                           RootRefusal{"AeroButton22", "请先选择一个要删除的类别！"}),
                         [](const auto& info) { return std::string(info.param.button); });

struct LabelCase
{
    const char* name;
    const char* typed;
    const char* stored; // the second category's stored name afterwards
};

class PhraseRenameInPlaceTest : public PhraseTestFixture, public ::testing::WithParamInterface<LabelCase>
{
};

TEST_P(PhraseRenameInPlaceTest, StoresTheLabelAsTyped)
{
    addCategory(QStringLiteral("家人"));
    const qint64 id = addCategory(QStringLiteral("同事"));
    reload();
    editLabel(node(id), QString::fromUtf8(GetParam().typed));
    EXPECT_EQ(categoryNames(), (QStringList{QStringLiteral("家人"), QString::fromUtf8(GetParam().stored)}));
    EXPECT_EQ(node(id)->text(0), QString::fromUtf8(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(Labels, PhraseRenameInPlaceTest,
                         ::testing::Values(LabelCase{"untrimmed", "  老同事  ", "  老同事  "},
                                           LabelCase{"empty", "", ""}, LabelCase{"duplicate", "家人", "家人"},
                                           LabelCase{"apostrophe", "O'Brien's", "O'Brien's"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PhrasePageTest, InPlaceEditOfTheRootIsCancelledAndAbandonedEditsStoreNothing)
{
    const qint64 id = addCategory(QStringLiteral("同事"));
    reload();
    editLabel(root(), QStringLiteral("改名"));
    EXPECT_EQ(root()->text(0), QStringLiteral("所有类别"));
    editLabel(node(id), QStringLiteral("放弃"), Qt::Key_Escape);
    EXPECT_EQ(node(id)->text(0), QStringLiteral("同事"));
    EXPECT_EQ(categoryNames(), QStringList{QStringLiteral("同事")});
}

class PhraseCategoryDeleteTest : public PhraseTestFixture, public ::testing::WithParamInterface<Answer>
{
};

TEST_P(PhraseCategoryDeleteTest, AsksThenDeletesOnlyTheCategory)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    addPhrase(QStringLiteral("新年快乐"), family);
    reload();
    clickNode(node(family));
    ASSERT_EQ(listTexts(), QStringList{QStringLiteral("新年快乐")});

    desktop.expectMessage("确定要删除该分类吗？", QStringLiteral("删除确认"), Icon::Question, Buttons::YesNo,
                          GetParam());
    clickButton(Control<QPushButton>(*page, "AeroButton22"));

    const bool deleted = GetParam() == Answer::Yes;
    EXPECT_EQ(categoryNames().isEmpty(), deleted);
    EXPECT_EQ(node(family) == nullptr, deleted);
    EXPECT_EQ(phrasesInDatabase(), QStringList{QStringLiteral("新年快乐")});
    // The list is not reloaded by the delete; the orphaned phrase stays under the root.
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("新年快乐")});
    clickNode(root());
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("新年快乐")});
}

INSTANTIATE_TEST_SUITE_P(Answers, PhraseCategoryDeleteTest, ::testing::Values(Answer::Yes, Answer::No),
                         [](const auto& info) { return std::string(info.param == Answer::Yes ? "Yes" : "No"); });

TEST_F(PhrasePageTest, PhraseDeleteAsksNothingAndReloadsTheList)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    addPhrase(QStringLiteral("甲"), family);
    addPhrase(QStringLiteral("乙"), family);
    reload();
    clickPhrase(1);
    clickButton(Control<QPushButton>(*page, "AeroButton26"));
    EXPECT_EQ(phrasesInDatabase(), QStringList{QStringLiteral("甲")});
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("甲")});
    EXPECT_TRUE(desktop.calls(ScriptedDesktop::Kind::Message).empty());
}

class PhraseNoSelectionTest : public PhraseTestFixture, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(PhraseNoSelectionTest, AsksForAPhraseFirst)
{
    addPhrase(QStringLiteral("甲"), addCategory(QStringLiteral("家人")));
    reload();
    QSignalSpy inserts(page.get(), &PhrasePage::insertPhrase);
    desktop.expectMessage("请先选择一条短语！", kHint, Icon::Information);
    clickButton(Control<QPushButton>(*page, GetParam()));
    EXPECT_EQ(phrasesInDatabase(), QStringList{QStringLiteral("甲")});
    EXPECT_EQ(inserts.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, PhraseNoSelectionTest,
                         ::testing::Values("AeroButton23", "AeroButton25", "AeroButton26"),
                         [](const auto& info) { return std::string(info.param); });

struct InsertCase
{
    int sendMode;
    bool doubleClick;
    int expectedIndex;
};

class PhraseInsertTest : public PhraseTestFixture, public ::testing::WithParamInterface<InsertCase>
{
};

TEST_P(PhraseInsertTest, EmitsTheWholeTextAndTheSendPageOfTheMode)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    addPhrase(QStringLiteral("第一条"), family);
    addPhrase(QStringLiteral("  前有空格的'短语'"), family);
    reload();
    g_SendMode = GetParam().sendMode;
    QSignalSpy inserts(page.get(), &PhrasePage::insertPhrase);
    QSignalSpy pages(page.get(), &PhrasePage::pageRequested);

    QListWidget* list = Control<QListWidget>(*page, "List1");
    const QPoint at = list->visualItemRect(list->item(1)).center();
    if (GetParam().doubleClick) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    } else {
        clickPhrase(1);
        clickButton(Control<QPushButton>(*page, "AeroButton23"));
    }

    ASSERT_EQ(inserts.count(), 1);
    EXPECT_EQ(inserts.at(0).at(0).toString(), QStringLiteral("  前有空格的'短语'"));
    ASSERT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.at(0).at(0).toInt(), GetParam().expectedIndex);
}

INSTANTIATE_TEST_SUITE_P(Modes, PhraseInsertTest,
                         ::testing::Values(InsertCase{1, false, 1}, InsertCase{2, false, 8}, InsertCase{1, true, 1},
                                           InsertCase{2, true, 8}),
                         [](const auto& info) {
                             return "mode" + std::to_string(info.param.sendMode) +
                                    (info.param.doubleClick ? "DoubleClick" : "Button");
                         });

} // namespace
