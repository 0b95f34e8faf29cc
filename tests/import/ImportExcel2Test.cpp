#include "ImportExcel2.h"
#include "Controls.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"
#include "WorkbookView.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Icon = Desktop::Icon;

QString workbook(const char* name)
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/import/workbooks/") + QString::fromLatin1(name);
}

class ImportExcel2Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
        dialog = std::make_unique<ImportExcel2>();
    }
    void TearDown() override
    {
        dialog.reset();
        desktop.verifyAllConsumed();
    }
    void load(const char* name, int sheet = 0)
    {
        g_ExcelPath = workbook(name);
        ASSERT_TRUE(dialog->Form_Load());
        Control<WorkbookView>(*dialog, "FramerControl1")->setActiveSheet(sheet);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    QStringList entries(int combo) const
    {
        QStringList texts;
        for (int i = 0; i < dialog->Combo(combo)->count(); ++i)
            texts << dialog->Combo(combo)->itemText(i);
        return texts;
    }
    void start() const { QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton2"), Qt::LeftButton); }
    // The queue as another connection sees it: committed rows only.
    static QStringList draftRows()
    {
        auto other = OpenWorkerConnection(QStringLiteral("tester.mdb"));
        auto rows = other->prepare(QStringLiteral("select MobilePhone, ifnull(A,'-'), ifnull(B,'-'), ifnull(C,'-'), "
                                                  "IsRepeat from [DraftBox] order by id"));
        QStringList out;
        while (rows->next()) {
            QStringList cells;
            for (int c = 0; c < 5; ++c)
                cells << rows->value(c).toString();
            out << cells.join(u'|');
        }
        return out;
    }

    ScriptedDesktop desktop;
    TestProgramFolder folder;
    std::unique_ptr<ImportExcel2> dialog;
};

TEST_F(ImportExcel2Test, HeaderRowOfARangeFromColumnBIsSkippedAndTheRestGoesIn)
{
    g_Conn->execute(QStringLiteral("insert into [DraftBox] (MobilePhone, IsRepeat) values ('13700000000', 0)"));
    load("grid.xlsx");
    dialog->Timer1_Timer();
    for (int combo = 1; combo <= 6; ++combo)
        EXPECT_EQ(entries(combo), QStringList({"无", "手机", "姓名", "备注"})) << combo;
    EXPECT_EQ(Control<QProgressBar>(*dialog, "AeroProgressBar1")->maximum(), 6);
    dialog->Combo(1)->setCurrentIndex(1);
    dialog->Combo(2)->setCurrentIndex(2);
    dialog->Combo(4)->setCurrentIndex(3); // B stays at "无"
    desktop.expectMessage("成功导入号码3个，其中重复号码2个", QStringLiteral("导入完成"), Icon::Information);
    start();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(Control<QTimer>(*dialog, "Timer1")->isActive());
    EXPECT_EQ(draftRows(), QStringList({"13700000000|-|-|-|0", QStringLiteral("13800000001|张三|-|O'Brien \"--\"|0"),
                                        QStringLiteral("13800000001|李四|-|") + QString(10000, QChar(u'长')) +
                                            QStringLiteral("|1"),
                                        "13700000000|#DIV/0!|-|-|1"}));
}

TEST_F(ImportExcel2Test, WithoutAHeaderRowTheFirstRowNamesTheColumnsAndIsImported)
{
    load("grid.xlsx", 1);
    dialog->Timer1_Timer();
    EXPECT_EQ(entries(1), QStringList({"无", "13900000001", "a"}));
    dialog->Combo(1)->setCurrentIndex(1);
    dialog->Combo(6)->setCurrentIndex(2);
    desktop.expectMessage("成功导入号码2个，其中重复号码0个", QStringLiteral("导入完成"), Icon::Information);
    start();
    auto other = OpenWorkerConnection(QStringLiteral("tester.mdb"));
    EXPECT_EQ(other->scalar(QStringLiteral("select group_concat(MobilePhone || E, ',') from [DraftBox]")).toString(),
              QStringLiteral("13900000001a,13900000002b"));
}

TEST_F(ImportExcel2Test, AnotherSheetInFrontResetsTheListsOnTheNextTick)
{
    load("grid.xlsx");
    dialog->Timer1_Timer();
    dialog->Combo(1)->setCurrentIndex(1);
    dialog->Timer1_Timer(); // the same sheet: the choice stays
    EXPECT_EQ(dialog->Combo(1)->currentIndex(), 1);
    Control<WorkbookView>(*dialog, "FramerControl1")->setActiveSheet(1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return entries(1).value(1) == QStringLiteral("13900000001"); }, 3000));
    for (int combo = 1; combo <= 6; ++combo)
        EXPECT_EQ(dialog->Combo(combo)->currentText(), QStringLiteral("无")) << combo;
}

TEST_F(ImportExcel2Test, TheNumberColumnIsRequired)
{
    load("grid.xlsx");
    desktop.expectMessage("手机号是必选的！", QStringLiteral("提示"), Icon::Information);
    start();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Control<QTimer>(*dialog, "Timer1")->isActive());
    EXPECT_TRUE(draftRows().isEmpty());
}

TEST_F(ImportExcel2Test, ATickWithoutAWorksheetShowsTheErrorBox)
{
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：91")), QStringLiteral("程序出错"),
                          Icon::Information);
    dialog->Timer1_Timer();
}

TEST_F(ImportExcel2Test, CancelDuringTheImportKeepsItsRowsAndReportsThem)
{
    load("long.xlsx");
    dialog->Timer1_Timer();
    dialog->Combo(1)->setCurrentIndex(1);
    int reported = -1;
    desktop.expectMessage(ScriptedDesktop::Match(
                              [&reported](const QString& text) {
                                  const auto match = QRegularExpression(
                                                         QStringLiteral("^成功导入号码(\\d+)个，其中重复号码0个$"))
                                                         .match(text);
                                  reported = match.hasMatch() ? match.captured(1).toInt() : -1;
                                  return match.hasMatch();
                              },
                              QStringLiteral("the closing message")),
                          QStringLiteral("导入完成"), Icon::Information);
    QTimer::singleShot(0, dialog.get(),
                       [this] { QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton3"), Qt::LeftButton); });
    dialog->AeroButton2_Click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_GT(reported, 0);
    EXPECT_LT(reported, 30000);
    EXPECT_EQ(int(draftRows().size()), reported);
}

} // namespace
