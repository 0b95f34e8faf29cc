#include "FileSize.h"

#include <QStringList>

QString FormatFileSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" 字节");
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // The unit is the first one in which the count stays below 1000, so that three digits
    // always suffice: 1,000 KB and more already reads "0.97 MB". Integer arithmetic keeps the
    // truncation exact (no 2.2799999 for 2.28).
    int unit = 0;
    qint64 divisor = 1024;
    while (unit < 5 && bytes / divisor >= 1000) {
        divisor *= 1024;
        ++unit;
    }
    const qint64 whole = bytes / divisor;
    const qint64 rest = bytes % divisor;
    const int decimals = whole < 10 ? 2 : whole < 100 ? 1 : 0;
    const int scale = decimals == 2 ? 100 : decimals == 1 ? 10 : 1;
    // In exabytes rest * scale passes 2^63; the wide product keeps the truncation exact there too.
    const auto fraction = static_cast<qint64>(static_cast<__int128>(rest) * scale / divisor);
    QString text = QString::number(whole);
    if (decimals > 0)
        text += QLatin1Char('.') + QString::number(fraction).rightJustified(decimals, QLatin1Char('0'));
    return text + QLatin1Char(' ') + QLatin1String(units[unit]);
}
