#include "BirthdayReminder.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "MyTrayIcon.h"

#include <exception>

namespace {

// Both statements share everything after their head; the window N appears twice.
QString windowStatement(const QString& head, int days)
{
    static const QString middle = QStringLiteral(
        " and datediff('d',date(),Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))>=0 )Or( "
        "datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<=");
    static const QString tail = QStringLiteral(
        "   and datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))>=0)");
    const QString n = QString::number(days);
    return head + n + middle + n + tail;
}

} // namespace

QString BirthdayListSql(int days)
{
    return windowStatement(
        QStringLiteral("SELECT id,Selected,Name,MobilePhone,Sex,Format(Birthday,'yyyy-mm-dd') as Birthday,Address FROM "
                       "[ContactList] WHERE ( datediff('d',date() "
                       ",Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<="),
        days);
}

QString BirthdayCountSql(int days)
{
    return windowStatement(
        QStringLiteral("SELECT count(*) as num FROM [ContactList] WHERE ( datediff('d',date() "
                       ",Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<="),
        days);
}

void ShowBirthdayReminder()
{
    if (!g_Conn)
        return;
    const int days = g_BirthdayDays;
    qlonglong num = 0;
    try {
        db::Recordset rs;
        rs.Open(BirthdayCountSql(days), SharedConnection(), db::LockType::ReadOnly);
        if (rs.RecordCount() > 0)
            num = rs.Field(QStringLiteral("num")).toLongLong();
        rs.Close();
    } catch (const std::exception&) {
        // A reminder is a courtesy: when the count cannot be read, the user is not bothered.
        return;
    }
    if (num > 0) {
        ShowBalloon(QStringLiteral("Quorvel提醒您"),
                    QStringLiteral("最近") + QString::number(days) + QStringLiteral("天内您的联系人名单中有") +
                        QString::number(num) + QStringLiteral("位联系人最近过生日"),
                    1);
    }
}
