#include "CaseName.h"
#include "Controls.h"
#include "HistoryFixture.h"

#include "DataStore.h"
#include "FinishList.h"
#include "ListView.h"
#include "Modal.h"
#include "NumberListModel.h"

#include <QDateEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Icon = Desktop::Icon;

const QDate kDay(2024, 5, 1);

class HistoryPageTest : public HistoryFixture
{
protected:
    bool recordButtonsEnabled(bool expected) const
    {
        return Control<QPushButton>(*history, "AeroButton7")->isEnabled() == expected &&
               Control<QPushButton>(*history, "AeroButton40")->isEnabled() == expected &&
               Control<QPushButton>(*history, "AeroButton42")->isEnabled() == expected;
    }
    int countOf(const QString& sql) const { return g_Conn->scalar(sql).toInt(); }
};

struct BoundCase
{
    const char* submitTime;
    bool listed;
};

std::ostream& operator<<(std::ostream& out, const BoundCase& c)
{
    return out << c.submitTime << (c.listed ? " listed" : " not listed");
}

class HistoryBoundsTest : public HistoryPageTest, public ::testing::WithParamInterface<BoundCase>
{
};

TEST_P(HistoryBoundsTest, OneDayRangeHoldsItsWholeDayOnly)
{
    addMessage(QStringLiteral("边界"), QString::fromLatin1(GetParam().submitTime));
    query(kDay, kDay);
    EXPECT_EQ(listedMessages().size(), GetParam().listed ? 1 : 0);
    EXPECT_TRUE(recordButtonsEnabled(GetParam().listed));
    EXPECT_EQ(Control<ListView>(*history, "ListView3")->isEnabled(), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, HistoryBoundsTest,
    ::testing::Values(BoundCase{"2024-04-30 23:59:59", false}, BoundCase{"2024-05-01 00:00:00", true},
                      BoundCase{"2024-05-01 12:30:00", true}, BoundCase{"2024-05-01 23:59:30", true},
                      BoundCase{"2024-05-01 23:59:59", true}, BoundCase{"2024-05-02 00:00:00", false}),
    NameFrom(&BoundCase::submitTime));

struct RangeCase
{
    const char* name;
    QDate from;
    QDate to;
    QStringList messages; // earliest first
};

class HistoryRangeTest : public HistoryPageTest, public ::testing::WithParamInterface<RangeCase>
{
};

TEST_P(HistoryRangeTest, ListsTheSendsOfEveryDayFromTheFirstToTheLast)
{
    addMessage(QStringLiteral("before"), QStringLiteral("2024-03-09 23:59:59"));
    addMessage(QStringLiteral("midnight"), QStringLiteral("2024-03-10 00:00:00"));
    addMessage(QStringLiteral("noon"), QStringLiteral("2024-03-10 12:00:00"));
    addMessage(QStringLiteral("last second"), QStringLiteral("2024-03-10 23:59:59"));
    addMessage(QStringLiteral("next day"), QStringLiteral("2024-03-11 00:00:00"));
    addMessage(QStringLiteral("december"), QStringLiteral("2023-12-05 10:00:00"));
    query(GetParam().from, GetParam().to);
    EXPECT_EQ(listedMessages(), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, HistoryRangeTest,
    ::testing::Values(RangeCase{"OneDay", QDate(2024, 3, 10), QDate(2024, 3, 10), {"midnight", "noon", "last second"}},
                      RangeCase{"ThreeDays",
                                QDate(2024, 3, 9),
                                QDate(2024, 3, 11),
                                {"before", "midnight", "noon", "last second", "next day"}},
                      RangeCase{"AcrossTheYear", QDate(2023, 12, 1), QDate(2024, 3, 9), {"december", "before"}},
                      RangeCase{"NoSends", QDate(2024, 3, 12), QDate(2024, 3, 31), {}},
                      RangeCase{"LastBeforeFirst", QDate(2024, 3, 11), QDate(2024, 3, 10), {}}),
    NameFrom(&RangeCase::name));

TEST_F(HistoryPageTest, PickersStartOnTodayAndAFirstQueryListsTodaysSends)
{
    EXPECT_EQ(Control<QDateEdit>(*history, "DTPicker3")->date(), QDate::currentDate());
    EXPECT_EQ(Control<QDateEdit>(*history, "DTPicker4")->date(), QDate::currentDate());
    EXPECT_TRUE(recordButtonsEnabled(false));
    addMessage(QStringLiteral("今天"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 08:00:00")));
    addMessage(QStringLiteral("昨天"),
               QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy-MM-dd 08:00:00")));
    QTest::mouseClick(Control<QPushButton>(*history, "AeroButton15"), Qt::LeftButton);
    EXPECT_EQ(listedMessages(), QStringList{QStringLiteral("今天")});
}

TEST_F(HistoryPageTest, RowsShowTheirColumnsKeyedByIdAndTheFirstIsSelected)
{
    const qint64 first = addMessage(QStringLiteral("第一条"), QStringLiteral("2024-05-01 09:00:00"), 5, 2);
    const qint64 second = addMessage(QStringLiteral("第二条"), QStringLiteral("2024-05-01 10:00:00"), 3, 0);
    query(kDay, kDay);

    EXPECT_TRUE(history->historyQuery().startsWith(QStringLiteral("select * from [Messages] where SubmitTime between "
                                                                  "#2024-05-01 00:00:00# and #2024-05-01 23:59:59# ")));
    ASSERT_FALSE(history->HistoryRs()->IsOpen());
    const ListViewModel& model = *Control<ListView>(*history, "ListView3")->listModel();
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.rowKey(0), QStringLiteral("Row_%1").arg(first));
    EXPECT_EQ(model.rowKey(1), QStringLiteral("Row_%1").arg(second));
    EXPECT_EQ(model.row(0).cells, (QStringList{QString(), QStringLiteral("第一条"), QStringLiteral("5"),
                                               QStringLiteral("2"), QStringLiteral("2024-05-01 09:00:00")}));
    EXPECT_EQ(history->selectedRow(), 0);
    EXPECT_TRUE(recordButtonsEnabled(true));
}

TEST_F(HistoryPageTest, AnEmptyRangeAfterRowsDisablesListAndButtonsAgain)
{
    addMessage(QStringLiteral("一条"), QStringLiteral("2024-05-01 09:00:00"));
    query(kDay, kDay);
    ASSERT_TRUE(recordButtonsEnabled(true));

    query(kDay.addDays(1), kDay); // first day after the last
    EXPECT_TRUE(listedMessages().isEmpty());
    EXPECT_TRUE(recordButtonsEnabled(false));
    EXPECT_FALSE(Control<ListView>(*history, "ListView3")->isEnabled());
    EXPECT_EQ(history->selectedRow(), -1);
}

TEST_F(HistoryPageTest, DeleteRemovesTheCheckedRecordsWithoutAskingAndKeepsTheirOutcomes)
{
    addRun(QStringLiteral("甲"), QStringLiteral("2024-05-01 09:00:00"),
           {{QStringLiteral("13800000001"), QStringLiteral("已发送")}});
    const qint64 second = addRun(QStringLiteral("乙"), QStringLiteral("2024-05-01 10:00:00"),
                                 {{QStringLiteral("13800000002"), QStringLiteral("已发送")},
                                  {QStringLiteral("13800000003"), QStringLiteral("号码错误")}});
    addRun(QStringLiteral("丙"), QStringLiteral("2024-05-01 11:00:00"),
           {{QStringLiteral("13800000004"), QStringLiteral("已发送")}});
    query(kDay, kDay);
    checkRow(1);
    checkRow(2);

    QTest::mouseClick(Control<QPushButton>(*history, "AeroButton40"), Qt::LeftButton);

    EXPECT_EQ(listedMessages(), QStringList{QStringLiteral("甲")});
    EXPECT_EQ(countOf(QStringLiteral("select count(*) from [Messages]")), 1);
    EXPECT_EQ(countOf(QStringLiteral("select count(*) from [Finish] where MsgId=%1").arg(second)), 2);
    EXPECT_EQ(countOf(QStringLiteral("select count(*) from [Finish]")), 4);
}

TEST_F(HistoryPageTest, DeleteWithNothingCheckedSaysSoAndKeepsEverything)
{
    addMessage(QStringLiteral("甲"), QStringLiteral("2024-05-01 09:00:00"));
    query(kDay, kDay);
    desktop.expectMessage("你还没有选定任何记录！", QStringLiteral("删除提示"), Icon::Information);

    QTest::mouseClick(Control<QPushButton>(*history, "AeroButton40"), Qt::LeftButton);

    desktop.verifyAllConsumed();
    EXPECT_EQ(listedMessages().size(), 1);
    EXPECT_EQ(countOf(QStringLiteral("select count(*) from [Messages]")), 1);
}

TEST_F(HistoryPageTest, ForwardPutsTheSelectedTextIntoTheEditorAndKeepsTheList)
{
    addMessage(QStringLiteral("第一条"), QStringLiteral("2024-05-01 09:00:00"));
    addMessage(QStringLiteral("第二条：周五停电"), QStringLiteral("2024-05-01 10:00:00"));
    page->numberList()->add(QStringLiteral("13900000000"));
    query(kDay, kDay);
    selectRow(1);

    QTest::mouseClick(Control<QPushButton>(*history, "AeroButton7"), Qt::LeftButton);

    EXPECT_EQ(page->message(), QStringLiteral("第二条：周五停电"));
    EXPECT_EQ(requestedPages, std::vector<int>{1});
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("13900000000")});
}

enum class DetailsBy
{
    Button,
    DoubleClick
};

std::ostream& operator<<(std::ostream& out, DetailsBy way)
{
    return out << (way == DetailsBy::Button ? "button" : "double click");
}

class HistoryDetailsTest : public HistoryPageTest, public ::testing::WithParamInterface<DetailsBy>
{
};

TEST_P(HistoryDetailsTest, OpensTheDetailsOfTheSelectedRecordModally)
{
    addRun(QStringLiteral("第一条"), QStringLiteral("2024-05-01 09:00:00"),
           {{QStringLiteral("13800000001"), QStringLiteral("已发送")}});
    const qint64 second = addRun(QStringLiteral("第二条"), QStringLiteral("2024-05-01 10:00:00"),
                                 {{QStringLiteral("13800000002"), QStringLiteral("已发送")},
                                  {QStringLiteral("13800000003"), QStringLiteral("已发送")}});
    query(kDay, kDay);
    selectRow(1);

    QString shownId;
    QString shownText;
    bool modal = false;
    const auto openDetails = [this] {
        if (GetParam() == DetailsBy::Button) {
            QTest::mouseClick(Control<QPushButton>(*history, "AeroButton42"), Qt::LeftButton);
        } else {
            ListView& view = *Control<ListView>(*history, "ListView3");
            const QPoint centre = view.visualRect(view.listModel()->index(1, 1)).center();
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        }
    };
    ASSERT_TRUE(driveModal<FinishList>(openDetails, [&](FinishList& dialog) {
        modal = dialog.isModal();
        shownId = dialog.recordId();
        shownText = Control<QPlainTextEdit>(dialog, "Text1")->toPlainText();
    }));

    EXPECT_TRUE(modal);
    EXPECT_EQ(shownId, QString::number(second));
    EXPECT_EQ(shownText, QStringLiteral("第二条"));
    EXPECT_TRUE(requestedPages.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, HistoryDetailsTest, ::testing::Values(DetailsBy::Button, DetailsBy::DoubleClick),
                         ByValue());

TEST_F(HistoryPageTest, AFailingQueryIsReportedAndLeavesNoStaleRows)
{
    addMessage(QStringLiteral("甲"), QStringLiteral("2024-05-01 09:00:00"));
    query(kDay, kDay);
    ASSERT_EQ(listedMessages().size(), 1);
    g_Conn->execute(QStringLiteral("drop table [Messages]"));
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), QStringLiteral("程序出错"),
                          Icon::Information);

    query(kDay, kDay);

    desktop.verifyAllConsumed();
    EXPECT_TRUE(listedMessages().isEmpty());
    EXPECT_TRUE(recordButtonsEnabled(false));
}

} // namespace
