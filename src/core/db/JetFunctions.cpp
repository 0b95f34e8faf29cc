// The Jet functions that the program's statements call, registered on every connection.
#include "db/Clock.h"
#include "db/JetDate.h"
#include "db/JetDialect.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1 // sqlite3_key
#endif
#include <sqlcipher/sqlite3.h>

namespace db::jet {

namespace {

QString textOf(sqlite3_value* value)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QString::fromUtf8(bytes, sqlite3_value_bytes(value));
}

QString numberText(double number)
{
    return QString::number(number, 'g', 15);
}

void resultText(sqlite3_context* ctx, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
}

bool isNumeric(sqlite3_value* value)
{
    const int type = sqlite3_value_type(value);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

// A date argument: a stored date text, a date text built by the statement, or a serial.
std::optional<QDateTime> dateOf(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return JetDate::fromSerial(sqlite3_value_double(value));
    case SQLITE_TEXT:
        return JetDate::parse(textOf(value));
    default:
        return std::nullopt;
    }
}

QDateTime nowWallClock()
{
    const QDateTime now = Clock::now();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

void dateFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, JetDate::toText(QDateTime(Clock::today(), QTime(0, 0), Qt::UTC)));
}

void nowFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, JetDate::toText(nowWallClock()));
}

enum class DatePart
{
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second
};

void datePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto moment = dateOf(argv[0]);
    if (!moment) {
        sqlite3_result_null(ctx);
        return;
    }
    const QDate d = moment->date();
    const QTime t = moment->time();
    int result = 0;
    switch (*static_cast<const DatePart*>(sqlite3_user_data(ctx))) {
    case DatePart::Year:
        result = d.year();
        break;
    case DatePart::Month:
        result = d.month();
        break;
    case DatePart::Day:
        result = d.day();
        break;
    case DatePart::Hour:
        result = t.hour();
        break;
    case DatePart::Minute:
        result = t.minute();
        break;
    case DatePart::Second:
        result = t.second();
        break;
    }
    sqlite3_result_int(ctx, result);
}

void rtrimFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
        resultText(ctx, QString::number(sqlite3_value_int64(argv[0])));
        return;
    case SQLITE_FLOAT:
        resultText(ctx, numberText(sqlite3_value_double(argv[0])));
        return;
    default: {
        QString text = textOf(argv[0]);
        int end = text.size();
        while (end > 0 && text[end - 1] == u' ')
            --end;
        text.truncate(end);
        resultText(ctx, text);
    }
    }
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

qint64 secondsOf(const QDateTime& moment)
{
    return moment.date().toJulianDay() * 86400 + moment.time().msecsSinceStartOfDay() / 1000;
}

QDate weekStart(const QDate& date)
{
    return date.addDays(-(date.dayOfWeek() % 7)); // weeks begin on Sunday
}

// Boundaries of the interval crossed from a to b, as Jet's DateDiff counts them.
std::optional<qint64> dateDiff(const QString& interval, const QDateTime& a, const QDateTime& b)
{
    const QString unit = interval.trimmed().toLower();
    const QDate da = a.date();
    const QDate db = b.date();
    if (unit == QLatin1String("yyyy"))
        return db.year() - da.year();
    if (unit == QLatin1String("q"))
        return (db.year() * 4 + (db.month() - 1) / 3) - (da.year() * 4 + (da.month() - 1) / 3);
    if (unit == QLatin1String("m"))
        return (db.year() * 12 + db.month()) - (da.year() * 12 + da.month());
    if (unit == QLatin1String("d") || unit == QLatin1String("y"))
        return da.daysTo(db);
    if (unit == QLatin1String("w"))
        return da.daysTo(db) / 7;
    if (unit == QLatin1String("ww"))
        return weekStart(da).daysTo(weekStart(db)) / 7;
    const qint64 sa = secondsOf(a);
    const qint64 sb = secondsOf(b);
    if (unit == QLatin1String("h"))
        return floorDiv(sb, 3600) - floorDiv(sa, 3600);
    if (unit == QLatin1String("n"))
        return floorDiv(sb, 60) - floorDiv(sa, 60);
    if (unit == QLatin1String("s"))
        return sb - sa;
    return std::nullopt;
}

void datediffFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_error(ctx, "无效的过程调用或参数", -1);
        return;
    }
    const auto a = dateOf(argv[1]);
    const auto b = dateOf(argv[2]);
    if (!a || !b) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto diff = dateDiff(textOf(argv[0]), *a, *b);
    if (!diff) {
        sqlite3_result_error(ctx, "无效的过程调用或参数", -1);
        return;
    }
    sqlite3_result_int64(ctx, *diff);
}

QString padded(int value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

struct FormatPiece
{
    QChar letter; // 0 for literal text
    int count;
    QString literal;
};

QVector<FormatPiece> splitDatePattern(const QString& pattern)
{
    static const QString letters = QStringLiteral("ymdhns");
    QVector<FormatPiece> pieces;
    int i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i].toLower();
        if (letters.contains(c)) {
            int j = i;
            while (j < pattern.size() && pattern[j].toLower() == c)
                ++j;
            pieces.push_back({c, j - i, QString()});
            i = j;
        } else if (pattern[i] == u'\\' && i + 1 < pattern.size()) {
            pieces.push_back({QChar(), 0, pattern.mid(i + 1, 1)});
            i += 2;
        } else if (pattern[i] == u'"') {
            const int close = pattern.indexOf(u'"', i + 1);
            const int end = close < 0 ? pattern.size() : close;
            pieces.push_back({QChar(), 0, pattern.mid(i + 1, end - i - 1)});
            i = end + 1;
        } else {
            pieces.push_back({QChar(), 0, pattern.mid(i, 1)});
            ++i;
        }
    }
    // "m" right after an hour or right before seconds means minutes, as in "hh:mm:ss".
    int previousLetter = -1;
    for (int k = 0; k < pieces.size(); ++k) {
        if (pieces[k].letter.isNull())
            continue;
        if (pieces[k].letter == u'm' && pieces[k].count <= 2) {
            int next = k + 1;
            while (next < pieces.size() && pieces[next].letter.isNull())
                ++next;
            const bool afterHour = previousLetter >= 0 && pieces[previousLetter].letter == u'h';
            const bool beforeSecond = next < pieces.size() && pieces[next].letter == u's';
            if (afterHour || beforeSecond)
                pieces[k].letter = u'n';
        }
        previousLetter = k;
    }
    return pieces;
}

QString formatDate(const QDateTime& moment, const QString& pattern)
{
    const QString named = pattern.trimmed().toLower();
    if (named == QLatin1String("general date")) {
        return formatDate(moment, moment.time() == QTime(0, 0) ? QStringLiteral("yyyy-mm-dd")
                                                               : QStringLiteral("yyyy-mm-dd hh:nn:ss"));
    }
    if (named == QLatin1String("short date") || named == QLatin1String("medium date"))
        return formatDate(moment, QStringLiteral("yyyy-mm-dd"));
    if (named == QLatin1String("long date"))
        return formatDate(moment, QStringLiteral("yyyy\"年\"m\"月\"d\"日\""));
    if (named == QLatin1String("long time") || named == QLatin1String("medium time"))
        return formatDate(moment, QStringLiteral("hh:nn:ss"));
    if (named == QLatin1String("short time"))
        return formatDate(moment, QStringLiteral("hh:nn"));

    const QLocale locale(QLocale::Chinese, QLocale::China);
    const QDate d = moment.date();
    const QTime t = moment.time();
    QString out;
    for (const FormatPiece& piece : splitDatePattern(pattern)) {
        const int n = piece.count;
        switch (piece.letter.unicode()) {
        case u'y':
            out += n >= 3 ? padded(d.year(), 4) : n == 2 ? padded(d.year() % 100, 2) : QString::number(d.dayOfYear());
            break;
        case u'm':
            out += n >= 4   ? locale.monthName(d.month(), QLocale::LongFormat)
                   : n == 3 ? locale.monthName(d.month(), QLocale::ShortFormat)
                            : padded(d.month(), n);
            break;
        case u'd':
            out += n >= 4   ? locale.dayName(d.dayOfWeek(), QLocale::LongFormat)
                   : n == 3 ? locale.dayName(d.dayOfWeek(), QLocale::ShortFormat)
                            : padded(d.day(), n);
            break;
        case u'h':
            out += padded(t.hour(), qMin(n, 2));
            break;
        case u'n':
            out += padded(t.minute(), qMin(n, 2));
            break;
        case u's':
            out += padded(t.second(), qMin(n, 2));
            break;
        default:
            out += piece.literal;
            break;
        }
    }
    return out;
}

bool isNumberPattern(const QString& pattern)
{
    static const QRegularExpression re(QStringLiteral(R"(^[0#,.%]+$)"));
    return re.match(pattern).hasMatch();
}

QString formatNumber(double value, const QString& pattern)
{
    const bool percent = pattern.contains(u'%');
    if (percent)
        value *= 100.0;
    const int dot = pattern.indexOf(u'.');
    const QString intPart = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPart = dot < 0 ? QString() : pattern.mid(dot + 1);
    const int maxDecimals = int(fracPart.count(u'0') + fracPart.count(u'#'));
    const int minDecimals = int(fracPart.count(u'0'));
    const int minDigits = int(intPart.count(u'0'));

    QString text = QString::number(std::fabs(value), 'f', maxDecimals);
    QString whole = text.section(u'.', 0, 0);
    QString fraction = text.section(u'.', 1);
    while (fraction.size() > minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole == QLatin1String("0") && minDigits == 0)
        whole.clear();
    whole = whole.rightJustified(minDigits, u'0');
    if (intPart.contains(u',')) {
        for (int pos = int(whole.size()) - 3; pos > 0; pos -= 3)
            whole.insert(pos, u',');
    }
    const bool negative = value < 0 && (whole.count(u'0') + fraction.count(u'0')) != whole.size() + fraction.size();
    QString out = (negative ? QStringLiteral("-") : QString()) + whole;
    if (!fraction.isEmpty() || (dot >= 0 && minDecimals > 0))
        out += u'.' + fraction;
    if (percent)
        out += u'%';
    return out;
}

QString plainText(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QString::number(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
        return numberText(sqlite3_value_double(value));
    default:
        return textOf(value);
    }
}

void formatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString pattern = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL ? textOf(argv[1]) : QString();
    if (pattern.isEmpty()) {
        resultText(ctx, plainText(argv[0]));
        return;
    }
    if (isNumberPattern(pattern)) {
        bool ok = isNumeric(argv[0]);
        const double number = ok ? sqlite3_value_double(argv[0]) : textOf(argv[0]).trimmed().toDouble(&ok);
        resultText(ctx, ok ? formatNumber(number, pattern) : plainText(argv[0]));
        return;
    }
    auto moment = dateOf(argv[0]);
    if (!moment && sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        bool ok = false;
        const double serial = textOf(argv[0]).trimmed().toDouble(&ok);
        if (ok)
            moment = JetDate::fromSerial(serial);
    }
    // Like Jet, a value that is no date comes back as it was.
    resultText(ctx, moment ? formatDate(*moment, pattern) : plainText(argv[0]));
}

using Function = void (*)(sqlite3_context*, int, sqlite3_value**);

// A text that Jet would take as a number in arithmetic: digits with an optional sign,
// point and exponent, blanks around allowed.
std::optional<double> numberInText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

void resultSum(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b)
{
    if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
        sqlite3_int64 sum = 0;
        if (!__builtin_add_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &sum)) {
            sqlite3_result_int64(ctx, sum);
            return;
        }
    }
    sqlite3_result_double(ctx, sqlite3_value_double(a) + sqlite3_value_double(b));
}

// Jet's "+": Null when either side is Null; two texts join; two numbers add; a number and a
// text add when the text reads as a number, move a date by that many days when it reads as
// a date, and are a type mismatch otherwise.
void plusFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* a = argv[0];
    sqlite3_value* b = argv[1];
    if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const bool numberA = isNumeric(a);
    const bool numberB = isNumeric(b);
    if (numberA && numberB) {
        resultSum(ctx, a, b);
        return;
    }
    if (!numberA && !numberB) {
        resultText(ctx, textOf(a) + textOf(b));
        return;
    }
    sqlite3_value* number = numberA ? a : b;
    const QString text = textOf(numberA ? b : a);
    if (const auto value = numberInText(text)) {
        const double sum = *value + sqlite3_value_double(number);
        if (sqlite3_value_type(number) == SQLITE_INTEGER && std::floor(sum) == sum && std::fabs(sum) < 9.0e15)
            sqlite3_result_int64(ctx, sqlite3_int64(sum));
        else
            sqlite3_result_double(ctx, sum);
        return;
    }
    if (const auto moment = JetDate::parse(text)) {
        const double days = sqlite3_value_double(number);
        resultText(ctx, JetDate::toText(moment->addMSecs(qint64(std::llround(days * 86400000.0)))));
        return;
    }
    sqlite3_result_error(ctx, "标准表达式中数据类型不匹配。", -1);
}

// Jet's "&": both sides as text, Null read as empty; Null only when both are Null.
void concatFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const bool nullA = sqlite3_value_type(argv[0]) == SQLITE_NULL;
    const bool nullB = sqlite3_value_type(argv[1]) == SQLITE_NULL;
    if (nullA && nullB) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, (nullA ? QString() : textOf(argv[0])) + (nullB ? QString() : textOf(argv[1])));
}

void add(sqlite3* db, const char* name, int argc, Function function, bool deterministic = true,
         const DatePart* part = nullptr)
{
    const int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, name, argc, flags, const_cast<DatePart*>(part), function, nullptr, nullptr, nullptr);
}

} // namespace

void registerFunctions(sqlite3* db)
{
    static const DatePart parts[] = {DatePart::Year, DatePart::Month,  DatePart::Day,
                                     DatePart::Hour, DatePart::Minute, DatePart::Second};
    static const char* const partNames[] = {"year", "month", "day", "hour", "minute", "second"};

    // date() and now() read the program's clock, which tests pin; they replace SQLite's
    // own date() without arguments, which would answer in UTC.
    add(db, "date", 0, dateFunction, false);
    add(db, "now", 0, nowFunction, false);
    for (int i = 0; i < 6; ++i)
        add(db, partNames[i], 1, datePartFunction, true, &parts[i]);
    add(db, "rtrim", 1, rtrimFunction);
    for (int argc = 3; argc <= 5; ++argc) // the optional first-day arguments change nothing here
        add(db, "datediff", argc, datediffFunction);
    add(db, "format", 1, formatFunction);
    add(db, "format", 2, formatFunction);
    add(db, "jet_plus", 2, plusFunction);
    add(db, "jet_concat", 2, concatFunction);
}

} // namespace db::jet
