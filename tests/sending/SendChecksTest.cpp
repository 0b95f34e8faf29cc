#include "SendChecks.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0, 0));

SendCheckInput passingInput()
{
    SendCheckInput in;
    in.now = kNow;
    in.text = QStringLiteral("明天上午开会");
    in.recipients = 10;
    in.parts = 2;
    in.balance = 20;
    return in;
}

QString failureOf(const SendCheckInput& in)
{
    const auto failure = CheckSend(in);
    return failure ? failure->message : QString();
}

} // namespace

TEST(SendChecks, PassingInputOpensTheDialog)
{
    EXPECT_FALSE(CheckSend(passingInput()).has_value());
}

struct ScheduleCase
{
    qint64 offsetSeconds;
    const char* expected; // empty: passes
};

class ScheduleBounds : public ::testing::TestWithParam<ScheduleCase>
{
};

TEST_P(ScheduleBounds, RefusesPastAndBeyondThreeDays)
{
    SendCheckInput in = passingInput();
    in.timed = true;
    in.scheduled = kNow.addSecs(GetParam().offsetSeconds);
    EXPECT_EQ(failureOf(in), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(SendChecks, ScheduleBounds,
                         ::testing::Values(ScheduleCase{0, ""}, ScheduleCase{259200, ""},
                                           ScheduleCase{-1, "定时发送的时间已经过期！"},
                                           ScheduleCase{259201, "定时发送的时间不能超过3天！"}, ScheduleCase{3600, ""}),
                         NameFrom(&ScheduleCase::offsetSeconds));

TEST(SendChecks, ScheduleIsIgnoredWhenNotTimed)
{
    SendCheckInput in = passingInput();
    in.scheduled = kNow.addDays(-10);
    EXPECT_FALSE(CheckSend(in).has_value());
}

TEST(SendChecks, BlankTextIsRefusedAndFocusesTheEditor)
{
    SendCheckInput in = passingInput();
    in.text = QStringLiteral("   ");
    const auto failure = CheckSend(in);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, QStringLiteral("不能发送空信息！"));
    EXPECT_EQ(failure->title, QStringLiteral("提示"));
    EXPECT_TRUE(failure->focusEditor);
}

TEST(SendChecks, ChecksRunInOrder)
{
    SendCheckInput in = passingInput();
    in.text.clear();
    in.recipients = 0;
    in.timed = true;
    in.scheduled = kNow.addSecs(-5);
    EXPECT_EQ(failureOf(in), QStringLiteral("定时发送的时间已经过期！"));
    in.timed = false;
    EXPECT_EQ(failureOf(in), QStringLiteral("不能发送空信息！"));
    in.text = QStringLiteral("x");
    EXPECT_EQ(failureOf(in), QStringLiteral("没有收件人，不能发送短信！"));
}

TEST(SendChecks, BalanceEqualToTheNeedPassesOneLessFails)
{
    SendCheckInput in = passingInput();
    in.balance = 20;
    EXPECT_FALSE(CheckSend(in).has_value());
    in.balance = 19;
    const auto failure = CheckSend(in);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, QStringLiteral("余额不足支付所要发的短信！"));
    EXPECT_EQ(failure->title, QStringLiteral("失败"));
}

TEST(SendChecks, SensitiveWords)
{
    SendCheckInput in = passingInput();
    in.text = QStringLiteral("本店发票优惠，代开发票");
    EXPECT_FALSE(CheckSend(in).has_value()) << "no list yet: no word check";

    in.sensitiveWords = QStringList{QString(), QStringLiteral("   "), QStringLiteral("代开"), QStringLiteral("发票")};
    auto failure = CheckSend(in);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, QStringLiteral("存在敏感字符：“代开”请修改再重发！")) << "the word listed first wins";
    EXPECT_EQ(failure->title, QStringLiteral("关键字提示"));

    // Searched as stored, blanks included, case-sensitive.
    in.sensitiveWords = QStringList{QStringLiteral(" 发票"), QStringLiteral("ABC")};
    in.text = QStringLiteral("abc 发票");
    failure = CheckSend(in);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, QStringLiteral("存在敏感字符：“ 发票”请修改再重发！"));
    in.text = QStringLiteral("abc发票");
    EXPECT_FALSE(CheckSend(in).has_value());
}

TEST(SendChecks, ScheduledMomentReadsPickersAsLocalTime)
{
    const QDateTime moment = ScheduledMoment(QDate(2026, 1, 2), QTime(7, 5, 9));
    EXPECT_EQ(moment, QDateTime(QDate(2026, 1, 2), QTime(7, 5, 9)));
}
