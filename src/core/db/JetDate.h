#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace db {

// Date texts as the program writes and reads them. Stored dates are "yyyy-mm-dd hh:mm:ss";
// read are also dates without leading zeros ("2027-1-5"), with "/" or in the US order of
// Jet's #m/d/yyyy# literals, with or without a time. All in local wall-clock time.
class JetDate final
{
public:
    // Nullopt when the text names no date. 29 February of a year without one is read as
    // 28 February, so that a birthday on that day still falls in every year.
    static std::optional<QDateTime> parse(const QString& text);
    // Jet's serial date: days since 1899-12-30, the fraction being the time of day.
    static std::optional<QDateTime> fromSerial(double serial);
    static QString toText(const QDateTime& moment);
};

} // namespace db
