#include "db/JetDate.h"

#include <QRegularExpression>
#include <cmath>

namespace db {

namespace {

const QDate kSerialEpoch(1899, 12, 30);

// Two-digit years, as Jet reads them: 00-29 in this century, 30-99 in the last.
int fullYear(int year, int digits)
{
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

std::optional<QDate> makeDate(int year, int month, int day)
{
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    if (month == 2 && day == 29 && !QDate::isLeapYear(year))
        day = 28;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> makeTime(const QString& hour, const QString& minute, const QString& second, const QString& ampm)
{
    if (hour.isEmpty())
        return QTime(0, 0);
    int h = hour.toInt();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        const bool pm = ampm.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
        h = (h % 12) + (pm ? 12 : 0);
    }
    const QTime time(h, minute.toInt(), second.isEmpty() ? 0 : second.toInt());
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::optional<QDateTime> combine(std::optional<QDate> date, std::optional<QTime> time)
{
    if (!date || !time)
        return std::nullopt;
    // Wall-clock values: no time zone, so no daylight-saving gaps in the arithmetic.
    return QDateTime(*date, *time, Qt::UTC);
}

} // namespace

std::optional<QDateTime> JetDate::parse(const QString& text)
{
    static const QString timePart =
        QStringLiteral(R"((?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.\d*)?)?\s*([AaPp][Mm])?)?)");
    static const QRegularExpression ymd(QStringLiteral(R"(^\s*(\d{3,4})[-/.](\d{1,2})[-/.](\d{1,2}))") + timePart +
                                        QStringLiteral(R"(\s*$)"));
    static const QRegularExpression mdy(QStringLiteral(R"(^\s*(\d{1,2})[-/](\d{1,2})[-/](\d{2}|\d{4}))") + timePart +
                                        QStringLiteral(R"(\s*$)"));
    static const QRegularExpression timeOnly(
        QStringLiteral(R"(^\s*(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?\s*$)"));

    auto m = ymd.match(text);
    if (m.hasMatch()) {
        return combine(makeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()),
                       makeTime(m.captured(4), m.captured(5), m.captured(6), m.captured(7)));
    }
    m = mdy.match(text);
    if (m.hasMatch()) {
        const int year = fullYear(m.captured(3).toInt(), int(m.capturedLength(3)));
        return combine(makeDate(year, m.captured(1).toInt(), m.captured(2).toInt()),
                       makeTime(m.captured(4), m.captured(5), m.captured(6), m.captured(7)));
    }
    m = timeOnly.match(text);
    if (m.hasMatch())
        return combine(kSerialEpoch, makeTime(m.captured(1), m.captured(2), m.captured(3), m.captured(4)));
    return std::nullopt;
}

std::optional<QDateTime> JetDate::fromSerial(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3e6)
        return std::nullopt;
    const double days = std::floor(serial);
    // Jet counts the fraction of a negative serial away from the epoch day too.
    const double fraction = std::fabs(serial - (serial < 0 ? std::ceil(serial) : days));
    const QDate date = kSerialEpoch.addDays(serial < 0 ? qint64(std::ceil(serial)) : qint64(days));
    const int seconds = int(std::lround(fraction * 86400.0));
    return QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(qMin(seconds, 86399));
}

QString JetDate::toText(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace db
