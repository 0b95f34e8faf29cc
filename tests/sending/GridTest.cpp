#include "CaseName.h"
#include "SendPageFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "ListView.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Icon = Desktop::Icon;

class GridTest : public SendPageFixture
{
protected:
    void SetUp() override
    {
        SendPageFixture::SetUp();
        openUserDatabase();
        page->setSendMode(2);
        page->BuildNumGrid();
    }
    QPushButton* button(const char* name) const { return Control<QPushButton>(*page, name); }
    ListViewModel& grid() const { return *Control<ListView>(*page, "ListView1")->listModel(); }
    void insertRow(const QString& values) const
    {
        g_Conn->execute(QStringLiteral("insert into [DraftBox] (MobilePhone,A,B,IsRepeat) values (") + values +
                        QStringLiteral(")"));
    }
    void typeAndAdd(const QString& text) const { Control<QLineEdit>(*page, "Text2")->setText(text); }
};

TEST_F(GridTest, EmptyGridIsDisabledWithItsButtons)
{
    EXPECT_EQ(Control<QLabel>(*page, "Label9")->text(), QStringLiteral("一共有0个号码"));
    EXPECT_FALSE(Control<ListView>(*page, "ListView1")->isEnabled());
    for (const char* name : {"AeroButton4", "AeroButton10", "AeroButton11"})
        EXPECT_FALSE(button(name)->isEnabled()) << name;
}

TEST_F(GridTest, ElevenTypedDigitsAddARow)
{
    QTest::keyClicks(Control<QLineEdit>(*page, "Text2"), QStringLiteral("13812345678"));
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text2")->text().isEmpty());
    EXPECT_EQ(Control<QLabel>(*page, "Label9")->text(), QStringLiteral("一共有1个号码"));
    ASSERT_EQ(grid().count(), 1);
    EXPECT_EQ(grid().cell(0, 1), QStringLiteral("13812345678"));
    EXPECT_TRUE(grid().rowKey(0).startsWith(QStringLiteral("Row_")));
    EXPECT_TRUE(Control<ListView>(*page, "ListView1")->isEnabled());
    for (const char* name : {"AeroButton4", "AeroButton10", "AeroButton11"})
        EXPECT_TRUE(button(name)->isEnabled()) << name;
}

TEST_F(GridTest, CtrlVAndLettersDoNotReachTheBox)
{
    QApplication::clipboard()->setText(QStringLiteral("13812345678"));
    QTest::keyClick(Control<QLineEdit>(*page, "Text2"), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(Control<QLineEdit>(*page, "Text2"), QStringLiteral("a+"));
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text2")->text().isEmpty());
    EXPECT_EQ(grid().count(), 0);
}

TEST_F(GridTest, PastedNumberIsStoredAsTyped)
{
    typeAndAdd(QStringLiteral("+86 138 1234 5678"));
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select MobilePhone from [DraftBox]")).toString(),
              QStringLiteral("+86 138 1234 5678"));
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text2")->text().isEmpty());
}

struct RefusedCase
{
    const char* typed;
    const char* message;
};

class GridRefusalTest : public GridTest, public ::testing::WithParamInterface<RefusedCase>
{
};

TEST_P(GridRefusalTest, RefusedEntryLeavesTheGridAndTheBox)
{
    desktop.expectMessage(GetParam().message, QStringLiteral("提示"), Icon::Information);
    Control<QLineEdit>(*page, "Text2")->setText(QString::fromUtf8(GetParam().typed));
    QTest::mouseClick(button("AeroButton1"), Qt::LeftButton);
    desktop.verifyAllConsumed();
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [DraftBox]")), 0);
    EXPECT_EQ(Control<QLineEdit>(*page, "Text2")->text(), QString::fromUtf8(GetParam().typed));
}

INSTANTIATE_TEST_SUITE_P(Entries, GridRefusalTest,
                         ::testing::Values(RefusedCase{"", "请先输入手机号码！"},
                                           RefusedCase{"   ", "请先输入手机号码！"},
                                           RefusedCase{"1234", "您输入的号码不是有效的手机号码！"}),
                         NameFrom(&RefusedCase::typed));

TEST_F(GridTest, InvalidElevenDigitsAreRefusedAtOnce)
{
    desktop.expectMessage("您输入的号码不是有效的手机号码！", QStringLiteral("提示"), Icon::Information);
    QTest::keyClicks(Control<QLineEdit>(*page, "Text2"), QStringLiteral("12345678901"));
    EXPECT_EQ(Control<QLineEdit>(*page, "Text2")->text(), QStringLiteral("12345678901"));
    EXPECT_EQ(grid().count(), 0);
}

TEST_F(GridTest, RepeatsAreFlaggedAndDeletedTogether)
{
    typeAndAdd(QStringLiteral("13812345678"));
    typeAndAdd(QStringLiteral("13900000000"));
    typeAndAdd(QStringLiteral("13812345678"));
    typeAndAdd(QStringLiteral("13812345678"));
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [DraftBox] where IsRepeat = true")), 2);
    // Deleting the first occurrence leaves its copies flagged.
    g_Conn->execute(QStringLiteral("delete from [DraftBox] where id = (select min(id) from [DraftBox])"));
    QTest::mouseClick(button("AeroButton11"), Qt::LeftButton);
    ASSERT_EQ(grid().count(), 1);
    EXPECT_EQ(grid().cell(0, 1), QStringLiteral("13900000000"));
    EXPECT_EQ(Control<QLabel>(*page, "Label9")->text(), QStringLiteral("一共有1个号码"));
}

TEST_F(GridTest, DeleteCheckedNeedsACheckAndDeletesExactlyThose)
{
    for (int i = 1; i <= 4; ++i)
        insertRow(QStringLiteral("'1380000000%1','n%1','',0").arg(i));
    page->BuildNumGrid();
    desktop.expectMessage("你还没有选定任何数据！", QStringLiteral("删除提示"), Icon::Information);
    QTest::mouseClick(button("AeroButton4"), Qt::LeftButton);
    desktop.verifyAllConsumed();
    EXPECT_EQ(grid().count(), 4);

    grid().setChecked(0, true);
    grid().setChecked(2, true);
    QTest::mouseClick(button("AeroButton4"), Qt::LeftButton);
    ASSERT_EQ(grid().count(), 2);
    EXPECT_EQ(grid().cell(0, 2), QStringLiteral("n2"));
    EXPECT_EQ(grid().cell(1, 2), QStringLiteral("n4"));
}

TEST_F(GridTest, DeleteAllEmptiesTheTable)
{
    insertRow(QStringLiteral("'13800000001','','',0"));
    insertRow(QStringLiteral("'13800000002','','',0"));
    page->BuildNumGrid();
    QTest::mouseClick(button("AeroButton10"), Qt::LeftButton);
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [DraftBox]")), 0);
    EXPECT_FALSE(Control<ListView>(*page, "ListView1")->isEnabled());
    EXPECT_EQ(Control<QLabel>(*page, "Label9")->text(), QStringLiteral("一共有0个号码"));
}

TEST_F(GridTest, ColumnsShowTheirFieldsWithApostrophesAndNulls)
{
    insertRow(QStringLiteral("'13800000001','O''Brien',NULL,0"));
    page->BuildNumGrid();
    ASSERT_EQ(grid().count(), 1);
    EXPECT_EQ(grid().cell(0, 2), QStringLiteral("O'Brien"));
    EXPECT_EQ(grid().cell(0, 3), QString());
    EXPECT_EQ(grid().cell(0, 0), QString()); // the check-box column carries no text
}

TEST_F(GridTest, TypedNumberIsQueuedWhileOnline)
{
    g_Online = true;
    typeAndAdd(QStringLiteral("13812345678"));
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [Preference] where MobilePhone='13812345678'")), 1);
}

TEST_F(GridTest, ImportButtonsReloadTheGridAfterTheirDialogs)
{
    int workbook = 0;
    int access = 0;
    QObject::connect(page.get(), &SendPage::excelWorkbookImportRequested, [&] {
        ++workbook;
        insertRow(QStringLiteral("'13800000001','','',0"));
    });
    QObject::connect(page.get(), &SendPage::accessImportRequested, [&] {
        ++access;
        insertRow(QStringLiteral("'13800000002','','',0"));
    });
    desktop.expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx", QString());
    QTest::mouseClick(button("AeroButton3"), Qt::LeftButton);
    EXPECT_EQ(workbook, 0);
    desktop.expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx", QStringLiteral("/tmp/a.xls"));
    QTest::mouseClick(button("AeroButton3"), Qt::LeftButton);
    EXPECT_EQ(workbook, 1);
    EXPECT_EQ(g_ExcelPath, QStringLiteral("/tmp/a.xls"));
    EXPECT_EQ(grid().count(), 1);
    QTest::mouseClick(button("AeroButton12"), Qt::LeftButton);
    EXPECT_EQ(access, 1);
    EXPECT_EQ(grid().count(), 2);
}

TEST_F(GridTest, AddressBookButtonAsksForPageThree)
{
    std::vector<int> asked;
    QObject::connect(page.get(), &SendPage::pageRequested, [&](int index) { asked.push_back(index); });
    QTest::mouseClick(Control<QPushButton>(*page, "AeroButton2"), Qt::LeftButton);
    EXPECT_EQ(asked, std::vector<int>{3});
}

} // namespace
