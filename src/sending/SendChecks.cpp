#include "SendChecks.h"

#include "PublicFunction.h"

namespace {

constexpr qint64 kMaxScheduleAheadSeconds = 259200; // three days

} // namespace

QDateTime ScheduledMoment(const QDate& date, const QTime& time)
{
    const QString text = date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
                         QString::number(time.hour()) + QLatin1Char(':') + QString::number(time.minute()) +
                         QLatin1Char(':') + QString::number(time.second());
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd H:m:s"));
}

std::optional<SendCheckFailure> CheckSend(const SendCheckInput& input)
{
    const QString prompt = QStringLiteral("提示");
    if (input.timed) {
        const qint64 t = ToUnixTime(input.scheduled);
        const qint64 n = ToUnixTime(input.now);
        if (t < n)
            return SendCheckFailure{QStringLiteral("定时发送的时间已经过期！"), prompt};
        if (t > n + kMaxScheduleAheadSeconds)
            return SendCheckFailure{QStringLiteral("定时发送的时间不能超过3天！"), prompt};
    }
    if (TrimBlanks(input.text).isEmpty())
        return SendCheckFailure{QStringLiteral("不能发送空信息！"), prompt, true};
    if (input.recipients == 0)
        return SendCheckFailure{QStringLiteral("没有收件人，不能发送短信！"), prompt};
    if (input.balance < qint64(input.recipients) * input.parts)
        return SendCheckFailure{QStringLiteral("余额不足支付所要发的短信！"), QStringLiteral("失败")};
    if (input.sensitiveWords) {
        for (const QString& word : *input.sensitiveWords) {
            if (TrimBlanks(word).isEmpty())
                continue;
            if (input.text.contains(word, Qt::CaseSensitive))
                return SendCheckFailure{QStringLiteral("存在敏感字符：“") + word + QStringLiteral("”请修改再重发！"),
                                        QStringLiteral("关键字提示")};
        }
    }
    return std::nullopt;
}
