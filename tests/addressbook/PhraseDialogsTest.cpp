#include "Controls.h"
#include "PhraseTestFixture.h"

#include "DestineMsgAdd.h"
#include "DestineMsgEdit.h"
#include "MsgEdit.h"
#include "NewMsg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

using Icon = Desktop::Icon;
const QString kHint = QStringLiteral("提示");

// One try in a category or phrase dialog: the text typed, the box it answers with (none when
// empty) and the names or phrases stored afterwards.
struct DialogCase
{
    const char* name;
    const char* typed;
    const char* box;
    QStringList stored;
};

std::string caseName(const ::testing::TestParamInfo<DialogCase>& info)
{
    return info.param.name;
}

// The dialog saved and closed, or refused with its box and stayed open.
template <typename D> void expectOutcome(D& dialog, const DialogCase& c)
{
    EXPECT_EQ(dialog.isVisible(), *c.box != '\0') << c.name;
}

class PhraseCategoryAddTest : public PhraseTestFixture, public ::testing::WithParamInterface<DialogCase>
{
};

TEST_P(PhraseCategoryAddTest, TrimsAndRefusesEmptyOrTakenNames)
{
    addCategory(QStringLiteral("O'Brien"));
    addCategory(QStringLiteral("家人"));
    reload();
    const DialogCase& c = GetParam();
    if (*c.box)
        desktop.expectMessage(c.box, kHint, Icon::Information);
    EXPECT_TRUE(onModal<DestineMsgAdd>(Control<QPushButton>(*page, "AeroButton20"), [&](DestineMsgAdd& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("添加短语分类"));
        Control<QLineEdit>(dialog, "Text1")->setText(QString::fromUtf8(c.typed));
        clickButton(Control<QPushButton>(dialog, "AeroButton1"));
        expectOutcome(dialog, c);
    }));
    EXPECT_EQ(categoryNames(), c.stored);
    EXPECT_EQ(childTexts(), c.stored);
    EXPECT_EQ(Control<QTreeWidget>(*page, "TreeView2")->currentItem(), root());
}

INSTANTIATE_TEST_SUITE_P(
    Names, PhraseCategoryAddTest,
    ::testing::Values(DialogCase{"trimmed", "  同事  ", "", {"O'Brien", "家人", "同事"}},
                      DialogCase{"apostrophe", "D'Arcy", "", {"O'Brien", "家人", "D'Arcy"}},
                      DialogCase{"blank", "   ", "分类名称不能为空！", {"O'Brien", "家人"}},
                      DialogCase{"taken", " 家人 ", "已经存在相同的分类名称", {"O'Brien", "家人"}},
                      DialogCase{"takenWithApostrophe", "o'brien", "已经存在相同的分类名称", {"O'Brien", "家人"}}),
    caseName);

class PhraseCategoryEditTest : public PhraseTestFixture, public ::testing::WithParamInterface<DialogCase>
{
};

TEST_P(PhraseCategoryEditTest, RenamesUnlessEmptyOrTakenByAnother)
{
    addCategory(QStringLiteral("家人"));
    const qint64 id = addCategory(QStringLiteral("O'Brien"));
    reload();
    clickNode(node(id));
    const DialogCase& c = GetParam();
    if (*c.box)
        desktop.expectMessage(c.box, kHint, Icon::Information);
    EXPECT_TRUE(onModal<DestineMsgEdit>(Control<QPushButton>(*page, "AeroButton21"), [&](DestineMsgEdit& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改分类"));
        EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("O'Brien"));
        Control<QLineEdit>(dialog, "Text1")->setText(QString::fromUtf8(c.typed));
        clickButton(Control<QPushButton>(dialog, "AeroButton2"));
        expectOutcome(dialog, c);
    }));
    EXPECT_EQ(categoryNames(), c.stored);
    EXPECT_EQ(Control<QTreeWidget>(*page, "TreeView2")->currentItem(), root());
}

INSTANTIATE_TEST_SUITE_P(Names, PhraseCategoryEditTest,
                         ::testing::Values(DialogCase{"ownName", "O'Brien", "", {"家人", "O'Brien"}},
                                           DialogCase{"trimmed", "  D'Arcy ", "", {"家人", "D'Arcy"}},
                                           DialogCase{"blank", " ", "请输入分类名称", {"家人", "O'Brien"}},
                                           DialogCase{"taken", "家人", "已经存在相同的分类名称", {"家人", "O'Brien"}}),
                         caseName);

TEST_F(PhraseTestFixture, CategoryEditCancelStoresNothing)
{
    const qint64 id = addCategory(QStringLiteral("家人"));
    reload();
    clickNode(node(id));
    EXPECT_TRUE(onModal<DestineMsgEdit>(Control<QPushButton>(*page, "AeroButton21"), [](DestineMsgEdit& dialog) {
        Control<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("别的"));
        clickButton(Control<QPushButton>(dialog, "AeroButton1"));
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(categoryNames(), QStringList{QStringLiteral("家人")});
}

class PhraseNewTest : public PhraseTestFixture, public ::testing::WithParamInterface<DialogCase>
{
};

TEST_P(PhraseNewTest, StoresTheTextAsTypedInTheChosenCategory)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    const qint64 friends = addCategory(QStringLiteral("朋友"));
    reload();
    clickNode(node(friends));
    const DialogCase& c = GetParam();
    if (*c.box)
        desktop.expectMessage(c.box, kHint, Icon::Information);
    EXPECT_TRUE(onModal<NewMsg>(Control<QPushButton>(*page, "AeroButton24"), [&](NewMsg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新增短语"));
        ASSERT_EQ(Control<QComboBox>(dialog, "Combo1")->count(), 2);
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->currentText(), QStringLiteral("朋友"));
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->itemData(0).toLongLong(), family);
        Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(QString::fromUtf8(c.typed));
        clickButton(Control<QPushButton>(dialog, "AeroButton1"));
        expectOutcome(dialog, c);
    }));
    EXPECT_EQ(phrasesInDatabase(), c.stored);
    EXPECT_EQ(listTexts(), c.stored);
    if (!c.stored.isEmpty()) {
        EXPECT_EQ(scalar(QStringLiteral("select CatID from [DestineMsg]")).toLongLong(), friends);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, PhraseNewTest,
                         ::testing::Values(DialogCase{"leadingBlanks", "  周末见 ", "", {"  周末见 "}},
                                           DialogCase{"apostrophe", "It's done", "", {"It's done"}},
                                           DialogCase{"blank", "    ", "内容不能为空！", {}}),
                         caseName);

TEST_F(PhraseTestFixture, NewPhraseWithTheRootSelectedHasNoCategoryChosen)
{
    addCategory(QStringLiteral("家人"));
    reload();
    desktop.expectMessage("请选择类别！", kHint, Icon::Information);
    EXPECT_TRUE(onModal<NewMsg>(Control<QPushButton>(*page, "AeroButton24"), [](NewMsg& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->currentIndex(), -1);
        Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(QStringLiteral("你好"));
        clickButton(Control<QPushButton>(dialog, "AeroButton1"));
        EXPECT_TRUE(dialog.isVisible());
    }));
    EXPECT_TRUE(phrasesInDatabase().isEmpty());
}

TEST_F(PhraseTestFixture, NewPhraseChoosesTheLastCategoryOfTheSelectedName)
{
    addCategory(QStringLiteral("同名"));
    const qint64 last = addCategory(QStringLiteral("同名"));
    reload();
    clickNode(node(last));
    EXPECT_TRUE(onModal<NewMsg>(Control<QPushButton>(*page, "AeroButton24"), [&](NewMsg& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->currentIndex(), 1);
        EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->currentData().toLongLong(), last);
    }));
}

class PhraseEditTest : public PhraseTestFixture, public ::testing::WithParamInterface<DialogCase>
{
};

TEST_P(PhraseEditTest, StoresTheTextAsTypedUnlessBlank)
{
    const qint64 family = addCategory(QStringLiteral("家人"));
    addPhrase(QStringLiteral("甲"), family);
    const qint64 id = addPhrase(QStringLiteral("旧的'短语'"), family);
    reload();
    clickPhrase(1);
    const DialogCase& c = GetParam();
    if (*c.box)
        desktop.expectMessage(c.box, kHint, Icon::Information);
    EXPECT_TRUE(onModal<MsgEdit>(Control<QPushButton>(*page, "AeroButton25"), [&](MsgEdit& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改短语"));
        EXPECT_EQ(dialog.MsgId(), id);
        EXPECT_EQ(Control<QPlainTextEdit>(dialog, "Text1")->toPlainText(), QStringLiteral("旧的'短语'"));
        Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(QString::fromUtf8(c.typed));
        clickButton(Control<QPushButton>(dialog, "AeroButton1"));
        expectOutcome(dialog, c);
    }));
    EXPECT_EQ(phrasesInDatabase(), c.stored);
    EXPECT_EQ(listTexts(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Texts, PhraseEditTest,
                         ::testing::Values(DialogCase{"asTyped", " 新的'短语' ", "", {"甲", " 新的'短语' "}},
                                           DialogCase{"blank", "  ", "内容不能为空！", {"甲", "旧的'短语'"}}),
                         caseName);

TEST_F(PhraseTestFixture, PhraseEditCloseStoresNothing)
{
    addPhrase(QStringLiteral("甲"), addCategory(QStringLiteral("家人")));
    reload();
    clickPhrase(0);
    EXPECT_TRUE(onModal<MsgEdit>(Control<QPushButton>(*page, "AeroButton25"), [](MsgEdit& dialog) {
        Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(QStringLiteral("乙"));
        clickButton(Control<QPushButton>(dialog, "AeroButton2"));
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(phrasesInDatabase(), QStringList{QStringLiteral("甲")});
}

} // namespace
