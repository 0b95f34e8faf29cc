#include "PublicFunction.h"

#include "CodePage.h"
#include "DataStore.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QStringDecoder>
#include <QTimeZone>
#include <algorithm>
#include <limits>

namespace {

constexpr int kErrInvalidCall = 5;
constexpr int kErrOverflow = 6;
constexpr int kErrDivisionByZero = 11;
constexpr int kErrFileAccess = 75;
constexpr int kErrInvalidNull = 94;

constexpr QChar kBlank = u' ';

// Rounds a quotient up for a positive divisor, for any sign of the dividend.
qint64 ceilDiv(qint64 dividend, qint64 divisor)
{
    const qint64 q = dividend / divisor;
    return (dividend % divisor > 0) ? q + 1 : q;
}

QString hexByte(uchar byte)
{
    return QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

bool isAsciiAlnum(uchar c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

QString encodeSingleByte(uchar c)
{
    if (isAsciiAlnum(c))
        return QString(QChar(c));
    // LF, CR, blank, "*" and ":" have their own entries in the old table; every one of them
    // comes out as the same "%XX" that the general rule gives.
    return hexByte(c);
}

} // namespace

HelperError::HelperError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number)
{
}

QString HelperError::description() const
{
    return QString::fromStdString(what());
}

QString RemoveSpaces(const QVariant& value)
{
    if (value.isNull())
        throw HelperError(kErrInvalidNull, QStringLiteral("无效使用 Null"));
    return value.toString().remove(kBlank);
}

QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size() - 1;
    while (first <= last && text.at(first) == kBlank)
        ++first;
    while (last >= first && text.at(last) == kBlank)
        --last;
    return text.mid(first, last - first + 1);
}

qint16 CountSmsParts(int length, int charsPerSms)
{
    if (charsPerSms == 0)
        throw HelperError(kErrDivisionByZero, QStringLiteral("除数为零"));
    if (charsPerSms < 0)
        throw HelperError(kErrInvalidCall, QStringLiteral("无效的过程调用或参数"));

    qint64 parts = 0;
    if (charsPerSms == 70)
        // A long text loses 5 characters per part to the joining header.
        parts = length <= 70 ? 1 : ceilDiv(length, 65);
    else
        parts = ceilDiv(length, charsPerSms);

    if (parts > std::numeric_limits<qint16>::max() || parts < std::numeric_limits<qint16>::min())
        throw HelperError(kErrOverflow, QStringLiteral("溢出"));
    return static_cast<qint16>(parts);
}

bool IsMobileNumber(QString& value)
{
    if (value.isNull())
        return false;
    QString text = value;
    text.remove(kBlank);
    if (text.isEmpty())
        return false; // blanks only: the caller's text stays as it was

    value = text;
    // A leading "+86" and any zeros after it are dropped, then eleven ASCII digits must
    // remain: 1, then 3, 4, 5 or 8. Written out by hand: pastes check a million lines.
    qsizetype cut = value.startsWith(u"+86") ? 3 : 0;
    while (cut < value.size() && value.at(cut) == u'0')
        ++cut;
    if (cut > 0)
        value.remove(0, cut);
    if (value.size() != 11 || value.at(0) != u'1')
        return false;
    const char16_t second = value.at(1).unicode();
    if (second != u'3' && second != u'4' && second != u'5' && second != u'8')
        return false;
    return std::all_of(value.cbegin() + 2, value.cend(),
                       [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; });
}

bool IsInDraftBox(const QString& number)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select MobilePhone from [DraftBox] where MobilePhone='") + SqlQuote(number) +
                QStringLiteral("'"),
            SharedConnection(), db::LockType::ReadOnly);
    const bool found = rs.RecordCount() > 0;
    rs.Close();
    return found;
}

QString SqlQuote(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    // The engine reads a statement only up to a NUL, so a NUL inside a literal would cut the
    // statement short. Every caller writes the result between quotes: close the literal, join
    // the character by its code, and open the literal again.
    return quoted.replace(QChar(u'\0'), QStringLiteral("'||char(0)||'"));
}

QString NullToEmpty(const QVariant& value)
{
    // An empty but non-null text: written back to the database it must stay "" and not turn
    // into Null again.
    const QString empty = QStringLiteral("");
    if (value.isNull())
        return empty;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    default: {
        const QString text = value.toString();
        return text.isNull() ? empty : text;
    }
    }
}

qint64 ToUnixTime(const QDateTime& localDateTime)
{
    if (!localDateTime.isValid())
        throw HelperError(kErrInvalidCall, QStringLiteral("无效的过程调用或参数"));
    // The wall-clock fields are read as they are and counted as if they were UTC, so the
    // machine's own time zone never enters: the platform takes every time as UTC+8.
    const QTime t = localDateTime.time();
    const QDateTime asUtc(localDateTime.date(), QTime(t.hour(), t.minute(), t.second()), QTimeZone::utc());
    return asUtc.toSecsSinceEpoch() - 28800;
}

QString GetSalutation(const QString& sex)
{
    if (sex == QStringLiteral("男"))
        return QStringLiteral("先生");
    if (sex == QStringLiteral("女"))
        return QStringLiteral("女士");
    return sex;
}

void SaveNumberList(const QString& path, const QStringList& entries)
{
    QString text;
    for (const QString& entry : entries)
        text += entry + QStringLiteral("\r\n");
    QString error;
    if (!codepage::writeTextFile(path, text, &error))
        throw HelperError(kErrFileAccess, QStringLiteral("路径/文件访问错误：") + path);
}

QString BytesToBstr(const QByteArray& bytes)
{
    // Stateless: every pair is decoded on its own, and a pair that is no complete code gives a
    // replacement character instead of waiting for more bytes.
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar b = static_cast<uchar>(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
            ++i;
            continue;
        }
        if (i + 1 >= n)
            throw HelperError(kErrInvalidCall, QStringLiteral("无效的过程调用或参数"));
        const QString pair = decoder.decode(bytes.mid(i, 2));
        text += pair.size() == 1 ? pair : QString(QChar::ReplacementCharacter);
        i += 2;
    }
    return text;
}

QString UrlEncodeAnsi(const QString& text)
{
    QString encoded;
    // Walks code points, so a character outside the basic plane is one character here too.
    for (const char32_t cp : text.toUcs4()) {
        const QByteArray code = codepage::encode(QString::fromUcs4(&cp, 1));
        if (code.size() == 1) {
            encoded += encodeSingleByte(static_cast<uchar>(code[0]));
            continue;
        }
        for (qsizetype k = 0; k < code.size(); ++k) {
            const uchar byte = static_cast<uchar>(code[k]);
            // A trail byte from 0x40 to 0x7E is a printable ASCII character and stays as it is;
            // every other byte of a double-byte code is escaped, so that no raw byte of 0x80 or
            // above ever lands in the address.
            if (k > 0 && byte >= 0x40 && byte <= 0x7E)
                encoded += QChar(byte);
            else
                encoded += hexByte(byte);
        }
    }
    return encoded;
}
