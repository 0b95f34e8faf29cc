#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The checks the Send button runs before the send dialog opens, in their order.
struct SendCheckInput
{
    bool timed = false;
    QDateTime scheduled;       // the scheduled moment, when timed
    QDateTime now;             // the current local date and time
    QString text;              // the editor's text
    int recipients = 0;        // items of the list of the current send mode
    int parts = 1;             // smsnumber
    qint64 balance = 0;        // the balance last read from the platform
    std::optional<QStringList> sensitiveWords;
};

struct SendCheckFailure
{
    QString message;
    QString title;
    bool focusEditor = false;
};

// The first failing check, or nothing when the send may go ahead.
std::optional<SendCheckFailure> CheckSend(const SendCheckInput& input);

// The scheduled moment from the date and time pickers: "yyyy-mm-dd h:m:s" read as local time.
QDateTime ScheduledMoment(const QDate& date, const QTime& time);
