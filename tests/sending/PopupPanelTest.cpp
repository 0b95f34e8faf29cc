#include "CaseName.h"
#include "SendPageFixture.h"
#include "Controls.h"

#include "NumberListModel.h"
#include "mouseMenu.h"

#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>

namespace {

using Icon = Desktop::Icon;

struct PlacementCase
{
    QPoint list;    // twips
    QPoint pointer; // pixels
    QPoint form;    // twips
    QPoint placed;  // twips
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(PlacementTest, PanelGoesBesideThePointer)
{
    const PlacementCase& c = GetParam();
    EXPECT_EQ(mouseMenu::placementTwips(c.list, c.pointer, c.form), c.placed);
}

INSTANTIATE_TEST_SUITE_P(Positions, PlacementTest,
                         ::testing::Values(PlacementCase{{0, 0}, {0, 0}, {0, 0}, {200, 1700}},
                                           PlacementCase{{150, 300}, {10, 20}, {1500, 3000}, {2000, 5300}},
                                           PlacementCase{{120, 360}, {1, 1}, {0, 0}, {335, 2075}}),
                         NameFrom(&PlacementCase::placed));

class PopupPanelTest : public SendPageFixture
{
protected:
    mouseMenu* openPanel()
    {
        QTest::mouseClick(Control<QListView>(*page, "XmcfListBox1")->viewport(), Qt::RightButton, {}, QPoint(10, 12));
        // A panel closed before may still wait for its deletion.
        for (mouseMenu* panel : page->findChildren<mouseMenu*>()) {
            if (panel->isVisible())
                return panel;
        }
        return nullptr;
    }
    // Whether the page unloaded its panel (a closed panel deletes itself).
    bool panelUnloaded() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return page->findChild<mouseMenu*>() == nullptr;
    }
    static QLabel* entry(mouseMenu* panel, int index)
    {
        return Control<QLabel>(*panel, QStringLiteral("mymenu_%1").arg(index));
    }
    static void press(mouseMenu* panel, int index) { QTest::mousePress(entry(panel, index), Qt::LeftButton); }
    static QColor colour(QLabel* label) { return label->palette().color(QPalette::WindowText); }
    static void hover(QLabel* label)
    {
        const QPointF at(label->rect().center());
        QMouseEvent move(QEvent::MouseMove, at, label->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(label, &move);
    }
};

TEST_F(PopupPanelTest, RightButtonOpensLeftButtonCloses)
{
    mouseMenu* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    // The pointer position is taken within the list (the viewport sits inside its frame).
    const QPoint pointer = Control<QListView>(*page, "XmcfListBox1")->viewport()->mapTo(Control<QListView>(*page, "XmcfListBox1"), QPoint(10, 12));
    const QPoint list = Control<QListView>(*page, "XmcfListBox1")->pos();
    const QPoint form = page->window()->frameGeometry().topLeft();
    EXPECT_EQ(panel->pos(), QPoint(list.x() + pointer.x() + form.x() + 13, list.y() + pointer.y() + form.y() + 113));

    QTest::mouseClick(Control<QListView>(*page, "XmcfListBox1")->viewport(), Qt::LeftButton, {}, QPoint(10, 12));
    EXPECT_TRUE(panelUnloaded());
}

TEST_F(PopupPanelTest, EditorClickAndCloseRequestCloseIt)
{
    ASSERT_NE(openPanel(), nullptr);
    QTest::mouseClick(Control<QPlainTextEdit>(*page, "Text1")->viewport(), Qt::LeftButton);
    EXPECT_TRUE(panelUnloaded());

    ASSERT_NE(openPanel(), nullptr);
    page->closePopup();
    EXPECT_TRUE(panelUnloaded());
}

TEST_F(PopupPanelTest, HoverColoursFollowThePointer)
{
    mouseMenu* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    const QColor blue(0, 0, 255);
    const QColor magenta(128, 0, 128);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(colour(entry(panel, i)), blue);
    hover(entry(panel, 2));
    EXPECT_EQ(colour(entry(panel, 2)), magenta);
    EXPECT_EQ(panel->former, 2);
    hover(entry(panel, 3));
    EXPECT_EQ(colour(entry(panel, 2)), blue);
    EXPECT_EQ(colour(entry(panel, 3)), magenta);
    EXPECT_EQ(panel->former, 3);

    page->closePopup();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    mouseMenu* again = openPanel();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->former, 0);
}

TEST_F(PopupPanelTest, PasteEntryReportsTheNumbersFound)
{
    page->AddNumberLines(QStringLiteral("13800000001"));
    setClipboard(QStringLiteral("13800000001\r\n13800000002\r\n13800000003"));
    desktop.expectMessage("成功导入3条记录", QStringLiteral("完成"), Icon::Information);
    press(openPanel(), 0);
    EXPECT_EQ(page->numberList()->count(), 3);
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共3个号码"));
}

TEST_F(PopupPanelTest, PasteEntryWithoutNumbersSaysSo)
{
    for (const QString& clip : {QString(), QStringLiteral("abc\r\n123")}) {
        setClipboard(clip);
        desktop.expectMessage("系统粘贴板上没有发现手机号码", QStringLiteral("完成"), Icon::Information);
        press(openPanel(), 0);
        EXPECT_EQ(page->numberList()->count(), 0);
    }
}

TEST_F(PopupPanelTest, EntriesActOnThePress)
{
    page->AddNumberLines(QStringLiteral("13800000001\n13800000002\n13800000003"));
    publish();
    QListView* list = Control<QListView>(*page, "XmcfListBox1");
    mouseMenu* panel = openPanel();
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    press(panel, 2); // "删除号码"
    EXPECT_EQ(page->numberList()->count(), 2);

    int textImports = 0;
    QObject::connect(page.get(), &SendPage::textImportRequested, [&] { ++textImports; });
    press(panel, 1); // "文本导入"
    EXPECT_EQ(textImports, 1);

    press(panel, 3); // "清空号码"
    EXPECT_EQ(page->numberList()->count(), 0);
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共0个号码"));
}

TEST_F(PopupPanelTest, IconsActOnTheirClick)
{
    page->AddNumberLines(QStringLiteral("13800000001"));
    mouseMenu* panel = openPanel();
    QTest::mousePress(Control<QLabel>(*panel, "Image3"), Qt::LeftButton);
    EXPECT_EQ(page->numberList()->count(), 1); // a press alone is no click
    QTest::mouseRelease(Control<QLabel>(*panel, "Image3"), Qt::LeftButton);
    EXPECT_EQ(page->numberList()->count(), 0);
}

} // namespace
