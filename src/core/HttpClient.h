#pragma once

#include <QByteArray>
#include <QString>

// Blocking HTTP in the calling thread (libcurl). Every request of the program carries
// "Content-Type: application/x-www-form-urlencoded" and "Content-Length".
namespace http {

// Chosen so that a hung host never freezes a window or a worker for long.
inline constexpr long kConnectTimeoutMs = 10000;
inline constexpr long kTotalTimeoutMs = 30000;

struct Response
{
    bool ok = false;      // a complete reply arrived (any status)
    int status = 0;       // HTTP status
    QByteArray body;
    QString error;        // why the request failed when !ok
};

struct Options
{
    long connectTimeoutMs = kConnectTimeoutMs;
    long totalTimeoutMs = kTotalTimeoutMs;
};

// Tests shorten every request's time-outs with this (a value of 0 keeps the request's own).
void setTimeoutOverride(long connectTimeoutMs, long totalTimeoutMs);
void clearTimeoutOverride();

Response post(const QString& url, const QByteArray& body, const Options& options = Options());
Response get(const QString& url, const Options& options = Options());

// "host[:port]" of the SMS platform (port 3000 by default) and of the support host;
// QUORVEL_SMS_HOST and QUORVEL_SUPPORT_HOST replace them.
QString smsPlatformAuthority();
QString supportHost();

} // namespace http
