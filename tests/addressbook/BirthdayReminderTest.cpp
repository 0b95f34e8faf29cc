#include "BirthdayReminder.h"
#include "AddressBookFixture.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "MyTrayIcon.h"
#include "db/Clock.h"

namespace {

struct ReminderCase
{
    const char* name;
    QDate today;
    int days;
    int expected; // contacts counted; 0 means no balloon
};

class BirthdayReminderTest : public AddressBookFixture, public ::testing::WithParamInterface<ReminderCase>
{
protected:
    void SetUp() override
    {
        AddressBookFixture::SetUp();
        const std::vector<std::pair<const char*, const char*>> contacts{
            {"jan2", "1990-01-02"},  {"jan5", "1985-01-05"},  {"dec28", "2000-12-28"},
            {"dec27", "2000-12-27"}, {"dec31", "1970-12-31"}, {"jun15", "1980-06-15"},
            {"leap", "1992-02-29"},  {"mar1", "1992-03-01"},  {"none", nullptr}};
        int phone = 0;
        for (const auto& [name, day] : contacts)
            addContact(QString::fromLatin1(name), QStringLiteral("1380000%1").arg(++phone, 4, 10, QLatin1Char('0')), 0,
                       day ? QString::fromLatin1(day) : QString());
    }
    TrayRecorder tray;
};

TEST_P(BirthdayReminderTest, BalloonCountsTheWindow)
{
    const ReminderCase& c = GetParam();
    db::Clock::setFixed(QDateTime(c.today, QTime(8, 0)));
    g_BirthdayDays = c.days;
    ShowBirthdayReminder();
    if (c.expected == 0) {
        EXPECT_TRUE(tray.balloons.isEmpty());
        return;
    }
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons.at(0).title, QStringLiteral("Quorvel提醒您"));
    EXPECT_EQ(tray.balloons.at(0).text,
              QStringLiteral("最近%1天内您的联系人名单中有%2位联系人最近过生日").arg(c.days).arg(c.expected));
    EXPECT_EQ(tray.balloons.at(0).iconFlags, 1);
}

INSTANTIATE_TEST_SUITE_P(Windows, BirthdayReminderTest,
                         ::testing::Values(
                             // 28 December: jan2 is 5 days ahead through next year's date, jan5 8 days.
                             ReminderCase{"AcrossNewYear", QDate(2023, 12, 28), 7, 3}, // dec28, dec31, jan2
                             ReminderCase{"ZeroDaysToday", QDate(2023, 12, 28), 0, 1},
                             ReminderCase{"ZeroDaysNobody", QDate(2023, 12, 29), 0, 0},
                             ReminderCase{"WholeYear", QDate(2023, 6, 1), 365, 8},
                             // Without 29 February the leap-day birthday is reminded on the 28th.
                             ReminderCase{"LeapDayOn28Feb", QDate(2023, 2, 28), 0, 1},
                             ReminderCase{"LeapDayWithMarch", QDate(2023, 2, 27), 2, 2},
                             ReminderCase{"LeapYear29Feb", QDate(2024, 2, 29), 0, 1},
                             ReminderCase{"LeapYear28Feb", QDate(2024, 2, 28), 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

class BirthdayFailureTest : public AddressBookFixture
{
protected:
    TrayRecorder tray;
};

TEST_F(BirthdayFailureTest, UnreadableCountShowsNothing)
{
    addContact(QStringLiteral("today"), QStringLiteral("13800000001"), 0, db::Clock::today().toString(Qt::ISODate));
    g_Conn->execute(QStringLiteral("alter table ContactList rename to Gone"));
    ShowBirthdayReminder();
    EXPECT_TRUE(tray.balloons.isEmpty());
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(BirthdayFailureTest, TodaysBirthdayIsRemindedAtTheDefaultWindow)
{
    addContact(QStringLiteral("today"), QStringLiteral("13800000001"), 0, db::Clock::today().toString(Qt::ISODate));
    ShowBirthdayReminder();
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons.at(0).text, QStringLiteral("最近7天内您的联系人名单中有1位联系人最近过生日"));
}

} // namespace
