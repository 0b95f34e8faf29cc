#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

// Raised by the helpers below; callers decide what the user sees. The numbers are those of
// the old run-time errors (11 division by zero, 94 invalid use of Null, 75 file access, ...), so
// the "错误号：" boxes keep showing familiar numbers.
class HelperError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error; // number 5, invalid procedure call
    HelperError(int number, const QString& description);

    int number() const { return m_number; }
    QString description() const;

private:
    int m_number = 5;
};

// Every blank (U+0020) removed. A null QVariant (database Null) raises HelperError.
QString RemoveSpaces(const QVariant& value);
// The old Trim: blanks (U+0020) off both ends only; tabs, line breaks and full-width blanks stay.
QString TrimBlanks(const QString& text);
// Message parts for a text of the given length; raises HelperError when charsPerSms is 0.
qint16 CountSmsParts(int length, int charsPerSms);
// Normalises the number in place (blanks, leading "+86", leading zeros), then checks it.
// A null value is passed as a null QString and stays unchanged.
bool IsMobileNumber(QString& value);
// True when [DraftBox] already holds the number (uses g_Conn; raises db::DbError).
bool IsInDraftBox(const QString& number);
// The text ready to stand between single quotes in a statement.
QString SqlQuote(const QString& text);
QString NullToEmpty(const QVariant& value);
// Seconds from 1970-01-01 00:00:00 to the local date and time, minus 28800 (UTC+8).
qint64 ToUnixTime(const QDateTime& localDateTime);
QString GetSalutation(const QString& sex);
// Writes the entries one per line, each ended by CR LF, in the code page (overwriting).
// Raises HelperError when the file cannot be created; nothing is written then.
void SaveNumberList(const QString& path, const QStringList& entries);
// Decodes reply bytes; raises HelperError when the last byte is a lead byte without trail.
QString BytesToBstr(const QByteArray& bytes);
// Percent-encodes by the code page, for the user name in the update address.
QString UrlEncodeAnsi(const QString& text);
