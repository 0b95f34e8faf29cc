#include "BirthdayReminder.h"
#include "AddressBookFixture.h"
#include "CaseName.h"
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

// The tree node "最近生日联系人" lists the contacts of the window and the reminder counts the
// same ones, whatever the day, the year's end or a 29 February.
struct Birthday
{
    const char* name;
    const char* date; // nullptr: no birthday given
};

struct WindowCase
{
    const char* name;
    QDate today;
    int days;
    std::vector<Birthday> contacts;
    QStringList expected; // in the order the contacts were added
};

class BirthdayWindowTest : public AddressBookFixture, public ::testing::WithParamInterface<WindowCase>
{
protected:
    TrayRecorder tray;
};

TEST_P(BirthdayWindowTest, NodeListsAndReminderCountTheSameContacts)
{
    const WindowCase& c = GetParam();
    int phone = 0;
    for (const Birthday& contact : c.contacts)
        addContact(QString::fromLatin1(contact.name), QStringLiteral("1380000%1").arg(++phone, 4, 10, QLatin1Char('0')),
                   0, contact.date ? QString::fromLatin1(contact.date) : QString());
    db::Clock::setFixed(QDateTime(c.today, QTime(15, 30)));
    g_BirthdayDays = c.days;

    clickNode(QStringLiteral("birthday"));
    EXPECT_EQ(listedNames(), c.expected);
    ShowBirthdayReminder();
    if (c.expected.isEmpty()) {
        EXPECT_TRUE(tray.balloons.isEmpty());
        return;
    }
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons.at(0).text,
              QStringLiteral("最近%1天内您的联系人名单中有%2位联系人最近过生日").arg(c.days).arg(c.expected.size()));
}

const std::vector<Birthday> kAroundMidJune{
    {"yesterday", "1999-06-14"}, {"today", "1980-06-15"}, {"tomorrow", "2001-06-16"}, {"none", nullptr}};
const std::vector<Birthday> kLeapDay{{"leap", "1992-02-29"}, {"march", "1992-03-01"}};

INSTANTIATE_TEST_SUITE_P(
    Windows, BirthdayWindowTest,
    ::testing::Values(
        WindowCase{"YearEnd",
                   QDate(2023, 12, 28),
                   7,
                   {{"jan2", "1990-01-02"},
                    {"jan5", "1985-01-05"},
                    {"today", "2000-12-28"},
                    {"yesterday", "2000-12-27"},
                    {"dec31", "1970-12-31"},
                    {"none", nullptr}},
                   {"jan2", "today", "dec31"}},
        WindowCase{"ZeroDays", QDate(2023, 6, 15), 0, kAroundMidJune, {"today"}},
        WindowCase{"OneDay", QDate(2023, 6, 15), 1, kAroundMidJune, {"today", "tomorrow"}},
        WindowCase{"WholeYear", QDate(2023, 6, 15), 365, kAroundMidJune, {"yesterday", "today", "tomorrow"}},
        WindowCase{"YesterdayWithin364", QDate(2022, 6, 15), 364, kAroundMidJune, {"yesterday", "today", "tomorrow"}},
        WindowCase{"YesterdayBeyond363", QDate(2022, 6, 15), 363, kAroundMidJune, {"today", "tomorrow"}},
        WindowCase{"BothYearsCountOnce", QDate(2023, 1, 1), 365, {{"newyear", "1980-01-01"}}, {"newyear"}},
        WindowCase{"NoBirthdays", QDate(2023, 1, 1), 365, {{"none", nullptr}}, {}},
        WindowCase{"LeapDayOn28Feb", QDate(2023, 2, 28), 0, kLeapDay, {"leap"}},
        WindowCase{"LeapDayAheadOf27Feb", QDate(2023, 2, 27), 1, kLeapDay, {"leap"}},
        WindowCase{"LeapDayPassedOn1Mar", QDate(2023, 3, 1), 0, kLeapDay, {"march"}},
        WindowCase{"LeapDayNextYearFrom1Mar", QDate(2023, 3, 1), 365, kLeapDay, {"leap", "march"}},
        WindowCase{"LeapYear28Feb", QDate(2024, 2, 28), 0, kLeapDay, {}},
        WindowCase{"LeapYear29Feb", QDate(2024, 2, 29), 0, kLeapDay, {"leap"}}),
    NameFrom(&WindowCase::name));

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
