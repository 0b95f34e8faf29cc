#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// Blocking HTTP in the calling thread (libcurl). Every request of the program carries
// "Content-Type: application/x-www-form-urlencoded" and "Content-Length".
namespace http {

// Chosen so that a hung host never freezes a window or a worker for long.
inline constexpr long kConnectTimeoutMs = 10000;
inline constexpr long kTotalTimeoutMs = 30000;
// Only http and https are spoken, and a redirect chain ends after this many hops.
inline constexpr long kMaxRedirects = 5;
// No reply the program reads comes near this; a larger one is refused rather than buffered.
inline constexpr qsizetype kMaxReplyBytes = 8 * 1024 * 1024;

// Why a request got no complete reply.
enum class Failure {
    None,
    NotAllowed,      // not an http or https address
    HostNotFound,    // the name did not resolve
    CouldNotConnect, // refused or unreachable
    TimedOut,        // before the reply was complete (the connection may have been open)
    ConnectionLost,  // dropped, reset or cut short
    ReplyTooLarge,
    Cancelled,       // the caller's stop check asked to end it
    Other,
};

struct Response
{
    bool ok = false;      // a complete reply arrived (any status)
    int status = 0;       // HTTP status
    QByteArray body;
    QString error;        // why the request failed when !ok (technical; for the log)
    Failure failure = Failure::None;
    // Bytes of the request were written to the connection. A request that failed after that may
    // have reached the server and been acted on; one that failed before it certainly was not.
    bool requestSent = false;
};

struct Options
{
    long connectTimeoutMs = kConnectTimeoutMs;
    long totalTimeoutMs = kTotalTimeoutMs;
    qsizetype maxReplyBytes = kMaxReplyBytes;
    // Asked before the request and then at least about once a second while it runs (also
    // while a silent host keeps it waiting); true ends it at once with Failure::Cancelled.
    // A worker passes its stop token here, so that its stop never waits out a stalled host.
    std::function<bool()> stopRequested;
};

// Tests shorten every request's time-outs with this (a value of 0 keeps the request's own).
void setTimeoutOverride(long connectTimeoutMs, long totalTimeoutMs);
void clearTimeoutOverride();

// One libcurl handle kept for a series of requests, so that they share one kept-alive
// connection to the same host instead of a new TCP connection each. Use from one thread at
// a time.
class Session
{
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Response post(const QString& url, const QByteArray& body, const Options& options = Options());
    Response get(const QString& url, const Options& options = Options());

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// One-off requests on a connection of their own.
Response post(const QString& url, const QByteArray& body, const Options& options = Options());
Response get(const QString& url, const Options& options = Options());

// "host[:port]" of the SMS platform (port 3000 by default) and of the support host;
// QUORVEL_SMS_HOST and QUORVEL_SUPPORT_HOST replace them.
QString smsPlatformAuthority();
QString supportHost();

} // namespace http
