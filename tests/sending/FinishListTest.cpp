#include "CaseName.h"
#include "HistoryFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "FinishList.h"
#include "ListView.h"
#include "NumberListModel.h"
#include "SendRun.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <optional>

namespace {

using Icon = Desktop::Icon;
const QString kSent = QStringLiteral("已发送");

class FinishListTest : public HistoryFixture
{
protected:
    // Five recipients of which two failed, and another record that must not leak in.
    qint64 addFiveWithTwoFailed() const
    {
        addRun(QStringLiteral("别的记录"), QStringLiteral("2024-05-01 08:00:00"),
               {{QStringLiteral("13700000000"), QStringLiteral("超时")}});
        return addRun(QStringLiteral("五个号码"), QStringLiteral("2024-05-01 09:00:00"),
                      {{QStringLiteral("13800000001"), kSent},
                       {QStringLiteral("13800000002"), QStringLiteral("号码错误")},
                       {QStringLiteral("13800000001"), kSent},
                       {QStringLiteral("12345"), QStringLiteral("发送失败：余额不足")},
                       {QStringLiteral("13800000005"), kSent}});
    }
    std::unique_ptr<FinishList> openDetails(qint64 id, const QString& text)
    {
        auto dialog = std::make_unique<FinishList>(QStringLiteral("Row_%1").arg(id), text, page.get());
        QObject::connect(dialog.get(), &FinishList::pageRequested,
                         [this](int index) { requestedPages.push_back(index); });
        return dialog;
    }
    static QStringList sorted(QStringList texts)
    {
        std::sort(texts.begin(), texts.end());
        return texts;
    }
};

TEST_F(FinishListTest, ShowsTheRecordsRecipientsWithTotalAndFailedCount)
{
    const qint64 id = addFiveWithTwoFailed();
    const auto dialog = openDetails(id, QStringLiteral("五个号码"));

    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("信息发送详情"));
    EXPECT_EQ(Control<QPlainTextEdit>(*dialog, "Text1")->toPlainText(), QStringLiteral("五个号码"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("5"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label4")->text(), QStringLiteral("2"));
    EXPECT_TRUE(Control<QPushButton>(*dialog, "AeroButton2")->isEnabled());

    const ListViewModel& model = *Control<ListView>(*dialog, "ListView1")->listModel();
    ASSERT_EQ(model.count(), 5);
    EXPECT_EQ(Control<ListView>(*dialog, "ListView1")->columnWidth(0), 0);
    const qint64 firstId =
        g_Conn->scalar(QStringLiteral("select min(ID) from [Finish] where MsgId=%1").arg(id)).toLongLong();
    EXPECT_EQ(model.rowKey(0), QStringLiteral("Row_%1").arg(firstId));
    EXPECT_EQ(model.row(3).cells, (QStringList{QString(), QString::number(firstId + 3), QStringLiteral("12345"),
                                               QStringLiteral("发送失败：余额不足")}));
}

TEST_F(FinishListTest, AllSentShowsNoFailureAndDisablesFailedResend)
{
    const qint64 id = addRun(QStringLiteral("全部成功"), QStringLiteral("2024-05-01 09:00:00"),
                             {{QStringLiteral("13800000001"), kSent}, {QStringLiteral("13800000002"), kSent}});
    const auto dialog = openDetails(id, QStringLiteral("全部成功"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("2"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label4")->text(), QStringLiteral("0"));
    EXPECT_FALSE(Control<QPushButton>(*dialog, "AeroButton2")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(*dialog, "AeroButton1")->isEnabled());
}

struct ResendCase
{
    const char* button;
    QStringList numbers;
};

std::ostream& operator<<(std::ostream& out, const ResendCase& c)
{
    return out << c.button;
}

class FinishListResendTest : public FinishListTest, public ::testing::WithParamInterface<ResendCase>
{
};

TEST_P(FinishListResendTest, RefillsThePlainListAsStoredAndReturnsToTheSendPage)
{
    const qint64 id = addFiveWithTwoFailed();
    page->numberList()->add(QStringLiteral("13911111111"));
    page->CountList();
    const auto dialog = openDetails(id, QStringLiteral("五个号码"));
    dialog->show();
    Control<QPlainTextEdit>(*dialog, "Text1")->setPlainText(QStringLiteral("改过的内容"));

    QTest::mouseClick(Control<QPushButton>(*dialog, GetParam().button), Qt::LeftButton);

    EXPECT_EQ(sorted(listTexts()), sorted(GetParam().numbers));
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共%1个号码").arg(GetParam().numbers.size()));
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QStringLiteral("改过的内容"));
    EXPECT_EQ(requestedPages, std::vector<int>{1});
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(Buttons, FinishListResendTest,
                         ::testing::Values(ResendCase{"AeroButton2",
                                                      {QStringLiteral("13800000002"), QStringLiteral("12345")}},
                                           ResendCase{"AeroButton1",
                                                      {QStringLiteral("13800000001"), QStringLiteral("13800000002"),
                                                       QStringLiteral("13800000001"), QStringLiteral("12345"),
                                                       QStringLiteral("13800000005")}}),
                         NameFrom(&ResendCase::button));

struct UnconfirmedCase
{
    const char* name;
    const char* button;
    std::optional<Desktop::Answer> answer; // the question is asked, and answered so
    QStringList numbers;
};

std::ostream& operator<<(std::ostream& out, const UnconfirmedCase& c)
{
    return out << c.name;
}

class FinishListUnconfirmedTest : public FinishListTest, public ::testing::WithParamInterface<UnconfirmedCase>
{
};

// A run interrupted in the middle: numbers whose outcome is unconfirmed may have been charged,
// so "失败重发" asks before it sends them again; the refused and never-sent ones go either way.
// "全部重发" asks nothing: the user asked for all.
TEST_P(FinishListUnconfirmedTest, FailedResendAsksBeforeTakingUnconfirmedNumbers)
{
    const UnconfirmedCase& c = GetParam();
    const qint64 id = addRun(QStringLiteral("中断的记录"), QStringLiteral("2024-05-01 09:00:00"),
                             {{QStringLiteral("13800000001"), kSent},
                              {QStringLiteral("13800000002"), SendRun::unconfirmedState()},
                              {QStringLiteral("13800000003"), SendRun::unconfirmedState()},
                              {QStringLiteral("13800000004"), SendRun::unsentState()},
                              {QStringLiteral("13800000005"), QStringLiteral("余额不足")}});
    const auto dialog = openDetails(id, QStringLiteral("中断的记录"));
    dialog->show();
    EXPECT_EQ(Control<QLabel>(*dialog, "Label4")->text(), QStringLiteral("4"));
    if (c.answer)
        desktop.expectMessage(QStringLiteral("其中2个号码的发送结果未确认，可能已经发出，是否一并重发？"),
                              QStringLiteral("重发确认"), Icon::Question, Desktop::Buttons::YesNo, *c.answer);

    QTest::mouseClick(Control<QPushButton>(*dialog, c.button), Qt::LeftButton);

    desktop.verifyAllConsumed();
    EXPECT_EQ(sorted(listTexts()), sorted(c.numbers));
    EXPECT_EQ(requestedPages, std::vector<int>{1});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FinishListUnconfirmedTest,
    ::testing::Values(UnconfirmedCase{"FailedYes", "AeroButton2", Desktop::Answer::Yes,
                                      {QStringLiteral("13800000002"), QStringLiteral("13800000003"),
                                       QStringLiteral("13800000004"), QStringLiteral("13800000005")}},
                      UnconfirmedCase{"FailedNo", "AeroButton2", Desktop::Answer::No,
                                      {QStringLiteral("13800000004"), QStringLiteral("13800000005")}},
                      UnconfirmedCase{"All", "AeroButton1", std::nullopt,
                                      {QStringLiteral("13800000001"), QStringLiteral("13800000002"),
                                       QStringLiteral("13800000003"), QStringLiteral("13800000004"),
                                       QStringLiteral("13800000005")}}),
    NameFrom(&UnconfirmedCase::name));

TEST_F(FinishListTest, AFailingResendIsReportedAndChangesNothing)
{
    const qint64 id = addFiveWithTwoFailed();
    page->numberList()->add(QStringLiteral("13911111111"));
    Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QStringLiteral("原来的内容"));
    const auto dialog = openDetails(id, QStringLiteral("五个号码"));
    dialog->show();
    g_Conn->execute(QStringLiteral("drop table [Finish]"));
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), QStringLiteral("程序出错"),
                          Icon::Information);

    QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton1"), Qt::LeftButton);

    desktop.verifyAllConsumed();
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("13911111111")});
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QStringLiteral("原来的内容"));
    EXPECT_TRUE(requestedPages.empty());
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
