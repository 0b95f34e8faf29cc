#include "CaseName.h"
#include "SendPageFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

namespace {

using Icon = Desktop::Icon;

QString numbered(int i)
{
    return QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
}

QPushButton* button(SendPage& page, const char* name)
{
    return Control<QPushButton>(page, name);
}

class NumberListTest : public SendPageFixture
{
};

TEST_F(NumberListTest, ElevenTypedDigitsAreAddedAtTheLastDigit)
{
    QTest::keyClicks(Control<QLineEdit>(*page, "Text10"), QStringLiteral("1381234567"));
    EXPECT_EQ(Control<QLineEdit>(*page, "Text10")->text(), QStringLiteral("1381234567"));
    EXPECT_EQ(page->numberList()->count(), 0);
    QTest::keyClicks(Control<QLineEdit>(*page, "Text10"), QStringLiteral("8"));
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("13812345678")});
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text10")->text().isEmpty());
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共1个号码"));
}

TEST_F(NumberListTest, LettersAndPlusSignDoNotReachTheBox)
{
    QTest::keyClicks(Control<QLineEdit>(*page, "Text10"), QStringLiteral("a+b 1-2"));
    EXPECT_EQ(Control<QLineEdit>(*page, "Text10")->text(), QStringLiteral("12"));
    QTest::keyClick(Control<QLineEdit>(*page, "Text10"), Qt::Key_Backspace);
    EXPECT_EQ(Control<QLineEdit>(*page, "Text10")->text(), QStringLiteral("1"));
}

TEST_F(NumberListTest, LeadingZeroAndTenDigitsEmptiesTheBoxSilently)
{
    QTest::keyClicks(Control<QLineEdit>(*page, "Text10"), QStringLiteral("01381234567"));
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text10")->text().isEmpty());
    EXPECT_EQ(page->numberList()->count(), 0);
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(NumberListTest, EnterOnAnEmptyBoxAsksForANumber)
{
    desktop.expectMessage("请先输入手机号码！", QStringLiteral("提示"), Icon::Information);
    QTest::keyClick(Control<QLineEdit>(*page, "Text10"), Qt::Key_Return);
    EXPECT_EQ(page->numberList()->count(), 0);
}

TEST_F(NumberListTest, CtrlVPastesThreeLinesAsPlainNumbers)
{
    setClipboard(QStringLiteral("+86 139 1234 5678\r\n013712345678\r\nabc"));
    QTest::keyClick(Control<QLineEdit>(*page, "Text10"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("13712345678"), QStringLiteral("13912345678")}));
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text10")->text().isEmpty());
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(NumberListTest, PastingTheSameNumberTwiceKeepsOne)
{
    EXPECT_EQ(page->AddNumberLines(QStringLiteral("13812345678\n13812345678")), 2);
    EXPECT_EQ(page->DelRepeat(), 1);
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("13812345678")});
}

struct DelRepeatCase
{
    QStringList entries;
    int removed;
    QStringList left;
};

class DelRepeatTest : public SendPageFixture, public ::testing::WithParamInterface<DelRepeatCase>
{
};

TEST_P(DelRepeatTest, RemovesEqualNeighboursAndCountsThem)
{
    for (const QString& entry : GetParam().entries)
        page->numberList()->add(entry);
    EXPECT_EQ(page->DelRepeat(), GetParam().removed);
    EXPECT_EQ(listTexts(), GetParam().left);
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共%1个号码").arg(GetParam().left.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DelRepeatTest,
    ::testing::Values(DelRepeatCase{{}, 0, {}}, DelRepeatCase{{"13800000001"}, 0, {"13800000001"}},
                      DelRepeatCase{{"13800000002", "13800000001", "13800000002"}, 1, {"13800000001", "13800000002"}},
                      DelRepeatCase{{"13800000003", "13800000003", "13800000003", "13800000003"}, 3, {"13800000003"}},
                      // Exact comparison: texts that differ only in case are both kept.
                      DelRepeatCase{{"abc", "ABC", "abc"}, 1, {"ABC", "abc"}}),
    NameFrom(&DelRepeatCase::removed));

TEST_F(NumberListTest, ListButtonsFollowTheCount)
{
    for (const char* name : {"AeroButton43", "AeroButton44", "AeroButton45"})
        EXPECT_FALSE(button(*page, name)->isEnabled()) << name;
    Control<QLineEdit>(*page, "Text10")->setText(QStringLiteral("13812345678"));
    for (const char* name : {"AeroButton43", "AeroButton44", "AeroButton45"})
        EXPECT_TRUE(button(*page, name)->isEnabled()) << name;
    QTest::mouseClick(button(*page, "AeroButton44"), Qt::LeftButton);
    EXPECT_EQ(page->numberList()->count(), 0);
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共0个号码"));
    for (const char* name : {"AeroButton43", "AeroButton44", "AeroButton45"})
        EXPECT_FALSE(button(*page, name)->isEnabled()) << name;
}

TEST_F(NumberListTest, RemoveSelectedRemovesExactlyTheSelection)
{
    page->AddNumberLines(QStringLiteral("13800000001\n13800000002\n13800000003\n13800000004"));
    page->DelRepeat();
    publish();
    QListView* list = Control<QListView>(*page, "XmcfListBox1");
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
    list->selectionModel()->select(list->model()->index(3, 0), QItemSelectionModel::Select);
    QTest::mouseClick(button(*page, "AeroButton45"), Qt::LeftButton);
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("13800000001"), QStringLiteral("13800000003")}));
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共2个号码"));
}

TEST_F(NumberListTest, ViewShowsTheListSorted)
{
    page->AddNumberLines(QStringLiteral("13900000000\n13500000000\n13700000000"));
    publish();
    QAbstractItemModel* model = Control<QListView>(*page, "XmcfListBox1")->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("13500000000"));
    EXPECT_EQ(model->index(2, 0).data().toString(), QStringLiteral("13900000000"));
}

struct QueueCase
{
    bool online;
    int lines;
    int queued;
};

class WhiteListQueueTest : public SendPageFixture, public ::testing::WithParamInterface<QueueCase>
{
};

TEST_P(WhiteListQueueTest, OnlyShortTextsAreQueuedWhileOnline)
{
    openUserDatabase();
    g_Online = GetParam().online;
    QStringList lines;
    for (int i = 0; i < GetParam().lines; ++i)
        lines << numbered(i);
    EXPECT_EQ(page->AddNumberLines(lines.join(QStringLiteral("\r\n"))), GetParam().lines);
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [Preference]")), GetParam().queued);
    EXPECT_EQ(page->numberList()->count(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Texts, WhiteListQueueTest,
                         ::testing::Values(QueueCase{true, 30, 30}, QueueCase{true, 31, 0}, QueueCase{false, 30, 0},
                                           QueueCase{true, 1, 1}),
                         NameFrom(&QueueCase::lines));

TEST_F(NumberListTest, TypedNumberIsQueuedWhileOnline)
{
    openUserDatabase();
    g_Online = true;
    QTest::keyClicks(Control<QLineEdit>(*page, "Text10"), QStringLiteral("13812345678"));
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [Preference] where MobilePhone='13812345678'")), 1);
}

TEST_F(NumberListTest, SaveNeverOverwritesAndAsksAgain)
{
    folder = std::make_unique<TestProgramFolder>();
    const QString existing = folder->path(QStringLiteral("old.txt"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const QString fresh = folder->path(QStringLiteral("new.txt"));
    page->AddNumberLines(QStringLiteral("13800000002\n13800000001"));
    page->DelRepeat();
    desktop.expectSaveFile("文本文件(*.txt)|*.txt", existing)
        .expectMessage("已经存在一个相同名字的文件，请更换其他名字！", QStringLiteral("文件已存在"), Icon::Information)
        .expectSaveFile("文本文件(*.txt)|*.txt", fresh);
    QTest::mouseClick(button(*page, "AeroButton43"), Qt::LeftButton);

    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("keep"));
    QFile written(fresh);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("13800000001\r\n13800000002\r\n"));
}

TEST_F(NumberListTest, CancelledSaveWritesAndShowsNothing)
{
    page->AddNumberLines(QStringLiteral("13800000001"));
    page->DelRepeat();
    desktop.expectSaveFile(ScriptedDesktop::anyText(), QString());
    QTest::mouseClick(button(*page, "AeroButton43"), Qt::LeftButton);
    EXPECT_EQ(desktop.calls().size(), 1u);
}

TEST_F(NumberListTest, ImportButtonsAskTheMainWindow)
{
    int textImports = 0;
    int excelImports = 0;
    QObject::connect(page.get(), &SendPage::textImportRequested, [&] { ++textImports; });
    QObject::connect(page.get(), &SendPage::excelSelectionImportRequested, [&] {
        ++excelImports;
        EXPECT_EQ(g_ExcelPath, QStringLiteral("/tmp/book.xlsx"));
    });
    QTest::mouseClick(button(*page, "AeroButton49"), Qt::LeftButton);
    desktop.expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx", QString())
        .expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx", QStringLiteral("/tmp/book.xlsx"));
    QTest::mouseClick(button(*page, "AeroButton46"), Qt::LeftButton); // cancelled: nothing
    QTest::mouseClick(button(*page, "AeroButton46"), Qt::LeftButton);
    EXPECT_EQ(textImports, 1);
    EXPECT_EQ(excelImports, 1);
}

} // namespace
