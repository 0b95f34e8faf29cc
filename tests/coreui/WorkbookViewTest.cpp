#include "WorkbookView.h"
#include "Controls.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/core/workbooks/") + name;
}

class WorkbookViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(640, 400);
        ASSERT_TRUE(view.Open(fixture(QStringLiteral("people.xlsx")))) << view.errorDescription().toStdString();
        view.setActiveSheet(0);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // The centre of a cell given in A1 terms, in the table's viewport.
    QPoint cellCentre(int row, int column) const
    {
        return Control<QTableView>(view, "sheetTable")
            ->visualRect(Control<QTableView>(view, "sheetTable")->model()->index(row - 1, column - 1))
            .center();
    }
    void click(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(Control<QTableView>(view, "sheetTable")->viewport(), Qt::LeftButton, modifiers,
                          cellCentre(row, column));
    }

    WorkbookView view;
};

TEST_F(WorkbookViewTest, ShowsTheSheetsWithTheActiveOneInFront)
{
    // Both were saved with their third sheet in front.
    for (const char* name : {"people.xlsx", "people.xls"}) {
        SCOPED_TRACE(name);
        WorkbookView fresh;
        ASSERT_TRUE(fresh.Open(fixture(QString::fromLatin1(name))));
        ASSERT_EQ(Control<QTabBar>(fresh, "sheetTabs")->count(), 3);
        EXPECT_EQ(Control<QTabBar>(fresh, "sheetTabs")->tabText(0), QStringLiteral("号码"));
        EXPECT_EQ(Control<QTabBar>(fresh, "sheetTabs")->tabText(1), QStringLiteral("空表"));
        EXPECT_EQ(Control<QTabBar>(fresh, "sheetTabs")->tabText(2), QStringLiteral("Sheet3"));
        EXPECT_EQ(fresh.activeSheet(), 2);
        EXPECT_EQ(fresh.activeSheetName(), QStringLiteral("Sheet3"));
        EXPECT_EQ(Control<QTabBar>(fresh, "sheetTabs")->currentIndex(), 2);
    }
}

TEST_F(WorkbookViewTest, CellsStandAtTheirTruePlaceUnderLettersAndNumbers)
{
    const QAbstractItemModel* model = Control<QTableView>(view, "sheetTable")->model();
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("B"));
    EXPECT_EQ(model->headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    // B3 holds the first header.
    EXPECT_EQ(model->index(2, 1).data().toString(), QStringLiteral("姓名"));
    EXPECT_EQ(model->index(3, 2).data().toString(), QStringLiteral("13900139000"));
    EXPECT_TRUE(model->index(0, 0).data().toString().isEmpty());
    EXPECT_EQ(Control<QTableView>(view, "sheetTable")->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(WorkbookViewTest, TabsChangeTheActiveSheet)
{
    QSignalSpy changed(&view, &WorkbookView::activeSheetChanged);
    Control<QTabBar>(view, "sheetTabs")->setCurrentIndex(2);
    EXPECT_EQ(view.activeSheet(), 2);
    EXPECT_EQ(view.activeSheetName(), QStringLiteral("Sheet3"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(Control<QTableView>(view, "sheetTable")->model()->index(1, 2).data().toString(), QStringLiteral("丙"));
}

struct SelectionCase
{
    const char* name;
    QVector<QRect> areas; // x = column, y = row, A1 terms
    bool accepted;
    const char* text; // what the copy gives when accepted
};

class WorkbookSelectionTest : public WorkbookViewTest, public ::testing::WithParamInterface<SelectionCase>
{
};

TEST_P(WorkbookSelectionTest, CopiesRowsWithTabsAndCrLf)
{
    const SelectionCase& c = GetParam();
    bool add = false;
    for (const QRect& area : c.areas) {
        view.selectArea(area.top(), area.left(), area.bottom(), area.right(), add);
        add = true;
    }
    QApplication::clipboard()->setText(QStringLiteral("before"));
    EXPECT_EQ(view.CopySelection(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(c.text));
    } else {
        EXPECT_EQ(view.errorNumber(), WorkbookView::kMultipleAreas);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Areas, WorkbookSelectionTest,
    ::testing::Values(
        SelectionCase{"OneColumn",
                      {QRect(QPoint(3, 4), QPoint(3, 6))},
                      true,
                      "13900139000\r\n+86 138 0013 8000\r\n13800000000\r\n"},
        SelectionCase{"RectangleAcrossColumns",
                      {QRect(QPoint(2, 4), QPoint(3, 5))},
                      true,
                      "张三\t13900139000\r\n李四\t+86 138 0013 8000\r\n"},
        SelectionCase{"EmptyCellsInside", {QRect(QPoint(1, 2), QPoint(2, 3))}, true, "\t\r\n\t姓名\r\n"},
        SelectionCase{"TwoAreas", {QRect(QPoint(3, 4), QPoint(3, 4)), QRect(QPoint(3, 6), QPoint(3, 6))}, false, ""},
        SelectionCase{"LShape", {QRect(QPoint(2, 4), QPoint(3, 5)), QRect(QPoint(3, 5), QPoint(3, 6))}, false, ""},
        SelectionCase{"AreasThatCloseToARectangle",
                      {QRect(QPoint(3, 4), QPoint(3, 5)), QRect(QPoint(3, 6), QPoint(3, 6))},
                      true,
                      "13900139000\r\n+86 138 0013 8000\r\n13800000000\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkbookViewTest, MouseSelectsARectangleAndCtrlAddsAnArea)
{
    click(4, 2);
    click(5, 3, Qt::ShiftModifier);
    QString text;
    ASSERT_TRUE(view.selectionText(text));
    EXPECT_EQ(text, QStringLiteral("张三\t13900139000\r\n李四\t+86 138 0013 8000\r\n"));

    click(7, 5, Qt::ControlModifier);
    EXPECT_FALSE(view.selectionText(text));
    EXPECT_EQ(view.errorNumber(), WorkbookView::kMultipleAreas);

    click(6, 3); // a plain click starts again with one cell
    ASSERT_TRUE(view.selectionText(text));
    EXPECT_EQ(text, QStringLiteral("13800000000\r\n"));
}

TEST_F(WorkbookViewTest, CloseEmptiesTheView)
{
    view.Close();
    EXPECT_FALSE(view.isOpen());
    EXPECT_EQ(view.activeSheet(), -1);
    EXPECT_EQ(Control<QTabBar>(view, "sheetTabs")->count(), 0);
    EXPECT_EQ(Control<QTableView>(view, "sheetTable")->model()->rowCount(), 0);
}

TEST(WorkbookViewOpen, RefusedFileLeavesTheViewEmptyWithTheReadersFailure)
{
    WorkbookView view;
    EXPECT_FALSE(view.Open(fixture(QStringLiteral("truncated.xlsx"))));
    EXPECT_EQ(view.errorNumber(), 1011);
    EXPECT_FALSE(view.errorDescription().isEmpty());
    EXPECT_FALSE(view.isOpen());
    EXPECT_EQ(Control<QTabBar>(view, "sheetTabs")->count(), 0);
}

TEST(WorkbookViewColumns, LettersAsSheetsNameThem)
{
    EXPECT_EQ(WorkbookView::columnLetters(1), QStringLiteral("A"));
    EXPECT_EQ(WorkbookView::columnLetters(26), QStringLiteral("Z"));
    EXPECT_EQ(WorkbookView::columnLetters(27), QStringLiteral("AA"));
    EXPECT_EQ(WorkbookView::columnLetters(702), QStringLiteral("ZZ"));
    EXPECT_EQ(WorkbookView::columnLetters(16384), QStringLiteral("XFD"));
}

} // namespace
