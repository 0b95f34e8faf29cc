#pragma once

#include <QDateTime>

namespace db {

// Local wall clock used by the engine's date() and by the program wherever "now" is
// stored. Tests pin it to a fixed moment.
class Clock
{
public:
    static QDateTime now();
    static QDate today();
    static void setFixed(const QDateTime& moment); // an invalid moment returns to the real clock
    static void reset();
};

} // namespace db
