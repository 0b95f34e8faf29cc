#include "db/Clock.h"

#include <QMutex>
#include <QMutexLocker>

namespace db {

namespace {
// Workers read the clock too, so the pinned moment is guarded.
QMutex g_clockMutex;
QDateTime g_fixed;
} // namespace

QDateTime Clock::now()
{
    {
        QMutexLocker lock(&g_clockMutex);
        if (g_fixed.isValid())
            return g_fixed;
    }
    return QDateTime::currentDateTime();
}

QDate Clock::today()
{
    return now().date();
}

void Clock::setFixed(const QDateTime& moment)
{
    QMutexLocker lock(&g_clockMutex);
    g_fixed = moment;
}

void Clock::reset()
{
    setFixed(QDateTime());
}

} // namespace db
