#include "ExpressExcel.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "TestProgramFolder.h"
#include "WorkbookView.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Icon = Desktop::Icon;

QString fixture(const QString& name)
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/core/workbooks/") + name;
}

// A send page over a fresh user database, online, so that a number queued for the white list
// would show in [Preference]; the dialog opened on people.xlsx with its first sheet in front.
class ExpressExcelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
        g_Online = true;
        g_ExcelPath = fixture(QStringLiteral("people.xlsx"));
        dialog = std::make_unique<ExpressExcel>(page);
    }
    void TearDown() override
    {
        dialog.reset();
        desktop.verifyAllConsumed();
    }

    void load(int sheet = 0)
    {
        ASSERT_TRUE(dialog->Form_Load());
        Control<WorkbookView>(*dialog, "FramerControl1")->setActiveSheet(sheet);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    int queued() const { return g_Conn->scalar(QStringLiteral("select count(*) from [Preference]")).toInt(); }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    SendPage page;
    std::unique_ptr<ExpressExcel> dialog;
};

TEST_F(ExpressExcelTest, ShowsTheWorkbookUnderItsInstruction)
{
    load();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Excel导入"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label1")->text(),
              QStringLiteral("请用鼠标选择选择要导入的区域，然后按导入按钮"));
    EXPECT_EQ(Control<QPushButton>(*dialog, "AeroButton2")->text(), QStringLiteral("导入(&I)"));
    EXPECT_TRUE(Control<WorkbookView>(*dialog, "FramerControl1")->isOpen());
    EXPECT_EQ(Control<QTabBar>(*dialog, "sheetTabs")->count(), 3);
}

struct ImportCase
{
    const char* name;
    int sheet;
    QRect area; // x = column, y = row, A1 terms
    QStringList before;
    int imported;
    int removed;
    QStringList after;
};

class ExpressExcelImportTest : public ExpressExcelTest, public ::testing::WithParamInterface<ImportCase>
{
};

TEST_P(ExpressExcelImportTest, AddsTheValidNumbersAndReports)
{
    const ImportCase& c = GetParam();
    for (const QString& number : c.before)
        page.numberList()->add(number);
    load(c.sheet);
    Control<WorkbookView>(*dialog, "FramerControl1")
        ->selectArea(c.area.top(), c.area.left(), c.area.bottom(), c.area.right());
    desktop.expectMessage(QStringLiteral("导入号码%1个,自动删除重复号码%2个").arg(c.imported).arg(c.removed), "完成",
                          Icon::Information);

    Control<QPushButton>(*dialog, "AeroButton2")->click();

    EXPECT_EQ(page.numberList()->texts(), c.after);
    EXPECT_EQ(Control<QLabel>(page, "Label5")->text(), QStringLiteral("一共%1个号码").arg(c.after.size()));
    EXPECT_EQ(queued(), 0) << "imported numbers are never queued for the white list";
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(Control<WorkbookView>(*dialog, "FramerControl1")->isOpen());
}

const QStringList kSheetNumbers{QStringLiteral("13800000000"), QStringLiteral("13800138000"),
                                QStringLiteral("13900139000")};

INSTANTIATE_TEST_SUITE_P(
    Selections, ExpressExcelImportTest,
    ::testing::Values(
        // "+86 138 0013 8000" is a text cell with the prefix and blanks.
        ImportCase{"OneColumn", 0, QRect(QPoint(3, 4), QPoint(3, 6)), {}, 3, 0, kSheetNumbers},
        // Names, dates, fractions and the header row hold no number.
        ImportCase{"RectangleAcrossColumns", 0, QRect(QPoint(2, 3), QPoint(6, 7)), {}, 3, 0, kSheetNumbers},
        ImportCase{"NumbersAlreadyListedAreRemovedAgain",
                   0,
                   QRect(QPoint(3, 4), QPoint(3, 6)),
                   {QStringLiteral("13900139000"), QStringLiteral("13700000000")},
                   3,
                   1,
                   {QStringLiteral("13700000000"), QStringLiteral("13800000000"), QStringLiteral("13800138000"),
                    QStringLiteral("13900139000")}},
        ImportCase{"NoNumberAtAll", 2, QRect(QPoint(1, 1), QPoint(3, 2)), {}, 0, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExpressExcelTest, SeveralAreasAreRefusedAndTheWorkbookStays)
{
    load();
    Control<WorkbookView>(*dialog, "FramerControl1")->selectArea(4, 3, 4, 3);
    Control<WorkbookView>(*dialog, "FramerControl1")->selectArea(6, 3, 6, 3, true);
    desktop.expectMessage("不能使用多重选定来导入，请重新选择！", "提示", Icon::Information);

    dialog->AeroButton2_Click();

    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Control<WorkbookView>(*dialog, "FramerControl1")->isOpen());
    EXPECT_EQ(page.numberList()->count(), 0);

    // A new selection imports.
    Control<WorkbookView>(*dialog, "FramerControl1")->selectArea(4, 3, 6, 3);
    desktop.expectMessage("导入号码3个,自动删除重复号码0个", "完成", Icon::Information);
    dialog->AeroButton2_Click();
    EXPECT_EQ(page.numberList()->count(), 3);
}

TEST_F(ExpressExcelTest, ARefusedWorkbookIsReportedAndTheDialogDoesNotShow)
{
    g_ExcelPath = fixture(QStringLiteral("truncated.xlsx"));
    desktop.expectMessage(ScriptedDesktop::contains(QStringLiteral("已损坏或不完整")), "错误号：1011",
                          Icon::Exclamation);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    EXPECT_EQ(dialog->exec(), QDialog::Rejected);
    EXPECT_FALSE(shown);
    QTest::qWait(1);
}

TEST_F(ExpressExcelTest, ClosingTheDialogClosesTheDocument)
{
    load();
    dialog->reject();
    EXPECT_FALSE(Control<WorkbookView>(*dialog, "FramerControl1")->isOpen());
    EXPECT_EQ(page.numberList()->count(), 0);
}

} // namespace
